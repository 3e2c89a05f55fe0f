#include "alarms/fleetalarms.h"

#include <QDateTime>

#include "protocol/reply.h"

#include "alarms/alarmengine.h"
#include "fleet/fleetpoller.h"
#include "fleet/linkstate.h"

namespace kestavo::alarms {

LinkState linkStateOf(fleet::LinkState state)
{
    switch (state) {
    case fleet::LinkState::Online:
        return LinkState::Online;
    case fleet::LinkState::Stale:
        return LinkState::Stale;
    case fleet::LinkState::Offline:
        return LinkState::Offline;
    case fleet::LinkState::BadPassword:
        return LinkState::BadPassword;
    case fleet::LinkState::Invalid:
        break;
    }
    return LinkState::Invalid;
}

void feedFromFleet(AlarmEngine& engine, fleet::FleetPoller& poller)
{
    QObject::connect(
        &poller, &fleet::FleetPoller::reportDecoded, &engine,
        [&engine, &poller](int index, qint64 utcMs, const protocol::StatusReport& report) {
            const fleet::FleetStation& station = poller.unit(index).station;
            engine.report(station.address, utcMs, report, {station.rangeFlags[0], station.rangeFlags[1]});
        });
    QObject::connect(&poller, &fleet::FleetPoller::linkStateChanged, &engine,
                     [&engine, &poller](int index, fleet::LinkState state) {
                         engine.linkState(poller.unit(index).station.address, engine.now(),
                                          linkStateOf(state));
                     });
    // A unit starts out offline and sends no change while it stays silent: while the poller runs,
    // tell the engine where every unit stands, or an offline rule never fires for a unit dead
    // since the start. A poller that stops lets its stations' leases lapse.
    const auto current = [&engine, &poller] {
        QStringList watched;
        if (poller.isRunning())
            for (int i = 0; i < poller.count(); ++i)
                if (poller.unit(i).state != fleet::LinkState::Invalid)
                    watched.append(poller.unit(i).station.address);
        engine.setWatched(watched);
        for (const QString& address : watched) {
            const fleet::FleetPoller::Unit& unit = poller.unit(poller.indexOf(address));
            engine.linkState(unit.station.address, engine.now(), linkStateOf(unit.state));
        }
    };
    QObject::connect(&poller, &fleet::FleetPoller::stationsReset, &engine, current);
    QObject::connect(&poller, &fleet::FleetPoller::runningChanged, &engine, current);
    current();
}

} // namespace kestavo::alarms
