// The audit trail of kestavo-cli against the simulated unit on loopback: every command that
// changes the unit leaves exactly one record in the history file, in words, with the unit's
// answer; commands that only read leave none; no password reaches the file. Then `audit` and
// `alarms` reading that file back.

#include <memory>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "cli.h"
#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "ksv-sim/simulatedunit.h"

using kestavo::sim::SimulatedUnit;
namespace cli = kestavo::cli;
namespace h = kestavo::history;
using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2026, 12, 8), QTime(6, 0), Qt::UTC);

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

} // namespace

class TestCliAudit final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void everyCommandKindOneRecord_data();
    void everyCommandKindOneRecord();
    void readingCommandsLeaveNoRecord();
    void auditFiltersAndFormats();
    void alarmsListAndAcknowledge();
    void alarmShelveAndUnshelve_data();
    void alarmShelveAndUnshelve();
    void alarmRulesAsCode_data();
    void alarmRulesAsCode();
    void alarmRulesImportIsWholeOrNothing();

private:
    Run run(const QString& line, const QString& password = QStringLiteral("Qx7pw"));
    QList<h::AuditRecord> records() const;
    QString historyPath() const { return m_dir.filePath(QStringLiteral("history.db")); }

    QTemporaryDir m_dir;
    std::unique_ptr<SimulatedUnit> m_unit;
};

void TestCliAudit::init()
{
    QVERIFY(m_dir.isValid());
    for (const QString& name : QDir(m_dir.path()).entryList(QDir::Files))
        QFile::remove(m_dir.filePath(name));
    SimulatedUnit::Config config;
    config.port = 0;
    config.realTime = false;
    config.unit.password = "Qx7pw";
    config.unit.boards = {true, true, true, true, true, true};
    m_unit = std::make_unique<SimulatedUnit>(config);
    QVERIFY2(m_unit->start(), qPrintable(m_unit->errorString()));
    m_unit->model().setRelayScript(1, "1B2", "Pump");
}

Run TestCliAudit::run(const QString& line, const QString& password)
{
    QStringList all = {QStringLiteral("--db"),      m_dir.filePath(QStringLiteral("stations.dat")),
                       QStringLiteral("--port"),    QString::number(m_unit->port()),
                       QStringLiteral("--timeout"), QStringLiteral("300")};
    if (!password.isEmpty())
        all << QStringLiteral("--password") << password;
    all << QProcess::splitCommand(line);
    Run result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    cli::CliEnvironment environment;
    environment.applicationDir = m_dir.path();
    environment.verifyPollMs = 100;
    environment.now = [] {
        return kNow;
    };
    result.code = cli::runCli(all, out, err, environment);
    out.flush();
    err.flush();
    return result;
}

QList<h::AuditRecord> TestCliAudit::records() const
{
    h::AuditLog log;
    return log.open(historyPath()) ? log.records() : QList<h::AuditRecord>{};
}

