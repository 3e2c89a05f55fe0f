#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "history/historyconnection.h"
#include "history/stationleases.h"
#include "store/storenotifier.h"
#include "store/teamschema.h"
#include "storelink/storeconnection.h"
#include "support/postgrescluster.h"

using namespace kestavo::history;
using namespace Qt::Literals::StringLiterals;
using kestavo::testsupport::PostgresCluster;
namespace s = kestavo::store;

namespace {

const QString kTeam = QStringLiteral("team");

} // namespace

// The history's small tables on both back ends: a SQLite file as one desk keeps it, and a team's
// store on a real PostgreSQL server, set up by its owner with one login per role. Every row of a
// table runs once per back end; a store row is skipped, saying why, where the server programs are
// missing.
class TestHistoryBackends : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void openLocations_data();
    void openLocations();
    void auditReadsWhatWasWritten_data();
    void auditReadsWhatWasWritten();
    void alarmFromTwoConnections_data();
    void alarmFromTwoConnections();
    void ruleChangesCloseAlarms_data();
    void ruleChangesCloseAlarms();
    void leases_data();
    void leases();
    void settings_data();
    void settings();
    void refusedByRole_data();
    void refusedByRole();

private:
    /// A new history file, or the team store as `login`.
    QString location(bool store, const QString& login = QStringLiteral("otto")) const;
    bool setUp(const QString& database, bool initialize = true);

    /// One back-end column, a row per back end.
    static void backends();
    /// Where `login`'s connections go in this test: one file for every login, or the store.
    QString shared(bool store, const QString& login);

    std::unique_ptr<PostgresCluster> m_cluster;
    QString m_missing;
    QString m_file; // why the store rows are skipped
    std::unique_ptr<QTemporaryDir> m_dir;
    mutable int m_files = 0;
};

void TestHistoryBackends::initTestCase()
{
    m_missing = PostgresCluster::missingReason();
    if (!m_missing.isEmpty())
        return;
    m_cluster = std::make_unique<PostgresCluster>();
    QVERIFY2(m_cluster->start(), qPrintable(m_cluster->error()));
    QVERIFY2(m_cluster->addLogin(QStringLiteral("owner"), QStringLiteral("CREATEROLE")),
             qPrintable(m_cluster->error()));
    for (const char* login : {"anna", "otto", "ada"})
        QVERIFY2(m_cluster->addLogin(QString::fromLatin1(login)), qPrintable(m_cluster->error()));
    QVERIFY(setUp(kTeam));
    s::StoreConnection owner;
    QVERIFY2(owner.open(s::parseStoreUrl(m_cluster->url(QStringLiteral("owner"), kTeam)).url,
                        QStringLiteral("test")),
             qPrintable(owner.error()));
    for (const auto& [login, role] :
         {std::pair{"anna", s::Role::Viewer}, {"otto", s::Role::Operator}, {"ada", s::Role::Admin}}) {
        const s::RoleChange change = s::grantRole(owner.db(), QString::fromLatin1(login), role);
        QVERIFY2(change.ok, qPrintable(change.error));
    }
}

bool TestHistoryBackends::setUp(const QString& database, bool initialize)
{
    if (!m_cluster->exec(QStringLiteral("CREATE DATABASE %1 OWNER owner").arg(database))) {
        qWarning("%s", qPrintable(m_cluster->error()));
        return false;
    }
    if (!initialize)
        return true;
    s::StoreConnection owner;
    if (!owner.open(s::parseStoreUrl(m_cluster->url(QStringLiteral("owner"), database)).url,
                    QStringLiteral("test"))) {
        qWarning("%s", qPrintable(owner.error()));
        return false;
    }
    const s::InitResult init = s::initialize(owner.db());
    if (!init.ok)
        qWarning("%s", qPrintable(init.error));
    return init.ok;
}

void TestHistoryBackends::init()
{
    m_file.clear();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // Each test starts from an empty store, as each starts from a new file.
    if (m_cluster)
        QVERIFY2(m_cluster->exec(QStringLiteral("TRUNCATE audit, alarms, alarm_rules, alarm_events, leases, "
                                                "settings RESTART IDENTITY"),
                                 kTeam),
                 qPrintable(m_cluster->error()));
}

void TestHistoryBackends::backends()
{
    QTest::addColumn<bool>("store");
}

