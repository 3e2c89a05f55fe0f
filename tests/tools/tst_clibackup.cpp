// kestavo-cli backup, diff and restore, in-process, against two simulated units on 127.0.0.1:
// one backed up, another with other settings restored from the document.

#include <memory>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "protocol/codes.h"
#include "protocol/frames.h"

#include "cli.h"
#include "ksv-sim/simulatedunit.h"

using kestavo::sim::SimulatedUnit;
using kestavo::sim::UnitModel;
namespace cli = kestavo::cli;

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

SimulatedUnit::Config unitConfig(std::array<std::uint8_t, 3> firmware = {1, 7, 2})
{
    SimulatedUnit::Config config;
    config.port = 0;
    config.realTime = false;
    config.unit.password = "Qx7pw";
    config.unit.firmware = firmware;
    config.unit.boards = {true, false, false, true, false, false};
    return config;
}

// The unit backed up: something in every part of the document.
void configureSource(UnitModel& m)
{
    m.setStationName("Pump house");
    m.setRelayScript(1, "1B2", "Pumps");
    m.setRelayScript(3, "35", "Fans");
    m.setBoardScript(2, "Blink", {0x27, 0x03, 0xA7});
    m.setAllowed(1, {127, 0, 0, 1, 10, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    m.setHttpOn(false);
    const std::string pw = kestavo::protocol::padPassword("Qx7pw");
    m.handleFrame(kestavo::protocol::ioTriggerFrame(1, 1, 0x00, 0x40, pw), {127, 0, 0, 1});
    m.handleFrame(kestavo::protocol::temperatureTriggerFrame(1, 0x40, 0x00, 30, 20, pw), {127, 0, 0, 1});
    m.handleFrame(kestavo::protocol::relayCycleFrame(2, 9, pw), {127, 0, 0, 1});
    m.clearLogs();
}

} // namespace

class TestCliBackup final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void backupRestoreDiff();
    void partialRestore();
    void refusalMidwayStops();
    void lockoutGuard();
    void oldFirmwareSkips();
    void badFilesSendNothing();
    void declinedQuestionWritesNothing();
    void triggerOnEmptySlotRestoresAsItWas();

private:
    Run run(const QString& line, const SimulatedUnit& unit, std::function<bool(const QString&)> confirm = {});
    QString backupFile();
    QString opcodes(const SimulatedUnit& unit) const;
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    std::unique_ptr<SimulatedUnit> m_source;
    std::unique_ptr<SimulatedUnit> m_target;
    int m_timeoutMs = 1000;
};

void TestCliBackup::init()
{
    QVERIFY(m_dir.isValid());
    m_timeoutMs = 1000;
    m_source = std::make_unique<SimulatedUnit>(unitConfig());
    m_target = std::make_unique<SimulatedUnit>(unitConfig());
    QVERIFY(m_source->start());
    QVERIFY(m_target->start());
    configureSource(m_source->model());
    m_target->model().setRelayScript(3, "12", "Other");
    m_target->model().setRelayScript(5, "4", "Stale");
}

void TestCliBackup::cleanup()
{
    m_source.reset();
    m_target.reset();
}

Run TestCliBackup::run(const QString& line, const SimulatedUnit& unit,
                       std::function<bool(const QString&)> confirm)
{
    QStringList all = {QStringLiteral("--db"),       path("none.dat"),
                       QStringLiteral("--port"),     QString::number(unit.port()),
                       QStringLiteral("--timeout"),  QString::number(m_timeoutMs),
                       QStringLiteral("--password"), QStringLiteral("Qx7pw")};
    all << QProcess::splitCommand(line);
    Run result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    cli::CliEnvironment environment;
    environment.applicationDir = m_dir.path();
    environment.verifyPollMs = 50;
    environment.now = [] {
        return QDateTime(QDate(2026, 5, 1), QTime(12, 0), Qt::UTC);
    };
    environment.confirm = std::move(confirm);
    result.code = cli::runCli(all, out, err, environment);
    return result;
}

QString TestCliBackup::backupFile()
{
    const QString file = path("unit.json");
    const Run backup = run(QStringLiteral("backup 127.0.0.1 -o ") + file, *m_source);
    if (backup.code != cli::ExitDone)
        qWarning() << backup.err;
    return file;
}

QString TestCliBackup::opcodes(const SimulatedUnit& unit) const
{
    QString codes;
    for (const UnitModel::FrameRecord& record : unit.model().frames())
        codes += record.bytes.size() > 9 ? QChar(QLatin1Char(record.bytes[9])) : u'?';
    return codes;
}

