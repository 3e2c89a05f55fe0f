// What the operator hears, sees and records: sounds started and stopped through the sound seam,
// one desktop notification per alarm, the Alarms window's buttons and rules editor, and the
// console's audit trail of frames sent through the session to the simulated unit, shown and
// exported by the Audit window.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>

#include "protocol/frames.h"
#include "protocol/reply.h"

#include "alarms/alarmengine.h"
#include "alarms/auditrecorder.h"
#include "alarms/shelving.h"
#include "app/consolealarms.h"
#include "gui/alarms/alarmnotifications.h"
#include "gui/alarms/alarmsounder.h"
#include "gui/alarms/alarmsummarylabel.h"
#include "gui/alarms/alarmswindow.h"
#include "gui/alarms/alarmwindows.h"
#include "gui/alarms/auditwindow.h"
#include "gui/alarms/exitcheck.h"
#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "ksv-sim/simulatedunit.h"
#include "notify/notifier.h"
#include "notify/notifystore.h"
#include "platform/desktopnotifier.h"
#include "platform/filechooser.h"
#include "support/consolefixture.h"
#include "support/fakeprompter.h"
#include "support/fakesoundplayer.h"

using namespace kestavo;
using namespace kestavo::alarms;
using namespace kestavo::alarmwindows;
using kestavo::protocol::StatusReport;
using kestavo::testsupport::FakeSoundPlayer;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kT0 = 1'767'225'600'000;
const QString kUnit = u"127.0.0.1"_s;

class FakeNotifier final : public platform::DesktopNotifier
{
public:
    void notify(const QString& title, const QString& text) override { shown.append(title + u" | "_s + text); }
    QStringList shown;
};

class FakeFiles final : public platform::FileChooser
{
public:
    QString openFile(QWidget*, const QString&) override { return {}; }
    QString saveFile(QWidget*, const QString&, const QString&) override { return path; }
    QString path;
};

AlarmRule makeRule(qint64 id, AlarmRuleKind kind, double limit, AlarmPriority priority, int channel = 0)
{
    AlarmRule r;
    r.id = id;
    r.kind = kind;
    r.limit = limit;
    r.channel = channel;
    r.priority = priority;
    return r;
}

StatusReport report(double celsius, int pin1)
{
    StatusReport r;
    r.temperatureC = celsius;
    r.ioPins[0] = pin1;
    return r;
}

sim::SimulatedUnit::Config unitConfig()
{
    sim::SimulatedUnit::Config config;
    config.unit.password = "secret";
    config.port = 0;
    config.realTime = false;
    return config;
}

} // namespace

class TestAlarmWindows final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void soundsStartAndStop();
    void oneNotificationPerAlarm();
    void maintenanceQuietsTheConsole();
    void alarmsWindowButtons();
    void columnsFitAndAreRemembered();
    void rulesEditorRefuses_data();
    void rulesEditorRefuses();
    void consoleAuditThroughTheSession();
    void statusBarSummaryAndExit();
    void silentAlarmsAreSaid();
    void exportOffersCsv_data();
    void exportOffersCsv();
};

void TestAlarmWindows::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true); // column widths go to a test settings file
    QCoreApplication::setOrganizationName(u"KestavoTest"_s);
    QSettings().clear();
}

