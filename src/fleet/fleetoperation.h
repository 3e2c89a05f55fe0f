#pragma once

// One action carried out at many units, a few at a time: a switch, a script run, a configuration
// rollout. Each unit gets a conversation of its own (its own socket, the backup library's
// exchange) on one of at most `parallel` worker threads, so the synchronous restore and checks
// run unchanged; the outcome of each unit comes back on the caller's thread. After `maxFailures`
// failed units, or stop(), no further unit is started; those already talking to their unit finish.
// pause() holds back the next units until resume().

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include "backup/unitexchange.h"

class QThread;

namespace kestavo::fleet {

struct OperationTarget
{
    QString address;
    QString description;
    std::string password; // the '*'-padded form that goes on the wire
    quint16 port = 7;
};

struct UnitOutcome
{
    enum class Result {
        Done,     // carried out and seen in the unit's next report
        Equal,    // nothing to do: the unit already held it
        Differs,  // a dry run found something to do and did nothing
        Refused,  // the unit or a check before sending refused; reason in `text`
        NoAnswer, // the unit did not answer in time
    };
    Result result = Result::Done;
    QString text;

    bool failed() const { return result == Result::Refused || result == Result::NoAnswer; }
    /// "done", "equal", "differs", "refused", "no answer".
    static QString word(Result result);
};

class FleetOperation final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FleetOperation)

public:
    struct Options
    {
        int parallel = 4;
        int maxFailures = 1; // no new unit is started once this many failed; 0: never stop for failures
        backup::Timing timing;
    };

    struct Summary
    {
        int done = 0;
        int equal = 0;
        int differs = 0;
        int failed = 0;
        int notStarted = 0;
        bool stopped = false; // stop() was called before every unit had started

        bool complete() const { return failed == 0 && notStarted == 0; }
    };

    /// Runs on a worker thread with a fresh exchange to the target's unit. It may use nothing of
    /// the caller's but what it captured by value or as immutable data.
    using Job = std::function<UnitOutcome(backup::UnitExchange&, const OperationTarget&)>;

    explicit FleetOperation(const Options& options, QObject* parent = nullptr);
    ~FleetOperation() override;

    /// Starts the workers and returns; finished() follows on this object's thread.
    void start(const QList<OperationTarget>& targets, Job job);
    /// start(), then waits for finished() in a local event loop (simulated units living on this
    /// thread keep answering).
    Summary run(const QList<OperationTarget>& targets, Job job);
    /// Starts no further unit. Safe from any thread.
    void stop();
    /// Starts no further unit until resume() (or stop()); the units in flight finish. Safe from
    /// any thread.
    void pause();
    void resume();
    bool isPaused() const { return m_paused; }
    bool isRunning() const { return !m_workers.empty(); }

Q_SIGNALS:
    void unitStarted(int index);
    void unitFinished(int index, const kestavo::fleet::UnitOutcome& outcome);
    /// Every datagram of every unit's conversation, for the audit.
    void frameSent(const QString& address, const QString& description, const QByteArray& frame);
    void replyReceived(const QString& address, const QByteArray& datagram);
    void finished(const kestavo::fleet::FleetOperation::Summary& summary);

private:
    int takeNext();
    void work();
    void workerDone();

    Options m_options;
    QList<OperationTarget> m_targets;
    Job m_job;
    std::mutex m_mutex; // guards m_next; m_resumed waits on it
    std::condition_variable m_resumed;
    int m_next = 0;
    std::atomic<bool> m_paused{false};
    std::atomic<int> m_failures{0};
    std::atomic<bool> m_stopRequested{false};
    std::vector<QThread*> m_workers;
    int m_workersLeft = 0;
    Summary m_summary;
    int m_started = 0;
};

} // namespace kestavo::fleet
