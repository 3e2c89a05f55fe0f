#include <QProcess>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "stations/stationstore.h"

#include "cli.h"
#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "history/historyconnection.h"
#include "history/historystore.h"
#include "store/storenotifier.h"
#include "store/teamschema.h"
#include "storelink/storeconnection.h"
#include "support/postgrescluster.h"

using kestavo::testsupport::PostgresCluster;
namespace s = kestavo::store;

namespace {

const QString kDatabase = QStringLiteral("team");

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

struct Outcome
{
    bool ok = false;
    bool denied = false; // SQLSTATE 42501
    QString error;
};

} // namespace

// The store on a real server: a database owned by a login with CREATEROLE, set up by the client,
// and one login per role. The roles are the database's: these tests talk SQL to it directly as
// each login, as any program (ours or not) could.
class TestTeamStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void initAgainKeepsEverything();
    void tablesMirrorTheDesksFiles();
    void privileges_data();
    void privileges();
    void whoDidItIsTheDatabasesWord();
    void grantAndRevoke();
    void refusals_data();
    void refusals();
    void status_data();
    void status();
    void importStationsTwice();
    void importHistoryTwice();
    void importReadingsTwice();
    void liveChanges_data();
    void liveChanges();
    void commandsOnTheStore_data();
    void commandsOnTheStore();

private:
    Run cli(const QString& login, const QString& line) const;
    Outcome exec(const QString& login, const QString& sql) const;
    QString one(const QString& login, const QString& sql) const;

    std::unique_ptr<PostgresCluster> m_cluster;
};

