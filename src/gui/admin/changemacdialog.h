#pragma once

#include <array>

#include "gui/admin/addresschangedialog.h"

class QLineEdit;

namespace kestavo::admin {

/// `ChangeMAC` (its caption has always read "Change IP Address"): gives the unit a new MAC
/// address ('E', sent twice) and ends the session.
class ChangeMacDialog final : public AddressChangeDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChangeMacDialog)

public:
    explicit ChangeMacDialog(core::Context& context);

private:
    void changeAddress();

    std::array<QLineEdit*, 6> m_bytes{};
};

} // namespace kestavo::admin