QString TestHistoryBackends::shared(bool store, const QString& login)
{
    if (store)
        return m_cluster->url(login, kTeam);
    if (m_file.isEmpty())
        m_file = location(false);
    return m_file;
}

QString TestHistoryBackends::location(bool store, const QString& login) const
{
    if (!store)
        return m_dir->filePath(QStringLiteral("history%1.db").arg(m_files++));
    return m_cluster ? m_cluster->url(login, kTeam) : QString();
}

#define SKIP_WITHOUT_SERVER(store)                                                                           \
    do {                                                                                                     \
        if ((store) && !m_cluster)                                                                           \
            QSKIP(qPrintable(m_missing));                                                                    \
    } while (false)

void TestHistoryBackends::openLocations_data()
{
    QTest::addColumn<bool>("store");
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("database"); // on the store: "" for the team's
    QTest::addColumn<QString>("refusal");  // empty: opens

    QTest::newRow("file") << false << ""
                          << ""
                          << "";
    QTest::newRow("store, operator") << true << "otto"
                                     << ""
                                     << "";
    QTest::newRow("store, viewer") << true << "anna"
                                   << ""
                                   << "";
    QTest::newRow("store init not run") << true << "owner"
                                        << "bare"
                                        << "has no tables yet; its owner sets it up with kestavo-cli --store "
                                           "postgresql://owner@127.0.0.1:";
    QTest::newRow("newer store") << true << "owner"
                                 << "future"
                                 << "was set up by a newer version of Kestavo (schema 99; this one knows";
    QTest::newRow("password in the address") << true << "otto:secret"
                                             << ""
                                             << "never holds a password";
    QTest::newRow("no such login") << true << "ghost"
                                   << ""
                                   << "cannot be opened";
}

void TestHistoryBackends::openLocations()
{
    QFETCH(bool, store);
    QFETCH(QString, login);
    QFETCH(QString, database);
    QFETCH(QString, refusal);
    SKIP_WITHOUT_SERVER(store);
    QString where = location(store, login);
    if (!database.isEmpty()) {
        QVERIFY(setUp(database, database != u"bare"));
        if (database == u"future")
            QVERIFY(m_cluster->exec(QStringLiteral("UPDATE schema_version SET version = 99"), database));
        where = m_cluster->url(login, database);
    }
    HistoryConnection connection;
    const bool opened = connection.open(where, QStringLiteral("test"));
    if (!refusal.isEmpty()) {
        QVERIFY(!opened);
        QVERIFY2(connection.error().contains(refusal), qPrintable(connection.error()));
        QVERIFY(!connection.isOpen());
        if (database == u"future") // refused untouched
            QVERIFY(
                m_cluster->exec(QStringLiteral("SELECT 1 FROM schema_version WHERE version = 99"), database));
        return;
    }
    QVERIFY2(opened, qPrintable(connection.error()));
    QCOMPARE(connection.isTeamStore(), store);
    QCOMPARE(connection.sessionUser(), store ? login : QString());
    // The same tables answer on both back ends.
    QSqlQuery query(connection.db());
    QVERIFY2(query.exec(QStringLiteral("SELECT count(*) FROM alarms")) && query.next(),
             qPrintable(query.lastError().text()));
    QCOMPARE(query.value(0).toInt(), 0);
}

namespace {

AlarmRecord freshAlarm(qint64 rule, qint64 atMs)
{
    AlarmRecord a;
    a.address = QStringLiteral("127.0.0.1");
    a.rule = rule;
    a.priority = AlarmPriority::High;
    a.text = QStringLiteral("battery low");
    a.state = AlarmState::ActiveUnacknowledged;
    a.value = 10.5;
    a.raisedMs = atMs;
    a.changedMs = atMs;
    return a;
}

} // namespace

