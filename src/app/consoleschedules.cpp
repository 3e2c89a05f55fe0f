#include "app/consoleschedules.h"

#include "stations/stationstore.h"

#include "alarms/alarmengine.h"
#include "app/consolealarms.h"
#include "app/fleetwiring.h"

namespace kestavo::app {

ConsoleSchedules::ConsoleSchedules(FleetWiring& fleet, ConsoleAlarms& alarms,
                                   const stations::StationStore& store,
                                   schedules::ScheduleHost::Options options, QObject* parent)
    : QObject(parent), m_fleet(fleet)
{
    options.program = QStringLiteral("console");
    m_host = std::make_unique<schedules::ScheduleHost>(fleet.poller(), alarms.engine(), &alarms.auditLog(),
                                                       &alarms.journal(), options);
    m_host->setPlaceLookup([&store](const QString& address) {
        return schedules::ScheduleHost::Place{store.tagsOf(address), store.siteOf(address)};
    });
    connect(&fleet, &FleetWiring::watchAllChanged, this, &ConsoleSchedules::update);
}

ConsoleSchedules::~ConsoleSchedules()
{
    m_host->stop(QStringLiteral("the console closed before a report showed it"));
}

QString ConsoleSchedules::open(const QString& historyPath)
{
    if (!m_host->open(historyPath))
        return m_host->error();
    update();
    return {};
}

void ConsoleSchedules::update()
{
    if (m_fleet.watchAll())
        m_host->start(); // does nothing while the tables are not open
    else
        m_host->stop(QStringLiteral("the console stopped watching all stations before a report showed it"));
}

} // namespace kestavo::app
