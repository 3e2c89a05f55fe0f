#pragma once

// The console's share in carrying out schedules: while "Watch all stations" is on, its fleet poller
// runs for good and it hosts the schedule executor for the stations whose lease its alarm engine
// holds. An agent on the same history file outranks it, so where an agent polls, the agent
// switches. The Fleet window alone does not make the console act: it is closed at any time.
// Wiring only; the executor and its hosting live in the schedules library.

#include <memory>

#include <QObject>
#include <QString>

#include "schedules/schedulehost.h"

namespace kestavo::stations {
class StationStore;
}

namespace kestavo::app {

class ConsoleAlarms;
class FleetWiring;

class ConsoleSchedules final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConsoleSchedules)

public:
    /// The fleet, the alarms and the store outlive this object.
    ConsoleSchedules(FleetWiring& fleet, ConsoleAlarms& alarms, const stations::StationStore& store,
                     schedules::ScheduleHost::Options options = {}, QObject* parent = nullptr);
    ~ConsoleSchedules() override;

    /// Opens the schedule tables of the history file (after the alarms opened theirs) and starts
    /// hosting the executor if "Watch all stations" is on. The error sentence when it cannot.
    QString open(const QString& historyPath);
    bool isRunning() const { return m_host && m_host->isRunning(); }

private:
    void update();

    FleetWiring& m_fleet;
    std::unique_ptr<schedules::ScheduleHost> m_host;
};

} // namespace kestavo::app