void TestAlarmWindows::soundsStartAndStop()
{
    qint64 now = kT0;
    AlarmEngine engine(nullptr, {[&] { return now; }, 1000});
    engine.setRules({makeRule(1, AlarmRuleKind::TemperatureAbove, 40, AlarmPriority::High),
                     makeRule(2, AlarmRuleKind::PinIs, 1, AlarmPriority::Low, 1)});
    FakeSoundPlayer siren(u"siren.wav"_s);
    FakeSoundPlayer burglar(u"burgular2.wav"_s);
    AlarmSounder sounder(engine, &siren, &burglar, 10);

    engine.report(kUnit, now, report(45, 0));
    QVERIFY(sounder.sirenSounding());
    QVERIFY(!sounder.ioSoundSounding());
    QTRY_VERIFY(siren.replays() >= 3); // repeats on its own until acknowledged
    QCOMPARE(burglar.replays(), 0);

    engine.report(kUnit, now += 1000, report(45, 1));
    QVERIFY(sounder.ioSoundSounding());
    sounder.setMuted(true);
    QVERIFY(!sounder.sirenSounding() && !sounder.ioSoundSounding());
    siren.clear();
    QTest::qWait(40);
    QCOMPARE(siren.replays(), 0);
    sounder.setMuted(false);
    QVERIFY(sounder.sirenSounding() && sounder.ioSoundSounding());

    for (const AlarmRecord& a : engine.openAlarms())
        if (a.rule == 1)
            engine.acknowledge(a.id, u"ops"_s);
    QVERIFY(!sounder.sirenSounding());
    QVERIFY(sounder.ioSoundSounding());
    engine.report(kUnit, now += 1000, report(45, 0)); // the pin clears, still unacknowledged
    QVERIFY(sounder.ioSoundSounding());
    engine.acknowledgeAll(u"ops"_s);
    QVERIFY(!sounder.ioSoundSounding());
}

void TestAlarmWindows::oneNotificationPerAlarm()
{
    qint64 now = kT0;
    AlarmEngine engine(nullptr, {[&] { return now; }, 1000});
    engine.setRules({makeRule(1, AlarmRuleKind::TemperatureAbove, 40, AlarmPriority::High),
                     makeRule(2, AlarmRuleKind::PinIs, 1, AlarmPriority::Medium, 1)});
    FakeNotifier notifier;
    AlarmNotifications notifications(engine, notifier);

    for (double celsius : {45.0, 30.0, 46.0, 31.0, 47.0}) // one alarm coming and going, unacknowledged
        engine.report(kUnit, now += 1000, report(celsius, 1));
    QCOMPARE(notifier.shown, QStringList{u"Kestavo alarm at 127.0.0.1 | Temperature above 40 °C"_s});
    engine.acknowledgeAll(u"ops"_s);
    engine.report(kUnit, now += 1000, report(30, 0)); // back to normal
    engine.report(kUnit, now += 1000, report(45, 0)); // a new alarm
    QCOMPARE(notifier.shown.size(), 2);
}

// A station out of service neither sounds nor pops up at the console, and its alarms are listed
// as in maintenance; the tag that put it there was given to it by another program. When the
// maintenance ends, what still waits sounds and is announced.
void TestAlarmWindows::maintenanceQuietsTheConsole()
{
    testsupport::ConsoleFixture fixture;
    FakeFiles files;
    FakeSoundPlayer siren(u"siren.wav"_s);
    FakeNotifier desktop;
    app::ConsoleAlarms::Devices devices;
    devices.siren = &siren;
    devices.notifier = &desktop;
    app::ConsoleAlarms console(fixture.session, fixture.state, fixture.store, files, devices);
    const QString historyPath = fixture.dir.filePath(u"history.db"_s);
    QCOMPARE(console.open(historyPath), QString());
    QVERIFY(console.notifier());
    console.engine().setRules({makeRule(1, AlarmRuleKind::TemperatureAbove, 40, AlarmPriority::High)});

    stations::StationStore cli;
    QVERIFY(cli.open(fixture.store.path()).ok);
    QVERIFY(cli.addTags(kUnit, {u"north/pumps"_s}));
    notify::NotifyStore store;
    QVERIFY(store.open(historyPath));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    notify::MaintenanceWindow window{0, {}, u"north"_s, u"mains work"_s, now, now + 3'600'000, {}, u"ops"_s};
    QVERIFY(store.startMaintenance(window, u"CLI"_s, {}));
    console.notifier()->reload();

    history::AlarmJournal journal;
    QVERIFY(journal.open(historyPath));
    AlarmServices services{console.engine(),   journal, console.sounder(), console.auditLog(),
                           console.recorder(), files};
    services.notifier = console.notifier();
    AlarmsWindow alarmsWindow(fixture.context, services);
    auto* list = alarmsWindow.findChild<QTableWidget*>(u"AlarmList"_s);

    console.engine().report(kUnit, QDateTime::currentMSecsSinceEpoch(), report(45, 0));
    QCOMPARE(console.engine().openAlarms().size(), 1);
    QVERIFY(!console.sounder().sirenSounding());
    QCOMPARE(siren.replays(), 0);
    QVERIFY(desktop.shown.isEmpty());
    QCOMPARE(list->item(0, 1)->text(), u"active, unacknowledged (in maintenance)"_s);

    QVERIFY(
        store.endMaintenance(window.id, QDateTime::currentMSecsSinceEpoch(), u"CLI"_s, u"ended by hand"_s));
    console.notifier()->reload();
    QVERIFY(console.sounder().sirenSounding());
    QCOMPARE(desktop.shown, QStringList{u"Kestavo alarm at 127.0.0.1 | Temperature above 40 °C"_s});
    QCOMPARE(list->item(0, 1)->text(), u"active, unacknowledged"_s);
}

