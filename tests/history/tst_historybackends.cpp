#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "history/historyconnection.h"
#include "store/teamschema.h"
#include "storelink/storeconnection.h"
#include "support/postgrescluster.h"

using kestavo::history::HistoryConnection;
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

private:
    /// A new history file, or the team store as `login`.
    QString location(bool store, const QString& login = QStringLiteral("otto")) const;
    bool setUp(const QString& database, bool initialize = true);

    std::unique_ptr<PostgresCluster> m_cluster;
    QString m_missing; // why the store rows are skipped
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
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // Each test starts from an empty store, as each starts from a new file.
    if (m_cluster)
        QVERIFY2(m_cluster->exec(QStringLiteral("TRUNCATE audit, alarms, alarm_rules, alarm_events, leases, "
                                                "settings RESTART IDENTITY"),
                                 kTeam),
                 qPrintable(m_cluster->error()));
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

QTEST_GUILESS_MAIN(TestHistoryBackends)
#include "tst_historybackends.moc"
