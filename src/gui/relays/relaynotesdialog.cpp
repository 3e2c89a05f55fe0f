#include "gui/relays/relaynotesdialog.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include "stations/stationstore.h"

#include "platform/prompter.h"

namespace kestavo::relays {

namespace {
QString qs(const char* latin1)
{
    return QString::fromLatin1(latin1);
}
} // namespace

RelayNotesDialog::RelayNotesDialog(core::Context& context, int relay, QWidget* relayDialog)
    : ConsoleDialog(context, false), m_relay(std::clamp(relay, 1, 3)), m_relayDialog(relayDialog)
{
    setObjectName(qs("Switch1Notes"));
    setWindowTitle(QStringLiteral("Relay %1 Quick Notes").arg(m_relay));

    auto* prompt = new QLabel(qs("Enter a brief description of equipment attached to this relay."), this);
    prompt->setObjectName(qs("Label1"));
    prompt->setAccessibleName(prompt->text());
    prompt->setWordWrap(true);

    m_note = new QPlainTextEdit(this);
    m_note->setObjectName(qs("Text1"));
    m_note->setToolTip(qs("Quick Notes"));
    m_note->setAccessibleName(qs("Quick Notes"));
    m_note->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_note->setTabChangesFocus(true);
    m_note->setPlainText(context.store.value(column(m_relay)).toString().left(kMaxLength));
    connect(m_note, &QPlainTextEdit::textChanged, this, &RelayNotesDialog::enforceLength);

    auto* ok = new QPushButton(qs("OK"), this);
    ok->setObjectName(qs("Command1"));
    ok->setAccessibleName(qs("OK"));
    auto* cancel = new QPushButton(qs("Cancel"), this);
    cancel->setObjectName(qs("Command2"));
    cancel->setAccessibleName(qs("Cancel"));
    connect(ok, &QPushButton::clicked, this, &RelayNotesDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_note);
    layout->addLayout(buttons);

    if (m_relayDialog)
        m_relayDialog->setEnabled(false);
}

RelayNotesDialog::~RelayNotesDialog()
{
    releaseRelayDialog();
}

void RelayNotesDialog::done(int result)
{
    ConsoleDialog::done(result);
    releaseRelayDialog();
}

void RelayNotesDialog::releaseRelayDialog()
{
    if (m_relayDialog)
        m_relayDialog->setEnabled(true);
    m_relayDialog = nullptr;
}

QString RelayNotesDialog::column(int relay)
{
    return QStringLiteral("Relay%1Notes").arg(relay);
}

void RelayNotesDialog::enforceLength()
{
    const QString text = m_note->toPlainText();
    const qsizetype excess = text.size() - kMaxLength;
    if (excess <= 0)
        return;
    // Drop what was just typed or pasted (the characters before the cursor), so the note the
    // user already had stays whole.
    QTextCursor cursor = m_note->textCursor();
    const int end = cursor.position();
    const int start = std::max(0, end - int(excess));
    cursor.setPosition(start);
    cursor.setPosition(start + int(excess), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    m_note->setTextCursor(cursor);
}

void RelayNotesDialog::accept()
{
    auto& store = context().store;
    if (!store.writeCurrent({{column(m_relay), m_note->toPlainText()}})) {
        const QString why = store.lastError();
        context().prompter.inform(
            why.isEmpty() ? tr("The note could not be stored in the station database %1.").arg(store.path())
                          : why);
        return;
    }
    close();
}

} // namespace kestavo::relays
