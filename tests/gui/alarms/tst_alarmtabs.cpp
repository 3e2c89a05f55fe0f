// The Alarms window's notification tabs against a real history file and a real HTTP receiver on
// loopback: routes refused with the command line's words, "Send test" and its delivery row, the
// flood banner, maintenance started and ended with its audit, and the report of recorded alarms.

#include <memory>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>

#include "protocol/reply.h"

#include "alarms/alarmengine.h"
#include "alarms/auditrecorder.h"
#include "gui/alarms/alarmsounder.h"
#include "gui/alarms/alarmswindow.h"
#include "gui/alarms/alarmwindows.h"
#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "notify/curltransport.h"
#include "notify/notifier.h"
#include "notify/notifystore.h"
#include "platform/filechooser.h"
#include "receivers.h"
#include "support/consolefixture.h"

using namespace kestavo;
using namespace Qt::StringLiterals;

namespace {

class NoFiles final : public platform::FileChooser
{
public:
    QString openFile(QWidget*, const QString&) override { return {}; }
    QString saveFile(QWidget*, const QString&, const QString&) override { return {}; }
};

/// One window over one history file, with the notification store and a notifier on it.
struct Rig
{
    testsupport::ConsoleFixture fixture;
    qint64 now = 1'767'225'600'000;
    history::AlarmJournal journal;
    history::AuditLog audit;
    notify::NotifyStore store;
    std::unique_ptr<alarms::AlarmEngine> engine;
    std::unique_ptr<alarmwindows::AlarmSounder> sounder;
    std::unique_ptr<alarms::AuditRecorder> recorder;
    std::unique_ptr<notify::Notifier> notifier;
    NoFiles files;
    std::unique_ptr<alarmwindows::AlarmServices> services;
    std::unique_ptr<alarmwindows::AlarmsWindow> window;

    bool open()
    {
        const QString path = fixture.dir.filePath(u"history.db"_s);
        if (!journal.open(path) || !audit.open(path) || !store.open(path))
            return false;
        engine = std::make_unique<alarms::AlarmEngine>(&journal, alarms::AlarmEngine::Options{[this] {
            return now;
        }});
        sounder = std::make_unique<alarmwindows::AlarmSounder>(*engine, nullptr, nullptr);
        recorder = std::make_unique<alarms::AuditRecorder>(&audit, alarms::AuditRecorder::Options{});
        notify::Notifier::Options options;
        options.clock = [this] {
            return now;
        };
        options.historyPath = path;
        options.floodCount = 3;
        options.station = [](const QString& address) {
            return notify::StationInfo{
                {}, address == u"127.0.0.9" ? QStringList{u"north/pumps"_s} : QStringList{}};
        };
        notifier =
            std::make_unique<notify::Notifier>(&store, std::make_shared<notify::CurlTransport>(), options);
        services.reset(new alarmwindows::AlarmServices{*engine, journal, *sounder, audit, *recorder, files});
        services->notifyStore = &store;
        services->notifier = notifier.get();
        services->stationName = [](const QString& address) {
            return address == u"127.0.0.9" ? u"Pumphouse"_s : QString();
        };
        services->stationsWithTag = [](const QString& tag) {
            return tag == u"north" ? QStringList{u"127.0.0.9"_s} : QStringList{};
        };
        window = std::make_unique<alarmwindows::AlarmsWindow>(fixture.context, *services);
        return true;
    }
    template <typename T> T* find(const QString& name) { return window->findChild<T*>(name); }
    void click(const QString& button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    void addWebhook(const QString& url, const QString& station = {}, const QString& tag = {})
    {
        find<QLineEdit>(u"RouteTarget"_s)->setText(url);
        find<QLineEdit>(u"RouteStation"_s)->setText(station);
        find<QLineEdit>(u"RouteTag"_s)->setText(tag);
        click(u"AddRoute"_s);
    }
};

} // namespace

class TestAlarmTabs final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void routesAreChecked_data();
    void routesAreChecked();
    void sendTestAndDeliveryLog();
    void floodBanner();
    void maintenanceStartsAndEnds();
    void reportOfRecordedAlarms();
};

void TestAlarmTabs::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(u"KestavoTest"_s);
    QSettings().clear();
}

