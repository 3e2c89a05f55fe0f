#include "gui/alarms/alarmswindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "alarms/alarmengine.h"
#include "alarms/rulevalidation.h"
#include "alarms/shelving.h"
#include "gui/alarms/alarmsounder.h"
#include "gui/alarms/alarmtables.h"
#include "gui/alarms/alarmwindows.h"
#include "gui/alarms/csvexport.h"
#include "gui/alarms/maintenancepanel.h"
#include "gui/alarms/reportpanel.h"
#include "gui/alarms/routespanel.h"
#include "gui/main/readoutaccessible.h"
#include "history/auditlog.h"
#include "history/timetext.h"
#include "notify/notifier.h"
#include "platform/prompter.h"

namespace kestavo::alarmwindows {

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kEventDays = 30; // how far back the event log reaches

QString valueText(const std::optional<double>& value)
{
    return value ? QString::number(*value, 'g', 6) : QString();
}

} // namespace

AlarmsWindow::AlarmsWindow(core::Context& context, AlarmServices& services)
    : ConsoleDialog(context, false), m_services(services)
{
    setObjectName(QStringLiteral("Alarms"));
    setWindowTitle(QCoreApplication::translate("kestavo::alarms", "Alarms"));
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(buildAlarms());
    auto* tabs = named(new QTabWidget(split), QStringLiteral("AlarmTabs"),
                       QCoreApplication::translate("kestavo::alarms", "Event log and rules"));
    tabs->addTab(buildEvents(), QCoreApplication::translate("kestavo::alarms", "Event log"));
    tabs->addTab(buildRules(), QCoreApplication::translate("kestavo::alarms", "Rules"));
    if (services.notifyStore) {
        m_routesPanel = new RoutesPanel(services, context.prompter, tabs);
        m_maintenancePanel = new MaintenancePanel(services, context.prompter, tabs);
        m_reportPanel = new ReportPanel(services, tabs);
        tabs->addTab(m_routesPanel, QCoreApplication::translate("kestavo::alarms", "Routes"));
        tabs->addTab(m_maintenancePanel, QCoreApplication::translate("kestavo::alarms", "Maintenance"));
        tabs->addTab(m_reportPanel, QCoreApplication::translate("kestavo::alarms", "Report"));
        // Figures and lists another program may have changed are read again when their tab opens.
        connect(tabs, &QTabWidget::currentChanged, this, [this, tabs](int index) {
            QWidget* page = tabs->widget(index);
            if (page == m_routesPanel)
                m_routesPanel->refresh();
            else if (page == m_maintenancePanel)
                m_maintenancePanel->refresh();
            else if (page == m_reportPanel)
                m_reportPanel->refresh();
        });
    }
    split->addWidget(tabs);
    m_floodBanner = new QLabel(this);
    m_floodBanner->setObjectName(QStringLiteral("FloodBanner"));
    m_floodBanner->setWordWrap(true);
    m_floodBanner->setStyleSheet(
        QStringLiteral("background: #FFF0C0; color: #7A3E00; padding: 6px; font-weight: bold"));
    core::markReadout(m_floodBanner, tr("Alarm flood"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_floodBanner);
    layout->addWidget(split);
    if (services.notifier) {
        connect(services.notifier, &notify::Notifier::floodChanged, this, &AlarmsWindow::showFlood);
        connect(services.notifier, &notify::Notifier::maintenanceChanged, this, &AlarmsWindow::refreshAlarms);
    }
    showFlood(services.notifier && services.notifier->flooding());
    resize(860, 620);

    connect(&services.engine, &alarms::AlarmEngine::alarmChanged, this, &AlarmsWindow::refresh);
    connect(&services.sounder, &AlarmSounder::mutedChanged, m_mute, &QCheckBox::setChecked);
    refresh();
    refreshRules();
}

QWidget* AlarmsWindow::buildAlarms()
{
    auto* box = new QWidget(this);
    m_alarms =
        rowTable(box, QStringLiteral("AlarmList"), tr("Open alarms"),
                 {tr("No."), QStringLiteral("State"), QStringLiteral("Priority"), QStringLiteral("Station"),
                  QStringLiteral("Since"), QStringLiteral("Value"), QStringLiteral("Alarm")});
    sizeColumns(m_alarms, {u"9999"_s, history::stateText(history::AlarmState::ClearedUnacknowledged),
                           u"medium"_s, u"255.255.255.255"_s, localTime(0), u"-99.999"_s});
    m_ack = named(new QPushButton(tr("Acknowledge"), box), tr("Acknowledge"),
                  tr("Acknowledge the selected alarm"));
    m_ackAll = named(new QPushButton(tr("Acknowledge all"), box), QStringLiteral("AcknowledgeAll"),
                     tr("Acknowledge all alarms"));
    m_shelveMinutes = named(new QSpinBox(box), QStringLiteral("ShelveMinutes"), tr("Shelve for minutes"));
    m_shelveMinutes->setValue(60);
    m_shelveMinutes->setSuffix(tr(" min"));
    m_shelveReason = named(new QLineEdit(box), QStringLiteral("ShelveReason"), tr("Reason for shelving"));
    m_shelveReason->setPlaceholderText(tr("Reason (required)"));
    m_shelve = named(new QPushButton(tr("Shelve"), box), tr("Shelve"), tr("Shelve the selected alarm"));
    m_unshelve = named(new QPushButton(tr("Unshelve"), box), QStringLiteral("Unshelve"),
                       tr("Bring the selected shelved alarm back, acknowledged"));
    m_mute = named(new QCheckBox(tr("Mute sounds"), box), tr("Mute"), tr("Mute alarm sounds"));
    m_mute->setChecked(m_services.sounder.isMuted());
    connect(m_ack, &QPushButton::clicked, this, &AlarmsWindow::acknowledgeSelected);
    connect(m_ackAll, &QPushButton::clicked, this, &AlarmsWindow::acknowledgeAll);
    connect(m_shelve, &QPushButton::clicked, this, &AlarmsWindow::shelveSelected);
    connect(m_unshelve, &QPushButton::clicked, this, &AlarmsWindow::unshelveSelected);
    connect(m_mute, &QCheckBox::toggled, &m_services.sounder, &AlarmSounder::setMuted);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_ack);
    buttons->addWidget(m_ackAll);
    buttons->addSpacing(16);
    buttons->addWidget(m_shelve);
    buttons->addWidget(m_shelveMinutes);
    buttons->addWidget(m_shelveReason, 1);
    buttons->addWidget(m_unshelve);
    buttons->addStretch();
    buttons->addWidget(m_mute);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_alarms);
    layout->addLayout(buttons);
    // Without a sound device the alarms are silent: said here, where one listens for them.
    if (const QString silent = m_services.sounder.silentReason(); !silent.isEmpty()) {
        auto* note = new QLabel(silent, box);
        note->setObjectName(QStringLiteral("SilentAlarms"));
        core::markReadout(note, tr("Alarm sounds"));
        note->setStyleSheet(QStringLiteral("color: #B00000; font-weight: bold"));
        layout->addWidget(note);
    }
    return box;
}