void TestAlarmWindows::alarmsWindowButtons()
{
    testsupport::ConsoleFixture fixture;
    qint64 now = kT0;
    history::AlarmJournal journal;
    QVERIFY(journal.open(fixture.dir.filePath(u"history.db"_s)));
    history::AuditLog audit;
    AlarmEngine engine(&journal, {[&] { return now; }, 1000});
    engine.setRules({makeRule(1, AlarmRuleKind::TemperatureAbove, 40, AlarmPriority::Low),
                     makeRule(2, AlarmRuleKind::PinIs, 1, AlarmPriority::High, 1)});
    AlarmSounder sounder(engine, nullptr, nullptr);
    AuditRecorder recorder(&audit, {});
    FakeFiles files;
    AlarmServices services{engine, journal, sounder, audit, recorder, files};
    AlarmsWindow window(fixture.context, services);

    engine.report(kUnit, now, report(45, 0));
    engine.report(kUnit, now += 1000, report(45, 1));
    auto* list = window.findChild<QTableWidget*>(u"AlarmList"_s);
    QCOMPARE(list->rowCount(), 2);
    QCOMPARE(list->item(0, 2)->text(), u"high"_s); // unacknowledged, by priority
    list->selectRow(0);
    QTest::mouseClick(window.findChild<QPushButton*>(u"Acknowledge"_s), Qt::LeftButton);
    QCOMPARE(list->item(0, 2)->text(), u"low"_s); // still unacknowledged, listed first now
    QCOMPARE(list->item(1, 1)->text(), u"active, acknowledged"_s);

    list->selectRow(0);
    QTest::mouseClick(window.findChild<QPushButton*>(u"Shelve"_s), Qt::LeftButton);
    QCOMPARE(
        fixture.prompter.lastText(),
        u"The alarm was not shelved. Reason: say why the alarm is shelved (it is kept in the event log)."_s);
    QCOMPARE(list->item(0, 1)->text(), u"active, unacknowledged"_s);
    QCOMPARE(window.findChild<QSpinBox*>(u"ShelveMinutes"_s)->maximum(), 24 * 60); // the longest shelving
    QVERIFY(alarms::setMaxShelveMs(journal, 2 * 3600'000)); // the team's setting, by any program
    window.refresh();
    QCOMPARE(window.findChild<QSpinBox*>(u"ShelveMinutes"_s)->maximum(), 2 * 60);
    window.findChild<QLineEdit*>(u"ShelveReason"_s)->setText(u"sensor being replaced"_s);
    QTest::mouseClick(window.findChild<QPushButton*>(u"Shelve"_s), Qt::LeftButton);
    QCOMPARE(list->item(1, 1)->text(), u"shelved"_s);
    QTest::mouseClick(window.findChild<QCheckBox*>(u"Mute"_s), Qt::LeftButton);
    QVERIFY(sounder.isMuted());

    auto* events = window.findChild<QTableWidget*>(u"EventLog"_s);
    QCOMPARE(events->rowCount(), 4); // raised, raised, acknowledged, shelved
    window.findChild<QLineEdit*>(u"EventFilter"_s)->setText(u"shelved"_s);
    QCOMPARE(events->rowCount(), 1);
    files.path = fixture.dir.filePath(u"events.csv"_s);
    QTest::mouseClick(window.findChild<QPushButton*>(u"ExportEvents"_s), Qt::LeftButton);
    QFile csv(files.path);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    QCOMPARE(lines.value(0), QByteArray("time,station,alarm,state,value,by,text\r"));
    QVERIFY(lines.value(1).contains(",shelved,"));
    QVERIFY(lines.value(1).contains(": sensor being replaced"));
    // The screen shows local time; the file ISO 8601 UTC, like every other export.
    QVERIFY2(QRegularExpression(u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z,"_s)
                 .match(QString::fromUtf8(lines.value(1)))
                 .hasMatch(),
             lines.value(1).constData());

    // Unshelved by hand while the temperature is still high: back, acknowledged.
    window.findChild<QLineEdit*>(u"EventFilter"_s)->clear();
    list->selectRow(1);
    QTest::mouseClick(window.findChild<QPushButton*>(u"Unshelve"_s), Qt::LeftButton);
    QCOMPARE(list->item(1, 1)->text(), u"active, acknowledged"_s);
    QCOMPARE(events->item(0, 5)->text(), history::AuditLog::localUser());

    // Keyboard only: Tab leaves each table (Acknowledge is reachable), arrows stay inside.
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (QTableWidget* table : {list, events}) {
        table->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), table);
        QTest::keyClick(table, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), table);
        QTest::keyClick(table, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != table);
        table->setFocus(Qt::TabFocusReason);
        QTest::keyClick(table, Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(QApplication::focusWidget() != table);
    }
}

void TestAlarmWindows::columnsFitAndAreRemembered()
{
    testsupport::ConsoleFixture fixture;
    history::AlarmJournal journal;
    QVERIFY(journal.open(fixture.dir.filePath(u"history.db"_s)));
    history::AuditLog audit;
    AlarmEngine engine(&journal);
    AlarmSounder sounder(engine, nullptr, nullptr);
    AuditRecorder recorder(&audit, {});
    FakeFiles files;
    AlarmServices services{engine, journal, sounder, audit, recorder, files};
    QSettings().clear();
    int stateWidth = 0;
    {
        AlarmsWindow window(fixture.context, services);
        window.show();
        auto* list = window.findChild<QTableWidget*>(u"AlarmList"_s);
        const QFontMetrics metrics(list->font());
        QHeaderView* header = list->horizontalHeader();
        stateWidth = header->sectionSize(1);
        QVERIFY(stateWidth > metrics.horizontalAdvance(u"cleared, unacknowledged"_s));
        QVERIFY(header->sectionSize(4) > metrics.horizontalAdvance(u"2026-12-31 23:59:59"_s)); // Since
        QCOMPARE(list->horizontalHeaderItem(6)->text(), u"Alarm"_s); // the text fills the rest, not Value
        QVERIFY(header->sectionSize(5) < header->sectionSize(6));
        auto* events = window.findChild<QTableWidget*>(u"EventLog"_s);
        QVERIFY(events->horizontalHeader()->sectionSize(0) >
                metrics.horizontalAdvance(u"2026-12-31 23:59:59"_s));
        QVERIFY(events->horizontalHeader()->sectionSize(3) >
                metrics.horizontalAdvance(u"cleared, unacknowledged"_s));
        header->resizeSection(1, stateWidth + 57); // the user drags it wider
    }
    AlarmsWindow again(fixture.context, services);
    QCOMPARE(again.findChild<QTableWidget*>(u"AlarmList"_s)->horizontalHeader()->sectionSize(1),
             stateWidth + 57);
    QSettings().clear();
}

void TestAlarmWindows::rulesEditorRefuses_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("limit");
    QTest::addColumn<QString>("onDelay");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty rule") << QString() << QString() << QString() << u"0"_s << u"Kind: choose"_s;
    QTest::newRow("negative delay") << u"Temperature above"_s << QString() << u"40"_s << u"-3"_s
                                    << u"On-delay: -3 s is negative"_s;
    QTest::newRow("low limit above high") << u"Voltage below"_s << u"3"_s << u"13"_s << u"0"_s
                                          << u"Limit: the low limit 13 is not below the high limit 12"_s;
    QTest::newRow("limit not a number")
        << u"Voltage below"_s << u"3"_s << u"twelve"_s << u"0"_s << u"Limit: \"twelve\" is not a number"_s;
    QTest::newRow("accepted") << u"Voltage below"_s << u"3"_s << u"11.5"_s << u"5"_s << QString();
}

