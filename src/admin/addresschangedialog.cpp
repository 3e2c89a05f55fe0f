#include "admin/addresschangedialog.h"

#include "core/consolestate.h"
#include "core/session.h"

#include "platform/prompter.h"
#include "platform/systemcommands.h"

namespace kestavo::admin {

AddressChangeDialog::AddressChangeDialog(core::Context& context) : ConsoleDialog(context) {}

AddressChangeDialog::~AddressChangeDialog() = default;

bool AddressChangeDialog::sendChange(const std::string& frame, int copies)
{
    for (int i = 0; i < copies; ++i) {
        if (!sendFrame(frame, false))
            return false;
    }
    return true;
}

void AddressChangeDialog::finishChange(const QString& doneText)
{
    core::Context& ctx = context();
    // The station record keeps the old address; it is the old one the cache must forget.
    const QString oldAddress = ctx.state.selectedAddress();
    ctx.session.stop();
    const platform::SystemCommands::Command arp = ctx.commands.arpDeleteCommand(oldAddress);
    QString error;
    if (!ctx.commands.run(arp, &error)) {
        ctx.prompter.inform(QStringLiteral("The old address %1 could not be removed from this computer's "
                                           "address cache (%2): %3")
                                .arg(oldAddress, arp.commandLine(), error));
    }
    ctx.prompter.inform(doneText);
    close();
}

} // namespace kestavo::admin
