#include "gui/admin/addresschangedialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "session/consolestate.h"
#include "session/session.h"

#include "platform/prompter.h"
#include "platform/systemcommands.h"

namespace kestavo::admin {

AddressChangeDialog::AddressChangeDialog(core::Context& context) : ConsoleDialog(context) {}

AddressChangeDialog::~AddressChangeDialog() = default;

void AddressChangeDialog::buildPage(const QString& heading, QBoxLayout* boxes, const QString& example,
                                    const QString& warning, QWidget* firstBox, std::function<void()> onOk)
{
    const auto wrapped = [this](const QString& caption) {
        auto* label = new QLabel(caption, this);
        label->setWordWrap(true);
        label->setAccessibleName(caption);
        return label;
    };
    const auto button = [this](const QString& caption, const QString& name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAccessibleName(caption);
        return b;
    };
    auto* ok = button(QStringLiteral("OK"), QStringLiteral("Command1"));
    auto* cancel = button(QStringLiteral("Cancel"), QStringLiteral("Command2"));
    connect(ok, &QPushButton::clicked, this, std::move(onOk));
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    // Sized to its contents, so the wrapped warning is never cut short.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(wrapped(heading));
    layout->addLayout(boxes);
    layout->addWidget(wrapped(example));
    layout->addWidget(wrapped(warning));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    firstBox->setFocus();
}

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
        ctx.prompter.inform(tr("The old address %1 could not be removed from this computer's "
                               "address cache (%2): %3")
                                .arg(oldAddress, arp.commandLine(), error));
    }
    ctx.prompter.inform(doneText);
    close();
}

} // namespace kestavo::admin
