#pragma once

#include "gui/main/consoledialog.h"

class QLineEdit;

namespace kestavo::core {

class MainForm;

/// `ADDIP1` ("ADD IP NUMBER"): a new station's IP number, password and description.
class AddIpDialog final : public ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AddIpDialog)

public:
    AddIpDialog(Context& context, MainForm& mainForm);

    void accept() override;

private:
    MainForm& m_mainForm;
    QLineEdit* m_ip;
    QLineEdit* m_password;
    QLineEdit* m_description;
};

} // namespace kestavo::core