void TestCliAudit::everyCommandKindOneRecord_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("silentAfter"); // frames the unit answers before it falls silent; -1 all
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("outcome");

    const QString pw = QStringLiteral("Qx7pw");
    const auto row = [&](const char* name, const QString& line, const QString& action, const QString& outcome,
                         const QString& password = QStringLiteral("Qx7pw"), int silentAfter = -1) {
        QTest::newRow(name) << line << password << silentAfter << action << outcome;
    };
    row("relay on", QStringLiteral("relay 127.0.0.1 2 on"), QStringLiteral("Relay 2 ON"),
        QStringLiteral("acknowledged"));
    row("relay cycle", QStringLiteral("relay 127.0.0.1 3 cycle 30"),
        QStringLiteral("Relay 3 OFF, ON again after 30 s"), QStringLiteral("acknowledged"));
    row("script upload", QStringLiteral("script 127.0.0.1 upload 3 Pumps \"Relay 1 ON\""),
        QStringLiteral("upload script 3 'Pumps'"), QStringLiteral("acknowledged"));
    row("script run", QStringLiteral("script 127.0.0.1 run 1"), QStringLiteral("run script 1"),
        QStringLiteral("acknowledged: Relay Script Executed !"));
    row("timer set", QStringLiteral("timer 127.0.0.1 set 1 90"),
        QStringLiteral("set relay timer to 90 s, then script 1"),
        QStringLiteral("acknowledged: Timer Data Received !"));
    row("timer stop", QStringLiteral("timer 127.0.0.1 stop"), QStringLiteral("stop relay timer"),
        QStringLiteral("acknowledged: Timer Stopped Forcefully !"));
    row("io trigger", QStringLiteral("io 127.0.0.1 2 on 1 1"),
        QStringLiteral("I/O box 2 triggers: on 0 script 1, on 1 script 1"),
        QStringLiteral("acknowledged: I/O Data Received !"));
    row("temperature trigger", QStringLiteral("temp 127.0.0.1 off 30 20"),
        QStringLiteral("temperature triggers off"),
        QStringLiteral("acknowledged: Temperature Data Received !"));
    row("station name", QStringLiteral("name 127.0.0.1 Pumphouse"),
        QStringLiteral("station name 'Pumphouse'"), QStringLiteral("acknowledged"));
    row("password", QStringLiteral("password 127.0.0.1 N3wSecret"), QStringLiteral("password changed"),
        QStringLiteral("acknowledged"));
    row("allowed IPs", QStringLiteral("allow 127.0.0.1 all"), QStringLiteral("allow all IP numbers"),
        QStringLiteral("acknowledged"));
    row("allowed IPs, a list", QStringLiteral("allow 127.0.0.1 only 127.0.0.1 127.0.0.5"),
        QStringLiteral("allow only IP numbers 127.0.0.1, 127.0.0.5"), QStringLiteral("acknowledged"));
    row("board script upload", QStringLiteral("board-script 127.0.0.1 upload 4 Blink \"RDB2 Light OFF\""),
        QStringLiteral("upload board script 4 'Blink'"), QStringLiteral("acknowledged"));
    row("board toggle", QStringLiteral("board 127.0.0.1 2 relay1 toggle 5"),
        QStringLiteral("board 2 relay 1 toggle, 5 s"), QStringLiteral("acknowledged: RDB Command Success !"));
    row("http", QStringLiteral("http 127.0.0.1 off"), QStringLiteral("HTTP server OFF"),
        QStringLiteral("acknowledged: HTTP Server Status Changed !"));
    row("snmp", QStringLiteral("snmp 127.0.0.1 on"), QStringLiteral("SNMP ON"),
        QStringLiteral("acknowledged: SNMP Access Changed !"));
    row("set-ip", QStringLiteral("set-ip 127.0.0.1 127.0.0.44 --yes"),
        QStringLiteral("set IP address 127.0.0.44"),
        QStringLiteral("sent: the unit does not answer this command"));
    row("set-mac (sent twice, one record)", QStringLiteral("set-mac 127.0.0.1 00:0A:1B:2C:3D:4F --yes"),
        QStringLiteral("set MAC address 00:0A:1B:2C:3D:4F"),
        QStringLiteral("sent: the unit does not answer this command"));
    row("board", QStringLiteral("board 127.0.0.1 2 relay3 switch"), QStringLiteral("board 2 relay 3 switch"),
        QStringLiteral("acknowledged: RDB Command Success !"));
    row("board script run", QStringLiteral("board-script 127.0.0.1 run 1 --no-verify"),
        QStringLiteral("run board script 1"), QStringLiteral("acknowledged"));
    row("refused: wrong password", QStringLiteral("relay 127.0.0.1 1 off"), QStringLiteral("Relay 1 OFF"),
        QStringLiteral("refused: Bad Password!"), QStringLiteral("Wr0ng"));
    row("silent, but not asked to answer", QStringLiteral("relay 127.0.0.1 1 on --no-verify"),
        QStringLiteral("Relay 1 ON"), QStringLiteral("sent: not verified"), pw, 0);
    row("no answer: the unit fell silent", QStringLiteral("relay 127.0.0.1 1 on"),
        QStringLiteral("Relay 1 ON"), QStringLiteral("no answer"), pw, 0);
}

