// kestavo-agent: see docs/agent.md.

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include "agent.h"
#include "agentoptions.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe calls here; the event loop reads the byte.
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Kestavo"));
    QCoreApplication::setApplicationName(QStringLiteral("Kestavo"));
    const kestavo::agent::AgentOptions options =
        kestavo::agent::parseAgentOptions(QCoreApplication::arguments());
    if (options.help) {
        std::fputs(qPrintable(kestavo::agent::agentHelp()), stdout);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "kestavo-agent: %s\n", qPrintable(options.error));
        return 2;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return 1;
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    kestavo::agent::Agent agent(options, QCoreApplication::applicationDirPath());
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
        agent.shutdown();
        QCoreApplication::quit();
    });
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    if (!agent.start()) {
        std::fprintf(stderr, "kestavo-agent: %s\n", qPrintable(agent.errorString()));
        return 1;
    }
    return QCoreApplication::exec();
}
