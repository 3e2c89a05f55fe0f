#pragma once

// The agent's HTTP side over libmicrohttpd, driven from the agent's own event loop (its epoll
// descriptor on a QSocketNotifier, its timeouts on a QTimer), so handlers run on the same thread
// as the poller and read its state without locks. Read-only: GET (and HEAD) on the registered
// paths. What a client can make it hold is bounded: the request head (memory per connection),
// bodies (none: a GET needs none, so one announced is refused with 413 before it is read), open
// connections (in all and per client address) and time (a connection quiet for longer than the
// timeout is closed, whatever it was doing). "Connection: close" and HTTP/1.0 close after the reply.

#include <functional>

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

struct MHD_Daemon;

namespace kestavo::agent {

class HttpListener final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpListener)

public:
    struct Limits
    {
        int connections = 256; // open at once; more are closed on accept
        int connectionsPerAddress = 64;
        int timeoutSeconds = 10;   // a connection quiet this long is closed (1 to 10)
        int headBytes = 32 * 1024; // request line and headers; more is 431
    };
    struct Response
    {
        int status = 200;
        QByteArray contentType = "text/plain; charset=utf-8";
        QByteArray body;
    };
    using Handler = std::function<Response()>;

    explicit HttpListener(const Limits& limits, QObject* parent = nullptr);
    ~HttpListener() override;

    void route(const QByteArray& path, Handler handler) { m_routes.insert(path, std::move(handler)); }
    /// Port 0: the OS picks one (port()). False with errorString().
    bool listen(const QHostAddress& address, quint16 port);
    void close();
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }
    /// Requests refused for their size (413/431 for bodies and heads).
    quint64 refused() const { return m_refused; }

    /// The response to a request once its head is read.
    Response respond(const QByteArray& method, const QByteArray& path, bool hasBody) const;

    /// Without a listening socket nor the event loop, for the fuzzer: connections are handed in
    /// with serve() and served by turn().
    bool startWithoutSocket();
    bool serve(int socket);
    void turn();

private:
    bool start(unsigned int flags, void* address);
    void run();

    Limits m_limits;
    MHD_Daemon* m_daemon = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_timer;
    quint16 m_port = 0;
    QString m_error;
    quint64 m_refused = 0;
    QHash<QByteArray, Handler> m_routes;

    friend struct HttpCallbacks;
};

} // namespace kestavo::agent
