#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include "boardtestsupport.h"
#include "gui/boards/boardchooserdialog.h"
#include "gui/boards/boarddialog.h"
#include "gui/boards/boarddialogs.h"
#include "gui/boards/boardscriptingdialog.h"
#include "gui/main/dialogid.h"
#include "ksv-sim/simulatedunit.h"

using namespace kestavo;
using daughterboards::BoardDialog;
using daughterboards::BoardScriptingDialog;
using daughterboards::BoardTimings;
using sim::SimulatedUnit;

namespace {

constexpr BoardTimings kFast{10, 10, 5, 20};
constexpr int kPollMs = 20;
constexpr int kQuietMs = 600000;
constexpr int kWatchdogMs = 2000;
constexpr int kWaitMs = 5000;

SimulatedUnit::Config unitConfig()
{
    SimulatedUnit::Config config;
    config.unit.password = "secret";
    config.unit.boards = {true, false, false, true, false, false};
    config.port = 0;         // the system picks a free port on 127.0.0.1
    config.realTime = false; // the unit's clock (toggles, script waits) moves only by advance()
    return config;
}

QStringList lines(const QListWidget* list)
{
    QStringList out;
    for (int row = 0; row < list->count(); ++row)
        out << list->item(row)->text();
    return out;
}

/// The console polling an in-process simulated unit with boards 1 and 4 fitted.
struct SimConsole
{
    SimConsole() : unit(unitConfig())
    {
        unitStarted = unit.start();
        fixture.session.setUnitPort(unit.port());
        fixture.session.setTiming({kPollMs, kQuietMs, kWatchdogMs});
        fixture.context.mainWindow = &mainWindow;
        daughterboards::registerBoardDialogs(fixture.dialogs, kFast);
    }
    ~SimConsole()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QDialog*>(w))
                delete w;
    }
    SimConsole(const SimConsole&) = delete;
    SimConsole& operator=(const SimConsole&) = delete;

    bool start()
    {
        QSignalSpy reports(&fixture.state, &core::ConsoleState::statusDecoded);
        fixture.session.start(fixture.stationEntry());
        return reports.wait(kWaitMs);
    }
    /// Waits for `count` more status reports: the unit's state after what was sent shows in them.
    bool reports(int count)
    {
        QSignalSpy decoded(&fixture.state, &core::ConsoleState::statusDecoded);
        while (decoded.size() < count) {
            if (!decoded.wait(kWaitMs))
                return false;
        }
        return true;
    }
    /// Main window button → I2C → board button → RDB.
    BoardDialog* openBoard(int board)
    {
        QWidget* chooser = fixture.dialogs.open(core::DialogId::DaughterBoards, fixture.context);
        if (!chooser)
            return nullptr;
        auto* button = chooser->findChild<QPushButton*>(QStringLiteral("Command%1").arg(board));
        // Boards 1 and 4 are fitted: only their buttons are offered.
        for (int other : {2, 3, 5, 6}) {
            if (chooser->findChild<QPushButton*>(QStringLiteral("Command%1").arg(other))->isEnabled())
                return nullptr;
        }
        if (!QTest::qWaitFor([button] { return button->isEnabled(); }, kWaitMs))
            return nullptr;
        button->click();
        return boardtest::topLevel<BoardDialog>(QStringLiteral("RDB"));
    }
    std::uint64_t boardFramesAtUnit() const { return unit.model().counters().perOpcode[std::size_t('R')]; }

    SimulatedUnit unit;
    testsupport::ConsoleFixture fixture;
    QWidget mainWindow;
    bool unitStarted = false;
};

} // namespace

class TestBoardSimulator : public QObject
{
    Q_OBJECT

private slots:
    void switchChangesReportedBit_data();
    void switchChangesReportedBit();
    void toggleCountsDownThenReturns();
    void scriptUploadedListedAndRun();
};

