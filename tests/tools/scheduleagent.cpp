// kestavo-agent as its own process on a schedule clock moved by a fixed offset, so that a test can
// put a due time a few seconds after the start without waiting for a whole minute of the real
// clock. Everything else is the agent as built: its options, its poller, leases and executor.
// Schedules are looked at every 100 ms and an action may take 3 s to show.
// Usage: schedule_agent OFFSET_MS [kestavo-agent options…]

#include <cstdio>

#include <QCoreApplication>
#include <QDateTime>

#include "agent.h"
#include "agentoptions.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2)
        return 2;
    bool ok = false;
    const qint64 offsetMs = arguments.takeAt(1).toLongLong(&ok);
    kestavo::agent::AgentOptions options = kestavo::agent::parseAgentOptions(arguments);
    if (!ok || !options.error.isEmpty()) {
        std::fprintf(stderr, "schedule_agent: %s\n", qPrintable(options.error));
        return 2;
    }
    options.scheduleTickMs = 100;
    options.scheduleVerifyMs = 3000;
    kestavo::agent::Agent agent(options, QCoreApplication::applicationDirPath());
    agent.setScheduleClock([offsetMs] { return QDateTime::currentDateTimeUtc().addMSecs(offsetMs); });
    if (!agent.start()) {
        std::fprintf(stderr, "schedule_agent: %s\n", qPrintable(agent.errorString()));
        return 1;
    }
    return QCoreApplication::exec();
}