void TestHistoryBackends::auditReadsWhatWasWritten_data()
{
    backends();
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("fromMs");
    QTest::addColumn<QStringList>("actions");
    for (const bool store : {false, true}) {
        const char* where = store ? "store" : "file";
        QTest::addRow("%s: all", where)
            << store << QString() << QString() << qint64(0)
            << QStringList{u"relay 1 on"_s, u"relay 2 off"_s, u"password changed"_s};
        QTest::addRow("%s: one station", where) << store << QStringLiteral("127.0.0.2") << QString()
                                                << qint64(0) << QStringList{u"relay 2 off"_s};
        QTest::addRow("%s: by words", where) << store << QString() << QStringLiteral("RELAY") << qint64(0)
                                             << QStringList{u"relay 1 on"_s, u"relay 2 off"_s};
        QTest::addRow("%s: by outcome", where) << store << QString() << QStringLiteral("refused") << qint64(0)
                                               << QStringList{u"password changed"_s};
        QTest::addRow("%s: from a time on", where) << store << QString() << QString() << qint64(2000)
                                                   << QStringList{u"relay 2 off"_s, u"password changed"_s};
    }
}

// A record names whoever the client says on a file; on a store, the session's login whatever the
// client said.
void TestHistoryBackends::auditReadsWhatWasWritten()
{
    QFETCH(bool, store);
    QFETCH(QString, address);
    QFETCH(QString, text);
    QFETCH(qint64, fromMs);
    QFETCH(QStringList, actions);
    SKIP_WITHOUT_SERVER(store);
    AuditLog writer;
    QVERIFY2(writer.open(shared(store, QStringLiteral("otto"))), qPrintable(writer.error()));
    const QString user = store ? QStringLiteral("otto") : QStringLiteral("mallory");
    QSet<qint64> ids;
    for (const auto& [t, station, action, outcome] :
         {std::tuple{1000, "127.0.0.1", "relay 1 on", "acknowledged"},
          std::tuple{2000, "127.0.0.2", "relay 2 off", "acknowledged"},
          std::tuple{3000, "127.0.0.1", "password changed", "refused"}}) {
        AuditRecord r{0,
                      t,
                      QStringLiteral("mallory"),
                      QStringLiteral("desk"),
                      QStringLiteral("test"),
                      QString::fromLatin1(station),
                      QStringLiteral("well"),
                      QString::fromLatin1(action),
                      QString::fromLatin1(outcome),
                      QString()};
        QVERIFY2(writer.append(r), qPrintable(writer.lastError()));
        QCOMPARE(r.user, user);
        ids.insert(r.id);
    }
    QVERIFY(!ids.contains(0));
    QCOMPARE(ids.size(), 3);

    AuditLog reader;
    QVERIFY2(reader.open(shared(store, QStringLiteral("anna"))), qPrintable(reader.error()));
    AuditFilter filter;
    filter.address = address;
    filter.text = text;
    filter.fromMs = fromMs;
    QStringList read;
    for (const AuditRecord& r : reader.records(filter)) {
        read << r.action;
        QCOMPARE(r.user, user);
        QVERIFY(ids.contains(r.id));
    }
    QCOMPARE(read, actions);
}

void TestHistoryBackends::alarmFromTwoConnections_data()
{
    backends();
    QTest::newRow("file") << false;
    QTest::newRow("store") << true;
}