void TestBoardSimulator::switchChangesReportedBit_data()
{
    QTest::addColumn<int>("board");
    QTest::addColumn<int>("mask");
    QTest::addColumn<QString>("clearButton"); // enabled while the bit is clear
    QTest::addColumn<QString>("setButton");   // enabled once it is set

    QTest::newRow("board 1 relay 3") << 1 << 0x04 << "cmdnc3"
                                     << "cmdno3";
    QTest::newRow("board 4 relay 6") << 4 << 0x20 << "cmdnc6"
                                     << "cmdno6";
    QTest::newRow("board 4 output") << 4 << 0x40 << "Command1"
                                    << "Command2";
    QTest::newRow("board 1 light") << 1 << 0x80 << "Command6"
                                   << "Command5";
}

void TestBoardSimulator::switchChangesReportedBit()
{
    QFETCH(int, board);
    QFETCH(int, mask);
    QFETCH(QString, clearButton);
    QFETCH(QString, setButton);

    SimConsole console;
    QVERIFY2(console.unitStarted, qPrintable(console.unit.errorString()));
    QVERIFY(console.start());
    QPointer<BoardDialog> rdb = console.openBoard(board);
    QVERIFY(rdb);
    QCOMPARE(console.fixture.state.boardState(board) & mask, 0);
    QSignalSpy notifications(&console.fixture.state, &core::ConsoleState::notificationRaised);
    auto* off = rdb->findChild<QPushButton*>(clearButton);
    auto* on = rdb->findChild<QPushButton*>(setButton);
    QVERIFY(off->isEnabled());
    QVERIFY(!on->isEnabled());

    off->click();

    QTRY_COMPARE_WITH_TIMEOUT(console.fixture.state.boardState(board) & mask, mask, kWaitMs);
    QCOMPARE(console.unit.model().boardState(board), std::uint8_t(mask));
    QTRY_VERIFY_WITH_TIMEOUT(on->isEnabled(), kWaitMs);
    QVERIFY(!off->isEnabled());
    QVERIFY(notifications.size() >= 1);
    QCOMPARE(notifications.first().first().toInt(), 9); // "RDB Command Success !"

    on->click();
    QTRY_COMPARE_WITH_TIMEOUT(console.fixture.state.boardState(board) & mask, 0, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(off->isEnabled(), kWaitMs);
}

void TestBoardSimulator::toggleCountsDownThenReturns()
{
    SimConsole console;
    QVERIFY2(console.unitStarted, qPrintable(console.unit.errorString()));
    QVERIFY(console.start());
    QPointer<BoardDialog> rdb = console.openBoard(1);
    QVERIFY(rdb);
    rdb->findChild<QSlider*>(QStringLiteral("Slider3"))->setValue(3);
    auto* toggle = rdb->findChild<QPushButton*>(QStringLiteral("cmdtoggle3"));

    toggle->click();

    QTRY_COMPARE_WITH_TIMEOUT(toggle->text(), QStringLiteral("3"), kWaitMs);
    QCOMPARE(console.fixture.state.boardState(1) & 0x04, 0x04);
    QCOMPARE(rdb->findChild<QPushButton*>(QStringLiteral("cmdtoggle1"))->text(), QStringLiteral("Toggle"));

    // A second toggle while this one runs is refused by the console itself.
    const std::uint64_t framesBefore = console.boardFramesAtUnit();
    QSignalSpy notifications(&console.fixture.state, &core::ConsoleState::notificationRaised);
    rdb->findChild<QPushButton*>(QStringLiteral("cmdtoggle1"))->click();
    QCOMPARE(notifications.size(), 1);
    QCOMPARE(notifications.first().first().toInt(), 100);
    QVERIFY(console.reports(3));
    QCOMPARE(console.boardFramesAtUnit(), framesBefore);

    console.unit.advance(1000);
    QTRY_COMPARE_WITH_TIMEOUT(toggle->text(), QStringLiteral("2"), kWaitMs);
    console.unit.advance(2000);
    QTRY_COMPARE_WITH_TIMEOUT(toggle->text(), QStringLiteral("Toggle"), kWaitMs);
    QCOMPARE(console.fixture.state.toggleCountdown(), 0);
    QCOMPARE(console.fixture.state.boardState(1) & 0x04, 0); // switched back by the unit
}

void TestBoardSimulator::scriptUploadedListedAndRun()
{
    SimConsole console;
    QVERIFY2(console.unitStarted, qPrintable(console.unit.errorString()));
    QVERIFY(console.start());
    QPointer<BoardDialog> rdb = console.openBoard(1);
    QVERIFY(rdb);
    rdb->findChild<QPushButton*>(QStringLiteral("cmdScripts"))->click();
    QPointer<BoardScriptingDialog> scripts =
        boardtest::topLevel<BoardScriptingDialog>(QStringLiteral("RDBrelayScripting"));
    QVERIFY(scripts);
    auto* slotList = scripts->findChild<QListWidget*>(QStringLiteral("List1"));
    auto* steps = scripts->findChild<QListWidget*>(QStringLiteral("List2"));
    auto* palette = scripts->findChild<QListWidget*>(QStringLiteral("List3"));
    QTRY_VERIFY_WITH_TIMEOUT(scripts->contentsShown(), kWaitMs); // listing, then contents 20 ms later
    QCOMPARE(slotList->count(), 16);

    // Choosing the slot shows its (empty) contents; the script is composed after that.
    boardtest::clickLine(slotList, 4);
    QCOMPARE(steps->count(), 0);
    auto* boardBox = scripts->findChild<QComboBox*>(QStringLiteral("Combo1"));
    boardtest::clickLine(palette, QStringLiteral("RDB1 Relay 2 NC"));
    boardtest::clickLine(palette, QStringLiteral("Wait 2 Seconds"));
    boardBox->setCurrentIndex(3);
    boardtest::clickLine(palette, QStringLiteral("RDB4 Light ON"));
    QCOMPARE(steps->count(), 3);

    scripts->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    QTest::keyClicks(scripts->findChild<QLineEdit*>(QStringLiteral("Text1")), QStringLiteral("Night run"));
    scripts->findChild<QPushButton*>(QStringLiteral("Command5"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(console.unit.model().boardScript(5).description,
                              std::string("Night run       "), kWaitMs);
    const std::array<std::uint8_t, 16> expectedCodes{0x21, 0x02, 0x57};
    QVERIFY(console.unit.model().boardScript(5).codes == expectedCodes);

    // Listed after a refresh, and shown from the unit's copy.
    scripts->findChild<QPushButton*>(QStringLiteral("Command3"))->click();
    QVERIFY(!scripts->contentsShown());
    QTRY_VERIFY_WITH_TIMEOUT(scripts->contentsShown(), kWaitMs);
    QCOMPARE(slotList->item(4)->text(), QStringLiteral("Night run       "));
    boardtest::clickLine(slotList, 4);
    QCOMPARE(lines(steps),
             (QStringList{QStringLiteral("RDB1 Relay 2 NC"), QStringLiteral("RDB Wait 2 Seconds"),
                          QStringLiteral("RDB4 Light ON")}));
    QCOMPARE(scripts->findChild<QLabel*>(QStringLiteral("Label17"))->text(),
             QStringLiteral("Night run       "));

    // Run it: the first step at once, the light after the unit's two-second wait.
    scripts->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QCOMPARE(scripts->findChild<QLabel*>(QStringLiteral("Label20"))->text(), QStringLiteral("in Slot # 5 ?"));
    scripts->findChild<QPushButton*>(QStringLiteral("Command8"))->click();
    QTRY_VERIFY(scripts.isNull());
    QTRY_VERIFY(rdb->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!console.unit.model().scriptRuns().empty(), kWaitMs);
    QCOMPARE(console.unit.model().scriptRuns().back().slot, 5);
    QVERIFY(console.unit.model().scriptRuns().back().board);
    QTRY_COMPARE_WITH_TIMEOUT(console.fixture.state.boardState(1) & 0x02, 0x02, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(rdb->findChild<QPushButton*>(QStringLiteral("cmdno2"))->isEnabled(), kWaitMs);
    QCOMPARE(console.fixture.state.boardState(4) & 0x80, 0);
    console.unit.advance(2000);
    QTRY_COMPARE_WITH_TIMEOUT(console.fixture.state.boardState(4) & 0x80, 0x80, kWaitMs);
    QVERIFY(!console.mainWindow.isEnabled());
    rdb->close();
    QTRY_VERIFY(console.mainWindow.isEnabled());
}

QTEST_MAIN(TestBoardSimulator)
#include "tst_boardsimulator.moc"
