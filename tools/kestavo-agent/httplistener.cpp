#include "httplistener.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace kestavo::agent {

namespace {

// Marks the first call of the access handler for a request (headers read, body not yet).
char g_headSeen = 0;

bool announcesBody(MHD_Connection* connection)
{
    if (MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING))
        return true;
    const char* length =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    // Anything but a plain "0" announces a body (or is malformed, which MHD refuses itself).
    return length && std::strcmp(length, "0") != 0;
}

void freeBody(void* body)
{
    delete static_cast<QByteArray*>(body);
}

} // namespace

struct HttpCallbacks
{
    static MHD_Result onRequest(void* self, MHD_Connection* connection, const char* url, const char* method,
                                const char*, const char*, size_t* uploadSize, void** state)
    {
        auto* listener = static_cast<HttpListener*>(self);
        if (*state == nullptr) {
            *state = &g_headSeen;
            // Answer before the body is read; MHD then closes the connection instead of reading it.
            if (!announcesBody(connection))
                return MHD_YES; // called again for the (empty) end of the request
            ++listener->m_refused;
            return queue(connection, listener->respond(method, url, true));
        }
        if (*uploadSize != 0) {
            *uploadSize = 0; // a body without a header announcing it cannot happen; drop it
            return MHD_YES;
        }
        return queue(connection, listener->respond(method, url, false));
    }

    static MHD_Result queue(MHD_Connection* connection, const HttpListener::Response& response)
    {
        auto* body = new QByteArray(response.body);
        MHD_Response* reply = MHD_create_response_from_buffer_with_free_callback_cls(
            std::size_t(body->size()), body->data(), &freeBody, body);
        if (!reply) {
            delete body;
            return MHD_NO;
        }
        MHD_add_response_header(reply, MHD_HTTP_HEADER_CONTENT_TYPE, response.contentType.constData());
        const MHD_Result result = MHD_queue_response(connection, unsigned(response.status), reply);
        MHD_destroy_response(reply);
        return result;
    }
};

HttpListener::HttpListener(const Limits& limits, QObject* parent) : QObject(parent), m_limits(limits)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HttpListener::run);
}

HttpListener::~HttpListener()
{
    close();
}

HttpListener::Response HttpListener::respond(const QByteArray& method, const QByteArray& path,
                                             bool hasBody) const
{
    if (hasBody)
        return {413, "text/plain; charset=utf-8", "A request to this server carries no body.\n"};
    const auto handler = m_routes.constFind(path);
    if ((method != "GET" && method != "HEAD") || handler == m_routes.cend())
        return {404, "text/plain; charset=utf-8", "Not found.\n"};
    return (*handler)();
}

bool HttpListener::listen(const QHostAddress& address, quint16 port)
{
    close();
    sockaddr_storage storage{};
    unsigned int flags = MHD_USE_EPOLL;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
        flags |= MHD_USE_IPv6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
    }
    if (!start(flags, &storage)) {
        m_error = QStringLiteral(
                      "Cannot listen on %1 port %2 for HTTP (in use, or not an address of this machine).")
                      .arg(address.toString())
                      .arg(port);
        return false;
    }
    const MHD_DaemonInfo* bound = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
    m_port = bound ? bound->port : port;
    const MHD_DaemonInfo* epoll = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_EPOLL_FD);
    m_notifier = new QSocketNotifier(epoll->epoll_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &HttpListener::run);
    run();
    return true;
}

bool HttpListener::start(unsigned int flags, void* address)
{
    const unsigned int timeout = unsigned(std::clamp(m_limits.timeoutSeconds, 1, 10));
    const auto limits = [&](auto... more) {
        return MHD_start_daemon(flags, 0, nullptr, nullptr, &HttpCallbacks::onRequest, this,
                                MHD_OPTION_CONNECTION_LIMIT, unsigned(m_limits.connections),
                                MHD_OPTION_PER_IP_CONNECTION_LIMIT, unsigned(m_limits.connectionsPerAddress),
                                MHD_OPTION_CONNECTION_TIMEOUT, timeout, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
                                std::size_t(m_limits.headBytes), more..., MHD_OPTION_END);
    };
    m_daemon = address ? limits(MHD_OPTION_SOCK_ADDR, static_cast<sockaddr*>(address)) : limits();
    return m_daemon != nullptr;
}

bool HttpListener::startWithoutSocket()
{
    close();
    return start(MHD_USE_EPOLL | MHD_USE_NO_LISTEN_SOCKET, nullptr);
}

bool HttpListener::serve(int socket)
{
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return m_daemon &&
           MHD_add_connection(m_daemon, socket, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == MHD_YES;
}

void HttpListener::turn()
{
    if (m_daemon)
        MHD_run(m_daemon);
}

void HttpListener::close()
{
    m_timer.stop();
    delete m_notifier;
    m_notifier = nullptr;
    if (m_daemon)
        MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
    m_port = 0;
}

// One turn: accept, read, answer, write, time out; then wake up again for the next timeout.
void HttpListener::run()
{
    if (!m_daemon)
        return;
    MHD_run(m_daemon);
    MHD_UNSIGNED_LONG_LONG next = 0;
    const bool pending = MHD_get_timeout(m_daemon, &next) == MHD_YES;
    m_timer.start(int(pending ? std::min<MHD_UNSIGNED_LONG_LONG>(next, 1000) : 1000));
}

} // namespace kestavo::agent