// Two programs on one store change one alarm: each change starts from the stored state, and the
// one that finds it changed already adopts what is stored. Who acknowledged is the store's word.
void TestHistoryBackends::alarmFromTwoConnections()
{
    QFETCH(bool, store);
    SKIP_WITHOUT_SERVER(store);
    AlarmJournal first;
    AlarmJournal second;
    QVERIFY2(first.open(shared(store, QStringLiteral("otto"))), qPrintable(first.error()));
    QVERIFY2(second.open(shared(store, QStringLiteral("ada"))), qPrintable(second.error()));
    // A console listening on the store hears of the acknowledgement at once.
    s::StoreConnection listening;
    std::unique_ptr<s::StoreNotifier> notifier;
    if (store) {
        QVERIFY(listening.open(s::parseStoreUrl(m_cluster->url(QStringLiteral("anna"), kTeam)).url,
                               QStringLiteral("console")));
        notifier = std::make_unique<s::StoreNotifier>(listening.db());
        QVERIFY2(notifier->subscribe(), qPrintable(notifier->error()));
    }
    const qint64 counter = second.changeCounter();

    const AlarmChange raised = first.raise(freshAlarm(3, 1000), QStringLiteral("mallory"));
    QVERIFY2(raised.applied(), qPrintable(raised.error));
    const qint64 id = raised.stored->id;
    const AlarmChange twice = second.raise(freshAlarm(3, 1100));
    QCOMPARE(twice.outcome, AlarmChange::Outcome::Adopted);
    QCOMPARE(twice.stored->id, id);

    std::unique_ptr<QSignalSpy> heard;
    if (store) {
        heard = std::make_unique<QSignalSpy>(notifier.get(), &s::StoreNotifier::changed);
        QTRY_COMPARE_WITH_TIMEOUT(heard->count(), 1, 1000); // the raise
        heard->clear();
    }
    const QString acknowledger = store ? QStringLiteral("otto") : QStringLiteral("mallory");
    const AlarmChange acked = first.acknowledge(id, QStringLiteral("mallory"), 2000);
    QVERIFY2(acked.applied(), qPrintable(acked.error));
    QCOMPARE(acked.stored->state, AlarmState::ActiveAcknowledged);
    QCOMPARE(acked.stored->ackedBy, acknowledger);
    if (store) {
        QVERIFY(heard->wait(1000));
        QCOMPARE(heard->constFirst().at(0).toString(), s::kAlarmsChannel);
    }

    const AlarmChange late = second.acknowledge(id, QStringLiteral("ada"), 2500);
    QCOMPARE(late.outcome, AlarmChange::Outcome::Adopted);
    QCOMPARE(late.stored->state, AlarmState::ActiveAcknowledged);
    QCOMPARE(late.stored->ackedBy, acknowledger);

    const AlarmChange shelved = second.shelve(id, 9000, QStringLiteral("ada"), 3000);
    QVERIFY2(shelved.applied(), qPrintable(shelved.error));
    AlarmRecord cleared = *acked.stored;
    cleared.state = AlarmState::Normal;
    cleared.changedMs = 3500;
    const AlarmChange stale = first.change(id, AlarmState::ActiveAcknowledged, cleared);
    QCOMPARE(stale.outcome, AlarmChange::Outcome::Adopted);
    QCOMPARE(stale.stored->state, AlarmState::Shelved);
    QCOMPARE(stale.stored->shelvedUntilMs, qint64(9000));

    QStringList log;
    for (const AlarmEvent& e : first.events())
        log << QStringLiteral("%1 %2").arg(int(e.state)).arg(e.who);
    QCOMPARE(log, (QStringList{QStringLiteral("1 ") + acknowledger, QStringLiteral("2 ") + acknowledger,
                               QStringLiteral("4 ada")}));
    QVERIFY(first.changeCounter() >= counter + 3);
}

void TestHistoryBackends::ruleChangesCloseAlarms_data()
{
    backends();
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("closedBy"); // the closing event's text; empty: the alarm stays open
    for (const bool store : {false, true}) {
        const char* where = store ? "store" : "file";
        QTest::addRow("%s: limit raised", where) << store << "limit"
                                                 << "";
        QTest::addRow("%s: disabled", where) << store << "disable"
                                             << "rule disabled";
        QTest::addRow("%s: another channel", where) << store << "channel"
                                                    << "rule changed";
        QTest::addRow("%s: removed", where) << store << "remove"
                                            << "rule removed";
        QTest::addRow("%s: replaced by an import", where) << store << "import"
                                                          << "rule removed";
    }
}

void TestHistoryBackends::ruleChangesCloseAlarms()
{
    QFETCH(bool, store);
    QFETCH(QString, change);
    QFETCH(QString, closedBy);
    SKIP_WITHOUT_SERVER(store);
    AlarmJournal journal;
    QVERIFY2(journal.open(shared(store, QStringLiteral("ada"))), qPrintable(journal.error()));
    AlarmRule rule;
    rule.kind = AlarmRuleKind::VoltageBelow;
    rule.channel = 1;
    rule.limit = 11.5;
    rule.priority = AlarmPriority::High;
    rule.text = QStringLiteral("battery low");
    QVERIFY2(journal.saveRule(rule, 1000), qPrintable(journal.lastError()));
    QVERIFY(rule.id > 0);
    const AlarmChange raised = journal.raise(freshAlarm(rule.id, 1000));
    QVERIFY2(raised.applied(), qPrintable(raised.error));

    if (change == u"import") {
        // An imported rule keeps its number, even the one the store would give the next new rule.
        AlarmRule imported = rule;
        imported.id = rule.id + 1;
        imported.channel = 3;
        QList<AlarmRule> rules{imported};
        QVERIFY2(journal.saveRules(rules, true, 2000), qPrintable(journal.lastError()));
        QCOMPARE(rules.constFirst().id, rule.id + 1);
        AlarmRule next = rule;
        next.id = 0;
        QVERIFY2(journal.saveRule(next, 2100), qPrintable(journal.lastError()));
        QVERIFY(next.id > rule.id + 1);
    } else if (change == u"remove") {
        QVERIFY2(journal.removeRule(rule.id, 2000), qPrintable(journal.lastError()));
    } else {
        if (change == u"limit")
            rule.limit = 12;
        else if (change == u"disable")
            rule.enabled = false;
        else
            rule.channel = 2;
        QVERIFY2(journal.saveRule(rule, 2000), qPrintable(journal.lastError()));
    }
    const std::optional<AlarmRecord> alarm = journal.alarm(raised.stored->id);
    QVERIFY(alarm);
    QCOMPARE(alarm->state, closedBy.isEmpty() ? AlarmState::ActiveUnacknowledged : AlarmState::Normal);
    QCOMPARE(journal.events().constLast().text, closedBy.isEmpty() ? rule.text : closedBy);
}

