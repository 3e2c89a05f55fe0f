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
                         engine.linkState(poller.unit(index).station.address,
                                          QDateTime::currentMSecsSinceEpoch(), linkStateOf(state));
                     });
}

} // namespace kestavo::alarms