void TestTeamStore::initTestCase()
{
    if (const QString missing = PostgresCluster::missingReason(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_cluster = std::make_unique<PostgresCluster>();
    QVERIFY2(m_cluster->start(), qPrintable(m_cluster->error()));
    QVERIFY2(m_cluster->addLogin(QStringLiteral("owner"), QStringLiteral("CREATEROLE")),
             qPrintable(m_cluster->error()));
    for (const char* login : {"anna", "otto", "ada", "temp"})
        QVERIFY2(m_cluster->addLogin(QString::fromLatin1(login)), qPrintable(m_cluster->error()));
    QVERIFY2(m_cluster->exec(QStringLiteral("CREATE DATABASE team OWNER owner")),
             qPrintable(m_cluster->error()));

    const Run init = cli(QStringLiteral("owner"), QStringLiteral("store init"));
    QVERIFY2(init.code == 0, qPrintable(init.err));
    QVERIFY2(init.out.startsWith(QStringLiteral("Set up the store ")), qPrintable(init.out));
    for (const auto& [login, role] : {std::pair{"anna", "viewer"}, {"otto", "operator"}, {"ada", "admin"}}) {
        const Run grant = cli(
            QStringLiteral("owner"),
            QStringLiteral("store grant %1 %2").arg(QString::fromLatin1(login), QString::fromLatin1(role)));
        QVERIFY2(grant.code == 0, qPrintable(grant.err));
    }
    QVERIFY(exec(QStringLiteral("owner"), QStringLiteral("INSERT INTO ipnumbers (ips, password) "
                                                         "VALUES ('127.0.0.1   pump house', 'secret****')"))
                .ok);
}

Run TestTeamStore::cli(const QString& login, const QString& line) const
{
    const QStringList arguments = QStringList{QStringLiteral("--store"), m_cluster->url(login, kDatabase)} +
                                  QProcess::splitCommand(line);
    Run result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.code = kestavo::cli::runCli(arguments, out, err, kestavo::cli::CliEnvironment{});
    out.flush();
    err.flush();
    return result;
}

Outcome TestTeamStore::exec(const QString& login, const QString& sql) const
{
    Outcome outcome;
    s::StoreConnection store;
    if (!store.open(s::parseStoreUrl(m_cluster->url(login, kDatabase)).url,
                    QStringLiteral("tst_teamstore"))) {
        outcome.error = store.error();
        return outcome;
    }
    QSqlQuery query(store.db());
    outcome.ok = query.exec(sql);
    outcome.denied = s::isPermissionDenied(query.lastError());
    outcome.error = query.lastError().text();
    return outcome;
}

QString TestTeamStore::one(const QString& login, const QString& sql) const
{
    s::StoreConnection store;
    if (!store.open(s::parseStoreUrl(m_cluster->url(login, kDatabase)).url, QStringLiteral("tst_teamstore")))
        return store.error();
    QSqlQuery query(store.db());
    return query.exec(sql) && query.next() ? query.value(0).toString() : query.lastError().text();
}

void TestTeamStore::initAgainKeepsEverything()
{
    QVERIFY(exec(QStringLiteral("ada"),
                 QStringLiteral("INSERT INTO settings (name, value) VALUES ('kept', 'yes')"))
                .ok);
    const Run again = cli(QStringLiteral("owner"), QStringLiteral("store init"));
    QCOMPARE(again.code, 0);
    QVERIFY2(
        again.out.contains(QStringLiteral("was set up already (schema %1)").arg(s::storeSchemaVersion())),
        qPrintable(again.out));
    QCOMPARE(one(QStringLiteral("anna"), QStringLiteral("SELECT value FROM settings WHERE name = 'kept'")),
             QStringLiteral("yes"));
    QCOMPARE(one(QStringLiteral("anna"), QStringLiteral("SELECT count(*) FROM ipnumbers WHERE ips <> ''")),
             QStringLiteral("1"));
    QCOMPARE(one(QStringLiteral("anna"),
                 QStringLiteral("SELECT version FROM schema_version WHERE part = 'history'")),
             QString::number(s::storeSchemaVersion()));
}

// Both back ends on one schema number: every table of a new history file and station database has
// its twin in the store with the same columns in the same order, so a migration added to one back
// end and not the other fails here.
void TestTeamStore::tablesMirrorTheDesksFiles()
{
    QTemporaryDir dir;
    kestavo::stations::StationStore stations;
    QVERIFY(stations.open(dir.filePath(QStringLiteral("ksv.dat"))).ok);
    kestavo::history::HistoryConnection history;
    QVERIFY(history.open(dir.filePath(QStringLiteral("history.db"))));
    QSqlDatabase stationDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("mirror"));
    stationDb.setDatabaseName(dir.filePath(QStringLiteral("ksv.dat")));
    QVERIFY(stationDb.open());

    // information_schema lists only the columns the login may use: the owner sees all of them.
    s::StoreConnection store;
    QVERIFY(store.open(s::parseStoreUrl(m_cluster->url(QStringLiteral("owner"), kDatabase)).url,
                       QStringLiteral("t")));
    int tables = 0;
    for (QSqlDatabase desk : {history.db(), stationDb}) {
        QSqlQuery names(desk);
        QVERIFY(
            names.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                                      "'sqlite_%' AND name <> 'station_extras_schema' ORDER BY name")));
        while (names.next()) {
            const QString table = names.value(0).toString();
            QStringList deskColumns;
            QSqlQuery info(desk);
            QVERIFY(info.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)));
            while (info.next())
                deskColumns << info.value(1).toString();
            QStringList storeColumns;
            QSqlQuery columns(store.db());
            columns.prepare(
                QStringLiteral("SELECT column_name FROM information_schema.columns WHERE table_schema = "
                               "'public' AND table_name = ? ORDER BY ordinal_position"));
            columns.addBindValue(table);
            QVERIFY(columns.exec());
            while (columns.next())
                storeColumns << columns.value(0).toString();
            QStringList onlyDesk;
            QStringList onlyStore;
            for (const QString& c : std::as_const(deskColumns))
                if (!storeColumns.contains(c))
                    onlyDesk << c;
            for (const QString& c : std::as_const(storeColumns))
                if (!deskColumns.contains(c))
                    onlyStore << c;
            QVERIFY2(deskColumns == storeColumns,
                     qPrintable(QStringLiteral("%1: only on the desk: %2; only in the store: %3")
                                    .arg(table, onlyDesk.join(u','), onlyStore.join(u','))));
            ++tables;
        }
    }
    stationDb.close();
    QVERIFY(tables >= 20);
}

