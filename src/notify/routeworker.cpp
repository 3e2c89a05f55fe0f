#include "notify/routeworker.h"

#include <QDateTime>

namespace kestavo::notify {

RouteWorker::RouteWorker(const Route& route, std::shared_ptr<Transport> transport, Options options,
                         Report report)
    : m_transport(std::move(transport)), m_options(std::move(options)), m_report(std::move(report)),
      m_route(route)
{
    m_thread = std::thread([this] { run(); });
}

RouteWorker::~RouteWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

qint64 RouteWorker::now() const
{
    return m_options.clock ? m_options.clock() : QDateTime::currentMSecsSinceEpoch();
}

bool RouteWorker::enqueue(const Message& message)
{
    {
        std::lock_guard lock(m_mutex);
        if (qsizetype(m_queue.size()) >= m_options.capacity)
            return false;
        m_queue.push_back(Job{message, {}});
    }
    m_wake.notify_one();
    return true;
}

void RouteWorker::log(const Delivery& delivery)
{
    {
        std::lock_guard lock(m_mutex);
        // A long flood on a route stuck in its pauses would pile rows up without end.
        if (qsizetype(m_queue.size()) >= 10 * m_options.capacity)
            return;
        m_queue.push_back(Job{std::nullopt, delivery});
    }
    m_wake.notify_one();
}

void RouteWorker::setRoute(const Route& route)
{
    std::lock_guard lock(m_mutex);
    m_route = route;
}

bool RouteWorker::idle() const
{
    std::lock_guard lock(m_mutex);
    return m_queue.empty() && !m_busy;
}

void RouteWorker::write(Delivery row)
{
    if (!m_options.historyPath.isEmpty()) {
        if (!m_store) {
            m_store = std::make_unique<NotifyStore>();
            if (!m_store->open(m_options.historyPath))
                qWarning("Notification route %lld: the delivery log cannot be written: %s", row.route,
                         qPrintable(m_store->error()));
        }
        if (m_store->isOpen() && !m_store->record(row))
            qWarning("Notification route %lld: a delivery row could not be written", row.route);
    }
    if (m_report)
        m_report(row);
}

void RouteWorker::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        if (m_queue.empty()) {
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            continue;
        }
        Job job = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        const Route route = m_route;
        lock.unlock();
        if (!job.message) {
            write(job.row);
        } else {
            const Message& m = *job.message;
            for (int attempt = 1;; ++attempt) {
                const SendResult result = m_transport->send(route, m, &m_stop);
                const bool last =
                    result.ok || std::size_t(attempt) > m_options.retryDelaysMs.size() || m_stop;
                write(Delivery{0, now(), route.id, m.alarmId, m.address, messageKindText(m.kind),
                               result.ok ? QStringLiteral("sent")
                               : last    ? QStringLiteral("failed")
                                         : QStringLiteral("retrying"),
                               attempt, result.detail});
                if (last)
                    break;
                // Growing pauses; a stop request cuts the wait short.
                std::unique_lock pause(m_mutex);
                m_wake.wait_for(
                    pause, std::chrono::milliseconds(m_options.retryDelaysMs.at(std::size_t(attempt - 1))),
                    [this] { return m_stop.load(); });
            }
        }
        lock.lock();
        m_busy = false;
    }
    lock.unlock();
    m_store.reset();
}

} // namespace kestavo::notify