void TestAlarmWindows::rulesEditorRefuses()
{
    QFETCH(QString, kind);
    QFETCH(QString, channel);
    QFETCH(QString, limit);
    QFETCH(QString, onDelay);
    QFETCH(QString, message);
    testsupport::ConsoleFixture fixture;
    history::AlarmJournal journal;
    QVERIFY(journal.open(fixture.dir.filePath(u"history.db"_s)));
    AlarmRule high = makeRule(0, AlarmRuleKind::VoltageAbove, 12, AlarmPriority::High, 3);
    QVERIFY(journal.saveRule(high));
    history::AuditLog audit;
    AlarmEngine engine(&journal);
    engine.load();
    AlarmSounder sounder(engine, nullptr, nullptr);
    AuditRecorder recorder(&audit, {});
    FakeFiles files;
    AlarmServices services{engine, journal, sounder, audit, recorder, files};
    AlarmsWindow window(fixture.context, services);

    window.findChild<QComboBox*>(u"RuleKind"_s)->setCurrentText(kind);
    window.findChild<QLineEdit*>(u"RuleChannel"_s)->setText(channel);
    window.findChild<QLineEdit*>(u"RuleLimit"_s)->setText(limit);
    window.findChild<QLineEdit*>(u"RuleOnDelay"_s)->setText(onDelay);
    QTest::mouseClick(window.findChild<QPushButton*>(u"AddRule"_s), Qt::LeftButton);
    if (message.isEmpty()) {
        QCOMPARE(fixture.prompter.calls().size(), 0);
        QCOMPARE(journal.rules().size(), 2);
        QCOMPARE(engine.rules().size(), 2);
        auto* rules = window.findChild<QTableWidget*>(u"RuleList"_s);
        QCOMPARE(rules->rowCount(), 2);
        QCOMPARE(rules->item(1, 1)->text(), u"Voltage below"_s); // in words, not "voltage-below"
    } else {
        QVERIFY2(fixture.prompter.lastText().contains(message), qPrintable(fixture.prompter.lastText()));
        QCOMPARE(journal.rules().size(), 1);
    }
}

