#include <functional>
#include <list>

#include <QTest>

#include "stations/stationstore.h"

#include "storelink/storeconnection.h"
#include "store/teamstations.h"
#include "support/teamstore.h"

using kestavo::stations::StationSite;
using kestavo::stations::StationStore;
using kestavo::testsupport::TeamStore;
namespace s = kestavo::store;

namespace {

const QString kViewerRefusal = QStringLiteral("needs the operator role (kestavo_operator)");
const QString kEditRefusal = QStringLiteral("needs the admin role (kestavo_admin)");

// What another program sees of the directory: entries, passwords, defaults, tags and sites.
QStringList contents(const StationStore& stations, bool withPasswords = true)
{
    QStringList lines;
    for (int p = 0; p < stations.count(); ++p) {
        const QString entry = stations.entryAt(p);
        const QString address = entry.section(u' ', 0, 0);
        const StationSite site = stations.siteOf(address);
        lines << QStringLiteral("%1|%2|%3|%4|%5")
                     .arg(entry,
                          withPasswords ? stations.valueAt(p, QStringLiteral("password")).toString()
                                        : QString(),
                          stations.valueAt(p, QStringLiteral("default")).toString(),
                          stations.tagsOf(address).join(u','), site.location);
    }
    return lines;
}

} // namespace

// The station directory read from a team's store with each role's own login: the database, not
// this program, decides what a login reads and may change.
class TestTeamStations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void readsWhatTheRoleMay_data();
    void readsWhatTheRoleMay();
    void edits_data();
    void edits();
    void reloadSeesAnotherProgramsChange();

private:
    bool openAs(const QString& login, StationStore* stations);

    std::unique_ptr<TeamStore> m_team;
    std::list<s::StoreConnection> m_connections;
};

bool TestTeamStations::openAs(const QString& login, StationStore* stations)
{
    s::StoreConnection& store = m_connections.emplace_back();
    if (!store.open(s::parseStoreUrl(m_team->url(login)).url, QStringLiteral("tst_teamstations"))) {
        qWarning("%s", qPrintable(store.error()));
        return false;
    }
    const StationStore::OpenResult opened = s::openTeamStations(*stations, store);
    if (!opened.ok)
        qWarning("%s", qPrintable(opened.error));
    return opened.ok;
}

