// The Fleet window over a real poller and a simulated fleet: sorting, problems first, the filter,
// a chosen row starting the main window's session; and the console's wiring of the session into
// the poller's view.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QTest>
#include <QTreeView>

#include "protocol/reply.h"

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "alarms/alarmengine.h"
#include "alarms/auditrecorder.h"
#include "app/fleetwiring.h"
#include "fleet/fleetpoller.h"
#include "fleetrig.h"
#include "gui/fleet/fleetbulkcommand.h"
#include "gui/fleet/fleetgroupmodel.h"
#include "gui/fleet/fleetmodel.h"
#include "gui/fleet/fleetwindow.h"
#include "gui/main/mainform.h"
#include "support/consolefixture.h"
#include "support/fakeprompter.h"

using namespace kestavo;
using fleet::FleetPoller;
using fleetui::FleetModel;
using fleetui::FleetWindow;

namespace {

// Three answering units, one refusing the password, one silent address, one typing error.
struct WindowRig
{
    WindowRig() : sim(4)
    {
        poller.setUnitPort(sim.fleet->port());
        QList<fleet::FleetStation> list = sim.stations();
        list[2].password = QStringLiteral("wrong*****");
        list << fleet::FleetStation{QHostAddress(sim.fleet->address(0).toIPv4Address() + 100).toString(),
                                    QStringLiteral("Silent"),
                                    QStringLiteral("secret****"),
                                    {0, 0}};
        list << fleet::FleetStation{
            QStringLiteral("10.0.0"), QStringLiteral("Typo"), QStringLiteral("x"), {0, 0}};
        poller.setStations(list);
        window = std::make_unique<FleetWindow>(poller);
        window->model().setFlushInterval(3600000);
        flat(*window);
    }
    // These cases look at the stations as one list, as the window shows them grouped by nothing.
    static void flat(FleetWindow& window)
    {
        window.findChild<QComboBox*>(QStringLiteral("FleetGroupBy"))->setCurrentIndex(2);
    }
    bool pollOnce()
    {
        if (!poller.pollAll())
            return false;
        const bool answered = QTest::qWaitFor(
            [this] {
                return poller.unit(0).received && poller.unit(1).received && poller.unit(2).received &&
                       poller.unit(3).received;
            },
            5000);
        poller.refreshStates();
        window->model().flush();
        return answered;
    }
    QStringList column(int column) const
    {
        QStringList texts;
        const QAbstractItemModel* model = window->table().model();
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, column).data().toString().section(u':', 0, 0);
        return texts;
    }

    testsupport::SimFleetRig sim;
    FleetPoller poller;
    std::unique_ptr<FleetWindow> window;
};

} // namespace

class TestFleetWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ageText_data();
    void ageText();
    void sortsByEveryKindOfColumn_data();
    void sortsByEveryKindOfColumn();
    void problemsFirstAndFilter();
    void showsEachStationsAlarms();
    void doubleClickStartsTheSession();
    void oldReadingsLookOldAndNormalStaysCalm();
    void fitsA1280Screen();
    void sessionFeedsThePollersView();
    void tagsFromAnotherProgramReachTheFleet();
    void bulkCommandOnATag_data();
    void bulkCommandOnATag();
};

void TestFleetWindow::ageText_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("now") << qint64(0) << QStringLiteral("0 s");
    QTest::newRow("clock behind") << qint64(-4000) << QStringLiteral("0 s");
    QTest::newRow("seconds") << qint64(3999) << QStringLiteral("3 s");
    QTest::newRow("minutes") << qint64(125000) << QStringLiteral("2 min 5 s");
    QTest::newRow("hours") << qint64((2 * 3600 + 5 * 60 + 59) * 1000LL) << QStringLiteral("2 h 5 min");
    QTest::newRow("days") << qint64((3 * 86400 + 4 * 3600) * 1000LL) << QStringLiteral("3 d 4 h");
}

void TestFleetWindow::ageText()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QCOMPARE(FleetModel::ageText(ms), text);
}

