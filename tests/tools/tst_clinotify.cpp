// `notify routes`, `stations maintenance` and `alarms report` of kestavo-cli on a history file in
// a temporary folder; `routes test` posts to a real HTTP receiver (Python's http.server, started
// by the test on loopback, since the CLI blocks while it sends).

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "cli.h"
#include "history/auditlog.h"
#include "notify/notifystore.h"

namespace cli = kestavo::cli;
using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2026, 12, 8), QTime(6, 0), Qt::UTC);

// Answers every POST with 204 and prints its body on one line.
const char* const kReceiver = R"(
import http.server, sys
class H(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers['Content-Length']))
        print(body.decode(), flush=True)
        self.send_response(204); self.end_headers()
    def log_message(self, *a): pass
s = http.server.HTTPServer(('127.0.0.1', 0), H)
print(s.server_address[1], flush=True)
s.serve_forever()
)";

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

} // namespace

class TestCliNotify final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusedLines_data();
    void refusedLines();
    void routesAddListTestRemove();
    void maintenanceIsAudited();
    void tagsInRoutesAndMaintenance();
    void reportOnAnEmptyFile();

private:
    Run run(const QString& line)
    {
        cli::CliEnvironment env;
        env.applicationDir = m_dir.path();
        env.now = [] {
            return kNow;
        };
        QString out, err;
        QTextStream o(&out), e(&err);
        QStringList args = QProcess::splitCommand(line);
        args << u"--history"_s << m_dir.filePath(u"history.db"_s) << u"--db"_s
             << m_dir.filePath(u"ksv.dat"_s);
        const int code = cli::runCli(args, o, e, env);
        return {code, out, err};
    }
    QTemporaryDir m_dir;
};

void TestCliNotify::refusedLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("message");
    QTest::newRow("no kind") << u"notify routes add --url http://127.0.0.1/"_s
                             << u"--kind must be webhook or email"_s;
    QTest::newRow("bad url") << u"notify routes add --kind webhook --url ftp://x/"_s
                             << u"URL: \"ftp://x/\" is not an http:// or https:// address."_s;
    QTest::newRow("email without smtp")
        << u"notify routes add --kind email --to a@b.org"_s
        << u"an email route takes --to ADDRESS and --smtp smtp[s]://HOST:PORT"_s;
    QTest::newRow("user without password")
        << u"notify routes add --kind email --to a@b.org --smtp smtps://mail.b.org:465 --smtp-user u"_s
        << u"SMTP user and password file go together; give both or neither."_s;
    QTest::newRow("priority")
        << u"notify routes add --kind webhook --url http://127.0.0.1/ --priority urgent"_s
        << u"--priority 'urgent' must list high, medium or low, separated by commas"_s;
    QTest::newRow("route tag with an empty part")
        << u"notify routes add --kind webhook --url http://127.0.0.1/ --tag north/"_s
        << u"Tag: tag 'north/' has an empty part between slashes."_s;
    QTest::newRow("maintenance address and tag")
        << u"stations maintenance 127.0.0.5 --tag north --for 2h --reason x"_s
        << u"give ADDRESS or --tag TAG, not both"_s;
    QTest::newRow("longest shelving past a week")
        << u"alarms settings --max-shelve 8d"_s
        << u"The longest shelving is a whole number of minutes from 1 min to 168 h."_s;
    QTest::newRow("cooldown") << u"notify routes add --kind webhook --url http://127.0.0.1/ --cooldown -5"_s
                              << u"--cooldown '-5' is not a whole number of 0 or more"_s;
    QTest::newRow("remove id") << u"notify routes remove x"_s << u"ID 'x' is not a route number"_s;
    QTest::newRow("no reason") << u"stations maintenance 127.0.0.5 --for 2h"_s
                               << u"--reason is required: say why the station is out of service"_s;
    QTest::newRow("octal-looking route station")
        << u"notify routes add --kind webhook --url http://127.0.0.1/ --station 127.0.0.010"_s
        << u"--station '127.0.0.010' is not an IPv4 address"_s;
    QTest::newRow("octal-looking address") << u"stations maintenance 127.0.0.010 --for 2h --reason x"_s
                                           << u"ADDRESS '127.0.0.010' is not an IPv4 address"_s;
    QTest::newRow("bad duration") << u"stations maintenance 127.0.0.5 --for soon --reason x"_s
                                  << u"--for 'soon' is not a duration (90m, 2h, 3d)"_s;
    QTest::newRow("report since") << u"alarms report --since tomorrow"_s
                                  << u"--since 'tomorrow' is neither a duration (7d) nor a past time"_s;
}

