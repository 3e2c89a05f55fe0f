#pragma once

// A command the Fleet window sends to many stations at once: switch a relay on or off, pulse it,
// or run a relay-script slot. One question names the action, the count and the group; the fleet
// library's operation runner then talks to a few units at a time on its worker threads (the
// window stays responsive), checks each unit's outcome as the CLI does, and each row of the
// window says how it went. Every unit-changing frame goes to the audit recorder with its answer.

#include <memory>

#include <QList>
#include <QObject>
#include <QString>

#include "fleet/fleetoperation.h"

namespace kestavo::platform {
class Prompter;
}
namespace kestavo::alarms {
class AuditRecorder;
}

namespace kestavo::fleetui {

class FleetModel;

class FleetBulkCommand final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FleetBulkCommand)

public:
    struct Action
    {
        enum class Kind { RelayOn, RelayOff, RelayPulse, Script };
        Kind kind = Kind::RelayOn;
        int relay = 1;   // 1..3
        int seconds = 5; // a pulse: off, and back on after this many seconds (1..60)
        int slot = 1;    // 1..8
    };
    struct Scope
    {
        QList<int> units; // the fleet model's rows (poller indices)
        QString group;    // "tag north/pumps", "state offline"; empty for a plain selection
    };

    FleetBulkCommand(FleetModel& model, platform::Prompter& prompter, QObject* parent = nullptr);
    ~FleetBulkCommand() override;

    /// Where every unit-changing frame and its answer go; null: nowhere.
    void setRecorder(alarms::AuditRecorder* recorder) { m_recorder = recorder; }
    void setOptions(const fleet::FleetOperation::Options& options) { m_options = options; }

    /// "Switch relay 2 ON at 14 stations (tag north/pumps)?", "… at 3 selected stations?".
    static QString question(const Action& action, int count, const QString& group);

    /// Asks once, then starts. False when nothing was sent: nobody to send to, or the answer was
    /// No. Stations that cannot be sent to (no password stored, no valid address) are left out,
    /// said so in the question and in their rows.
    bool start(const Action& action, const Scope& scope);
    /// Starts no further unit; those in flight finish.
    void stop();
    bool isRunning() const;

Q_SIGNALS:
    /// "3 of 14 stations: 2 done, 1 failed".
    void progress(const QString& text);
    void finished(const kestavo::fleet::FleetOperation::Summary& summary);

private:
    void report();

    FleetModel& m_model;
    platform::Prompter& m_prompter;
    alarms::AuditRecorder* m_recorder = nullptr;
    fleet::FleetOperation::Options m_options;
    std::unique_ptr<fleet::FleetOperation> m_operation;
    QList<fleet::OperationTarget> m_targets;
    int m_finished = 0;
    int m_done = 0;
    int m_failed = 0;
};

} // namespace kestavo::fleetui
