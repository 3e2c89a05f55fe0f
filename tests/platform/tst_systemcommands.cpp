#include <QNetworkInterface>
#include <QSignalSpy>
#include <QTest>

#include "platform/pingwindow.h"
#include "platform/processsystemcommands.h"

using kestavo::platform::PingWindow;
using kestavo::platform::ProcessSystemCommands;
using Command = kestavo::platform::SystemCommands::Command;
using Flavour = ProcessSystemCommands::Flavour;

Q_DECLARE_METATYPE(Flavour)

namespace {

// Programs "installed" for a test: lookups of anything else fail.
ProcessSystemCommands::ProgramLookup installed(const QStringList& programs)
{
    return [programs](const QString& name) {
        return programs.contains(name) ? QStringLiteral("/nonexistent/bin/") + name : QString();
    };
}

} // namespace

class TestSystemCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commandLines_data();
    void commandLines();
    void routeAsksForTheInterfaceOfTheLocalAddress();
    void interfaceHolding_data();
    void interfaceHolding();
    void launchCommand_data();
    void launchCommand();
    void networkAdminNeeded_data();
    void networkAdminNeeded();
    void capabilities_data();
    void capabilities();
    void refusals_data();
    void refusals();
    void missingProgramIsReportedByName();
    void failureOfHiddenCommandIsReported();
    void pingWindowShowsOutputLive();
    void pingWindowReportsStartFailure();
    void closingPingWindowEndsProgram();
};

void TestSystemCommands::commandLines_data()
{
    QTest::addColumn<Flavour>("flavour");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("localAddress");
    QTest::addColumn<QString>("interfaceName");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("visible");

    const QString local = QStringLiteral("192.168.1.20");
    QTest::newRow("windows route") << Flavour::Windows << "route" << local << "eth0"
                                   << "route add 10.0.0.5 mask 255.255.255.255 192.168.1.20" << false;
    QTest::newRow("windows route, no local address") << Flavour::Windows << "route" << QString() << QString()
                                                     << "route add 10.0.0.5 mask 255.255.255.255" << false;
    QTest::newRow("windows ping") << Flavour::Windows << "ping" << local << "eth0"
                                  << "ping 10.0.0.5 -t" << true;
    QTest::newRow("windows arp") << Flavour::Windows << "arp" << local << "eth0"
                                 << "arp -d 10.0.0.5" << false;
    QTest::newRow("linux route through its interface")
        << Flavour::Linux << "route" << local << "enp3s0"
        << "ip route add 10.0.0.5/32 dev enp3s0 src 192.168.1.20" << false;
    QTest::newRow("linux route, interface not found") << Flavour::Linux << "route" << local << QString()
                                                      << "ip route add 10.0.0.5/32 src 192.168.1.20" << false;
    QTest::newRow("linux route, no local address") << Flavour::Linux << "route" << QString() << "eth0"
                                                   << "ip route add 10.0.0.5/32" << false;
    QTest::newRow("linux ping") << Flavour::Linux << "ping" << local << "eth0"
                                << "ping 10.0.0.5" << true;
    QTest::newRow("linux neighbour flush") << Flavour::Linux << "arp" << local << "eth0"
                                           << "ip neigh flush to 10.0.0.5" << false;
}

void TestSystemCommands::commandLines()
{
    QFETCH(Flavour, flavour);
    QFETCH(QString, kind);
    QFETCH(QString, localAddress);
    QFETCH(QString, interfaceName);
    QFETCH(QString, expected);
    QFETCH(bool, visible);

    ProcessSystemCommands commands(flavour);
    commands.setInterfaceLookup([interfaceName](const QString&) { return interfaceName; });
    const QString unit = QStringLiteral("10.0.0.5");
    Command command;
    if (kind == QLatin1String("route"))
        command = commands.addRouteCommand(unit, localAddress);
    else if (kind == QLatin1String("ping"))
        command = commands.pingCommand(unit);
    else
        command = commands.arpDeleteCommand(unit);

    QCOMPARE(command.commandLine(), expected);
    QCOMPARE(command.visible, visible);
    QVERIFY(!command.arguments.contains(QString())); // no empty argument reaches the program
}