void TestTeamStore::privileges_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("allowed");

    const QString audit =
        QStringLiteral("INSERT INTO audit (t, host, program, address, description, action, outcome) "
                       "VALUES (1, 'desk', 'test', '127.0.0.1', '', 'relay 1 on', 'done')");
    const QString event = QStringLiteral("INSERT INTO alarm_events (t, alarm, address, rule, state) "
                                         "VALUES (1, 1, '127.0.0.1', 1, 2)");
    const QString rule = QStringLiteral("INSERT INTO alarm_rules (kind, priority) VALUES (1, 1)");
    const QString station = QStringLiteral("INSERT INTO ipnumbers (ips) VALUES ('127.0.0.2   well')");
    QTest::newRow("viewer reads stations") << "anna"
                                           << "SELECT ips, \"Relay1Notes\" FROM ipnumbers" << true;
    QTest::newRow("viewer: no password") << "anna"
                                         << "SELECT password FROM ipnumbers" << false;
    QTest::newRow("viewer: no SELECT *") << "anna"
                                         << "SELECT * FROM ipnumbers" << false;
    QTest::newRow("viewer reads the audit log") << "anna"
                                                << "SELECT \"user\", action FROM audit" << true;
    QTest::newRow("viewer: no audit row") << "anna" << audit << false;
    QTest::newRow("viewer: no alarm event") << "anna" << event << false;
    QTest::newRow("viewer: no acknowledgement") << "anna"
                                                << "UPDATE alarms SET acked_by = 'anna', state = 3" << false;
    QTest::newRow("viewer: no lease") << "anna"
                                      << "INSERT INTO leases VALUES ('127.0.0.1', 'x', 'y', 0, 1)" << false;
    QTest::newRow("operator reads passwords") << "otto"
                                              << "SELECT password FROM ipnumbers" << true;
    QTest::newRow("operator writes the audit log") << "otto" << audit << true;
    QTest::newRow("operator: no other name in the audit log")
        << "otto"
        << "INSERT INTO audit (t, \"user\", host, program, address, description, action, outcome) "
           "VALUES (1, 'anna', 'desk', 'test', '127.0.0.1', '', 'relay 1 on', 'done')"
        << false;
    QTest::newRow("operator logs an alarm event") << "otto" << event << true;
    QTest::newRow("operator: no other name on an event")
        << "otto"
        << "INSERT INTO alarm_events (t, alarm, address, rule, state, who) VALUES (1, 1, 'a', 1, 2, 'anna')"
        << false;
    QTest::newRow("operator: no audit rewrite") << "otto"
                                                << "UPDATE audit SET outcome = 'failed'" << false;
    QTest::newRow("operator: no station edit") << "otto" << station << false;
    QTest::newRow("operator: no rule edit") << "otto" << rule << false;
    QTest::newRow("admin edits stations") << "ada" << station << true;
    QTest::newRow("admin edits rules") << "ada" << rule << true;
    QTest::newRow("admin: no audit delete") << "ada"
                                            << "DELETE FROM audit" << false;
}

void TestTeamStore::privileges()
{
    QFETCH(QString, login);
    QFETCH(QString, sql);
    QFETCH(bool, allowed);
    const Outcome outcome = exec(login, sql);
    QVERIFY2(outcome.ok == allowed, qPrintable(outcome.error));
    if (!allowed)
        QVERIFY2(outcome.denied, qPrintable(outcome.error));
}

void TestTeamStore::whoDidItIsTheDatabasesWord()
{
    QVERIFY(exec(QStringLiteral("otto"),
                 QStringLiteral("INSERT INTO audit (t, host, program, address, description, action, outcome) "
                                "VALUES (42, 'desk', 'test', '127.0.0.1', '', 'relay 2 off', 'done')"))
                .ok);
    QCOMPARE(one(QStringLiteral("anna"), QStringLiteral("SELECT \"user\" FROM audit WHERE t = 42")),
             QStringLiteral("otto"));

    // An acknowledgement carries whoever made it, whatever name the client wrote.
    QVERIFY(
        exec(QStringLiteral("otto"),
             QStringLiteral("INSERT INTO alarms (address, rule, priority, text, state, raised_t, changed_t) "
                            "VALUES ('127.0.0.1', 7, 1, 'hot', 1, 1, 1)"))
            .ok);
    QVERIFY(
        exec(QStringLiteral("otto"),
             QStringLiteral("UPDATE alarms SET state = 2, acked_by = 'anna' WHERE rule = 7 AND state = 1"))
            .ok);
    QCOMPARE(one(QStringLiteral("anna"), QStringLiteral("SELECT acked_by FROM alarms WHERE rule = 7")),
             QStringLiteral("otto"));
    // Every change to alarms moves the counter the other programs watch.
    QVERIFY(one(QStringLiteral("anna"), QStringLiteral("SELECT counter FROM changes WHERE name = 'alarms'"))
                .toInt() >= 2);
}

void TestTeamStore::grantAndRevoke()
{
    const QString password = QStringLiteral("SELECT password FROM ipnumbers");
    QVERIFY(!exec(QStringLiteral("temp"), QStringLiteral("SELECT 1")).ok); // no role: not even a connection

    Run run = cli(QStringLiteral("ada"), QStringLiteral("store grant temp operator"));
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QVERIFY2(run.out.startsWith(QStringLiteral("temp is now an operator of postgresql://ada@")),
             qPrintable(run.out));
    QVERIFY(exec(QStringLiteral("temp"), password).ok);

    run = cli(QStringLiteral("ada"), QStringLiteral("store grant temp viewer"));
    QCOMPARE(run.code, 0);
    const Outcome demoted = exec(QStringLiteral("temp"), password);
    QVERIFY2(!demoted.ok && demoted.denied, qPrintable(demoted.error));

    // A session already open loses the rights at once.
    s::StoreConnection open;
    QVERIFY2(open.open(s::parseStoreUrl(m_cluster->url(QStringLiteral("temp"), kDatabase)).url,
                       QStringLiteral("t")),
             qPrintable(open.error()));
    QSqlQuery query(open.db());
    QVERIFY(query.exec(QStringLiteral("SELECT ips FROM ipnumbers")));
    run = cli(QStringLiteral("ada"), QStringLiteral("store revoke temp"));
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(QStringLiteral("any more (was viewer)")), qPrintable(run.out));
    QVERIFY(!query.exec(QStringLiteral("SELECT ips FROM ipnumbers")));
    QVERIFY(s::isPermissionDenied(query.lastError()));
    QVERIFY(!exec(QStringLiteral("temp"), QStringLiteral("SELECT 1")).ok);

    run = cli(QStringLiteral("ada"), QStringLiteral("store revoke temp"));
    QCOMPARE(run.code, 0);
    QVERIFY2(run.out.contains(QStringLiteral("had no role")), qPrintable(run.out));
}

