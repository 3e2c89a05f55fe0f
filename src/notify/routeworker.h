#pragma once

// One thread per route: a bounded queue, each message tried again after growing pauses while the
// route fails, every attempt written to the delivery log through the thread's own connection. A
// route that hangs or fails holds up only its own queue, never polling or another route.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <QList>
#include <QString>

#include "notify/message.h"
#include "notify/notifystore.h"
#include "notify/route.h"
#include "notify/transport.h"

namespace kestavo::notify {

class RouteWorker final
{
public:
    struct Options
    {
        int capacity = 100;
        std::vector<qint64> retryDelaysMs; // one pause before each further attempt; empty: one attempt
        QString historyPath;               // the delivery log; empty: not written
        std::function<qint64()> clock;
    };
    /// Called on the worker thread after each delivery row (the caller hops to its own thread).
    using Report = std::function<void(const Delivery&)>;

    RouteWorker(const Route& route, std::shared_ptr<Transport> transport, Options options, Report report);
    ~RouteWorker(); // cancels a transfer in flight and joins
    RouteWorker(const RouteWorker&) = delete;
    RouteWorker& operator=(const RouteWorker&) = delete;

    /// False when the queue is full (the message is dropped; the caller records why).
    bool enqueue(const Message& message);
    /// A row for the log only (a suppression decided elsewhere), written on this thread.
    void log(const Delivery& delivery);
    void setRoute(const Route& route);
    bool idle() const;

private:
    struct Job
    {
        std::optional<Message> message;
        Delivery row; // for log-only jobs
    };

    void run();
    void write(Delivery row);
    qint64 now() const;

    std::shared_ptr<Transport> m_transport;
    Options m_options;
    Report m_report;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_queue;
    Route m_route;
    bool m_busy = false;
    std::atomic<bool> m_stop{false};
    std::unique_ptr<NotifyStore> m_store; // opened on the worker thread
    std::thread m_thread;
};

} // namespace kestavo::notify