QWidget* AlarmsWindow::buildEvents()
{
    auto* box = new QWidget(this);
    m_eventFilter = named(new QLineEdit(box), QStringLiteral("EventFilter"), tr("Filter the event log"));
    m_eventFilter->setPlaceholderText(tr("Filter: station, alarm, state or name"));
    auto* exportButton = named(new QPushButton(tr("Export CSV…"), box), QStringLiteral("ExportEvents"),
                               tr("Export the event log as CSV"));
    m_events =
        rowTable(box, QStringLiteral("EventLog"), tr("Alarm event log"),
                 {QStringLiteral("Time"), QStringLiteral("Station"), tr("No."), QStringLiteral("State"),
                  QStringLiteral("Value"), QStringLiteral("By"), QStringLiteral("Alarm")});
    sizeColumns(m_events, {localTime(0), u"255.255.255.255"_s, u"9999"_s,
                           history::stateText(history::AlarmState::ClearedUnacknowledged), u"-99.999"_s,
                           u"operator"_s});
    connect(m_eventFilter, &QLineEdit::textChanged, this, &AlarmsWindow::refreshEvents);
    connect(exportButton, &QPushButton::clicked, this, &AlarmsWindow::exportEvents);
    auto* top = new QHBoxLayout;
    top->addWidget(m_eventFilter);
    top->addWidget(exportButton);
    auto* layout = new QVBoxLayout(box);
    layout->addLayout(top);
    layout->addWidget(m_events);
    return box;
}