void TestFleetWindow::sortsByEveryKindOfColumn_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("first"); // description of the first row
    QTest::newRow("description down")
        << int(FleetModel::Description) << int(Qt::DescendingOrder) << QStringLiteral("Typo");
    // Addresses sort as numbers: 10.0.0 is no address and sorts as 0.
    QTest::newRow("address up") << int(FleetModel::Address) << int(Qt::AscendingOrder)
                                << QStringLiteral("Typo");
    QTest::newRow("address down") << int(FleetModel::Address) << int(Qt::DescendingOrder)
                                  << QStringLiteral("Silent");
    // Never heard of sorts as oldest.
    QTest::newRow("age down") << int(FleetModel::Age) << int(Qt::DescendingOrder) << QStringLiteral("Silent");
    QTest::newRow("temperature down")
        << int(FleetModel::Temperature) << int(Qt::DescendingOrder) << QStringLiteral("Site 4");
}

void TestFleetWindow::sortsByEveryKindOfColumn()
{
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(QString, first);
    WindowRig rig;
    QVERIFY(rig.sim.started);
    rig.sim.fleet->model(3).setTemperatureHalves(80);
    QVERIFY(rig.pollOnce());
    if (column == FleetModel::Age)
        rig.poller.noteExternalReport(rig.sim.fleet->address(1).toString(), *rig.poller.unit(1).lastReport);
    rig.window->table().sortByColumn(column, Qt::SortOrder(order));
    QCOMPARE(rig.column(FleetModel::Description).first(), first);
}

void TestFleetWindow::problemsFirstAndFilter()
{
    WindowRig rig;
    QVERIFY(rig.sim.started);
    QVERIFY(rig.pollOnce());
    auto* button = rig.window->findChild<QPushButton*>(QStringLiteral("ProblemsFirst"));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(
        rig.column(FleetModel::State),
        QStringList({QStringLiteral("offline"), QStringLiteral("bad-password"), QStringLiteral("invalid"),
                     QStringLiteral("online"), QStringLiteral("online"), QStringLiteral("online")}));
    // The order holds as states change: unit 0 falls silent and turns offline.
    rig.sim.fleet->stop();
    rig.poller.setClock([] { return QDateTime::currentMSecsSinceEpoch() + 3600000; });
    rig.poller.refreshStates();
    rig.window->model().flush();
    QCOMPARE(rig.column(FleetModel::State).mid(0, 2), QStringList(2, QStringLiteral("offline")));

    auto* filter = rig.window->findChild<QLineEdit*>(QStringLiteral("FleetFilter"));
    QVERIFY(filter);
    QTest::keyClicks(filter, QStringLiteral("bad-pass"));
    QCOMPARE(rig.column(FleetModel::Description), QStringList(QStringLiteral("Site 3")));
    filter->clear();
    QTest::keyClicks(filter, rig.sim.fleet->address(1).toString());
    QCOMPARE(rig.column(FleetModel::Description), QStringList(QStringLiteral("Site 2")));
}

void TestFleetWindow::showsEachStationsAlarms()
{
    WindowRig rig;
    QVERIFY(rig.sim.started);
    QVERIFY(rig.pollOnce());
    alarms::AlarmEngine engine(nullptr);
    history::AlarmRule rule;
    rule.id = 1;
    rule.kind = history::AlarmRuleKind::BadPassword;
    rule.priority = history::AlarmPriority::High;
    engine.setRules({rule});
    rig.window->model().setAlarms(&engine);
    // The model learns of the alarm from the engine, not from a refresh of the poller.
    engine.linkState(rig.sim.fleet->address(2).toString(), engine.now(), alarms::LinkState::BadPassword);
    rig.window->model().flush();
    rig.window->table().sortByColumn(FleetModel::Alarms, Qt::DescendingOrder);
    QCOMPARE(rig.column(FleetModel::Description).first(), QStringLiteral("Site 3"));
    const QStringList shown = rig.column(FleetModel::Alarms);
    QCOMPARE(shown.first(), QStringLiteral("1 (high)"));
    QCOMPARE(shown.count(QString()), shown.size() - 1);
}

