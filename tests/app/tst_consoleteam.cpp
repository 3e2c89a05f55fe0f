// The console on a team's store, offscreen, against a real PostgreSQL server and the simulated unit
// on loopback: the title bar, the station box filled from the store with each role's own login,
// changes made by another program reaching the window within a second, and the banner while the
// store is down, with the session to the unit going on.

#include <QComboBox>
#include <QLabel>
#include <QStandardPaths>
#include <QTest>
#include <QTimeZone>

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "alarms/alarmengine.h"
#include "app/consolealarms.h"
#include "app/consoleteam.h"
#include "gui/main/mainform.h"
#include "history/alarmjournal.h"
#include "ksv-sim/simulatedunit.h"
#include "platform/filechooser.h"
#include "store/teamstations.h"
#include "storelink/storeconnection.h"
#include "support/consolefixture.h"
#include "support/faketrayicon.h"
#include "support/teamstore.h"

using namespace kestavo;
using namespace Qt::StringLiterals;
using testsupport::TeamStore;

namespace {

// What reaches the window within this long after another program's change.
constexpr int kLiveMs = 1000;

const QDateTime kOutage(QDate(2026, 3, 4), QTime(12, 34, 56));

struct TeamConsole
{
    explicit TeamConsole(const QString& url)
    {
        form = std::make_unique<core::MainForm>(f.context, f.dialogs, &tray);
        team = std::make_unique<app::ConsoleTeam>(store::parseStoreUrl(url).url, f.store, *form);
        team->setTiming({50, 50});
        team->setClock([] { return kOutage; });
        opened = team->openStations();
        form->loadStations();
        team->start();
    }
    ~TeamConsole()
    {
        team.reset();
        core::MainForm::unloadAllForms(form.get());
    }
    QStringList entries() const
    {
        QStringList list;
        const auto* box = form->findChild<QComboBox*>(u"Combo1"_s);
        for (int i = 0; i < box->count(); ++i)
            list << box->itemText(i);
        return list;
    }
    QLabel* banner() const { return form->findChild<QLabel*>(u"StoreBanner"_s); }

    testsupport::ConsoleFixture f;
    testsupport::FakeTrayIcon tray;
    std::unique_ptr<core::MainForm> form;
    std::unique_ptr<app::ConsoleTeam> team;
    QString opened;
};

class NoFiles final : public platform::FileChooser
{
public:
    QString openFile(QWidget*, const QString&) override { return {}; }
    QString saveFile(QWidget*, const QString&, const QString&) override { return {}; }
};

} // namespace

class TestConsoleTeam final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void stationBoxAndSession_data();
    void stationBoxAndSession();
    void anotherProgramsChange_data();
    void anotherProgramsChange();
    void bannerWhileTheStoreIsDown();
    void alarmsFromAnotherProgram();

private:
    bool admin(const std::function<bool(stations::StationStore&)>& change);

    std::unique_ptr<TeamStore> m_team;
};

void TestConsoleTeam::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    if (const QString missing = testsupport::PostgresCluster::missingReason(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_team = std::make_unique<TeamStore>();
    QVERIFY2(m_team->start(), qPrintable(m_team->error()));
}

// Every test starts from the same directory: the pump house (default) and the well.
void TestConsoleTeam::init()
{
    QVERIFY2(m_team->exec(TeamStore::kOwner, u"DELETE FROM ipnumbers"_s), qPrintable(m_team->error()));
    QVERIFY(admin([](stations::StationStore& st) {
        return st.add(u"127.0.0.1"_s, u"secret"_s, u"pump house"_s) &&
               st.add(u"127.0.0.2"_s, u"other"_s, u"well"_s);
    }));
}

bool TestConsoleTeam::admin(const std::function<bool(stations::StationStore&)>& change)
{
    store::StoreConnection connection;
    if (!connection.open(store::parseStoreUrl(m_team->url(TeamStore::kAdmin)).url, u"test"_s))
        return false;
    stations::StationStore directory;
    if (!store::openTeamStations(directory, connection).ok)
        return false;
    const bool done = change(directory);
    if (!done)
        qWarning("%s", qPrintable(directory.lastError()));
    return done;
}

void TestConsoleTeam::stationBoxAndSession_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<bool>("commands");
    QTest::newRow("viewer") << TeamStore::kViewer << false;
    QTest::newRow("operator") << TeamStore::kOperator << true;
}

void TestConsoleTeam::stationBoxAndSession()
{
    QFETCH(QString, login);
    QFETCH(bool, commands);
    sim::SimulatedUnit::Config config;
    config.unit.password = "secret";
    config.port = 0;
    sim::SimulatedUnit unit(config);
    QVERIFY(unit.start());

    TeamConsole c(m_team->url(login));
    QCOMPARE(c.opened, QString());
    QVERIFY2(c.form->windowTitle().endsWith(u" - "_s + m_team->url(login)),
             qPrintable(c.form->windowTitle()));
    QCOMPARE(c.entries().size(), 2);
    QVERIFY(c.entries().at(0).startsWith(u"127.0.0.1"_s));
    QVERIFY(c.entries().at(1).endsWith(u"well"_s));
    QCOMPARE(c.form->stationBoxText(), c.entries().at(0)); // the store's default station

    c.f.session.setUnitPort(unit.port());
    c.form->startStation(u"127.0.0.1"_s);
    if (commands) {
        QTRY_VERIFY(!unit.model().frames().empty());
        QVERIFY(c.f.state.acquiring());
        QCOMPARE(c.f.prompter.texts(), QStringList());
    } else {
        QVERIFY2(c.f.prompter.lastText().contains(u"needs the operator role (kestavo_operator)"_s),
                 qPrintable(c.f.prompter.lastText()));
        QVERIFY(!c.f.state.acquiring());
        QTest::qWait(200); // a frame sent in spite of the refusal would arrive by now
        QVERIFY(unit.model().frames().empty());
    }
}