void TestTeamStore::refusals_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("phrase");

    QTest::newRow("viewer grants") << "anna"
                                   << "store grant temp viewer" << 1
                                   << "needs the admin role (kestavo_admin)";
    QTest::newRow("operator revokes") << "otto"
                                      << "store revoke anna" << 1 << "needs the admin role";
    QTest::newRow("admin grants admin") << "ada"
                                        << "store grant temp admin" << 1 << "needs the store's owner";
    QTest::newRow("admin revokes an admin") << "ada"
                                            << "store revoke ada" << 1 << "needs the store's owner";
    QTest::newRow("no such login") << "owner"
                                   << "store grant nobody viewer" << 3 << "There is no login \"nobody\"";
    QTest::newRow("a group role") << "owner"
                                  << "store grant kestavo_admin viewer" << 3 << "not a login";
    QTest::newRow("init by an admin") << "ada"
                                      << "store init" << 1 << "needs the database's owner";
    QTest::newRow("unknown login") << "ghost"
                                   << "store init" << 3 << "cannot be opened";
    QTest::newRow("password in the address")
        << ""
        << "store init --store postgresql://a:pw@127.0.0.1/team" << 2 << "never holds a password";
    QTest::newRow("no store") << ""
                              << "store init" << 2 << "--store URL is missing";
}

void TestTeamStore::refusals()
{
    QFETCH(QString, login);
    QFETCH(QString, line);
    QFETCH(int, code);
    QFETCH(QString, phrase);
    Run run;
    if (login.isEmpty()) {
        QTextStream out(&run.out);
        QTextStream err(&run.err);
        run.code =
            kestavo::cli::runCli(QProcess::splitCommand(line), out, err, kestavo::cli::CliEnvironment{});
        err.flush();
    } else {
        run = cli(login, line);
    }
    QVERIFY2(run.err.contains(phrase), qPrintable(run.err));
    QCOMPARE(run.code, code);
}

void TestTeamStore::status_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("line");

    QTest::newRow("viewer") << "anna"
                            << "login     anna, viewer: reads stations";
    QTest::newRow("operator") << "otto"
                              << "login     otto, operator: a viewer who";
    QTest::newRow("admin") << "ada"
                           << "login     ada, admin: an operator who";
    QTest::newRow("owner") << "owner"
                           << "login     owner, no role on this store (and the store's owner)";
}

void TestTeamStore::status()
{
    QFETCH(QString, login);
    QFETCH(QString, line);
    const Run run = cli(login, QStringLiteral("store status"));
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(line), qPrintable(run.out));
    QVERIFY2(run.out.contains(QStringLiteral("schema    %1\ncontents  ").arg(s::storeSchemaVersion())),
             qPrintable(run.out));
}

