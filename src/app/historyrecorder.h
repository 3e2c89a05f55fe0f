#pragma once

#include <QObject>

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

namespace kestavo::app {

/// Hands the console session's decoded reports and link events to the history store. The session
/// and the main window know nothing of it; the fleet poller feeds the same store its own way.
class HistoryRecorder final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryRecorder)

public:
    HistoryRecorder(history::HistoryStore& history, core::Session& session, core::ConsoleState& state,
                    stations::StationStore& stations, QObject* parent = nullptr);

private:
    history::HistoryStore& m_history;
    core::ConsoleState& m_state;
    stations::StationStore& m_stations;
    bool m_running = false; // Stop on an idle session (choosing another station) is no event
    bool m_awaitingFirstReport = false;
};

} // namespace kestavo::app