using Change = std::function<bool(stations::StationStore&)>;
Q_DECLARE_METATYPE(Change)

void TestConsoleTeam::anotherProgramsChange_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<QStringList>("expected"); // the station box's entries, by their ends
    QTest::newRow("added") << Change([](stations::StationStore& st) {
        return st.add(u"127.0.0.3"_s, u"pw"_s, u"tower"_s);
    }) << QStringList{u"pump house"_s, u"well"_s, u"tower"_s};
    QTest::newRow("renamed") << Change([](stations::StationStore& st) {
        return st.update(u"127.0.0.1"_s, u"secret"_s, u"pump house north"_s);
    }) << QStringList{u"pump house north"_s, u"well"_s};
    QTest::newRow("removed") << Change([](stations::StationStore& st) {
        return st.removeAt(st.positionOf(u"127.0.0.2"_s));
    }) << QStringList{u"pump house"_s};
}

// The operator's choice in the station box stays while the list follows the store.
void TestConsoleTeam::anotherProgramsChange()
{
    QFETCH(Change, change);
    QFETCH(QStringList, expected);
    TeamConsole c(m_team->url(TeamStore::kOperator));
    QCOMPARE(c.opened, QString());
    const QString chosen = c.entries().at(0);
    c.form->selectStation(chosen);
    QTest::qWait(100); // the watch is listening

    QVERIFY(admin(change));
    const auto ends = [&c] {
        QStringList list;
        for (const QString& entry : c.entries())
            list << entry.mid(stations::kAddressWidth + stations::kEntryGap).trimmed();
        return list;
    };
    QTRY_COMPARE_WITH_TIMEOUT(ends(), expected, kLiveMs);
    QCOMPARE(stations::addressOf(c.form->stationBoxText()), stations::addressOf(chosen));
}

void TestConsoleTeam::bannerWhileTheStoreIsDown()
{
    sim::SimulatedUnit::Config config;
    config.unit.password = "secret";
    config.port = 0;
    sim::SimulatedUnit unit(config);
    QVERIFY(unit.start());
    TeamConsole c(m_team->url(TeamStore::kOperator));
    c.f.session.setUnitPort(unit.port());
    c.form->startStation(u"127.0.0.1"_s);
    QTRY_VERIFY(c.f.state.acquiring());
    QVERIFY(c.banner());
    QVERIFY(c.banner()->isHidden());

    QVERIFY2(m_team->cluster().stop(), qPrintable(m_team->cluster().error()));
    QTRY_VERIFY(!c.banner()->isHidden());
    QCOMPARE(c.banner()->text(), u"Store unreachable since 12:34:56"_s);
    QVERIFY(!c.banner()->accessibleName().isEmpty());
    // The unit goes on being polled while the store is away.
    const std::size_t frames = unit.model().frames().size();
    QTRY_VERIFY(unit.model().frames().size() > frames + 1);
    QVERIFY(c.f.state.acquiring());

    QVERIFY2(m_team->cluster().resume(), qPrintable(m_team->cluster().error()));
    QTRY_VERIFY_WITH_TIMEOUT(c.banner()->isHidden(), 10000);
    QVERIFY(c.f.state.acquiring());
    // Listening again: a change after the outage still reaches the window.
    QVERIFY(admin([](stations::StationStore& st) { return st.add(u"127.0.0.4"_s, u"pw"_s, u"after"_s); }));
    QTRY_VERIFY_WITH_TIMEOUT(c.entries().size() == 3, kLiveMs);
}

// An alarm raised, acknowledged and shelved by another program (an agent, another console) shows in
// this console within a second each, through the store's notices: the counter is not polled.
void TestConsoleTeam::alarmsFromAnotherProgram()
{
    const QString viewer = m_team->url(TeamStore::kViewer);
    TeamConsole c(viewer);
    NoFiles files;
    app::ConsoleAlarms alarms(c.f.session, c.f.state, c.f.store, files, {});
    alarms.followNotices();
    QCOMPARE(alarms.open(viewer), QString());
    c.team->setAlarms(&alarms);
    QTest::qWait(100); // the watch is listening
    const auto stateOf = [&alarms](qint64 id) {
        for (const history::AlarmRecord& a : alarms.engine().openAlarms())
            if (a.id == id)
                return int(a.state);
        return -1;
    };

    history::AlarmJournal elsewhere;
    QVERIFY2(elsewhere.open(m_team->url(TeamStore::kOperator)), qPrintable(elsewhere.error()));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    history::AlarmRecord fresh;
    fresh.address = u"127.0.0.1"_s;
    fresh.rule = history::scheduleFailedRule(7);
    fresh.text = u"schedule failed"_s;
    fresh.state = history::AlarmState::ActiveUnacknowledged;
    fresh.raisedMs = now;
    fresh.changedMs = now;
    const history::AlarmChange raised = elsewhere.raise(fresh);
    QVERIFY(raised.applied() && raised.stored);
    const qint64 id = raised.stored->id;
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(id), int(history::AlarmState::ActiveUnacknowledged), kLiveMs);

    QVERIFY(elsewhere.acknowledge(id, u"otto"_s, now + 1).applied());
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(id), int(history::AlarmState::ActiveAcknowledged), kLiveMs);

    QVERIFY(elsewhere.shelve(id, now + 3'600'000, u"otto"_s, now + 2).applied());
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(id), int(history::AlarmState::Shelved), kLiveMs);
}

QTEST_MAIN(TestConsoleTeam)
#include "tst_consoleteam.moc"