void TestAlarmWindows::consoleAuditThroughTheSession()
{
    testsupport::ConsoleFixture fixture;
    sim::SimulatedUnit unit(unitConfig());
    QVERIFY(unit.start());
    fixture.session.setUnitPort(unit.port());
    fixture.session.setTiming({20, 600000, 400});
    FakeFiles files;
    app::ConsoleAlarms::Devices devices;
    devices.answerTimeoutMs = 300;
    app::ConsoleAlarms console(fixture.session, fixture.state, fixture.store, files, devices);
    const QString historyPath = fixture.dir.filePath(u"history.db"_s);
    QCOMPARE(console.open(historyPath), QString());
    QSignalSpy recorded(&console.recorder(), &AuditRecorder::recorded);
    QSignalSpy reports(&fixture.state, &core::ConsoleState::statusDecoded);
    fixture.session.start(fixture.stationEntry());
    QVERIFY(reports.wait(2000));
    const std::string pw = fixture.session.password();

    QVERIFY(fixture.session.send(protocol::relayOnFrame(2, pw)));
    QVERIFY(recorded.wait(2000));
    QVERIFY(fixture.session.send(protocol::timerStopFrame(pw)));
    QVERIFY(recorded.wait(2000));
    unit.stop(); // a unit that fell silent
    QVERIFY(fixture.session.send(protocol::httpFrame(1, pw)));
    QVERIFY(recorded.wait(2000));
    fixture.session.stop();
    QVERIFY(unit.start());
    fixture.session.setUnitPort(unit.port());
    fixture.session.start(fixture.stationEntry());
    QVERIFY(reports.wait(2000));
    unit.model().setPassword("changed"); // someone changed it behind the console's back
    QVERIFY(fixture.session.send(protocol::relayOffFrame(1, pw)));
    QTRY_COMPARE(recorded.size(), 4);

    QStringList seen;
    for (const history::AuditRecord& r : console.auditLog().records())
        seen.append(u"%1 | %2 | %3 | %4"_s.arg(r.program, r.action, r.outcome, r.detail));
    QCOMPARE(seen, (QStringList{u"console | Relay 2 ON | acknowledged | "_s,
                                u"console | stop relay timer | acknowledged | Timer Stopped Forcefully !"_s,
                                u"console | HTTP server OFF | no answer | "_s,
                                u"console | Relay 1 OFF | refused | Bad Password!"_s}));

    // The Audit window lists them, newest first, and filters by text.
    AlarmSounder sounder(console.engine(), nullptr, nullptr);
    history::AlarmJournal journal;
    QVERIFY(journal.open(historyPath));
    AlarmServices services{console.engine(), journal, sounder, console.auditLog(), console.recorder(), files};
    AuditWindow window(fixture.context, services);
    auto* list = window.findChild<QTableWidget*>(u"AuditList"_s);
    QCOMPARE(list->rowCount(), 4);
    QCOMPARE(list->item(0, 6)->text(), u"Relay 1 OFF"_s);
    window.findChild<QLineEdit*>(u"AuditText"_s)->setText(u"refused"_s);
    QCOMPARE(list->rowCount(), 1);
    window.findChild<QLineEdit*>(u"AuditStation"_s)->setText(u"127.0.0.2"_s);
    QCOMPARE(list->rowCount(), 0);
}

