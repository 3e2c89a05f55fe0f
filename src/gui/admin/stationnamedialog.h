#pragma once

#include "gui/main/consoledialog.h"

class QLineEdit;

namespace kestavo::admin {

/// `StationName` (" Set Station Name"): replaces the name the unit reports ('I').
class StationNameDialog final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StationNameDialog)

public:
    explicit StationNameDialog(core::Context& context);

private:
    void sendName();

    QLineEdit* m_name;
};

} // namespace kestavo::admin
