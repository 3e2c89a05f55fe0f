#include "gui/backup/unitbackupwindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

#include "session/consolestate.h"
#include "session/session.h"

#include "gui/backup/sessiontransport.h"
#include "gui/main/readoutaccessible.h"
#include "platform/filechooser.h"
#include "platform/prompter.h"
#include "text/boundedfile.h"

namespace kestavo::unitbackup {

namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(caption);
    return b;
}

QLabel* label(QWidget* parent, const char* name, const QString& accessibleName)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    // A named label hides its text from screen readers; a readout says both.
    core::markReadout(l, accessibleName);
    l->setWordWrap(true);
    return l;
}

} // namespace

UnitBackupWindow::UnitBackupWindow(core::Context& context, platform::FileChooser& files,
                                   const backup::Timing& timing)
    : ConsoleDialog(context, false), m_files(files), m_timing(timing),
      m_transport(new SessionTransport(context.session, this)),
      m_unit(label(this, "UnitLabel", QCoreApplication::translate("kestavo::unitbackup", "Unit"))),
      m_status(label(this, "Status", QCoreApplication::translate("kestavo::unitbackup", "Status"))),
      m_changes(new QListWidget(this)),
      m_backUp(
          button(this, "BackUpButton", QCoreApplication::translate("kestavo::unitbackup", "Back up\u2026"))),
      m_compare(
          button(this, "CompareButton", QCoreApplication::translate("kestavo::unitbackup", "Compare\u2026"))),
      m_restore(
          button(this, "RestoreButton", QCoreApplication::translate("kestavo::unitbackup", "Restore\u2026"))),
      m_close(button(this, "CloseButton", QStringLiteral("Close")))
{
    setObjectName(QStringLiteral("UnitBackup"));
    setWindowTitle(QCoreApplication::translate("kestavo::unitbackup", "Unit configuration"));
    m_changes->setObjectName(QStringLiteral("Changes"));
    m_changes->setAccessibleName(
        QCoreApplication::translate("kestavo::unitbackup", "Differences to restore"));
    m_unit->setText(
        QCoreApplication::translate("kestavo::unitbackup", "Unit: %1").arg(context.state.selectedAddress()));

    connect(m_backUp, &QPushButton::clicked, this, &UnitBackupWindow::backUp);
    connect(m_compare, &QPushButton::clicked, this, &UnitBackupWindow::compare);
    connect(m_restore, &QPushButton::clicked, this, &UnitBackupWindow::restoreTicked);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    m_restore->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_backUp);
    buttons->addWidget(m_compare);
    buttons->addWidget(m_restore);
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_unit);
    layout->addWidget(m_changes, 1);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    resize(640, 420);
}

UnitBackupWindow::~UnitBackupWindow() = default;

void UnitBackupWindow::start(int action)
{
    if (action == BackUp)
        backUp();
    else
        compare();
}

bool UnitBackupWindow::sessionReady()
{
    if (context().state.acquiring() && context().session.phase() == core::Session::Phase::Receiving)
        return true;
    say(context().state.acquiring()
            ? tr("The unit has not sent a report yet. Wait for its first report, then try again.")
            : tr("Start a session with the unit first."));
    return false;
}

void UnitBackupWindow::say(const QString& text, bool critical)
{
    if (critical)
        context().prompter.tellCritical(text);
    else
        context().prompter.tell(text);
    // The box hands the focus back to its parent, which may be the main window: this window's
    // work goes on here, so it comes back in front.
    if (isVisible()) {
        raise();
        activateWindow();
    }
}

void UnitBackupWindow::setStatus(const QString& text)
{
    m_status->setText(text);
    m_status->setAccessibleDescription(text);
}

void UnitBackupWindow::done(int result)
{
    if (!m_busy)
        ConsoleDialog::done(result);
}

void UnitBackupWindow::closeEvent(QCloseEvent* event)
{
    if (m_busy) {
        event->ignore();
        return;
    }
    ConsoleDialog::closeEvent(event);
}

void UnitBackupWindow::setBusy(bool busy)
{
    m_busy = busy;
    for (QPushButton* b : {m_backUp, m_compare, m_close})
        b->setEnabled(!busy);
    m_restore->setEnabled(!busy && m_document.has_value() && !m_shown.isEmpty());
    m_changes->setEnabled(!busy);
}

std::optional<backup::UnitReadings> UnitBackupWindow::readUnit()
{
    backup::UnitExchange exchange(*m_transport, context().session.password(), m_timing);
    setStatus(tr("Reading the unit's configuration\u2026"));
    auto read = backup::readUnit(exchange);
    if (const auto* error = std::get_if<QString>(&read)) {
        setStatus(QString());
        say(tr("The configuration of %1 could not be read: %2")
                .arg(context().state.selectedAddress(), *error));
        return std::nullopt;
    }
    return std::get<backup::UnitReadings>(std::move(read));
}