void TestCliAudit::everyCommandKindOneRecord()
{
    QFETCH(QString, line);
    QFETCH(QString, password);
    QFETCH(int, silentAfter);
    QFETCH(QString, action);
    QFETCH(QString, outcome);
    if (silentAfter >= 0) {
        SimulatedUnit::Config config;
        config.port = 0;
        config.realTime = false;
        config.unit.password = "Qx7pw";
        config.faults.silentAfter = silentAfter;
        m_unit = std::make_unique<SimulatedUnit>(config);
        QVERIFY(m_unit->start());
    }
    const Run result = run(line, password);
    QVERIFY2(!result.err.contains(QStringLiteral("audit log")), qPrintable(result.err));

    const QList<h::AuditRecord> written = records();
    QCOMPARE(written.size(), 1);
    const h::AuditRecord& r = written.first();
    QCOMPARE(r.program, QStringLiteral("CLI"));
    QCOMPARE(r.address, QStringLiteral("127.0.0.1"));
    QCOMPARE(r.utcMs, kNow.toMSecsSinceEpoch());
    QCOMPARE(r.user, h::AuditLog::localUser());
    QCOMPARE(r.action, action);
    QCOMPARE(r.detail.isEmpty() ? r.outcome : r.outcome + QStringLiteral(": ") + r.detail, outcome);

    // Nothing of either password, in any of the history file's pieces.
    for (const QString& name : QDir(m_dir.path()).entryList({QStringLiteral("history.db*")}, QDir::Files)) {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        QVERIFY2(!content.contains("Qx7pw") && !content.contains("N3wSecret") && !content.contains("Wr0ng"),
                 qPrintable(name));
    }
}

void TestCliAudit::readingCommandsLeaveNoRecord()
{
    // A value option before the command word is never taken for the command: "history" is -o's file.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    const Run misrouted = run(QStringLiteral("-o history backup 127.0.0.1"));
    QDir::setCurrent(previous);
    QVERIFY2(misrouted.code == cli::ExitDone, qPrintable(misrouted.err));
    QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("history"))));

    for (const char* line :
         {"status 127.0.0.1", "scripts 127.0.0.1", "board-scripts 127.0.0.1", "backup 127.0.0.1"})
        QCOMPARE(run(QString::fromLatin1(line)).code, int(cli::ExitDone));
    // Reading never creates the history file, and without one there is nothing to list.
    for (const char* line : {"alarms", "audit --since 7d", "alarms ack all"}) {
        const Run listed = run(QString::fromLatin1(line), {});
        QCOMPARE(listed.code, int(cli::ExitDone));
        QVERIFY2(listed.out.contains(QStringLiteral("no history yet")), qPrintable(listed.out));
    }
    QCOMPARE(run(QStringLiteral("audit --format json"), {}).out, QStringLiteral("{\"audit\":[]}\n"));
    QVERIFY(!QFile::exists(historyPath()));
    QCOMPARE(records().size(), 0);
}