void TestCliNotify::refusedLines()
{
    QFETCH(QString, line);
    QFETCH(QString, message);
    const Run r = run(line);
    QCOMPARE(r.code, int(cli::ExitUsage));
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    kestavo::notify::NotifyStore store;
    if (store.open(m_dir.filePath(u"history.db"_s)))
        QVERIFY(store.routes().isEmpty() && store.maintenance(true).isEmpty());
}

void TestCliNotify::routesAddListTestRemove()
{
    QProcess receiver;
    receiver.start(u"/usr/bin/python3"_s, {u"-u"_s, u"-c"_s, QString::fromLatin1(kReceiver)});
    QVERIFY(receiver.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(receiver.canReadLine(), 10'000); // python -u writes the line end apart
    const int port = receiver.readLine().trimmed().toInt();
    QVERIFY(port > 0);

    Run r = run(u"notify routes add --kind webhook --url http://127.0.0.1:%1/alarms --priority high,medium "
                "--cooldown 300 --max-per-hour 20 --repeat-min 15 --send raised,cleared"_s.arg(port));
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, u"1\n"_s);
    r = run(u"notify routes --format json"_s);
    const QJsonObject route = QJsonDocument::fromJson(r.out.toUtf8())[u"routes"_s][0].toObject();
    QCOMPARE(route[u"target"_s].toString(), u"http://127.0.0.1:%1/alarms"_s.arg(port));
    QCOMPARE(route[u"priorities"_s].toString(), u"high,medium"_s);
    QCOMPARE(route[u"cooldown_s"_s].toInt(), 300);
    QCOMPARE(route[u"repeat_min"_s].toInt(), 15);

    r = run(u"notify routes test 1"_s);
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, u"Route 1: sent (HTTP 204).\n"_s);
    QTRY_VERIFY(receiver.canReadLine());
    const QJsonObject body = QJsonDocument::fromJson(receiver.readLine()).object();
    QCOMPARE(body[u"event"_s].toString(), u"test"_s);
    QCOMPARE(body[u"time"_s].toString(), u"2026-12-08T06:00:00Z"_s);
    receiver.kill();
    receiver.waitForFinished();

    // A route nobody answers fails with exit 1 and the failure is in the delivery log.
    QVERIFY(run(u"notify routes add --kind webhook --url http://127.0.0.1:%1/"_s.arg(port)).code == 0);
    r = run(u"notify routes test 2"_s);
    QCOMPARE(r.code, int(cli::ExitRefused));
    QVERIFY2(r.err.startsWith(u"kestavo-cli: notify: route 2 failed: "_s), qPrintable(r.err));
    kestavo::notify::NotifyStore store;
    QVERIFY(store.open(m_dir.filePath(u"history.db"_s)));
    QCOMPARE(store.deliveries().size(), 2);
    QCOMPARE(store.deliveries().at(0).outcome, u"failed"_s);

    QCOMPARE(run(u"notify routes remove 1"_s).out, u"Route 1 removed.\n"_s);
    QCOMPARE(run(u"notify routes remove 1"_s).code, int(cli::ExitUsage));
    QVERIFY(run(u"notify routes"_s).out.startsWith(u"2  webhook http://127.0.0.1:"_s));
}

