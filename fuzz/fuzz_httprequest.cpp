// Fuzz entry point for the agent's HTTP request path: any bytes as what a client sends on one
// connection, served by the agent's listener (libmicrohttpd with the agent's limits and handlers)
// over a socket pair. Never a crash, never a hang; whatever comes back is HTTP.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>

#include "httplistener.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

kestavo::agent::HttpListener& listener()
{
    static kestavo::agent::HttpListener* server = [] {
        auto* s = new kestavo::agent::HttpListener(kestavo::agent::HttpListener::Limits{});
        s->route("/metrics", [] {
            return kestavo::agent::HttpListener::Response{200, "text/plain", "kestavo_up 1\n"};
        });
        s->route("/healthz", [] {
            return kestavo::agent::HttpListener::Response{503, "text/plain", "stations: gone\n"};
        });
        require(s->startWithoutSocket());
        return s;
    }();
    return *server;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // More than a socket buffer would block the write; the head cap is far below this anyway.
    if (size > 65536)
        return 0;
    int pair[2];
    require(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) == 0);
    require(::write(pair[1], data, size) == static_cast<ssize_t>(size));
    ::shutdown(pair[1], SHUT_WR);
    if (!listener().serve(pair[0])) { // at the connection cap: refused (and closed) like any other
        ::close(pair[1]);
        return 0;
    }
    QByteArray reply;
    bool closed = false;
    for (int turn = 0; turn < 64 && !closed; ++turn) {
        listener().turn();
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(pair[1], buffer, sizeof buffer);
            if (n > 0) {
                reply.append(buffer, n);
                continue;
            }
            closed = n == 0;
            break;
        }
    }
    require(reply.isEmpty() || reply.startsWith("HTTP/1."));
    ::close(pair[1]);
    for (int turn = 0; turn < 4; ++turn)
        listener().turn();
    return 0;
}