void TestCliBackup::backupRestoreDiff()
{
    const Run stdoutBackup = run(QStringLiteral("backup 127.0.0.1"), *m_source);
    QCOMPARE(stdoutBackup.code, int(cli::ExitDone));
    QVERIFY(!stdoutBackup.out.contains(QStringLiteral("Qx7pw")));
    QVERIFY(!stdoutBackup.out.contains(QStringLiteral("password")));
    // Reading uses the console's read requests only: poll, slot table, board listing and contents.
    QCOMPARE(opcodes(*m_source), QStringLiteral("1LST"));

    const QString file = backupFile();
    const Run before = run(QStringLiteral("diff 127.0.0.1 ") + file, *m_target);
    QCOMPARE(before.code, 1);
    QVERIFY2(before.out.contains(QStringLiteral("station name: 'KSV Simulator' \u2192 'Pump house'")),
             qPrintable(before.out));
    QVERIFY(before.out.contains(QStringLiteral("relay script 3: 'Other' \u2192 'Fans', steps differ")));
    QVERIFY(before.out.contains(QStringLiteral("relay script 5: 'Stale' \u2192 (empty)")));
    QVERIFY(before.out.contains(QStringLiteral("relay 2 delay")));

    const Run restore =
        run(QStringLiteral("restore 127.0.0.1 %1 --yes --only name,scripts,boards,triggers,security,delays")
                .arg(file),
            *m_target);
    QVERIFY2(restore.code == cli::ExitDone, qPrintable(restore.err));
    // The safe order: the list that decides who may talk to the unit goes last.
    QVERIFY(opcodes(*m_target).endsWith(QStringLiteral("H1")));

    const Run after = run(QStringLiteral("diff 127.0.0.1 ") + file, *m_target);
    QVERIFY2(after.code == cli::ExitDone, qPrintable(after.out + after.err));
    QCOMPARE(m_target->model().relayScript(5).description, std::string(16, ' '));
    QCOMPARE(m_target->model().allowedRule(), std::uint8_t(1));
}

void TestCliBackup::partialRestore()
{
    const QString file = backupFile();
    const Run restore = run(QStringLiteral("restore 127.0.0.1 %1 --only scripts --yes").arg(file), *m_target);
    QVERIFY2(restore.code == cli::ExitDone, qPrintable(restore.err));
    QCOMPARE(m_target->model().relayScript(3).description.substr(0, 4), std::string("Fans"));
    QCOMPARE(m_target->model().stationName().substr(0, 3), std::string("KSV"));
    QCOMPARE(m_target->model().allowedRule(), std::uint8_t(0));
    QVERIFY(!opcodes(*m_target).contains(u'I'));

    const Run diff = run(QStringLiteral("diff 127.0.0.1 %1 --format json").arg(file), *m_target);
    const QJsonObject json = QJsonDocument::fromJson(diff.out.toUtf8()).object();
    QCOMPARE(json.value(QStringLiteral("equal")).toBool(), false);
    QVERIFY(!diff.out.contains(QStringLiteral("\"scripts\"")));
}

void TestCliBackup::refusalMidwayStops()
{
    const QString file = backupFile();
    // The unit takes the name (one 'I' and one poll after the four reads) and then falls silent.
    SimulatedUnit::Config config = unitConfig();
    config.faults.silentAfter = 6;
    m_target = std::make_unique<SimulatedUnit>(config);
    QVERIFY(m_target->start());
    m_timeoutMs = 300;
    const Run restore = run(QStringLiteral("restore 127.0.0.1 %1 --yes").arg(file), *m_target);
    QCOMPARE(restore.code, int(cli::ExitRefused));
    QVERIFY2(restore.err.contains(QStringLiteral("Stopped: relay script 1: timed out")),
             qPrintable(restore.err));
    QVERIFY(restore.err.contains(QStringLiteral("Written: station name.")));
    QVERIFY(
        restore.err.contains(QStringLiteral("Not written: relay script 1, relay script 3, board script 2")));
    QVERIFY(restore.err.contains(QStringLiteral("allowed IP numbers.")));
}

