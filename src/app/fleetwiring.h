#pragma once

// The console's fleet: the poller over every station of the directory, fed by the main window's
// session so that a unit is never polled by both in the same second, recording into the history
// file, and running only while someone asked for it: the Fleet window is open, or "Watch all
// stations" is on (remembered between runs).

#include <memory>
#include <optional>

#include <QObject>

#include "fleet/fleetpoller.h"

namespace kestavo::core {
class ConsoleState;
class Session;
} // namespace kestavo::core
namespace kestavo::history {
class HistoryStore;
}
namespace kestavo::stations {
class StationStore;
}
namespace kestavo::fleet {
class FleetRecorder;
}

namespace kestavo::app {

class FleetWiring final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FleetWiring)

public:
    FleetWiring(stations::StationStore& store, core::Session& session, core::ConsoleState& state,
                QObject* parent = nullptr);
    ~FleetWiring() override;

    fleet::FleetPoller& poller() { return m_poller; }
    /// The fleet's unit port when it is not the session's (the demo fleet).
    void setUnitPort(quint16 port) { m_unitPort = port; }
    /// Every report the poller decodes goes to `history` from now on (nullptr: none).
    void setHistory(history::HistoryStore* history);

    /// The Fleet window opened / closed.
    void acquire();
    void release();
    bool watchAll() const { return m_watchAll; }
    /// Stored in the settings under kWatchAllKey.
    void setWatchAll(bool on);
    static inline const QString kWatchAllKey = QStringLiteral("fleet/watchAllStations");

    /// Reads the directory again (the store's changed() does this too).
    void reloadStations();
    /// Reads the directory again when another program (`kestavo-cli stations tag`) changed the
    /// stations' tags since; true when it did.
    bool refreshTags();

Q_SIGNALS:
    void watchAllChanged(bool on);

private:
    void updateRunning();

    stations::StationStore& m_store;
    core::Session& m_session;
    core::ConsoleState& m_state;
    fleet::FleetPoller m_poller;
    std::unique_ptr<fleet::FleetRecorder> m_recorder;
    std::optional<quint16> m_unitPort;
    int m_windows = 0;
    bool m_watchAll = false;
};

} // namespace kestavo::app
