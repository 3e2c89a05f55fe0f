// kestavo-cli on a team's store: the station and its password come from the store, the database
// decides who may command a unit or change the directory, and the audit record of a command
// carries the session's login. A real PostgreSQL server, the simulated unit on loopback.

#include <QProcess>
#include <QSqlQuery>
#include <QTest>
#include <QTextStream>

#include "stations/stationstore.h"

#include "cli.h"
#include "ksv-sim/simulatedunit.h"
#include "store/teamstations.h"
#include "storelink/storeconnection.h"
#include "support/teamstore.h"

using namespace Qt::StringLiterals;
using kestavo::sim::SimulatedUnit;
using kestavo::testsupport::TeamStore;
namespace s = kestavo::store;

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

} // namespace

class TestCliTeam final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void commands_data();
    void commands();
    void auditNamesTheLogin();
    void storeOnlyWhereTaken_data();
    void storeOnlyWhereTaken();

private:
    Run cli(const QString& login, const QString& line);
    QStringList auditUsers();

    std::unique_ptr<TeamStore> m_team;
    std::unique_ptr<SimulatedUnit> m_unit;
};

void TestCliTeam::initTestCase()
{
    if (const QString missing = kestavo::testsupport::PostgresCluster::missingReason(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_team = std::make_unique<TeamStore>();
    QVERIFY2(m_team->start(), qPrintable(m_team->error()));
    s::StoreConnection owner;
    QVERIFY(owner.open(s::parseStoreUrl(m_team->url(TeamStore::kOwner)).url, u"test"_s));
    kestavo::stations::StationStore directory;
    QVERIFY(s::openTeamStations(directory, owner).ok);
    QVERIFY(directory.add(u"127.0.0.1"_s, u"Qx7pw"_s, u"pump house"_s));

    SimulatedUnit::Config config;
    config.port = 0;
    config.realTime = false;
    config.unit.password = "Qx7pw";
    m_unit = std::make_unique<SimulatedUnit>(config);
    QVERIFY2(m_unit->start(), qPrintable(m_unit->errorString()));
}

Run TestCliTeam::cli(const QString& login, const QString& line)
{
    const QStringList arguments =
        QStringList{u"--store"_s,   m_team->url(login), u"--port"_s, QString::number(m_unit->port()),
                    u"--timeout"_s, u"1000"_s} +
        QProcess::splitCommand(line);
    Run result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    kestavo::cli::CliEnvironment environment;
    environment.verifyPollMs = 50;
    result.code = kestavo::cli::runCli(arguments, out, err, environment);
    out.flush();
    err.flush();
    return result;
}

QStringList TestCliTeam::auditUsers()
{
    s::StoreConnection store;
    if (!store.open(s::parseStoreUrl(m_team->url(TeamStore::kOwner)).url, u"test"_s))
        return {store.error()};
    QSqlQuery query(store.db());
    QStringList users;
    if (query.exec(u"SELECT \"user\", program, action FROM audit ORDER BY id"_s))
        while (query.next())
            users << query.value(0).toString() + u' ' + query.value(1).toString() + u' ' +
                         query.value(2).toString();
    return users;
}

void TestCliTeam::commands_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("sent");       // any frame reached the unit
    QTest::addColumn<QString>("message"); // in the output or the error, empty for none
    const QString operatorRole = u"needs the operator role (kestavo_operator)"_s;
    const QString adminRole = u"needs the admin role (kestavo_admin)"_s;
    QTest::newRow("viewer relay") << TeamStore::kViewer << u"relay 127.0.0.1 1 on"_s << 1 << false
                                  << operatorRole;
    QTest::newRow("viewer with a password")
        << TeamStore::kViewer << u"--password Qx7pw relay 127.0.0.1 1 on"_s << 1 << false << operatorRole;
    QTest::newRow("viewer status") << TeamStore::kViewer << u"status 127.0.0.1"_s << 1 << false
                                   << operatorRole;
    QTest::newRow("viewer lists") << TeamStore::kViewer << u"stations"_s << 0 << false << u"pump house"_s;
    QTest::newRow("operator relay") << TeamStore::kOperator << u"relay 127.0.0.1 1 on"_s << 0 << true
                                    << QString();
    QTest::newRow("operator adds") << TeamStore::kOperator << u"stations add 127.0.0.7 pw tower"_s << 1
                                   << false << adminRole;
    QTest::newRow("viewer tags") << TeamStore::kViewer << u"stations tag 127.0.0.1 north"_s << 1 << false
                                 << adminRole;
    QTest::newRow("admin adds") << TeamStore::kAdmin << u"stations add 127.0.0.7 pw tower"_s << 0 << false
                                << u"127.0.0.7"_s;
}

void TestCliTeam::commands()
{
    QFETCH(QString, login);
    QFETCH(QString, line);
    QFETCH(int, code);
    QFETCH(bool, sent);
    QFETCH(QString, message);
    m_unit->model().clearLogs();
    const QStringList auditBefore = auditUsers();

    const Run run = cli(login, line);
    QVERIFY2(run.code == code, qPrintable(run.out + run.err));
    QCOMPARE(!m_unit->model().frames().empty(), sent);
    if (!message.isEmpty())
        QVERIFY2((run.out + run.err).contains(message), qPrintable(run.out + run.err));
    // A refused command leaves no audit record: nothing was sent.
    if (!sent)
        QCOMPARE(auditUsers(), auditBefore);
}

// Who did it is the store's word: the login of the command's session, whatever the program says.
void TestCliTeam::auditNamesTheLogin()
{
    const QStringList before = auditUsers();
    const Run run = cli(TeamStore::kOperator, u"relay 127.0.0.1 2 on"_s);
    QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
    const QStringList after = auditUsers();
    QCOMPARE(after.size(), before.size() + 1);
    QVERIFY2(after.last().startsWith(TeamStore::kOperator + u" CLI "_s), qPrintable(after.last()));
}

void TestCliTeam::storeOnlyWhereTaken_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("code");
    QTest::newRow("relay --tag") << u"relay --tag north 1 on --yes"_s << 2;
    QTest::newRow("history") << u"history 127.0.0.1"_s << 2;
    QTest::newRow("bad address") << u"--store postgresql://x@h/d?password=p stations"_s << 2;
}

// A command that cannot use the store yet refuses the option rather than work on the desk's files.
void TestCliTeam::storeOnlyWhereTaken()
{
    QFETCH(QString, line);
    QFETCH(int, code);
    m_unit->model().clearLogs();
    const Run run = cli(TeamStore::kOperator, line);
    QVERIFY2(run.code == code, qPrintable(run.out + run.err));
    QVERIFY(m_unit->model().frames().empty());
}

QTEST_GUILESS_MAIN(TestCliTeam)
#include "tst_cliteam.moc"