void TestSystemCommands::routeAsksForTheInterfaceOfTheLocalAddress()
{
    ProcessSystemCommands commands(Flavour::Linux);
    QStringList asked;
    commands.setInterfaceLookup([&asked](const QString& address) {
        asked << address;
        return QStringLiteral("wlan0");
    });
    commands.addRouteCommand(QStringLiteral("10.1.1.1"), QStringLiteral("172.16.0.9"));
    QCOMPARE(asked, QStringList{QStringLiteral("172.16.0.9")});
}

void TestSystemCommands::interfaceHolding_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("found");

    QTest::newRow("loopback") << "127.0.0.1" << true;
    QTest::newRow("address of no interface (documentation range)") << "203.0.113.7" << false;
    QTest::newRow("not an address") << "unit.example" << false;
    QTest::newRow("empty") << "" << false;
}

void TestSystemCommands::interfaceHolding()
{
    QFETCH(QString, address);
    QFETCH(bool, found);

    const QString name = ProcessSystemCommands::interfaceHolding(address);
    if (!found) {
        QVERIFY2(name.isEmpty(), qPrintable(name));
        return;
    }
    const QNetworkInterface holder = QNetworkInterface::interfaceFromName(name);
    QVERIFY2(holder.isValid(), qPrintable(name));
    QVERIFY(holder.flags().testFlag(QNetworkInterface::IsLoopBack));
}

void TestSystemCommands::launchCommand_data()
{
    QTest::addColumn<Flavour>("flavour");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("programs");
    QTest::addColumn<QString>("expected"); // empty: no terminal, our own window

    const QStringList both{QStringLiteral("x-terminal-emulator"), QStringLiteral("xterm")};
    QTest::newRow("debian terminal preferred")
        << Flavour::Linux << "ping" << both << "x-terminal-emulator -e ping 10.0.0.5";
    QTest::newRow("xterm when it is the only one")
        << Flavour::Linux << "ping" << QStringList{QStringLiteral("xterm")} << "xterm -e ping 10.0.0.5";
    QTest::newRow("no terminal: ping window") << Flavour::Linux << "ping" << QStringList() << "";
    QTest::newRow("hidden commands stay as they are")
        << Flavour::Linux << "arp" << both << "ip neigh flush to 10.0.0.5";
    QTest::newRow("windows opens its own console")
        << Flavour::Windows << "ping" << both << "ping 10.0.0.5 -t";
}

void TestSystemCommands::launchCommand()
{
    QFETCH(Flavour, flavour);
    QFETCH(QString, kind);
    QFETCH(QStringList, programs);
    QFETCH(QString, expected);

    ProcessSystemCommands commands(flavour);
    commands.setProgramLookup(installed(programs));
    const QString unit = QStringLiteral("10.0.0.5");
    const Command command =
        kind == QLatin1String("ping") ? commands.pingCommand(unit) : commands.arpDeleteCommand(unit);
    const std::optional<Command> launch = commands.launchCommand(command);

    if (expected.isEmpty()) {
        QVERIFY(!launch.has_value());
        return;
    }
    QVERIFY(launch.has_value());
    QCOMPARE(launch->commandLine(), expected);
    QCOMPARE(launch->visible, command.visible);
}

void TestSystemCommands::networkAdminNeeded_data()
{
    QTest::addColumn<Flavour>("flavour");
    QTest::addColumn<bool>("route");
    QTest::addColumn<bool>("ping");
    QTest::addColumn<bool>("arp");

    QTest::newRow("linux") << Flavour::Linux << true << false << true;
    QTest::newRow("windows asks for elevation itself") << Flavour::Windows << false << false << false;
}