void TestAlarmTabs::routesAreChecked_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("station");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("said"); // empty: stored
    const QString url = u"http://127.0.0.1:9/hook"_s;
    QTest::newRow("no URL") << QString() << QString() << QString()
                            << u"The route was not saved. URL: give the address"_s;
    QTest::newRow("not http") << u"ftp://127.0.0.1/x"_s << QString() << QString()
                              << u"URL: \"ftp://127.0.0.1/x\" is not an http:// or https:// address."_s;
    QTest::newRow("leading zero station")
        << url << u"010.0.0.1"_s << QString() << u"Station: \"010.0.0.1\" is not an IPv4 address"_s;
    QTest::newRow("tag with an empty part")
        << url << QString() << u"north/"_s << u"Tag: tag 'north/' has an empty part between slashes."_s;
    QTest::newRow("stored") << url << u"127.0.0.9"_s << QString() << QString();
    QTest::newRow("stored by tag") << url << QString() << u"north/pumps"_s << QString();
}

void TestAlarmTabs::routesAreChecked()
{
    QFETCH(QString, url);
    QFETCH(QString, station);
    QFETCH(QString, tag);
    QFETCH(QString, said);
    Rig rig;
    QVERIFY(rig.open());
    rig.addWebhook(url, station, tag);
    auto* list = rig.find<QTableWidget>(u"RouteList"_s);
    if (said.isEmpty()) {
        QVERIFY(rig.fixture.prompter.calls().isEmpty());
        QCOMPARE(rig.store.routes().size(), 1);
        QCOMPARE(rig.store.routes().value(0).station, station);
        QCOMPARE(rig.store.routes().value(0).tag, tag);
        QCOMPARE(list->rowCount(), 1);
        QVERIFY(list->item(0, 3)->text().contains(tag.isEmpty() ? u"station 127.0.0.9"_s : u"tag "_s + tag));
    } else {
        QVERIFY2(rig.fixture.prompter.lastText().contains(said), qPrintable(rig.fixture.prompter.lastText()));
        QVERIFY(rig.store.routes().isEmpty());
    }
}

void TestAlarmTabs::sendTestAndDeliveryLog()
{
    Rig rig;
    QVERIFY(rig.open());
    HttpReceiver receiver;
    rig.addWebhook(receiver.url());
    rig.addWebhook(u"http://127.0.0.1:%1/hook"_s.arg(freeTcpPort())); // nobody listens
    auto* list = rig.find<QTableWidget>(u"RouteList"_s);
    auto* outcome = rig.find<QLabel>(u"RouteTestOutcome"_s);
    auto* log = rig.find<QTableWidget>(u"DeliveryLog"_s);
    QCOMPARE(list->rowCount(), 2);

    list->selectRow(0);
    rig.click(u"TestRoute"_s);
    QTRY_VERIFY2(outcome->text().contains(u"was sent (HTTP 200)"_s), qPrintable(outcome->text()));
    QCOMPARE(receiver.requests().size(), 1);
    QVERIFY(receiver.requests().at(0).body.contains("Test message: this route reaches you."));
    QCOMPARE(log->rowCount(), 1);
    QCOMPARE(log->item(0, 4)->text(), u"test"_s);
    QCOMPARE(log->item(0, 5)->text(), u"sent"_s);

    list->selectRow(1);
    rig.click(u"TestRoute"_s);
    QTRY_VERIFY2(outcome->text().contains(u"the test message failed"_s), qPrintable(outcome->text()));
    QCOMPARE(log->rowCount(), 2);
    QCOMPARE(log->item(0, 5)->text(), u"failed"_s);
    QCOMPARE(rig.store.deliveries().size(), 2);

    rig.fixture.prompter.queueAnswer(platform::Prompter::Answer::Yes);
    rig.click(u"RemoveRoute"_s);
    QCOMPARE(rig.store.routes().size(), 1);
    QCOMPARE(list->rowCount(), 1);
}

void TestAlarmTabs::floodBanner()
{
    Rig rig;
    QVERIFY(rig.open());
    auto* banner = rig.find<QLabel>(u"FloodBanner"_s);
    QVERIFY(banner->isHidden());
    history::AlarmRecord alarm;
    alarm.address = u"127.0.0.9"_s;
    alarm.state = history::AlarmState::ActiveUnacknowledged;
    for (qint64 id = 1; id <= 3; ++id) { // three raised within the window: a flood here
        alarm.id = id;
        alarm.rule = id;
        rig.notifier->alarmChanged(alarm, history::AlarmState::Normal);
    }
    QVERIFY(!banner->isHidden());
    QVERIFY(banner->text().startsWith(u"Alarm flood:"_s));
    rig.now += 11 * 60'000; // ten quiet minutes
    rig.notifier->tick(rig.now);
    QVERIFY(banner->isHidden());
}