void TestFleetWindow::doubleClickStartsTheSession()
{
    testsupport::ConsoleFixture f;
    QVERIFY(f.store.add(QStringLiteral("127.9.9.9"), QStringLiteral("other"), QStringLiteral("Far site")));
    core::MainForm form(f.context, f.dialogs);
    form.loadStations();
    form.selectStation(stations::formatEntry(QStringLiteral("127.9.9.9"), QStringLiteral("Far site")));
    FleetPoller poller;
    poller.setStations(fleet::stationsFromStore(f.store));
    FleetWindow window(poller);
    WindowRig::flat(window);
    QObject::connect(&window, &FleetWindow::stationChosen, &form,
                     [&form](const QString& address) { form.startStation(address); });
    window.show();
    QTreeView& table = window.table();
    table.sortByColumn(FleetModel::Description, Qt::DescendingOrder); // Test unit, then Far site
    const QModelIndex first = table.model()->index(0, FleetModel::Address);
    QCOMPARE(first.data().toString(), QStringLiteral("127.0.0.1"));
    const QPoint centre = table.visualRect(first).center();
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, centre);
    QVERIFY(f.peer.waitFrames(1));
    QCOMPARE(f.session.unitAddress(), QHostAddress(QStringLiteral("127.0.0.1")));
    QCOMPARE(form.stationBoxText(), f.stationEntry());

    // Enter on the other row moves the session there.
    QSignalSpy chosen(&window, &FleetWindow::stationChosen);
    table.setCurrentIndex(table.model()->index(1, 0));
    QTest::keyClick(table.viewport(), Qt::Key_Return);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.first().first().toString(), QStringLiteral("127.9.9.9"));
}

void TestFleetWindow::oldReadingsLookOldAndNormalStaysCalm()
{
    WindowRig rig;
    QVERIFY(rig.sim.started);
    QVERIFY(rig.pollOnce());
    const QAbstractItemModel& model = rig.window->model();
    const auto cell = [&model](int row, int column, int role) {
        return model.index(row, column).data(role);
    };
    QCOMPARE(cell(0, FleetModel::State, Qt::DisplayRole).toString(), QStringLiteral("online"));
    QVERIFY(!cell(0, FleetModel::State, Qt::BackgroundRole).isValid()); // normal: no colour
    QVERIFY(cell(4, FleetModel::State, Qt::BackgroundRole).isValid());  // offline: coloured
    QVERIFY(!cell(0, FleetModel::FirstVoltage, Qt::ForegroundRole).isValid());
    const QString volts = cell(0, FleetModel::FirstVoltage, Qt::DisplayRole).toString();
    QVERIFY(!volts.isEmpty());
    const qint64 reported = *rig.poller.unit(0).lastReportMs;

    // Three minutes without a report: the last values stay, dimmed and dated.
    rig.sim.fleet->stop();
    rig.poller.setClock([reported] { return reported + 180000; });
    rig.poller.refreshStates();
    rig.window->model().flush();
    QVERIFY(cell(0, FleetModel::State, Qt::DisplayRole).toString() != QStringLiteral("online"));
    QCOMPARE(cell(0, FleetModel::FirstVoltage, Qt::DisplayRole).toString(), volts);
    QVERIFY(cell(0, FleetModel::FirstVoltage, Qt::ForegroundRole).isValid());
    QCOMPARE(cell(0, FleetModel::Age, Qt::DisplayRole).toString(),
             QStringLiteral("as of ") +
                 QDateTime::fromMSecsSinceEpoch(reported).toString(QStringLiteral("HH:mm")));
    QCOMPARE(cell(0, FleetModel::Age, Qt::ToolTipRole).toString(),
             QStringLiteral("Last report 3 min 0 s ago"));
    QCOMPARE(cell(0, FleetModel::FirstVoltage, Qt::AccessibleTextRole).toString(),
             QStringLiteral("Voltage 1: %1 V, 3 min 0 s old").arg(volts));
    // Every reading of the row, not only the voltages, is dated and says its age.
    const QString at = QDateTime::fromMSecsSinceEpoch(reported).toString(QStringLiteral("HH:mm:ss"));
    for (const int column : {int(FleetModel::Relays), int(FleetModel::Temperature),
                             int(FleetModel::LastVoltage), int(FleetModel::Io), int(FleetModel::Uptime)}) {
        const QString header = model.headerData(column, Qt::Horizontal).toString();
        QVERIFY2(cell(0, column, Qt::ForegroundRole).isValid(), qPrintable(header));
        QCOMPARE(cell(0, column, Qt::ToolTipRole).toString(),
                 QStringLiteral("As of %1 (3 min 0 s old)").arg(at));
        QVERIFY2(
            cell(0, column, Qt::AccessibleTextRole).toString().endsWith(QStringLiteral(", 3 min 0 s old")),
            qPrintable(header));
    }
    QVERIFY(!cell(0, FleetModel::Description, Qt::ForegroundRole).isValid()); // who it is never goes old
}