void TestCliAudit::auditFiltersAndFormats()
{
    h::AuditLog log;
    QVERIFY(log.open(historyPath()));
    const qint64 hour = 3600 * 1000;
    const auto add = [&](qint64 t, const char* address, const char* action) {
        h::AuditRecord r{0,
                         t,
                         QStringLiteral("ops"),
                         QStringLiteral("desk"),
                         QStringLiteral("console"),
                         QString::fromLatin1(address),
                         QStringLiteral("Pump, north"),
                         QString::fromLatin1(action),
                         QStringLiteral("acknowledged"),
                         {}};
        QVERIFY(log.append(r));
    };
    const qint64 now = kNow.toMSecsSinceEpoch();
    add(now - 30 * hour, "127.0.0.1", "Relay 1 ON");
    add(now - 2 * hour, "127.0.0.1", "Relay 1 OFF");
    add(now - 1 * hour, "127.0.0.2", "HTTP server ON");

    QCOMPARE(run(QStringLiteral("audit --since 24h"), {}).out.count(u'\n'), 2);
    // The relative times of `history --from`, and spans longer than the unit's timer holds.
    QCOMPARE(run(QStringLiteral("audit --since -24h"), {}).out.count(u'\n'), 2);
    QCOMPARE(run(QStringLiteral("audit --since 200d"), {}).out.count(u'\n'), 3);
    QCOMPARE(run(QStringLiteral("audit --since 2026-12-08T04:30:00Z"), {}).out.count(u'\n'), 1);
    const Run station = run(QStringLiteral("audit --station 127.0.0.1 --format csv"), {});
    QCOMPARE(station.out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).size(), 3); // header + 2
    QVERIFY2(station.out.contains(QStringLiteral("\"Pump, north\"")), qPrintable(station.out));
    const QJsonObject json =
        QJsonDocument::fromJson(run(QStringLiteral("audit --format json"), {}).out.toUtf8()).object();
    QCOMPARE(json.value(QStringLiteral("audit")).toArray().size(), 3);
    const Run bad = run(QStringLiteral("audit --since yesterday"), {});
    QCOMPARE(bad.code, int(cli::ExitUsage));
    QVERIFY(bad.err.contains(QStringLiteral("--since 'yesterday'")));
}

void TestCliAudit::alarmsListAndAcknowledge()
{
    h::AlarmJournal journal;
    QVERIFY(journal.open(historyPath()));
    h::AlarmRecord active{0,
                          QStringLiteral("127.0.0.1"),
                          1,
                          h::AlarmPriority::High,
                          QStringLiteral("Battery low"),
                          h::AlarmState::ActiveUnacknowledged,
                          11.2,
                          1000,
                          1000,
                          {},
                          0};
    h::AlarmRecord cleared = active;
    cleared.text = QStringLiteral("Door open");
    cleared.state = h::AlarmState::ClearedUnacknowledged;
    cleared.rule = 2;
    active.id = journal.raise(active).stored.value_or(active).id;
    cleared.id = journal.raise(cleared).stored.value_or(cleared).id;
    QVERIFY(active.id > 0 && cleared.id > 0);

    const Run listed = run(QStringLiteral("alarms"), {});
    QCOMPARE(listed.code, int(cli::ExitDone));
    QVERIFY2(listed.out.contains(QStringLiteral("Battery low (11.2)")) &&
                 listed.out.contains(QStringLiteral("Door open")),
             qPrintable(listed.out));

    QCOMPARE(run(QStringLiteral("alarms ack %1").arg(active.id), {}).code, int(cli::ExitDone));
    QCOMPARE(journal.alarm(active.id)->state, h::AlarmState::ActiveAcknowledged);
    QCOMPARE(journal.alarm(active.id)->ackedBy, h::AuditLog::localUser());
    const Run again = run(QStringLiteral("alarms ack %1").arg(active.id), {});
    QCOMPARE(again.code, int(cli::ExitRefused));
    QVERIFY2(again.err.contains(QStringLiteral("nothing to acknowledge")), qPrintable(again.err));
    QCOMPARE(run(QStringLiteral("alarms ack all"), {}).code, int(cli::ExitDone));
    QCOMPARE(journal.alarm(cleared.id)->state, h::AlarmState::Normal); // cleared + acknowledged: gone
    QCOMPARE(run(QStringLiteral("alarms ack 999"), {}).code, int(cli::ExitRefused));
    const QJsonObject json =
        QJsonDocument::fromJson(run(QStringLiteral("alarms --format json"), {}).out.toUtf8()).object();
    QCOMPARE(json.value(QStringLiteral("alarms")).toArray().size(), 1); // the acknowledged, still active one
}