void TestAlarmWindows::statusBarSummaryAndExit()
{
    qint64 now = kT0;
    AlarmEngine engine(nullptr, {[&] { return now; }, 1000});
    engine.setRules({makeRule(1, AlarmRuleKind::TemperatureAbove, 40, AlarmPriority::High),
                     makeRule(2, AlarmRuleKind::PinIs, 1, AlarmPriority::Low, 1)});
    testsupport::FakePrompter prompter;
    AlarmSummaryLabel label(engine);
    QCOMPARE(label.text(), u"Alarms: none"_s);
    QVERIFY(mayExitWithAlarms(engine, prompter)); // nothing open: EXIT as before, no question
    QVERIFY(prompter.calls().isEmpty());

    engine.report(kUnit, now, report(20, 1));
    QCOMPARE(label.summary(), u"1 station in alarm · highest: low"_s);
    // In maintenance: still in the tooltip, but not counted as in alarm.
    label.setSuppressed([](const QString& address) { return address == kUnit; });
    QCOMPARE(label.summary(), u"Alarms: none outside maintenance"_s);
    QCOMPARE(label.toolTip(), u"%1: 1 open, in maintenance"_s.arg(kUnit));
    label.setSuppressed({});

    // 48 stations in alarm: the label keeps its width, the tooltip has them all.
    for (int i = 1; i <= 48; ++i)
        engine.report(u"127.0.1.%1"_s.arg(i), now, report(i == 7 ? 45 : 20, 1));
    QCOMPARE(label.summary(), u"49 stations in alarm · highest: high"_s);
    QVERIFY(label.sizeHint().width() <= AlarmSummaryLabel::kMaximumWidth);
    QVERIFY(label.maximumWidth() <= AlarmSummaryLabel::kMaximumWidth);
    const QStringList tip = label.toolTip().split(u'\n');
    QCOMPARE(tip.size(), 49);
    QVERIFY(tip.contains(u"127.0.1.7: 2 open, highest high"_s));
    label.show();
    label.resize(80, label.sizeHint().height());
    QVERIFY(label.text().endsWith(u"…"_s));
    QSignalSpy clicked(&label, &AlarmSummaryLabel::clicked);
    QTest::mouseClick(&label, Qt::LeftButton);
    QCOMPARE(clicked.size(), 1);

    // Exit asks once, naming how many are unacknowledged; No keeps the console.
    prompter.queueAnswer(platform::Prompter::Answer::No);
    QVERIFY(!mayExitWithAlarms(engine, prompter));
    QCOMPARE(prompter.calls().size(), 1);
    QCOMPARE(prompter.lastCall().text, u"50 alarms are not acknowledged. Exit anyway?"_s);
    QCOMPARE(prompter.lastCall().title, u"Kestavo"_s);
    QCOMPARE(prompter.lastCall().buttons, platform::Prompter::Buttons::YesNo);
    engine.acknowledgeAll(u"ops"_s);
    QVERIFY(mayExitWithAlarms(engine, prompter)); // acknowledged (still active): no question
    QCOMPARE(prompter.calls().size(), 1);
}