void TestTeamStations::initTestCase()
{
    if (const QString missing = kestavo::testsupport::PostgresCluster::missingReason(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_team = std::make_unique<TeamStore>();
    QVERIFY2(m_team->start(), qPrintable(m_team->error()));
    StationStore owner;
    QVERIFY(openAs(TeamStore::kOwner, &owner));
    QVERIFY2(owner.add(QStringLiteral("127.0.0.1"), QStringLiteral("secret"), QStringLiteral("pump house")),
             qPrintable(owner.lastError()));
    QVERIFY2(owner.add(QStringLiteral("127.0.0.2"), QStringLiteral("other"), QStringLiteral("well")),
             qPrintable(owner.lastError()));
    QVERIFY(owner.addTags(QStringLiteral("127.0.0.1"), {QStringLiteral("north/pumps")}));
    StationSite site;
    site.location = QStringLiteral("Hill road");
    QVERIFY(owner.setSite(QStringLiteral("127.0.0.2"), site));
}

void TestTeamStations::readsWhatTheRoleMay_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("firstPassword");
    QTest::addColumn<bool>("mayCommand");
    QTest::newRow("viewer") << TeamStore::kViewer << QString() << false;
    QTest::newRow("operator") << TeamStore::kOperator << QStringLiteral("secret****") << true;
    QTest::newRow("admin") << TeamStore::kAdmin << QStringLiteral("secret****") << true;
}

void TestTeamStations::readsWhatTheRoleMay()
{
    QFETCH(QString, login);
    QFETCH(QString, firstPassword);
    QFETCH(bool, mayCommand);
    StationStore stations;
    QVERIFY(openAs(login, &stations));
    QVERIFY(stations.isTeam());
    QCOMPARE(stations.count(), 2);
    QCOMPARE(stations.entryAt(0).section(u' ', 0, 0), QStringLiteral("127.0.0.1"));
    QVERIFY(stations.entryAt(1).endsWith(QStringLiteral("well")));
    QCOMPARE(stations.fillList().defaultEntry, stations.entryAt(0));
    QCOMPARE(stations.tagsOf(QStringLiteral("127.0.0.1")), QStringList{QStringLiteral("north/pumps")});
    QCOMPARE(stations.siteOf(QStringLiteral("127.0.0.2")).location, QStringLiteral("Hill road"));
    QCOMPARE(stations.valueAt(0, QStringLiteral("password")).toString(), firstPassword);
    QCOMPARE(stations.commandRefusal().isEmpty(), mayCommand);
    if (!mayCommand)
        QVERIFY2(stations.commandRefusal().contains(kViewerRefusal), qPrintable(stations.commandRefusal()));
}

using Edit = std::function<bool(StationStore&)>;
Q_DECLARE_METATYPE(Edit)

void TestTeamStations::edits_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<bool>("allowed");
    const QList<std::pair<const char*, Edit>> edits = {
        {"add",
         [](StationStore& st) {
             return st.add(QStringLiteral("127.0.0.9"), {}, QStringLiteral("new"));
         }},
        {"update",
         [](StationStore& st) {
             return st.update(QStringLiteral("127.0.0.2"), QStringLiteral("pw2"), QStringLiteral("well two"));
         }},
        {"password",
         [](StationStore& st) {
             return st.setPassword(QStringLiteral("127.0.0.1"), QStringLiteral("changed***"));
         }},
        {"default",
         [](StationStore& st) {
             return st.setDefault(QStringLiteral("127.0.0.2"));
         }},
        {"tag",
         [](StationStore& st) {
             return st.addTags(QStringLiteral("127.0.0.2"), {QStringLiteral("south")});
         }},
        {"site",
         [](StationStore& st) {
             StationSite site;
             site.location = QStringLiteral("Lake");
             return st.setSite(QStringLiteral("127.0.0.1"), site);
         }},
        {"remove",
         [](StationStore& st) {
             return st.removeAt(st.lastPosition());
         }},
    };
    for (const QString& login : {TeamStore::kViewer, TeamStore::kOperator, TeamStore::kAdmin}) {
        for (const auto& [name, edit] : edits)
            QTest::addRow("%s %s", qPrintable(login), name) << login << edit << (login == TeamStore::kAdmin);
    }
}

// A refused change names the admin role and leaves the store and this program's copy as they were;
// an admin's change reaches every other program.
void TestTeamStations::edits()
{
    QFETCH(QString, login);
    QFETCH(Edit, edit);
    QFETCH(bool, allowed);
    StationStore stations;
    QVERIFY(openAs(login, &stations));
    StationStore before;
    QVERIFY(openAs(TeamStore::kOwner, &before));
    const QStringList copyBefore = contents(stations);

    const bool done = edit(stations);
    QCOMPARE(done, allowed);
    StationStore after;
    QVERIFY(openAs(TeamStore::kOwner, &after));
    if (allowed) {
        QVERIFY(contents(after) != contents(before));
        StationStore again;
        QVERIFY(openAs(login, &again));
        QCOMPARE(contents(again), contents(stations));
    } else {
        QVERIFY2(stations.lastError().contains(kEditRefusal), qPrintable(stations.lastError()));
        QCOMPARE(contents(after), contents(before));
        QCOMPARE(contents(stations), copyBefore);
    }
}

void TestTeamStations::reloadSeesAnotherProgramsChange()
{
    StationStore viewer;
    QVERIFY(openAs(TeamStore::kViewer, &viewer));
    viewer.move(1);
    const QString current = viewer.ips();
    StationStore admin;
    QVERIFY(openAs(TeamStore::kAdmin, &admin));
    QVERIFY(admin.add(QStringLiteral("127.0.0.20"), QStringLiteral("pw"), QStringLiteral("added elsewhere")));
    QVERIFY(admin.addTags(QStringLiteral("127.0.0.20"), {QStringLiteral("east")}));

    QVERIFY(viewer.reload());
    QCOMPARE(contents(viewer, false), contents(admin, false));
    QCOMPARE(viewer.ips(), current);
    QCOMPARE(viewer.tagsOf(QStringLiteral("127.0.0.20")), QStringList{QStringLiteral("east")});
}

QTEST_GUILESS_MAIN(TestTeamStations)
#include "tst_teamstations.moc"