void TestHistoryBackends::leases_data()
{
    backends();
    QTest::addColumn<QString>("firstProgram");
    QTest::addColumn<QString>("secondProgram");
    QTest::addColumn<qint64>("secondAtMs"); // the first took the lease at 0 for 1000 ms
    QTest::addColumn<bool>("secondHolds");
    for (const bool store : {false, true}) {
        const char* where = store ? "store" : "file";
        QTest::addRow("%s: held", where) << store << "console"
                                         << "console" << qint64(500) << false;
        QTest::addRow("%s: lapsed", where) << store << "console"
                                           << "console" << qint64(1000) << true;
        QTest::addRow("%s: the agent outranks", where) << store << "console"
                                                       << "agent" << qint64(500) << true;
        QTest::addRow("%s: a console does not", where) << store << "agent"
                                                       << "console" << qint64(500) << false;
    }
}

void TestHistoryBackends::leases()
{
    QFETCH(bool, store);
    QFETCH(QString, firstProgram);
    QFETCH(QString, secondProgram);
    QFETCH(qint64, secondAtMs);
    QFETCH(bool, secondHolds);
    SKIP_WITHOUT_SERVER(store);
    StationLeases first;
    StationLeases second;
    QVERIFY2(first.open(shared(store, QStringLiteral("otto"))), qPrintable(first.error()));
    QVERIFY2(second.open(shared(store, QStringLiteral("ada"))), qPrintable(second.error()));
    const QStringList stations{QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2")};
    const std::optional<QSet<QString>> taken =
        first.acquire(stations, QStringLiteral("first"), firstProgram, 0, 1000);
    QVERIFY2(taken, qPrintable(first.lastError()));
    QCOMPARE(*taken, QSet<QString>(stations.begin(), stations.end()));
    const std::optional<QSet<QString>> renewed =
        first.acquire({stations[0]}, QStringLiteral("first"), firstProgram, 10, 1000);
    QVERIFY(renewed && renewed->contains(stations[0]));

    const std::optional<QSet<QString>> got =
        second.acquire({stations[1]}, QStringLiteral("second"), secondProgram, secondAtMs, 1000);
    QVERIFY2(got, qPrintable(second.lastError()));
    QCOMPARE(got->contains(stations[1]), secondHolds);
    QStringList holders;
    for (const StationLease& lease : first.leases(secondAtMs))
        holders << lease.holder;
    QCOMPARE(holders, (QStringList{QStringLiteral("first"),
                                   secondHolds ? QStringLiteral("second") : QStringLiteral("first")}));
    QVERIFY2(second.release(QStringLiteral("second")), qPrintable(second.lastError()));
    QCOMPARE(first.leases(secondAtMs).size(), secondHolds ? 1 : 2);
}

void TestHistoryBackends::settings_data()
{
    backends();
    QTest::newRow("file") << false;
    QTest::newRow("store") << true;
}

void TestHistoryBackends::settings()
{
    QFETCH(bool, store);
    SKIP_WITHOUT_SERVER(store);
    AlarmJournal admin;
    AlarmJournal reader;
    QVERIFY2(admin.open(shared(store, QStringLiteral("ada"))), qPrintable(admin.error()));
    QVERIFY2(reader.open(shared(store, QStringLiteral("anna"))), qPrintable(reader.error()));
    const QString name = QStringLiteral("max_shelve_ms");
    QCOMPARE(reader.setting(name), std::nullopt);
    for (const char* value : {"28800000", "3600000"}) {
        QVERIFY2(admin.setSetting(name, QString::fromLatin1(value)), qPrintable(admin.lastError()));
        QCOMPARE(reader.setting(name), std::optional<QString>(QString::fromLatin1(value)));
    }
}

void TestHistoryBackends::refusedByRole_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("role");

    QTest::newRow("viewer acknowledges") << "anna"
                                         << "acknowledge"
                                         << "operator role (kestavo_operator)";
    QTest::newRow("viewer shelves") << "anna"
                                    << "shelve"
                                    << "operator role (kestavo_operator)";
    QTest::newRow("viewer raises") << "anna"
                                   << "raise"
                                   << "operator role (kestavo_operator)";
    QTest::newRow("viewer audits") << "anna"
                                   << "audit"
                                   << "operator role (kestavo_operator)";
    QTest::newRow("viewer takes a lease") << "anna"
                                          << "lease"
                                          << "operator role (kestavo_operator)";
    QTest::newRow("operator edits a rule") << "otto"
                                           << "rule"
                                           << "admin role (kestavo_admin)";
    QTest::newRow("operator changes a setting") << "otto"
                                                << "setting"
                                                << "admin role (kestavo_admin)";
}