void TestAlarmWindows::silentAlarmsAreSaid()
{
    testsupport::ConsoleFixture fixture;
    history::AlarmJournal journal;
    QVERIFY(journal.open(fixture.dir.filePath(u"history.db"_s)));
    history::AuditLog audit;
    AlarmEngine engine(&journal);
    AlarmSounder sounder(engine, nullptr, nullptr);
    AuditRecorder recorder(&audit, {});
    FakeFiles files;
    AlarmServices services{engine, journal, sounder, audit, recorder, files};
    {
        sounder.setSilenceProbe([] { return QString(); }); // a sound device answers
        AlarmsWindow heard(fixture.context, services);
        QVERIFY(!heard.findChild<QLabel*>(u"SilentAlarms"_s));
    }
    // Asked once, when an alarm would sound or the window opens.
    int probes = 0;
    sounder.setSilenceProbe([&probes] {
        ++probes;
        return AlarmSounder::noDeviceText();
    });
    QSignalSpy silenced(&sounder, &AlarmSounder::silenced);
    AlarmsWindow window(fixture.context, services);
    QCOMPARE(probes, 1);
    QCOMPARE(silenced.size(), 1);
    AlarmsWindow again(fixture.context, services);
    QCOMPARE(probes, 1);
    auto* note = window.findChild<QLabel*>(u"SilentAlarms"_s);
    QVERIFY(note);
    QCOMPARE(note->text(), u"No sound device: alarms are silent"_s);
}

void TestAlarmWindows::exportOffersCsv_data()
{
    QTest::addColumn<QString>("suggested");
    QTest::addColumn<QString>("firstType");
    QTest::newRow("alarm events") << u"alarm-events.csv"_s << u"CSV files (*.csv)"_s;
    QTest::newRow("audit log") << u"audit.CSV"_s << u"CSV files (*.csv)"_s;
    QTest::newRow("unit backup") << u"unit-127.0.0.1.json"_s << u"Unit configuration (*.json)"_s;
}

void TestAlarmWindows::exportOffersCsv()
{
    QFETCH(QString, suggested);
    QFETCH(QString, firstType);
    QCOMPARE(platform::DialogFileChooser::filterFor(suggested).section(u";;"_s, 0, 0), firstType);
}

QTEST_MAIN(TestAlarmWindows)
#include "tst_alarmwindows.moc"
