#include "gui/alarms/maintenancepanel.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "protocol/ipv4.h"

#include "stations/stationextras.h"

#include "alarms/alarmengine.h"
#include "gui/alarms/alarmtables.h"
#include "gui/alarms/alarmwindows.h"
#include "history/auditlog.h"
#include "notify/notifier.h"
#include "platform/prompter.h"

namespace kestavo::alarmwindows {

using namespace Qt::StringLiterals;

MaintenancePanel::MaintenancePanel(AlarmServices& services, platform::Prompter& prompter, QWidget* parent)
    : QWidget(parent), m_services(services), m_prompter(prompter)
{
    m_list = rowTable(this, u"MaintenanceList"_s, tr("Stations in maintenance"),
                      {tr("Station"), tr("Until"), tr("By"), tr("Reason")});
    sizeColumns(m_list, {u"255.255.255.255 (Pumphouse North)"_s, localTime(0), u"operator"_s});
    m_station = named(new QLineEdit(this), u"MaintenanceStation"_s, tr("Station to take out of service"));
    m_station->setPlaceholderText(u"10.0.0.5"_s);
    m_tag = named(new QLineEdit(this), u"MaintenanceTag"_s, tr("Tag to take out of service"));
    m_tag->setPlaceholderText(tr("or every station with this tag"));
    m_hours = named(new QSpinBox(this), u"MaintenanceHours"_s, tr("Maintenance hours"));
    m_hours->setRange(1, 7 * 24);
    m_hours->setValue(2);
    m_hours->setSuffix(tr(" h"));
    m_reason = named(new QLineEdit(this), u"MaintenanceReason"_s, tr("Reason for the maintenance"));
    m_reason->setPlaceholderText(tr("Reason (required)"));
    auto* startButton = named(new QPushButton(tr("Start"), this), u"StartMaintenance"_s,
                              tr("Take the station out of service"));
    auto* endButton = named(new QPushButton(tr("End now"), this), u"EndMaintenance"_s,
                            tr("Bring the selected station back into service"));
    connect(startButton, &QPushButton::clicked, this, &MaintenancePanel::start);
    connect(endButton, &QPushButton::clicked, this, &MaintenancePanel::end);
    if (m_services.notifier)
        connect(m_services.notifier, &notify::Notifier::maintenanceEnded, this, &MaintenancePanel::refresh);

    auto* form = new QFormLayout;
    form->addRow(tr("Station"), m_station);
    form->addRow(tr("or tag"), m_tag);
    form->addRow(tr("For"), m_hours);
    form->addRow(tr("Reason"), m_reason);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton);
    buttons->addWidget(endButton);
    buttons->addStretch();
    auto* side = new QVBoxLayout;
    side->addLayout(form);
    side->addLayout(buttons);
    side->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 3);
    layout->addLayout(side, 2);
    refresh();
}

void MaintenancePanel::refresh()
{
    const qint64 now = m_services.engine.now();
    m_windows.clear();
    if (m_services.notifyStore)
        for (const notify::MaintenanceWindow& w : m_services.notifyStore->maintenance(true))
            if (w.endMs > now)
                m_windows.append(w);
    QList<QStringList> rows;
    for (const notify::MaintenanceWindow& w : m_windows) {
        QString where = w.address.isEmpty() ? tr("tag %1").arg(w.tag) : w.address;
        if (m_services.stationName && !w.address.isEmpty())
            if (const QString name = m_services.stationName(w.address); !name.isEmpty())
                where += u" ("_s + name + u")"_s;
        rows.append({where, localTime(w.endMs), w.who, w.reason});
    }
    fillTable(m_list, rows);
}

void MaintenancePanel::say(const QString& text)
{
    m_prompter.ask(text, tr("Kestavo"), platform::Prompter::Buttons::Ok, platform::Prompter::Icon::Warning);
}

void MaintenancePanel::start()
{
    const QString address = m_station->text().trimmed();
    const QString tag = m_tag->text().trimmed();
    const QString reason = m_reason->text().trimmed();
    if (!address.isEmpty() && !tag.isEmpty()) {
        say(tr("Maintenance was not started. Give a station or a tag, not both."));
        return;
    }
    if (!tag.isEmpty()) {
        if (const QString problem = stations::tagProblem(tag); !problem.isEmpty()) {
            say(tr("Maintenance was not started. Tag: %1.").arg(problem));
            return;
        }
    } else if (!protocol::parseIpv4(address.toStdString())) {
        say(tr("Maintenance was not started. Station: \"%1\" is not an IPv4 address (four numbers 0-255, no "
               "leading zeros).")
                .arg(address));
        return;
    }
    if (reason.isEmpty()) {
        say(tr("Maintenance was not started. Reason: say why the station is out of service."));
        return;
    }
    if (!m_services.notifyStore) {
        say(tr("Maintenance is kept in the history file, and this console runs without one."));
        return;
    }
    const qint64 now = m_services.engine.now();
    notify::MaintenanceWindow w;
    w.address = address;
    w.tag = tag;
    w.reason = reason;
    w.startMs = now;
    w.endMs = now + qint64(m_hours->value()) * 3600 * 1000;
    w.who = history::AuditLog::localUser();
    QString description;
    if (!tag.isEmpty() && m_services.stationsWithTag) {
        const QStringList tagged = m_services.stationsWithTag(tag);
        // The audit record is read by everyone on the file: the command line's words, untranslated.
        description = u"%1 station(s): %2"_s.arg(tagged.size()).arg(tagged.mid(0, 20).join(u", "_s));
        if (tagged.size() > 20)
            description += u", …"_s;
    } else if (m_services.stationName) {
        description = m_services.stationName(address);
    }
    if (!m_services.notifyStore->startMaintenance(w, u"console"_s, description)) {
        say(tr("Maintenance could not be written to \"%1\"; check that the file is writable.")
                .arg(m_services.notifyStore->path()));
        return;
    }
    m_reason->clear();
    m_tag->clear();
    if (m_services.notifier)
        m_services.notifier->reload();
    refresh();
}

void MaintenancePanel::end()
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_windows.size() || !m_services.notifyStore) {
        say(tr("Select the station to bring back in the list first."));
        return;
    }
    // Another program may have ended it a moment ago; then there is nothing left to do.
    m_services.notifyStore->endMaintenance(m_windows[row].id, m_services.engine.now(), u"console"_s,
                                           u"ended by hand"_s);
    if (m_services.notifier)
        m_services.notifier->reload();
    refresh();
}

} // namespace kestavo::alarmwindows