QWidget* AlarmsWindow::buildRules()
{
    auto* box = new QWidget(this);
    m_rules = rowTable(box, QStringLiteral("RuleList"), tr("Alarm rules"),
                       {QStringLiteral("Station"), QStringLiteral("Kind"), QStringLiteral("Channel"),
                        QStringLiteral("Limit"), QStringLiteral("Deadband"), tr("On-delay"), tr("Off-delay"),
                        QStringLiteral("Priority"), QStringLiteral("Text")});
    sizeColumns(m_rules, {u"255.255.255.255"_s, alarms::kindWords(history::AlarmRuleKind::RelayNot), u"8"_s,
                          u"-99.999"_s, u"99.99"_s, u"86400"_s, u"86400"_s, u"medium"_s});
    connect(m_rules, &QTableWidget::currentCellChanged, this, [this](int row) { showRule(row); });

    m_ruleStation = named(new QLineEdit(box), QStringLiteral("RuleStation"), tr("Rule station"));
    m_ruleStation->setPlaceholderText(tr("empty: every station"));
    m_ruleKind = named(new QComboBox(box), QStringLiteral("RuleKind"), tr("Rule kind"));
    m_ruleKind->addItem(QString(), 0);
    for (const QString& name : alarms::kindNames()) {
        const history::AlarmRuleKind kind = *alarms::kindFromName(name);
        m_ruleKind->addItem(alarms::kindWords(kind), int(kind));
    }
    m_ruleChannel = named(new QLineEdit(box), QStringLiteral("RuleChannel"), tr("Rule channel"));
    m_ruleLimit = named(new QLineEdit(box), QStringLiteral("RuleLimit"), tr("Rule limit"));
    m_ruleDeadband =
        named(new QLineEdit(QStringLiteral("0"), box), QStringLiteral("RuleDeadband"), tr("Rule deadband"));
    m_ruleOnDelay = named(new QLineEdit(QStringLiteral("0"), box), QStringLiteral("RuleOnDelay"),
                          tr("Rule on-delay in seconds"));
    m_ruleOffDelay = named(new QLineEdit(QStringLiteral("0"), box), QStringLiteral("RuleOffDelay"),
                           tr("Rule off-delay in seconds"));
    m_rulePriority = named(new QComboBox(box), QStringLiteral("RulePriority"), tr("Rule priority"));
    for (history::AlarmPriority p :
         {history::AlarmPriority::High, history::AlarmPriority::Medium, history::AlarmPriority::Low})
        m_rulePriority->addItem(history::priorityText(p), int(p));
    m_ruleText = named(new QLineEdit(box), QStringLiteral("RuleText"), tr("Rule text"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Station"), m_ruleStation);
    form->addRow(QStringLiteral("Kind"), m_ruleKind);
    form->addRow(tr("Channel / pin / relay"), m_ruleChannel);
    form->addRow(QStringLiteral("Limit"), m_ruleLimit);
    form->addRow(QStringLiteral("Deadband"), m_ruleDeadband);
    form->addRow(tr("On-delay (s)"), m_ruleOnDelay);
    form->addRow(tr("Off-delay (s)"), m_ruleOffDelay);
    form->addRow(QStringLiteral("Priority"), m_rulePriority);
    form->addRow(QStringLiteral("Text"), m_ruleText);

    auto* add = named(new QPushButton(tr("Add"), box), QStringLiteral("AddRule"), tr("Add the rule"));
    auto* save =
        named(new QPushButton(tr("Save"), box), QStringLiteral("SaveRule"), tr("Save the selected rule"));
    auto* remove = named(new QPushButton(tr("Remove"), box), QStringLiteral("RemoveRule"),
                         tr("Remove the selected rule"));
    connect(add, &QPushButton::clicked, this, [this] { saveRule(true); });
    connect(save, &QPushButton::clicked, this, [this] { saveRule(false); });
    connect(remove, &QPushButton::clicked, this, &AlarmsWindow::removeRule);
    auto* buttons = new QVBoxLayout;
    buttons->addLayout(form);
    auto* row = new QHBoxLayout;
    row->addWidget(add);
    row->addWidget(save);
    row->addWidget(remove);
    buttons->addLayout(row);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(box);
    layout->addWidget(m_rules, 3);
    layout->addLayout(buttons, 2);
    return box;
}

void AlarmsWindow::showFlood(bool flooding)
{
    m_floodBanner->setText(flooding ? tr("Alarm flood: 10 or more alarms within 10 minutes. Notifications "
                                         "are sent as summaries until it ends; deal with the first and "
                                         "highest alarms first.")
                                    : QString());
    m_floodBanner->setVisible(flooding);
}

void AlarmsWindow::refresh()
{
    refreshAlarms();
    refreshEvents();
    applyShelveLimit();
}

// The longest shelving is the team's setting in the history file; another program may change it.
void AlarmsWindow::applyShelveLimit()
{
    const qint64 maxMs = m_services.engine.maxShelveMs();
    m_shelveMinutes->setRange(1, int(maxMs / 60000));
    m_shelveMinutes->setToolTip(
        tr("At most %1; the alarm then comes back").arg(alarms::durationWords(maxMs)));
}

void AlarmsWindow::refreshAlarms()
{
    const qint64 keep = selectedAlarm();
    QList<QStringList> rows;
    const QList<history::AlarmRecord> alarms = m_services.engine.openAlarms();
    // An alarm of a station in maintenance is listed, but says it is held back: no sound, no message.
    QList<bool> quiet;
    for (const history::AlarmRecord& a : alarms) {
        quiet.append(m_services.notifier && m_services.notifier->maintenanceOf(a.address));
        const QString state = quiet.last() ? tr("%1 (in maintenance)").arg(history::stateText(a.state))
                                           : history::stateText(a.state);
        rows.append({QString::number(a.id), state, history::priorityText(a.priority), a.address,
                     localTime(a.raisedMs), valueText(a.value), a.text});
    }
    fillTable(m_alarms, rows);
    for (int r = 0; r < alarms.size(); ++r) {
        m_alarms->item(r, 0)->setData(Qt::UserRole, alarms[r].id);
        if (alarms[r].id == keep)
            m_alarms->selectRow(r);
        if (quiet[r])
            for (int c = 0; c < m_alarms->columnCount(); ++c)
                m_alarms->item(r, c)->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
        else if (alarms[r].priority == history::AlarmPriority::High &&
                 alarms[r].state == history::AlarmState::ActiveUnacknowledged)
            for (int c = 0; c < m_alarms->columnCount(); ++c)
                m_alarms->item(r, c)->setForeground(QColor(0xFF, 0, 0));
    }
}

void AlarmsWindow::refreshEvents()
{
    const qint64 now = m_services.engine.now();
    const QString filter = m_eventFilter->text().trimmed();
    m_eventRows.clear();
    m_eventTimes.clear();
    const QList<history::AlarmEvent> events =
        m_services.journal.events(now - kEventDays * 24 * 3600 * 1000, now + 1);
    for (auto it = events.rbegin(); it != events.rend(); ++it) {
        const QStringList row = {localTime(it->utcMs),
                                 it->address,
                                 QString::number(it->alarm),
                                 history::stateText(it->state),
                                 valueText(it->value),
                                 it->who,
                                 it->text};
        if (filter.isEmpty() || row.join(u'\n').contains(filter, Qt::CaseInsensitive)) {
            m_eventRows.append(row);
            m_eventTimes.append(it->utcMs);
        }
    }
    fillTable(m_events, m_eventRows);
}

void AlarmsWindow::refreshRules()
{
    m_ruleList = m_services.journal.isOpen() ? m_services.journal.rules() : m_services.engine.rules();
    QList<QStringList> rows;
    for (const history::AlarmRule& r : m_ruleList)
        rows.append({r.address.isEmpty() ? tr("(all)") : r.address, alarms::kindWords(r.kind),
                     QString::number(r.channel), QString::number(r.limit), QString::number(r.deadband),
                     QString::number(r.onDelayS), QString::number(r.offDelayS),
                     history::priorityText(r.priority), alarms::ruleText(r)});
    fillTable(m_rules, rows);
}

qint64 AlarmsWindow::selectedAlarm() const
{
    const int row = m_alarms->currentRow();
    const QTableWidgetItem* item = row >= 0 ? m_alarms->item(row, 0) : nullptr;
    return item ? item->data(Qt::UserRole).toLongLong() : 0;
}

QString AlarmsWindow::operatorName() const
{
    return history::AuditLog::localUser();
}

void AlarmsWindow::acknowledgeSelected()
{
    const qint64 id = selectedAlarm();
    if (id == 0) {
        context().prompter.inform(tr("Select an alarm in the list first."));
        return;
    }
    m_services.engine.acknowledge(id, operatorName());
}

void AlarmsWindow::acknowledgeAll()
{
    m_services.engine.acknowledgeAll(operatorName());
}

void AlarmsWindow::shelveSelected()
{
    const qint64 id = selectedAlarm();
    if (id == 0) {
        context().prompter.inform(tr("Select an alarm in the list first."));
        return;
    }
    const qint64 duration = qint64(m_shelveMinutes->value()) * 60 * 1000;
    const QString reason = m_shelveReason->text().trimmed();
    if (const QString problem = alarms::shelveProblem(duration, reason, m_services.engine.maxShelveMs());
        !problem.isEmpty()) {
        context().prompter.inform(tr("The alarm was not shelved. ") + problem);
        return;
    }
    if (m_services.engine.shelve(id, duration, operatorName(), reason))
        m_shelveReason->clear();
}

void AlarmsWindow::unshelveSelected()
{
    const qint64 id = selectedAlarm();
    const std::optional<history::AlarmRecord> alarm = m_services.engine.alarm(id);
    if (!alarm || alarm->state != history::AlarmState::Shelved) {
        context().prompter.inform(tr("Select a shelved alarm in the list first."));
        return;
    }
    m_services.engine.unshelve(id, operatorName());
}

void AlarmsWindow::exportEvents()
{
    // On screen local time; in the file ISO 8601 UTC, like every export.
    QList<QStringList> rows = m_eventRows;
    for (qsizetype i = 0; i < rows.size(); ++i)
        rows[i][0] = history::isoUtc(m_eventTimes.at(i));
    exportCsv(this, m_services.files, context().prompter, QStringLiteral("alarm-events.csv"),
              {QStringLiteral("time"), QStringLiteral("station"), QStringLiteral("alarm"),
               QStringLiteral("state"), QStringLiteral("value"), QStringLiteral("by"),
               QStringLiteral("text")},
              rows);
}

void AlarmsWindow::showRule(int row)
{
    if (row < 0 || row >= m_ruleList.size())
        return;
    const history::AlarmRule& r = m_ruleList[row];
    m_ruleStation->setText(r.address);
    m_ruleKind->setCurrentIndex(m_ruleKind->findData(int(r.kind)));
    m_ruleChannel->setText(QString::number(r.channel));
    m_ruleLimit->setText(QString::number(r.limit));
    m_ruleDeadband->setText(QString::number(r.deadband));
    m_ruleOnDelay->setText(QString::number(r.onDelayS));
    m_ruleOffDelay->setText(QString::number(r.offDelayS));
    m_rulePriority->setCurrentIndex(m_rulePriority->findData(int(r.priority)));
    m_ruleText->setText(r.text);
}

std::optional<history::AlarmRule> AlarmsWindow::ruleFromForm(QString* problem) const
{
    history::AlarmRule rule;
    rule.address = m_ruleStation->text().trimmed();
    rule.kind = history::AlarmRuleKind(m_ruleKind->currentData().toInt());
    rule.priority = history::AlarmPriority(m_rulePriority->currentData().toInt());
    rule.text = m_ruleText->text().trimmed();
    const bool needsChannel = rule.kind == history::AlarmRuleKind::VoltageAbove ||
                              rule.kind == history::AlarmRuleKind::VoltageBelow ||
                              rule.kind == history::AlarmRuleKind::PinIs ||
                              rule.kind == history::AlarmRuleKind::RelayNot;
    const bool needsLimit = rule.kind != history::AlarmRuleKind::BadPassword;
    struct Field
    {
        QLineEdit* edit;
        const char* name;
        bool required;
        bool integer;
    };
    const Field fields[] = {{m_ruleChannel, "Channel", needsChannel, true},
                            {m_ruleLimit, "Limit", needsLimit, false},
                            {m_ruleDeadband, "Deadband", false, false},
                            {m_ruleOnDelay, "On-delay", false, true},
                            {m_ruleOffDelay, "Off-delay", false, true}};
    double values[5] = {};
    for (int i = 0; i < 5 && rule.kind != history::AlarmRuleKind(0); ++i) {
        const QString text = fields[i].edit->text().trimmed();
        if (text.isEmpty() && !fields[i].required)
            continue;
        bool ok = false;
        values[i] = fields[i].integer ? text.toInt(&ok) : text.toDouble(&ok);
        if (!ok) {
            *problem =
                tr("%1: \"%2\" is not a%3 number.")
                    .arg(QLatin1String(fields[i].name), text, fields[i].integer ? tr(" whole") : QString());
            return std::nullopt;
        }
    }
    rule.channel = int(values[0]);
    rule.limit = values[1];
    rule.deadband = values[2];
    rule.onDelayS = int(values[3]);
    rule.offDelayS = int(values[4]);
    return rule;
}

void AlarmsWindow::saveRule(bool asNew)
{
    const int row = m_rules->currentRow();
    if (!asNew && (row < 0 || row >= m_ruleList.size())) {
        context().prompter.inform(tr("Select the rule to save in the list first, or use Add."));
        return;
    }
    QString problem;
    std::optional<history::AlarmRule> rule = ruleFromForm(&problem);
    if (rule) {
        rule->id = asNew ? 0 : m_ruleList[row].id;
        problem = alarms::validateRule(*rule, m_ruleList);
    }
    if (!problem.isEmpty()) {
        context().prompter.inform(tr("The rule was not saved. ") + problem);
        return;
    }
    if (!m_services.journal.saveRule(*rule)) {
        context().prompter.inform(tr("The rule could not be written to the history file; check that "
                                     "the file is writable."));
        return;
    }
    refreshRules();
    m_services.engine.setRules(m_ruleList);
}

void AlarmsWindow::removeRule()
{
    const int row = m_rules->currentRow();
    if (row < 0 || row >= m_ruleList.size())
        return;
    m_services.journal.removeRule(m_ruleList[row].id);
    refreshRules();
    m_services.engine.setRules(m_ruleList);
}

} // namespace kestavo::alarmwindows