// A desk's directory goes in with its tags and sites; the second run finds everything in place, and
// a change on the desk updates the one station it touched.
void TestTeamStore::importStationsTwice()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("ksv.dat"));
    {
        kestavo::stations::StationStore desk;
        QVERIFY(desk.open(file).ok);
        QVERIFY(desk.add(QStringLiteral("127.0.0.10"), QStringLiteral("pw10"), QStringLiteral("north well")));
        QVERIFY(desk.add(QStringLiteral("127.0.0.11"), QStringLiteral("pw11"), QStringLiteral("south well")));
        QVERIFY(desk.add(QStringLiteral("127.0.0.10"), QStringLiteral("other"),
                         QStringLiteral("a second record")));
        QVERIFY(
            desk.addTags(QStringLiteral("127.0.0.10"), {QStringLiteral("north"), QStringLiteral("wells")}));
        kestavo::stations::StationSite site;
        site.location = QStringLiteral("pump house");
        site.latitude = 52.5;
        site.longitude = 13.4;
        site.zone = QStringLiteral("Europe/Berlin");
        QVERIFY(desk.setSite(QStringLiteral("127.0.0.11"), site));
    }
    const QString import = QStringLiteral("store import --db ") + file;
    Run run = cli(QStringLiteral("otto"), import);
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains(QStringLiteral("needs the admin role")), qPrintable(run.err));

    run = cli(QStringLiteral("ada"), import);
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QVERIFY2(
        run.out.contains(QStringLiteral("stations 2 added, 0 updated, 0 unchanged, 1 skipped (an earlier "
                                        "station has the same address); 2 tags, 1 sites.")),
        qPrintable(run.out));
    run = cli(QStringLiteral("ada"), import);
    QVERIFY2(run.out.contains(QStringLiteral("stations 0 added, 0 updated, 2 unchanged, 1 skipped")),
             qPrintable(run.out));
    QCOMPARE(
        one(QStringLiteral("anna"),
            QStringLiteral(
                "SELECT count(*) FROM ipnumbers WHERE ips LIKE '127.0.0.10 %' OR ips LIKE '127.0.0.11 %'")),
        QStringLiteral("2"));
    QCOMPARE(one(QStringLiteral("otto"),
                 QStringLiteral("SELECT password FROM ipnumbers WHERE ips LIKE '127.0.0.10 %'")),
             QStringLiteral("pw10******"));
    QCOMPARE(one(QStringLiteral("anna"),
                 QStringLiteral("SELECT string_agg(tag, ',' ORDER BY tag) FROM station_tags WHERE address = "
                                "'127.0.0.10'")),
             QStringLiteral("north,wells"));
    QCOMPARE(one(QStringLiteral("anna"),
                 QStringLiteral(
                     "SELECT location || ' ' || latitude || ' ' || zone FROM station_sites WHERE address = "
                     "'127.0.0.11'")),
             QStringLiteral("pump house 52.5 Europe/Berlin"));

    {
        kestavo::stations::StationStore desk;
        QVERIFY(desk.open(file).ok);
        QVERIFY(desk.update(QStringLiteral("127.0.0.11"), QStringLiteral("pw11"),
                            QStringLiteral("south well, new pump")));
        QVERIFY(desk.removeTags(QStringLiteral("127.0.0.10"), {QStringLiteral("wells")}));
    }
    run = cli(QStringLiteral("ada"), import + QStringLiteral(" --format json"));
    QVERIFY2(run.out.contains(QStringLiteral("\"stations\":{\"added\":0,\"duplicates\":1,\"unchanged\":1,"
                                             "\"updated\":1},\"store\"")),
             qPrintable(run.out));
    QCOMPARE(one(QStringLiteral("anna"),
                 QStringLiteral("SELECT count(*) FROM station_tags WHERE address = '127.0.0.10'")),
             QStringLiteral("1"));
}

// Rules, alarms, their events and the audit log come across with the desk's names and with the
// alarms' links to rules and events intact; a second run finds each row in place.
void TestTeamStore::importHistoryTwice()
{
    QTemporaryDir dir;
    const QString stations = dir.filePath(QStringLiteral("ksv.dat"));
    const QString historyFile = dir.filePath(QStringLiteral("history.db"));
    {
        kestavo::stations::StationStore desk;
        QVERIFY(desk.open(stations).ok);
        kestavo::history::HistoryConnection history;
        QVERIFY2(history.open(historyFile), qPrintable(history.error()));
        QSqlQuery q(history.db());
        for (const char* sql :
             {"INSERT INTO alarm_rules (id, address, kind, channel, limit_value, priority, text) "
              "VALUES (4, '127.0.0.20', 1, 2, 3.3, 2, 'high')",
              "INSERT INTO alarms (id, address, rule, priority, text, state, value, raised_t, changed_t, "
              "acked_by) "
              "VALUES (5, '127.0.0.20', 4, 2, 'high', 0, 3.5, 1000, 2000, 'nightshift')",
              "INSERT INTO alarms (id, address, rule, priority, text, state, value, raised_t, changed_t) "
              "VALUES (6, '127.0.0.20', 4, 2, 'high', 1, NULL, 3000, 3000)",
              "INSERT INTO alarm_events (t, alarm, address, rule, value, state, who) VALUES "
              "(1000, 5, '127.0.0.20', 4, 3.5, 1, ''), (1500, 5, '127.0.0.20', 4, 3.5, 2, 'nightshift'), "
              "(3000, 6, '127.0.0.20', 4, NULL, 1, '')",
              "INSERT INTO audit (t, user, host, program, address, description, action, outcome) VALUES "
              "(900, 'nightshift', 'desk1', 'kestavo', '127.0.0.20', 'well', 'relay 1 on', 'done'), "
              "(950, 'nightshift', 'desk1', 'kestavo', '127.0.0.20', 'well', 'relay 1 off', 'done')"})
            QVERIFY2(q.exec(QString::fromLatin1(sql)), qPrintable(q.lastError().text()));
    }
    const QString import = QStringLiteral("store import --db %1 --history %2").arg(stations, historyFile);
    Run run = cli(QStringLiteral("ada"), import);
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains(QStringLiteral("only the store's owner")), qPrintable(run.err));

    run = cli(QStringLiteral("owner"), import);
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QVERIFY2(
        run.out.contains(QStringLiteral("alarm rules 1 added, 0 present; alarms 2 added, 0 present; alarm "
                                        "events 3 added, 0 present; audit records 2 added, 0 present.")),
        qPrintable(run.out));
    run = cli(QStringLiteral("owner"), import);
    QVERIFY2(
        run.out.contains(QStringLiteral("alarm rules 0 added, 1 present; alarms 0 added, 2 present; alarm "
                                        "events 0 added, 3 present; audit records 0 added, 2 present.")),
        qPrintable(run.out));

    QCOMPARE(one(QStringLiteral("anna"),
                 QStringLiteral("SELECT string_agg(\"user\" || '@' || host, ',') FROM audit "
                                "WHERE address = '127.0.0.20'")),
             QStringLiteral("nightshift@desk1,nightshift@desk1"));
    QCOMPARE(one(QStringLiteral("anna"),
                 QStringLiteral("SELECT a.acked_by || ' ' || r.text || ' ' || r.limit_value "
                                "FROM alarms a JOIN alarm_rules r ON r.id = a.rule "
                                "WHERE a.address = '127.0.0.20' AND a.raised_t = 1000")),
             QStringLiteral("nightshift high 3.3"));
    QCOMPARE(one(QStringLiteral("anna"),
                 QStringLiteral("SELECT string_agg(e.who || ':' || a.raised_t, ',' ORDER BY e.t) "
                                "FROM alarm_events e JOIN alarms a ON a.id = e.alarm "
                                "WHERE e.address = '127.0.0.20'")),
             QStringLiteral(":1000,nightshift:1000,:3000"));
}