void TestCliAudit::alarmShelveAndUnshelve_data()
{
    QTest::addColumn<QString>("longest"); // the file's setting, made with `alarms settings` first
    QTest::addColumn<bool>("shelvedBefore");
    QTest::addColumn<QString>("line"); // "ID" stands for the alarm's number
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said"); // on stdout when done, on stderr otherwise
    QTest::addColumn<int>("state");    // the stored state afterwards
    const int shelved = int(h::AlarmState::Shelved);
    const int active = int(h::AlarmState::ActiveUnacknowledged);
    QTest::newRow("shelved for 2 h with a reason")
        << QString() << false << u"alarms shelve ID --for 2h --reason \"sensor swap\""_s << int(cli::ExitDone)
        << u"until 2026-"_s << shelved;
    QTest::newRow("no reason") << QString() << false << u"alarms shelve ID --for 2h"_s << int(cli::ExitUsage)
                               << u"Reason: say why"_s << active;
    QTest::newRow("longer than the longest")
        << QString() << false << u"alarms shelve ID --for 25h --reason x"_s << int(cli::ExitUsage)
        << u"25 h is longer than the longest shelving, 24 h"_s << active;
    QTest::newRow("no duration") << QString() << false << u"alarms shelve ID --reason x"_s
                                 << int(cli::ExitUsage) << u"--for DURATION is missing"_s << active;
    QTest::newRow("no such alarm") << QString() << false << u"alarms shelve 999 --for 1h --reason x"_s
                                   << int(cli::ExitRefused) << u"no open alarm 999"_s << active;
    QTest::newRow("unshelve what is not shelved")
        << QString() << false << u"alarms unshelve ID"_s << int(cli::ExitRefused) << u"nothing to unshelve"_s
        << active;
    QTest::newRow("unshelved by hand: acknowledged")
        << QString() << true << u"alarms unshelve ID"_s << int(cli::ExitDone) << u"now active, acknowledged"_s
        << int(h::AlarmState::ActiveAcknowledged);
    QTest::newRow("longer than the file's setting")
        << u"2h"_s << false << u"alarms shelve ID --for 3h --reason x"_s << int(cli::ExitUsage)
        << u"3 h is longer than the longest shelving, 2 h"_s << active;
    QTest::newRow("past a day, within the file's setting")
        << u"48h"_s << false << u"alarms shelve ID --for 25h --reason \"sensor swap\""_s << int(cli::ExitDone)
        << u"until 2026-"_s << shelved;
}

