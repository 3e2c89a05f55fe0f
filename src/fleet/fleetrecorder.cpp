#include "fleet/fleetrecorder.h"

#include "fleet/fleetpoller.h"
#include "history/historystore.h"

namespace kestavo::fleet {

FleetRecorder::FleetRecorder(FleetPoller& poller, history::HistoryStore& history, QObject* parent)
    : QObject(parent), m_poller(poller), m_history(history)
{
    connect(&poller, &FleetPoller::reportDecoded, this,
            [this](int index, qint64 utcMs, const protocol::StatusReport& report) {
                const FleetStation& station = m_poller.unit(index).station;
                m_history.record(station.address, QString::fromStdString(report.macText), utcMs, report,
                                 history::RangeFlags{station.rangeFlags[0], station.rangeFlags[1]});
            });
    connect(&poller, &FleetPoller::linkStateChanged, this, &FleetRecorder::onLinkState);
}

void FleetRecorder::onLinkState(int index, LinkState state)
{
    const FleetPoller::Unit& unit = m_poller.unit(index);
    const qint64 now = m_poller.now();
    switch (state) {
    case LinkState::Online:
        m_history.recordEvent(unit.station.address, now, history::LinkEvent::FirstReport);
        break;
    case LinkState::BadPassword:
        m_history.recordEvent(unit.station.address, now, history::LinkEvent::BadPassword);
        break;
    case LinkState::Offline:
        // Only a link that was up can be lost; a unit never heard of starts offline.
        if (unit.lastReportMs)
            m_history.recordEvent(
                unit.station.address, now, history::LinkEvent::LinkLost,
                QStringLiteral("no report for %1 s").arg((now - *unit.lastReportMs) / 1000));
        break;
    case LinkState::Stale:
    case LinkState::Invalid:
        break;
    }
}

} // namespace kestavo::fleet