void TestFleetWindow::fitsA1280Screen()
{
    FleetPoller poller;
    FleetWindow window(poller);
    QVERIFY(window.width() <= 1200);
    window.resize(1200, 560);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Every column, Alarms and Uptime included, without a sideways scroll.
    QTreeView& table = window.table();
    QVERIFY2(
        table.header()->length() <= table.viewport()->width(),
        qPrintable(QStringLiteral("%1 > %2").arg(table.header()->length()).arg(table.viewport()->width())));
    // Tab leaves the table: the keyboard is not trapped in it.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    table.setFocus(Qt::TabFocusReason);
    QTest::keyClick(&table, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != &table);

    // In the Default skin's 10 pt a two-digit voltage is shown whole, not "13...." (the view keeps
    // a focus margin each side).
    const QFont before = QApplication::font();
    QFont skin = before;
    skin.setPointSize(10);
    QApplication::setFont(skin);
    const auto restore = qScopeGuard([before] { QApplication::setFont(before); });
    FleetWindow skinned(poller);
    QTreeView& rows = skinned.table();
    const int margin = 2 * (rows.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &rows) + 1);
    const int voltage = rows.fontMetrics().horizontalAdvance(QStringLiteral("13.25")) + margin;
    for (int c = FleetModel::FirstVoltage; c <= FleetModel::LastVoltage; ++c)
        QVERIFY2(rows.columnWidth(c) >= voltage,
                 qPrintable(QStringLiteral("V%1").arg(c - FleetModel::FirstVoltage + 1)));
}

void TestFleetWindow::sessionFeedsThePollersView()
{
    testsupport::ConsoleFixture f;
    app::FleetWiring wiring(f.store, f.session, f.state);
    wiring.reloadStations();
    FleetPoller& poller = wiring.poller();
    QCOMPARE(poller.count(), 1);
    // Polls from the main window's session keep the fleet's own polls of the unit away.
    FleetPoller::Timing timing = poller.timing();
    timing.intervalMs = 1000;
    timing.tickMs = 5;
    poller.setTiming(timing);
    QVERIFY(f.start());
    wiring.acquire();
    QVERIFY(poller.isRunning());
    f.feedStatus();
    QCOMPARE(poller.unit(0).state, fleet::LinkState::Online);
    QVERIFY(poller.unit(0).lastReport.has_value());
    QVERIFY(QTest::qWaitFor([&] { return poller.unit(0).skipped >= 1; }, 3000));
    QCOMPARE(poller.unit(0).sent, 0u);
    wiring.release();
    QVERIFY(!poller.isRunning());
}

void TestFleetWindow::tagsFromAnotherProgramReachTheFleet()
{
    testsupport::ConsoleFixture f;
    app::FleetWiring wiring(f.store, f.session, f.state);
    wiring.reloadStations();
    QVERIFY(!wiring.refreshTags());
    // The command-line client tags the station while the console runs.
    stations::StationStore other;
    QVERIFY(other.open(f.store.path()).ok);
    const QString address = wiring.poller().unit(0).station.address;
    QVERIFY(other.addTags(address, {QStringLiteral("north/pumps")}));
    QVERIFY(wiring.refreshTags());
    QCOMPARE(wiring.poller().unit(0).station.tags, QStringList(QStringLiteral("north/pumps")));
}

void TestFleetWindow::bulkCommandOnATag_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes: the tag's units, each with its outcome") << true;
    QTest::newRow("no: nothing is sent") << false;
}