// The store refuses by its own grants; the program says which role it would take, and nothing
// changed.
void TestHistoryBackends::refusedByRole()
{
    QFETCH(QString, login);
    QFETCH(QString, action);
    QFETCH(QString, role);
    SKIP_WITHOUT_SERVER(true);
    AlarmJournal operatorJournal;
    QVERIFY2(operatorJournal.open(shared(true, QStringLiteral("otto"))), qPrintable(operatorJournal.error()));
    const AlarmChange raised = operatorJournal.raise(freshAlarm(-4, 1000));
    QVERIFY2(raised.applied(), qPrintable(raised.error));
    const qint64 counter = operatorJournal.changeCounter();

    const QString where = shared(true, login);
    QString error;
    if (action == u"audit" || action == u"lease") {
        AuditLog log;
        StationLeases leases;
        QVERIFY(log.open(where) && leases.open(where));
        AuditRecord r;
        r.action = QStringLiteral("relay 1 on");
        if (action == u"audit") {
            QVERIFY(!log.append(r));
            error = log.lastError();
        } else {
            QVERIFY(!leases.acquire({QStringLiteral("127.0.0.1")}, QStringLiteral("h"),
                                    QStringLiteral("console"), 0, 1000));
            error = leases.lastError();
        }
        QVERIFY(log.records().isEmpty());
        QVERIFY(leases.leases(0).isEmpty());
    } else {
        AlarmJournal journal;
        QVERIFY(journal.open(where));
        AlarmRule rule;
        rule.priority = AlarmPriority::Low;
        const AlarmChange change =
            action == u"acknowledge" ? journal.acknowledge(raised.stored->id, login, 2000)
            : action == u"shelve"    ? journal.shelve(raised.stored->id, 9000, login, 2000)
            : action == u"raise"     ? journal.raise(freshAlarm(5, 2000))
                                     : AlarmChange{};
        if (action == u"rule" || action == u"setting") {
            QVERIFY(action == u"rule" ? !journal.saveRule(rule)
                                      : !journal.setSetting(QStringLiteral("x"), QStringLiteral("y")));
            error = journal.lastError();
            QVERIFY(journal.rules().isEmpty());
            QCOMPARE(journal.setting(QStringLiteral("x")), std::nullopt);
        } else {
            QVERIFY(change.failed());
            error = change.error;
        }
        QCOMPARE(journal.alarms(true).size(), 1);
        QCOMPARE(journal.alarms(true).constFirst().state, AlarmState::ActiveUnacknowledged);
    }
    QVERIFY2(error.startsWith(QStringLiteral("The database refused: ")) && error.contains(role),
             qPrintable(error));
    QCOMPARE(operatorJournal.changeCounter(), counter);
}

QTEST_GUILESS_MAIN(TestHistoryBackends)
#include "tst_historybackends.moc"