void TestAlarmTabs::maintenanceStartsAndEnds()
{
    Rig rig;
    QVERIFY(rig.open());
    auto* list = rig.find<QTableWidget>(u"MaintenanceList"_s);
    rig.find<QLineEdit>(u"MaintenanceStation"_s)->setText(u"127.0.0.9"_s);
    rig.click(u"StartMaintenance"_s);
    QCOMPARE(rig.fixture.prompter.lastText(),
             u"Maintenance was not started. Reason: say why the station is out of service."_s);
    rig.find<QLineEdit>(u"MaintenanceReason"_s)->setText(u"battery swap"_s);
    rig.click(u"StartMaintenance"_s);
    QCOMPARE(list->rowCount(), 1);
    QCOMPARE(list->item(0, 0)->text(), u"127.0.0.9 (Pumphouse)"_s);
    QCOMPARE(list->item(0, 3)->text(), u"battery swap"_s);
    QVERIFY(rig.notifier->maintenanceOf(u"127.0.0.9"_s));

    list->selectRow(0);
    rig.click(u"EndMaintenance"_s);
    QCOMPARE(list->rowCount(), 0);
    QVERIFY(!rig.notifier->maintenanceOf(u"127.0.0.9"_s));
    QStringList audited;
    for (const history::AuditRecord& r : rig.audit.records())
        audited << r.program + u" | "_s + r.description + u" | "_s + r.detail;
    QCOMPARE(audited.size(), 2);
    QVERIFY2(audited.join(u'\n').contains(u"console | Pumphouse | "_s), qPrintable(audited.join(u'\n')));
    QVERIFY2(audited.join(u'\n').contains(u"ended by hand"_s), qPrintable(audited.join(u'\n')));

    // A tag: every station carrying it or a tag below it, and the record names them.
    rig.find<QLineEdit>(u"MaintenanceStation"_s)->setText(u"127.0.0.9"_s);
    rig.find<QLineEdit>(u"MaintenanceTag"_s)->setText(u"north"_s);
    rig.find<QLineEdit>(u"MaintenanceReason"_s)->setText(u"mains work"_s);
    rig.click(u"StartMaintenance"_s);
    QCOMPARE(rig.fixture.prompter.lastText(),
             u"Maintenance was not started. Give a station or a tag, not both."_s);
    rig.find<QLineEdit>(u"MaintenanceStation"_s)->clear();
    rig.click(u"StartMaintenance"_s);
    QCOMPARE(list->rowCount(), 1);
    QCOMPARE(list->item(0, 0)->text(), u"tag north"_s);
    QVERIFY(rig.notifier->maintenanceOf(u"127.0.0.9"_s));
    QCOMPARE(rig.audit.records().last().address, u"tag north"_s);
    QCOMPARE(rig.audit.records().last().description, u"1 station(s): 127.0.0.9"_s);
}

void TestAlarmTabs::reportOfRecordedAlarms()
{
    Rig rig;
    QVERIFY(rig.open());
    history::AlarmRule rule;
    rule.kind = history::AlarmRuleKind::TemperatureAbove;
    rule.limit = 40;
    QVERIFY(rig.journal.saveRule(rule));
    rig.engine->load();
    for (double celsius : {45.0, 30.0, 46.0, 30.0}) { // raised twice, cleared twice
        protocol::StatusReport report;
        report.temperatureC = celsius;
        rig.engine->report(u"127.0.0.9"_s, rig.now += 1000, report);
    }
    rig.click(u"RefreshReport"_s);
    const QString text = rig.find<QPlainTextEdit>(u"ReportText"_s)->toPlainText();
    QVERIFY2(text.contains(u": 2 raised"_s), qPrintable(text));
    QVERIFY2(text.contains(u"Busiest 10 minutes: 2 alarms"_s), qPrintable(text));
}

QTEST_MAIN(TestAlarmTabs)
#include "tst_alarmtabs.moc"