void TestCliNotify::maintenanceIsAudited()
{
    Run r = run(u"stations maintenance 127.0.0.5 --for 2h --reason \"battery swap\""_s);
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, u"127.0.0.5 is in maintenance until 2026-12-08T08:00:00.000Z.\n"_s);
    QVERIFY(run(u"stations maintenance"_s)
                .out.startsWith(u"127.0.0.5  until 2026-12-08T08:00:00.000Z  battery swap"_s));
    QCOMPARE(run(u"stations maintenance 127.0.0.5 --end"_s).out, u"127.0.0.5 is back in service.\n"_s);
    QCOMPARE(run(u"stations maintenance 127.0.0.5 --end"_s).code, int(cli::ExitRefused));
    QCOMPARE(run(u"stations maintenance"_s).out, u"No station is in maintenance.\n"_s);
    kestavo::history::AuditLog audit;
    QVERIFY(audit.open(m_dir.filePath(u"history.db"_s)));
    const auto records = audit.records();
    QCOMPARE(records.size(), 2);
    QCOMPARE(records.at(0).program, u"CLI"_s);
    QCOMPARE(records.at(0).detail, u"battery swap"_s);
    QCOMPARE(records.at(1).action, u"maintenance ended"_s);
}

// A tag's window covers the stations carrying the tag or one below it; its start and end are
// audited like a station's, the start naming the stations it took out of service.
void TestCliNotify::tagsInRoutesAndMaintenance()
{
    QCOMPARE(run(u"stations add 127.0.0.5 secret Pumphouse"_s).code, 0);
    QCOMPARE(run(u"stations add 127.0.0.6 secret Wells"_s).code, 0);
    QCOMPARE(run(u"stations tag 127.0.0.5 north/pumps"_s).code, 0);
    QCOMPARE(run(u"stations tag 127.0.0.6 northeast"_s).code, 0);

    Run r = run(u"notify routes add --kind webhook --url http://127.0.0.1:9/ --tag north"_s);
    QCOMPARE(r.code, 0);
    QVERIFY(run(u"notify routes"_s)
                .out.contains(r.out.trimmed() +
                              u"  webhook http://127.0.0.1:9/ (json) · every priority · tag north\n"_s));

    r = run(u"stations maintenance --tag north --for 90m --reason \"mains work\""_s);
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, u"tag north is in maintenance until 2026-12-08T07:30:00.000Z.\n"_s);
    // Ending a station's own maintenance when only its tag is in maintenance points at --tag.
    r = run(u"stations maintenance 127.0.0.5 --end"_s);
    QCOMPARE(r.code, int(cli::ExitRefused));
    QVERIFY2(r.err.contains(u"tags in maintenance: north (end one with --tag TAG --end)"_s),
             qPrintable(r.err));
    QCOMPARE(run(u"stations maintenance --tag north --end"_s).out, u"tag north is back in service.\n"_s);

    kestavo::history::AuditLog audit;
    QVERIFY(audit.open(m_dir.filePath(u"history.db"_s)));
    QStringList seen;
    kestavo::history::AuditFilter tagged;
    tagged.address = u"tag north"_s;
    for (const auto& a : audit.records(tagged))
        seen << u"%1 | %2 | %3 | %4"_s.arg(a.address, a.description, a.action, a.detail);
    QCOMPARE(
        seen,
        (QStringList{
            u"tag north | 1 station(s): 127.0.0.5 | maintenance until 2026-12-08T07:30:00.000Z | mains work"_s,
            u"tag north |  | maintenance ended | ended by hand"_s}));
}

void TestCliNotify::reportOnAnEmptyFile()
{
    const Run r = run(u"alarms report --since 3d --format json"_s);
    QCOMPARE(r.code, 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(o[u"raised"_s].toInt(), 0);
    QCOMPARE(o[u"per_day"_s].toArray().size(), 4); // 5, 6, 7 and 8 December, parts of each
    QCOMPARE(o[u"from"_s].toString(), u"2026-12-05T06:00:00Z"_s);
}

QTEST_GUILESS_MAIN(TestCliNotify)
#include "tst_clinotify.moc"