void TestSystemCommands::networkAdminNeeded()
{
    QFETCH(Flavour, flavour);
    QFETCH(bool, route);
    QFETCH(bool, ping);
    QFETCH(bool, arp);

    const ProcessSystemCommands commands(flavour);
    const QString unit = QStringLiteral("10.0.0.5");
    QCOMPARE(commands.needsNetworkAdmin(commands.addRouteCommand(unit, QStringLiteral("10.0.0.1"))), route);
    QCOMPARE(commands.needsNetworkAdmin(commands.pingCommand(unit)), ping);
    QCOMPARE(commands.needsNetworkAdmin(commands.arpDeleteCommand(unit)), arp);
}

void TestSystemCommands::capabilities_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("granted");

    const QString head = QStringLiteral("Name:\tkestavo\nUid:\t1000\t1000\t1000\t1000\n");
    QTest::newRow("root's full set") << head + QLatin1String(
                                                   "CapInh:\t0000000000000000\nCapEff:\t000001ffffffffff\n")
                                     << true;
    QTest::newRow("none") << head + QLatin1String("CapEff:\t0000000000000000\n") << false;
    QTest::newRow("only CAP_NET_ADMIN") << head + QLatin1String("CapEff:\t0000000000001000\n") << true;
    QTest::newRow("only CAP_NET_BIND_SERVICE (bit 10)")
        << head + QLatin1String("CapEff:\t0000000000000400\n") << false;
    QTest::newRow("only CAP_NET_RAW (bit 13)")
        << head + QLatin1String("CapEff:\t0000000000002000\n") << false;
    QTest::newRow("permitted but not effective")
        << head + QLatin1String("CapPrm:\t0000000000001000\nCapEff:\t0000000000000000\n") << false;
    QTest::newRow("no CapEff line") << head << false;
    QTest::newRow("garbled") << head + QLatin1String("CapEff:\tzz\n") << false;
}

void TestSystemCommands::capabilities()
{
    QFETCH(QString, status);
    QFETCH(bool, granted);
    QCOMPARE(ProcessSystemCommands::statusGrantsNetworkAdmin(status), granted);
}

void TestSystemCommands::refusals_data()
{
    QTest::addColumn<Flavour>("flavour");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("programs");
    QTest::addColumn<bool>("privileged");
    QTest::addColumn<QStringList>("sentenceHolds");

    const QStringList all{QStringLiteral("ip"), QStringLiteral("ping"), QStringLiteral("route"),
                          QStringLiteral("arp")};
    const Flavour host = ProcessSystemCommands::hostFlavour();
    const Flavour other = host == Flavour::Linux ? Flavour::Windows : Flavour::Linux;
    if (host == Flavour::Linux) {
        QTest::newRow("route without rights")
            << host << "route" << all << false
            << QStringList{QStringLiteral("\"ip route add 10.0.0.5/32 src 10.0.0.1\""),
                           QStringLiteral("administrator rights")};
        QTest::newRow("neighbour flush without rights")
            << host << "arp" << all << false
            << QStringList{QStringLiteral("\"ip neigh flush to 10.0.0.5\""), QStringLiteral("CAP_NET_ADMIN")};
        QTest::newRow("ip not installed") << host << "arp" << QStringList() << true
                                          << QStringList{QStringLiteral("\"ip\" is not installed")};
    }
    QTest::newRow("ping not installed")
        << host << "ping" << QStringList() << true
        << QStringList{QStringLiteral("\"ping"), QStringLiteral("is not installed")};
    QTest::newRow("command of the other system")
        << other << "ping" << all << true << QStringList{QStringLiteral("another operating system")};
}