void UnitBackupWindow::backUp()
{
    if (!sessionReady())
        return;
    setBusy(true);
    const std::optional<backup::UnitReadings> readings = readUnit();
    setBusy(false);
    if (!readings)
        return;
    const QString address = context().state.selectedAddress();
    const QString path = m_files.saveFile(this, tr("Back up the unit's configuration"),
                                          QStringLiteral("ksv-%1.json").arg(address));
    if (path.isEmpty()) {
        setStatus(tr("Back-up cancelled; nothing was written."));
        return;
    }
    const backup::UnitConfig config =
        backup::configFromUnit(*readings, address, QDateTime::currentDateTimeUtc(),
                               QStringLiteral("Kestavo console %1").arg(core::ConsoleState::versionText()));
    const QByteArray document = backup::toDocument(config);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size() || !file.commit()) {
        say(tr("The configuration could not be written to \"%1\": %2. Choose "
               "another file and try again.")
                .arg(path, file.errorString()));
        return;
    }
    setStatus(tr("The configuration of %1 was written to %2.").arg(address, path));
}

void UnitBackupWindow::compare()
{
    if (!sessionReady())
        return;
    const QString path = m_files.openFile(this, tr("Compare the unit with a configuration file"));
    if (path.isEmpty())
        return;
    const text::BoundedRead file = text::readBoundedFile(path, backup::kMaxDocumentBytes);
    if (!file.ok) {
        say(file.error);
        return;
    }
    auto parsed = backup::fromDocument(file.bytes);
    if (const auto* error = std::get_if<QString>(&parsed)) {
        say(tr("\"%1\" is not a configuration this console can restore: %2. Nothing was sent.")
                .arg(path, *error));
        return;
    }
    setBusy(true);
    std::optional<backup::UnitReadings> readings = readUnit();
    if (readings) {
        m_file = path;
        m_document = std::get<backup::UnitConfig>(std::move(parsed));
        m_readings = std::move(readings);
        showChanges();
    }
    setBusy(false);
}

void UnitBackupWindow::showChanges()
{
    const backup::UnitConfig unit = backup::configFromUnit(*m_readings, QString(), {}, {});
    m_shown = backup::compareConfigs(unit, *m_document);
    const QList<backup::Group> defaults = backup::defaultGroups();
    m_changes->clear();
    for (const backup::Change& change : m_shown) {
        auto* item = new QListWidgetItem(change.text, m_changes);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(defaults.contains(change.group()) ? Qt::Checked : Qt::Unchecked);
    }
    setStatus(m_shown.isEmpty()
                  ? tr("The unit matches %1.").arg(m_file)
                  : tr("%1 difference(s) with %2. Tick what to restore.").arg(m_shown.size()).arg(m_file));
}

void UnitBackupWindow::restoreTicked()
{
    if (!m_document || !m_readings || !sessionReady())
        return;
    QList<backup::Change> chosen;
    for (int row = 0; row < m_changes->count() && row < m_shown.size(); ++row) {
        if (m_changes->item(row)->checkState() == Qt::Checked)
            chosen << m_shown[row];
    }
    auto& prompter = context().prompter;
    if (chosen.isEmpty()) {
        say(tr("Tick the items to restore first."));
        return;
    }
    const backup::Preflight checked =
        backup::preflight(*m_readings, *m_document, chosen, m_transport->localIpv4());
    if (!checked.refusal.isEmpty()) {
        say(checked.refusal + tr(". Nothing was sent."));
        return;
    }
    QString question = tr("Write %1 item(s) from %2 to the unit at %3?")
                           .arg(chosen.size())
                           .arg(m_file, context().state.selectedAddress());
    for (const QString& warning : checked.warnings)
        question += QStringLiteral("\n\n") + tr("Warning: %1.").arg(warning);
    if (!prompter.confirmOurs(question))
        return;

    setBusy(true);
    backup::UnitExchange exchange(*m_transport, context().session.password(), m_timing);
    const backup::RestoreResult result = backup::restoreChanges(
        exchange, *m_readings, *m_document, chosen, [this](const QString& line) { setStatus(line); });
    if (result.ok())
        say(tr("Restore finished. ") + result.summary());
    else
        say(result.summary(), true);
    // Show what still differs now.
    if (std::optional<backup::UnitReadings> readings = readUnit()) {
        m_readings = std::move(readings);
        showChanges();
    }
    setBusy(false);
}

} // namespace kestavo::unitbackup
