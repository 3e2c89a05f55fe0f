#pragma once

// Records what a fleet poller decodes into the history file: every report as a sample, and the
// link's turning points as events. The poller itself knows no sinks; the console, the CLI and the
// agent each create one of these when they keep history.

#include <QObject>

namespace kestavo::history {
class HistoryStore;
}

namespace kestavo::fleet {

class FleetPoller;
enum class LinkState;

class FleetRecorder final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FleetRecorder)

public:
    FleetRecorder(FleetPoller& poller, history::HistoryStore& history, QObject* parent = nullptr);

private:
    void onLinkState(int index, LinkState state);

    FleetPoller& m_poller;
    history::HistoryStore& m_history;
};

} // namespace kestavo::fleet