void TestSystemCommands::refusals()
{
    QFETCH(Flavour, flavour);
    QFETCH(QString, kind);
    QFETCH(QStringList, programs);
    QFETCH(bool, privileged);
    QFETCH(QStringList, sentenceHolds);

    // Every program resolves to a path that does not exist, so even a faulty run() starts nothing.
    ProcessSystemCommands commands(flavour);
    commands.setProgramLookup(installed(programs));
    commands.setInterfaceLookup([](const QString&) { return QString(); });
    commands.setPrivilegeCheck([privileged] { return privileged; });
    const QString unit = QStringLiteral("10.0.0.5");
    Command command = commands.pingCommand(unit);
    if (kind == QLatin1String("route"))
        command = commands.addRouteCommand(unit, QStringLiteral("10.0.0.1"));
    else if (kind == QLatin1String("arp"))
        command = commands.arpDeleteCommand(unit);

    QString error;
    QVERIFY(!commands.run(command, &error));
    for (const QString& part : sentenceHolds)
        QVERIFY2(error.contains(part), qPrintable(error));
    QVERIFY(error.endsWith(QLatin1Char('.')));
}

void TestSystemCommands::missingProgramIsReportedByName()
{
    ProcessSystemCommands commands;
    QString error;
    QVERIFY(
        !commands.run({QStringLiteral("kestavo-no-such-program"), {QStringLiteral("--now")}, false}, &error));
    QVERIFY2(error.contains(QLatin1String("\"kestavo-no-such-program --now\"")), qPrintable(error));
}

void TestSystemCommands::failureOfHiddenCommandIsReported()
{
    if (ProcessSystemCommands::hostFlavour() != Flavour::Linux)
        QSKIP("uses the POSIX shell");
    ProcessSystemCommands commands;
    QStringList reports;
    commands.setFailureHandler([&reports](const QString& sentence) { reports << sentence; });

    QString error;
    QVERIFY(
        commands.run({QStringLiteral("sh"),
                      {QStringLiteral("-c"), QStringLiteral("echo Nexthop has invalid gateway >&2; exit 2")},
                      false},
                     &error));
    QTRY_COMPARE(reports.size(), 1);
    QVERIFY2(reports.first().startsWith(QLatin1String("The command \"sh -c")), qPrintable(reports.first()));
    QVERIFY2(reports.first().endsWith(QLatin1String("failed: Nexthop has invalid gateway.")),
             qPrintable(reports.first()));
}

void TestSystemCommands::pingWindowShowsOutputLive()
{
    if (ProcessSystemCommands::hostFlavour() != Flavour::Linux)
        QSKIP("uses the POSIX shell");
    PingWindow window(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), QStringLiteral("echo 64 bytes from 127.0.0.1; echo done")});
    QCOMPARE(window.objectName(), QStringLiteral("PingWindow"));
    QCOMPARE(window.windowTitle(), QStringLiteral("sh -c echo 64 bytes from 127.0.0.1; echo done"));
    window.show();
    window.start();
    QTRY_VERIFY(window.output().contains(QLatin1String("ended with exit code 0")));
    QVERIFY(window.output().contains(QLatin1String("64 bytes from 127.0.0.1\ndone\n")));
}

void TestSystemCommands::pingWindowReportsStartFailure()
{
    PingWindow window(QStringLiteral("/nonexistent/bin/ping"), {QStringLiteral("127.0.0.1")});
    window.start();
    QTRY_VERIFY(window.output().contains(QLatin1String("could not be started")));
    QVERIFY(!window.isRunning());
}

void TestSystemCommands::closingPingWindowEndsProgram()
{
    if (ProcessSystemCommands::hostFlavour() != Flavour::Linux)
        QSKIP("uses the POSIX shell");
    // Stands in for a ping that runs until its window is closed.
    PingWindow window(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), QStringLiteral("echo started; exec sleep 600")});
    window.show();
    window.start();
    QTRY_VERIFY(window.output().contains(QLatin1String("started")));
    QVERIFY(window.isRunning());
    window.close();
    QVERIFY(!window.isRunning());
}

QTEST_MAIN(TestSystemCommands)
#include "tst_systemcommands.moc"
