#pragma once

#include <array>

#include "gui/admin/addresschangedialog.h"

class QLineEdit;

namespace kestavo::admin {

/// `ChangeIP` ("Cange IP Address"): gives the unit a new IP address ('F') and ends the session.
class ChangeIpDialog final : public AddressChangeDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChangeIpDialog)

public:
    explicit ChangeIpDialog(core::Context& context);

private:
    void changeAddress();

    std::array<QLineEdit*, 4> m_octets{};
};

} // namespace kestavo::admin