void TestCliAudit::alarmShelveAndUnshelve()
{
    QFETCH(QString, longest);
    QFETCH(bool, shelvedBefore);
    QFETCH(QString, line);
    QFETCH(int, code);
    QFETCH(QString, said);
    QFETCH(int, state);
    h::AlarmJournal journal;
    QVERIFY(journal.open(historyPath()));
    h::AlarmRecord fresh;
    fresh.address = QStringLiteral("127.0.0.1");
    fresh.rule = 1;
    fresh.text = QStringLiteral("Battery low");
    fresh.state = h::AlarmState::ActiveUnacknowledged;
    const qint64 id = journal.raise(fresh).stored.value_or(fresh).id;
    QVERIFY(id > 0);
    if (shelvedBefore)
        QVERIFY(journal.shelve(id, kNow.toMSecsSinceEpoch() + 60'000, u"ops"_s, kNow.toMSecsSinceEpoch())
                    .applied());
    if (!longest.isEmpty()) {
        const Run set = run(u"alarms settings --max-shelve "_s + longest, {});
        QCOMPARE(set.code, int(cli::ExitDone));
        QCOMPARE(set.out, u"longest shelving: %1 h\n"_s.arg(longest.chopped(1)));
    }
    const Run r = run(QString(line).replace(u"ID"_s, QString::number(id)), {});
    QCOMPARE(r.code, code);
    QVERIFY2((code == int(cli::ExitDone) ? r.out : r.err).contains(said), qPrintable(r.out + r.err));
    QCOMPARE(int(journal.alarm(id)->state), state);
    if (code == int(cli::ExitDone)) {
        const h::AlarmEvent last = journal.events().last();
        QCOMPARE(last.who, h::AuditLog::localUser());
        QVERIFY2(last.text.endsWith(shelvedBefore ? u"unshelved by hand"_s : u": sensor swap"_s),
                 qPrintable(last.text));
    }
}

void TestCliAudit::alarmRulesAsCode_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said"); // on stdout for a rule added, on stderr for a refusal
    QTest::newRow("voltage below, one station")
        << u"alarms rules add --kind voltage-below --station 127.0.0.5 --channel 1 --limit 11.5 --priority high"_s
        << int(cli::ExitDone) << u"1\n"_s;
    QTest::newRow("offline for every station")
        << u"alarms rules add --kind offline --limit 90"_s << int(cli::ExitDone) << u"1\n"_s;
    QTest::newRow("leading zero address")
        << u"alarms rules add --kind offline --limit 9 --station 010.0.0.1"_s << int(cli::ExitUsage)
        << u"--station '010.0.0.1'"_s;
    QTest::newRow("signed address") << u"alarms rules add --kind offline --limit 9 --station +10.0.0.1"_s
                                    << int(cli::ExitUsage) << u"--station '+10.0.0.1'"_s;
    QTest::newRow("channel out of range") << u"alarms rules add --kind voltage-above --channel 9 --limit 3"_s
                                          << int(cli::ExitUsage) << u"Channel: 9"_s;
    QTest::newRow("unknown kind") << u"alarms rules add --kind smoke --limit 1"_s << int(cli::ExitUsage)
                                  << u"--kind 'smoke'"_s;
    QTest::newRow("no limit") << u"alarms rules add --kind temperature-above"_s << int(cli::ExitUsage)
                              << u"--limit is needed"_s;
    QTest::newRow("remove what is not there")
        << u"alarms rules remove 7"_s << int(cli::ExitRefused) << u"no rule 7"_s;
}

void TestCliAudit::alarmRulesAsCode()
{
    QFETCH(QString, line);
    QFETCH(int, code);
    QFETCH(QString, said);
    const Run r = run(line, {});
    QCOMPARE(r.code, code);
    QVERIFY2((code == int(cli::ExitDone) ? r.out : r.err).contains(said), qPrintable(r.out + r.err));
    h::AlarmJournal journal;
    QVERIFY(journal.open(historyPath()));
    QCOMPARE(journal.rules().size(), code == int(cli::ExitDone) ? 1 : 0);
}

void TestCliAudit::alarmRulesImportIsWholeOrNothing()
{
    QCOMPARE(run(u"alarms rules add --kind temperature-above --limit 50 --text Hot"_s, {}).code,
             int(cli::ExitDone));
    const Run exported = run(u"alarms rules export"_s, {});
    QCOMPARE(exported.code, int(cli::ExitDone));

    // The exported file read back changes nothing, however often.
    QFile file(m_dir.filePath(u"rules.json"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(exported.out.toUtf8());
    file.close();
    for (int i = 0; i < 2; ++i)
        QCOMPARE(run(u"alarms rules import "_s + file.fileName(), {}).code, int(cli::ExitDone));
    QCOMPARE(run(u"alarms rules export"_s, {}).out, exported.out);

    // One bad rule among good ones: nothing is imported, and the field is named.
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(R"({"rules":[{"kind":"offline","limit":30},{"kind":"pin","channel":2,"limit":2}]})");
    file.close();
    const Run bad = run(u"alarms rules import "_s + file.fileName(), {});
    QCOMPARE(bad.code, int(cli::ExitUsage));
    QVERIFY2(bad.err.contains(u"rules[1]"_s) && bad.err.contains(u"Limit"_s), qPrintable(bad.err));
    h::AlarmJournal journal;
    QVERIFY(journal.open(historyPath()));
    QCOMPARE(journal.rules().size(), 1);
}

QTEST_GUILESS_MAIN(TestCliAudit)
#include "tst_cliaudit.moc"