namespace {

// Every row of a station's history at one step, and its link events, as text. Means to 0.01: the
// store's writer rolls up minutes the desk still computes when read.
QString describe(const kestavo::history::HistoryReader& reader, const QString& address,
                 kestavo::history::Step step)
{
    using namespace kestavo::history;
    const Series series = reader.read(address, 0, std::numeric_limits<qint64>::max() / 2, step);
    QStringList rows;
    for (const Row& row : series.rows)
        rows << QStringLiteral("%1:%2:%3")
                    .arg(row.timeMs)
                    .arg(row.count)
                    .arg(row.mean[kTemperatureSeries], 0, 'f', 2); // as a stored bucket keeps it
    for (const Event& event : series.events)
        rows << QStringLiteral("event %1:%2:%3").arg(event.timeMs).arg(int(event.kind)).arg(event.detail);
    return rows.join(u' ');
}

} // namespace

// A desk's readings, some packed and rolled up, some not yet, copied in twice; between the two the
// store's own writer packs what the first copy brought. The store then reads as the desk does.
void TestTeamStore::importReadingsTwice()
{
    using namespace kestavo::history;
    constexpr qint64 kT0 = 1'767'225'600'000;
    const QString north = QStringLiteral("127.0.0.21");
    const QString south = QStringLiteral("127.0.0.22");
    QTemporaryDir dir;
    const QString stations = dir.filePath(QStringLiteral("ksv.dat"));
    const QString historyFile = dir.filePath(QStringLiteral("history.db"));
    {
        kestavo::stations::StationStore desk;
        QVERIFY(desk.open(stations).ok);
        HistoryStore::Options options;
        options.clock = [] {
            return kT0 + 25 * 60'000;
        };
        HistoryStore history(options);
        QVERIFY(history.open(historyFile).ok);
        for (int i = 0; i < 240; ++i) { // 40 minutes every 10 s
            Sample sample;
            sample.timeMs = kT0 + i * 10'000LL;
            sample.temperatureC = 10.0 + (i % 9) * 0.5;
            history.record(north, QStringLiteral("00:0A:00:00:00:01"), sample);
            sample.temperatureC = -2.0 - (i % 5) * 0.5;
            history.record(south, QStringLiteral("00:0A:00:00:00:02"), sample);
        }
        Sample replaced; // the north unit swapped for another one later on
        replaced.timeMs = kT0 + 45 * 60'000;
        replaced.temperatureC = 30.0;
        history.record(north, QStringLiteral("00:0A:00:00:00:03"), replaced);
        history.recordEvent(north, kT0, LinkEvent::Started);
        history.recordEvent(south, kT0 + 600'000, LinkEvent::LinkLost, QStringLiteral("no reply"));
        QVERIFY(history.flush());
        while (history.maintain(kT0 + 25 * 60'000)) {
        }
    }
    QList<qint64> deskRows; // units, recent, blocks, rollups, events
    {
        HistoryConnection desk;
        QVERIFY(desk.open(historyFile));
        for (const char* table : {"units", "recent", "blocks", "rollups", "events"}) {
            QSqlQuery q(desk.db());
            QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM %1").arg(QString::fromLatin1(table))) &&
                    q.next());
            deskRows << q.value(0).toLongLong();
        }
    }
    QVERIFY2(deskRows.at(1) > 0 && deskRows.at(2) > 0 && deskRows.at(3) > 0,
             "the desk has both packed and loose samples");

    const QString import = QStringLiteral("store import --db %1 --history %2").arg(stations, historyFile);
    const auto line = [&deskRows](bool again) {
        const auto pair = [again](qint64 n) {
            return again ? QStringLiteral("0 added, %1 present").arg(n)
                         : QStringLiteral("%1 added, 0 present").arg(n);
        };
        return QStringLiteral("Readings: units %1; samples %2; blocks %3; roll-up marks %4; link events %5.")
            .arg(pair(deskRows.at(0)), pair(deskRows.at(1)), pair(deskRows.at(2)), pair(deskRows.at(3)),
                 pair(deskRows.at(4)));
    };
    Run run = cli(QStringLiteral("owner"), import);
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(line(false)), qPrintable(run.out));

    // The store's own writer packs the loose samples the import brought, as an agent would.
    {
        s::StoreConnection otto;
        QVERIFY(otto.open(s::parseStoreUrl(m_cluster->url(QStringLiteral("otto"), kDatabase)).url,
                          QStringLiteral("tst_teamstore")));
        HistoryStore writer;
        QVERIFY2(writer.openStore(otto.db()).ok, qPrintable(writer.lastError()));
        while (writer.maintain(kT0 + 3'600'000)) {
        }
        QCOMPARE(one(QStringLiteral("anna"),
                     QStringLiteral("SELECT count(*) FROM recent r JOIN units u ON u.id = r.unit "
                                    "WHERE u.address IN ('127.0.0.21', '127.0.0.22')")),
                 QStringLiteral("0"));
    }
    run = cli(QStringLiteral("owner"), import);
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(line(true)), qPrintable(run.out));

    HistoryReader desk;
    QVERIFY(desk.open(historyFile));
    s::StoreConnection anna;
    QVERIFY(anna.open(s::parseStoreUrl(m_cluster->url(QStringLiteral("anna"), kDatabase)).url,
                      QStringLiteral("tst_teamstore")));
    HistoryReader store;
    QVERIFY2(store.openStore(anna.db()), qPrintable(store.error()));
    for (const QString& address : {north, south}) {
        for (const Step step : {Step::Raw, Step::Minute, Step::Hour}) {
            const QString expected = describe(desk, address, step);
            QVERIFY(!expected.isEmpty());
            QCOMPARE(describe(store, address, step), expected);
        }
    }
}

