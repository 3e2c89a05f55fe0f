#include "fleet/fleetoperation.h"

#include <algorithm>

#include <QEventLoop>
#include <QHostAddress>
#include <QThread>

#include "fleet/unitsocket.h"

namespace kestavo::fleet {

QString UnitOutcome::word(Result result)
{
    switch (result) {
    case Result::Done:
        return QStringLiteral("done");
    case Result::Equal:
        return QStringLiteral("equal");
    case Result::Differs:
        return QStringLiteral("differs");
    case Result::Refused:
        return QStringLiteral("refused");
    case Result::NoAnswer:
        return QStringLiteral("no answer");
    }
    return {};
}

FleetOperation::FleetOperation(const Options& options, QObject* parent) : QObject(parent), m_options(options)
{
}

FleetOperation::~FleetOperation()
{
    // Never leave a worker talking to a unit with this object gone.
    stop();
    for (QThread* worker : m_workers) {
        worker->wait();
        delete worker;
    }
}

void FleetOperation::start(const QList<OperationTarget>& targets, Job job)
{
    Q_ASSERT(m_workers.empty());
    m_targets = targets;
    m_job = std::move(job);
    m_next = 0;
    m_failures = 0;
    m_stopRequested = false;
    m_paused = false;
    m_summary = {};
    m_started = 0;
    const int count = std::min<int>(std::max(m_options.parallel, 1), int(m_targets.size()));
    if (count == 0) {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT finished(m_summary); }, Qt::QueuedConnection);
        return;
    }
    m_workersLeft = count;
    for (int k = 0; k < count; ++k) {
        QThread* worker = QThread::create([this] { work(); });
        m_workers.push_back(worker);
        worker->start();
    }
}

void FleetOperation::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    m_resumed.notify_all();
}

void FleetOperation::pause()
{
    const std::lock_guard lock(m_mutex);
    m_paused = true;
}

void FleetOperation::resume()
{
    {
        const std::lock_guard lock(m_mutex);
        m_paused = false;
    }
    m_resumed.notify_all();
}

FleetOperation::Summary FleetOperation::run(const QList<OperationTarget>& targets, Job job)
{
    QEventLoop loop;
    Summary result;
    const auto connection = connect(this, &FleetOperation::finished, &loop, [&](const Summary& summary) {
        result = summary;
        loop.quit();
    });
    start(targets, std::move(job));
    loop.exec();
    disconnect(connection);
    return result;
}

// The next unit to start, or -1 once every unit has started, stop() was called or enough failed.
// While paused, the worker waits here: between units, never inside a unit's conversation.
int FleetOperation::takeNext()
{
    std::unique_lock lock(m_mutex);
    m_resumed.wait(lock, [this] { return !m_paused || m_stopRequested; });
    if (m_stopRequested || m_next >= m_targets.size())
        return -1;
    if (m_options.maxFailures > 0 && m_failures >= m_options.maxFailures)
        return -1;
    return m_next++;
}

// Runs on a worker thread: everything it hands back goes through queued calls to this object.
void FleetOperation::work()
{
    for (int index = takeNext(); index >= 0; index = takeNext()) {
        const OperationTarget target = m_targets.at(index);
        QMetaObject::invokeMethod(
            this, [this, index] { Q_EMIT unitStarted(index); }, Qt::QueuedConnection);
        UnitSocket socket(QHostAddress(target.address), target.port);
        socket.setObservers(
            [this, target](const QByteArray& frame) {
                QMetaObject::invokeMethod(
                    this,
                    [this, target, frame] { Q_EMIT frameSent(target.address, target.description, frame); },
                    Qt::QueuedConnection);
            },
            [this, address = target.address](const QByteArray& datagram) {
                QMetaObject::invokeMethod(
                    this, [this, address, datagram] { Q_EMIT replyReceived(address, datagram); },
                    Qt::QueuedConnection);
            });
        UnitOutcome outcome;
        if (!socket.open()) {
            outcome = {UnitOutcome::Result::Refused, socket.errorString()};
        } else {
            backup::UnitExchange exchange(socket, target.password, m_options.timing);
            outcome = m_job(exchange, target);
        }
        // Counted here, before this worker takes its next unit, so that no unit starts after
        // the failure that reached the limit.
        if (outcome.failed())
            ++m_failures;
        QMetaObject::invokeMethod(
            this,
            [this, index, outcome] {
                ++m_started;
                switch (outcome.result) {
                case UnitOutcome::Result::Done:
                    ++m_summary.done;
                    break;
                case UnitOutcome::Result::Equal:
                    ++m_summary.equal;
                    break;
                case UnitOutcome::Result::Differs:
                    ++m_summary.differs;
                    break;
                case UnitOutcome::Result::Refused:
                case UnitOutcome::Result::NoAnswer:
                    ++m_summary.failed;
                    break;
                }
                Q_EMIT unitFinished(index, outcome);
            },
            Qt::QueuedConnection);
    }
    QMetaObject::invokeMethod(
        this, [this] { workerDone(); }, Qt::QueuedConnection);
}

void FleetOperation::workerDone()
{
    if (--m_workersLeft > 0)
        return;
    for (QThread* worker : m_workers) {
        worker->wait();
        delete worker;
    }
    m_workers.clear();
    m_summary.notStarted = int(m_targets.size()) - m_started;
    m_summary.stopped = m_stopRequested && m_summary.notStarted > 0;
    Q_EMIT finished(m_summary);
}

} // namespace kestavo::fleet