void TestFleetWindow::bulkCommandOnATag()
{
    QFETCH(bool, yes);
    // Units 0-2 and a station without a password are tagged north/pumps (unit 2 with a password
    // it refuses); unit 3 is tagged northeast, which "north/pumps" does not take in.
    testsupport::SimFleetRig sim(4);
    QVERIFY(sim.started);
    FleetPoller poller;
    poller.setUnitPort(sim.fleet->port());
    QList<fleet::FleetStation> list = sim.stations();
    for (int k = 0; k < 3; ++k)
        list[k].tags = {QStringLiteral("north/pumps")};
    list[1].tags << QStringLiteral("east");
    list[2].password = QStringLiteral("wrong*****");
    list[3].tags = {QStringLiteral("northeast")};
    fleet::FleetStation unknown = sim.station(0, QStringLiteral("**********"));
    unknown.address = QHostAddress(sim.fleet->address(0).toIPv4Address() + 50).toString();
    unknown.tags = {QStringLiteral("north/pumps")};
    list << unknown;
    poller.setStations(list);

    FleetWindow window(poller);
    window.model().setFlushInterval(3600000);
    testsupport::FakePrompter prompter;
    prompter.queueAnswer(yes ? platform::Prompter::Answer::Yes : platform::Prompter::Answer::No);
    alarms::AuditRecorder::Options auditOptions;
    auditOptions.program = QStringLiteral("console");
    alarms::AuditRecorder recorder(nullptr, auditOptions);
    QSignalSpy records(&recorder, &alarms::AuditRecorder::recorded);
    fleet::FleetOperation::Options options;
    options.parallel = 2;
    options.timing = backup::Timing{500, 30};
    window.setCommandServices(prompter, &recorder, options);
    window.show();

    QTreeView& tree = window.table();
    QModelIndex header;
    for (int row = 0; row < tree.model()->rowCount(); ++row) {
        if (tree.model()->index(row, 0).data(fleetui::FleetGroupModel::GroupKeyRole) ==
            QStringLiteral("north/pumps"))
            header = tree.model()->index(row, 0);
    }
    QVERIFY(header.isValid());
    tree.selectionModel()->select(header, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    window.findChild<QComboBox*>(QStringLiteral("BulkRelay"))->setCurrentIndex(1);
    QSignalSpy finished(window.bulkCommand(), &fleetui::FleetBulkCommand::finished);
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("BulkRelayOn")), Qt::LeftButton);
    QCOMPARE(prompter.lastText(), QStringLiteral("Switch relay 2 ON at 3 stations (tag north/pumps)?\n1 more "
                                                 "station is left out: it has no password stored or no valid "
                                                 "address."));
    const auto outcome = [&](int unit) {
        return window.model().index(unit, FleetModel::Command).data().toString();
    };
    if (!yes) {
        QVERIFY(!window.bulkCommand()->isRunning());
        QVERIFY(window.table().isColumnHidden(FleetModel::Command));
        for (int k = 0; k < 4; ++k)
            QVERIFY(sim.fleet->model(k).frames().empty());
        QCOMPARE(outcome(4), QString());
        return;
    }
    QVERIFY(finished.wait(10000));
    QCOMPARE(outcome(0), QStringLiteral("relay 2 is ON"));
    QCOMPARE(outcome(1), QStringLiteral("relay 2 is ON"));
    QVERIFY2(outcome(2).startsWith(QStringLiteral("refused: ")), qPrintable(outcome(2)));
    QCOMPARE(outcome(3), QString());
    QCOMPARE(outcome(4), QStringLiteral("not sent: no password is stored for this station"));
    QVERIFY(sim.fleet->model(0).relayOn(2) && sim.fleet->model(1).relayOn(2));
    QVERIFY(!sim.fleet->model(2).relayOn(2));
    QVERIFY(sim.fleet->model(3).frames().empty());
    QVERIFY(!window.table().isColumnHidden(FleetModel::Command));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("BulkProgress"))->text(),
             QStringLiteral("3 of 3 stations: 2 done, 1 failed"));
    // One audit record per unit sent to, with the unit's answer.
    QTRY_COMPARE(records.count(), 3);
    QStringList audited;
    for (const QList<QVariant>& record : records) {
        const auto r = record.first().value<history::AuditRecord>();
        audited << r.address + u' ' + r.outcome;
    }
    audited.sort();
    QCOMPARE(audited, QStringList({list[0].address + QStringLiteral(" acknowledged"),
                                   list[1].address + QStringLiteral(" acknowledged"),
                                   list[2].address + QStringLiteral(" refused")}));
}

QTEST_MAIN(TestFleetWindow)
#include "tst_fleetwindow.moc"