void TestTeamStore::liveChanges_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("table");

    QTest::newRow("alarm raised")
        << "otto"
        << "INSERT INTO alarms (address, rule, priority, text, state, raised_t, changed_t) "
           "VALUES ('127.0.0.3', 9, 1, 'low', 1, 5, 5)"
        << s::kAlarmsChannel << "alarms";
    QTest::newRow("acknowledged") << "otto"
                                  << "UPDATE alarms SET state = 2, acked_by = 'x' WHERE rule = 9"
                                  << s::kAlarmsChannel << "alarms";
    QTest::newRow("rule edited") << "ada"
                                 << "UPDATE alarm_rules SET text = 'pump' " << s::kAlarmsChannel
                                 << "alarm_rules";
    QTest::newRow("station added") << "ada"
                                   << "INSERT INTO ipnumbers (ips) VALUES ('127.0.0.4   tank')"
                                   << s::kStationsChannel << "ipnumbers";
    QTest::newRow("station tagged") << "ada"
                                    << "INSERT INTO station_tags VALUES ('127.0.0.4', 'north')"
                                    << s::kStationsChannel << "station_tags";
}

// One console listens (a viewer may), another program changes the store: the news arrives on the
// listening connection's socket well within a second, with no table polled.
void TestTeamStore::liveChanges()
{
    QFETCH(QString, login);
    QFETCH(QString, sql);
    QFETCH(QString, channel);
    QFETCH(QString, table);
    s::StoreConnection listening;
    QVERIFY(listening.open(s::parseStoreUrl(m_cluster->url(QStringLiteral("anna"), kDatabase)).url,
                           QStringLiteral("console")));
    s::StoreNotifier notifier(listening.db());
    QVERIFY2(notifier.subscribe(), qPrintable(notifier.error()));
    QSignalSpy spy(&notifier, &s::StoreNotifier::changed);

    const Outcome outcome = exec(login, sql);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QVERIFY(spy.wait(1000));
    QCOMPARE(spy.constFirst().at(0).toString(), channel);
    QCOMPARE(spy.constFirst().at(1).toString(), table);
    QCOMPARE(spy.constFirst().at(2).toBool(), false);
}

