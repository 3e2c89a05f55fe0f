#pragma once

#include <functional>
#include <string>

class QBoxLayout;
class QWidget;

#include "gui/main/consoledialog.h"

namespace kestavo::admin {

/// What the IP and MAC address dialogs share: once the unit has been told its new address, the
/// console can no longer reach it where it was, so the session ends, this computer forgets the old
/// address's hardware address, and the user is told.
class AddressChangeDialog : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AddressChangeDialog)

public:
    explicit AddressChangeDialog(core::Context& context);
    ~AddressChangeDialog() override;

protected:
    /// Lays the dialog out: heading, the address boxes, the example, the warning, and "OK"
    /// (`Command1`, runs `onOk`) / "Cancel" (`Command2`); the focus starts in `firstBox`.
    void buildPage(const QString& heading, QBoxLayout* boxes, const QString& example, const QString& warning,
                   QWidget* firstBox, std::function<void()> onOk);
    /// Sends `frame` `copies` times on the main socket without counting it. False when the session
    /// has ended (the user has been told; nothing was sent).
    bool sendChange(const std::string& frame, int copies);
    /// Ends the session, removes the old address from the neighbour cache, shows `doneText` and
    /// closes the dialog.
    void finishChange(const QString& doneText);
};

} // namespace kestavo::admin