void TestCliBackup::lockoutGuard()
{
    // The file's list leaves out 127.0.0.1, the address this computer reaches the unit from.
    const QString file = backupFile();
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QJsonObject root = QJsonDocument::fromJson(f.readAll()).object();
    f.close();
    QJsonObject security = root.value(QStringLiteral("security")).toObject();
    QJsonObject allowed = security.value(QStringLiteral("allowed_ip")).toObject();
    QJsonArray addresses = allowed.value(QStringLiteral("addresses")).toArray();
    addresses[0] = QStringLiteral("10.0.0.7");
    allowed.insert(QStringLiteral("addresses"), addresses);
    security.insert(QStringLiteral("allowed_ip"), allowed);
    root.insert(QStringLiteral("security"), security);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QJsonDocument(root).toJson());
    f.close();

    const Run restore = run(QStringLiteral("restore 127.0.0.1 %1 --yes").arg(file), *m_target);
    QCOMPARE(restore.code, int(cli::ExitRefused));
    QVERIFY2(restore.err.contains(QStringLiteral("this computer reaches the unit from 127.0.0.1")),
             qPrintable(restore.err));
    QVERIFY(restore.err.contains(QStringLiteral("nothing was written")));
    QCOMPARE(opcodes(*m_target), QStringLiteral("1LST"));
}

void TestCliBackup::oldFirmwareSkips()
{
    const QString file = backupFile();
    m_target = std::make_unique<SimulatedUnit>(unitConfig({1, 6, 9}));
    QVERIFY(m_target->start());
    const Run restore =
        run(QStringLiteral("restore 127.0.0.1 %1 --yes --only boards,security").arg(file), *m_target);
    QVERIFY2(restore.code == cli::ExitDone, qPrintable(restore.err));
    QVERIFY2(restore.out.contains(
                 QStringLiteral("board script 2: skipped, firmware 1.6.9 has no daughter boards")),
             qPrintable(restore.out));
    QVERIFY(restore.out.contains(QStringLiteral("status web page: written")));
    QVERIFY(!opcodes(*m_target).contains(u'U'));
}

void TestCliBackup::badFilesSendNothing()
{
    const QString file = path("bad.json");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("{\"kind\": \"kestavo-unit-configuration\", \"format\": 7}");
    f.close();
    for (const char* command : {"diff", "restore"}) {
        m_target->model().clearLogs();
        const Run r =
            run(QStringLiteral("%1 127.0.0.1 %2").arg(QString::fromLatin1(command), file), *m_target);
        QCOMPARE(r.code, int(cli::ExitUsage));
        QVERIFY2(r.err.contains(QStringLiteral("format: 7 is newer")), qPrintable(r.err));
        QCOMPARE(opcodes(*m_target), QString());
    }
}

void TestCliBackup::declinedQuestionWritesNothing()
{
    const QString file = backupFile();
    QString asked;
    const Run restore =
        run(QStringLiteral("restore 127.0.0.1 ") + file, *m_target, [&asked](const QString& q) {
            asked = q;
            return false;
        });
    QCOMPARE(restore.code, int(cli::ExitRefused));
    QVERIFY(asked.contains(QStringLiteral("relay script 3: 'Other'")));
    // Relay delays stay out unless asked for: writing one cycles the relay.
    QVERIFY(!asked.contains(QStringLiteral("relay 2 delay")));
    QCOMPARE(opcodes(*m_target), QStringLiteral("1LST"));
}

// A unit whose trigger runs a slot that holds no script is backed up and restored as it was: the
// trigger goes out with a warning instead of the whole file being refused.
void TestCliBackup::triggerOnEmptySlotRestoresAsItWas()
{
    const std::string pw = kestavo::protocol::padPassword("Qx7pw");
    m_source->model().handleFrame(kestavo::protocol::ioTriggerFrame(2, 1, kestavo::protocol::slotCode(5),
                                                                    kestavo::protocol::slotCode(1), pw),
                                  {127, 0, 0, 1});
    const QString file = backupFile();
    const Run restore = run(QStringLiteral("restore 127.0.0.1 %1 --yes").arg(file), *m_target);
    QVERIFY2(restore.code == cli::ExitDone, qPrintable(restore.err));
    QVERIFY2(restore.err.contains(QStringLiteral("warning: I/O box 3 trigger: slot 5 will hold no relay "
                                                 "script; the trigger is written as the file has it")),
             qPrintable(restore.err));
    QCOMPARE(m_target->model().ioSetting(3).action, 1);
    QCOMPARE(m_target->model().ioSetting(3).codeFor0, kestavo::protocol::slotCode(5));
}

QTEST_GUILESS_MAIN(TestCliBackup)
#include "tst_clibackup.moc"