void TestTeamStore::commandsOnTheStore_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("line"); // %1: the id of an alarm open for this row
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("phrase"); // in what the command wrote, on either stream

    QTest::newRow("viewer lists") << "anna"
                                  << "alarms --format json" << 0 << "\"text\":\"pump %2\"";
    QTest::newRow("viewer acknowledges")
        << "anna"
        << "alarms ack %1" << 1 << "Acknowledging an alarm needs the operator role (kestavo_operator)";
    QTest::newRow("viewer shelves") << "anna"
                                    << "alarms shelve %1 --for 1h --reason dust" << 1
                                    << "Shelving an alarm needs the operator role";
    QTest::newRow("operator acknowledges") << "otto"
                                           << "alarms ack %1" << 0 << "acknowledged alarm %1 (pump %2)";
    QTest::newRow("operator shelves") << "otto"
                                      << "alarms shelve %1 --for 1h --reason dust" << 0 << "shelved alarm %1";
    QTest::newRow("operator adds a rule")
        << "otto"
        << "alarms rules add --kind voltage-below --channel 1 --limit 11.5" << 1
        << "Changing an alarm rule needs the admin role (kestavo_admin)";
    QTest::newRow("admin adds a rule")
        << "ada"
        << "alarms rules add --kind voltage-below --channel 1 --limit 11.5" << 0 << "";
    QTest::newRow("operator sets the longest shelving")
        << "otto"
        << "alarms settings --max-shelve 8h" << 1 << "needs the admin role";
    QTest::newRow("viewer reads the report") << "anna"
                                             << "alarms report --since 7d --format json" << 0 << "pump %2";
    QTest::newRow("viewer reads the audit log") << "anna"
                                                << "audit --format csv" << 0 << "otto,";
    QTest::newRow("store unreachable")
        << ""
        << "alarms --store postgresql://otto@127.0.0.1:1/team" << 3 << "cannot be opened";
    QTest::newRow("history and store") << "otto"
                                       << "alarms --history h.db" << 2 << "give one";
}

// The alarm and audit commands on a store: what a login may do is the store's grants, a refusal
// names the role (exit 1), an unreachable store exits 3; an acknowledgement names the login.
void TestTeamStore::commandsOnTheStore()
{
    QFETCH(QString, login);
    QFETCH(QString, line);
    QFETCH(int, code);
    QFETCH(QString, phrase);
    kestavo::history::AlarmJournal journal;
    QVERIFY2(journal.open(m_cluster->url(QStringLiteral("otto"), kDatabase)), qPrintable(journal.error()));
    kestavo::history::AlarmRecord fresh;
    fresh.address = QStringLiteral("127.0.0.1");
    static int row = 0;
    fresh.rule = -1000 - ++row; // a condition of its own per row
    fresh.text = QStringLiteral("pump %1").arg(QString::fromLatin1(QTest::currentDataTag()));
    fresh.state = kestavo::history::AlarmState::ActiveUnacknowledged;
    fresh.raisedMs = QDateTime::currentMSecsSinceEpoch();
    fresh.changedMs = fresh.raisedMs;
    const kestavo::history::AlarmChange raised = journal.raise(fresh);
    QVERIFY2(!raised.failed(), qPrintable(raised.error));
    kestavo::history::AuditLog audit;
    QVERIFY(audit.open(m_cluster->url(QStringLiteral("otto"), kDatabase)));
    kestavo::history::AuditRecord record;
    record.utcMs = fresh.raisedMs;
    record.action = QStringLiteral("relay 1 on");
    QVERIFY2(audit.append(record), qPrintable(audit.lastError()));

    const QString id = QString::number(raised.stored->id);
    for (QString* text : {&line, &phrase})
        text->replace(QStringLiteral("%1"), id)
            .replace(QStringLiteral("%2"), QString::fromLatin1(QTest::currentDataTag()));
    Run run;
    if (login.isEmpty()) {
        QTextStream out(&run.out);
        QTextStream err(&run.err);
        run.code =
            kestavo::cli::runCli(QProcess::splitCommand(line), out, err, kestavo::cli::CliEnvironment{});
    } else {
        run = cli(login, line);
    }
    QVERIFY2(run.code == code, qPrintable(run.out + run.err));
    QVERIFY2((run.out + run.err).contains(phrase), qPrintable(run.out + run.err));
    const std::optional<kestavo::history::AlarmRecord> stored = journal.alarm(raised.stored->id);
    QVERIFY(stored);
    if (line.startsWith(u"alarms ack"))
        QCOMPARE(stored->ackedBy, code == 0 ? QStringLiteral("otto") : QString());
    if (code != 0 && line.startsWith(u"alarms"))
        QCOMPARE(stored->state, kestavo::history::AlarmState::ActiveUnacknowledged);
}

QTEST_GUILESS_MAIN(TestTeamStore)
#include "tst_teamstore.moc"
