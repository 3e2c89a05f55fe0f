#include "app/fleetwiring.h"

#include <QSettings>

#include "stations/stationstore.h"

#include "session/consolestate.h"
#include "session/session.h"

#include "fleet/fleetrecorder.h"
#include "fleet/fleetstation.h"
#include "history/historystore.h"

namespace kestavo::app {

FleetWiring::FleetWiring(stations::StationStore& store, core::Session& session, core::ConsoleState& state,
                         QObject* parent)
    : QObject(parent), m_store(store), m_session(session), m_state(state)
{
    m_watchAll = QSettings().value(kWatchAllKey, false).toBool();
    connect(&store, &stations::StationStore::changed, this, &FleetWiring::reloadStations);
    // The session's frames and reports stand in for the poller's own polls of that unit.
    connect(&session, &core::Session::frameSent, this,
            [this] { m_poller.noteExternalPoll(m_session.unitAddress().toString()); });
    connect(&state, &core::ConsoleState::statusDecoded, this, [this](const protocol::StatusReport& report) {
        m_poller.noteExternalReport(m_session.unitAddress().toString(), report);
    });
}

FleetWiring::~FleetWiring() = default;

void FleetWiring::setHistory(history::HistoryStore* history)
{
    m_recorder.reset(history ? new fleet::FleetRecorder(m_poller, *history) : nullptr);
}

void FleetWiring::reloadStations()
{
    m_poller.setUnitPort(m_unitPort.value_or(m_session.unitPort()));
    m_poller.setStations(fleet::stationsFromStore(m_store));
    // "Watch all stations" remembered from the last run starts watching with the first list.
    updateRunning();
}

bool FleetWiring::refreshTags()
{
    // Another program may have read the change first (the notifier asks the store too), so the
    // poller's copy is compared rather than trusting refreshExtras() to say so.
    m_store.refreshExtras();
    for (int i = 0; i < m_poller.count(); ++i) {
        const fleet::FleetStation& station = m_poller.unit(i).station;
        if (station.tags != m_store.tagsOf(station.address)) {
            reloadStations();
            return true;
        }
    }
    return false;
}

void FleetWiring::acquire()
{
    ++m_windows;
    updateRunning();
}

void FleetWiring::release()
{
    m_windows = std::max(m_windows - 1, 0);
    updateRunning();
}

void FleetWiring::setWatchAll(bool on)
{
    const bool changed = on != m_watchAll;
    m_watchAll = on;
    QSettings().setValue(kWatchAllKey, on);
    updateRunning();
    if (changed)
        Q_EMIT watchAllChanged(on);
}

void FleetWiring::updateRunning()
{
    const bool wanted = m_windows > 0 || m_watchAll;
    if (wanted && !m_poller.isRunning()) {
        m_poller.setUnitPort(m_unitPort.value_or(m_session.unitPort()));
        if (!m_poller.start())
            qWarning("Fleet: %s", qPrintable(m_poller.errorString()));
    } else if (!wanted && m_poller.isRunning()) {
        m_poller.stop();
    }
}

} // namespace kestavo::app
