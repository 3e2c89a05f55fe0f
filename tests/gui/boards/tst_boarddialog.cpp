#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "boardtestsupport.h"
#include "gui/boards/boarddialog.h"
#include "gui/boards/boardscriptingdialog.h"
#include "platform/resourcepaths.h"

using namespace kestavo;
using boardtest::bytes;
using daughterboards::BoardDialog;
using daughterboards::BoardTimings;

namespace {

constexpr BoardTimings kFast{10, 10, 5, 10};

/// A started console (quiet poll) with board `board` fitted in state `state`, and RDB for it.
struct Bench
{
    explicit Bench(int board, int state = 0, int countdown = 0, BoardTimings timings = kFast)
    {
        fixture.context.mainWindow = &mainWindow;
        started = boardtest::startQuietly(fixture);
        // The first report of a session makes the console ask for the relay-script slot table.
        fixture.feed(boardtest::singleBoardReport(board, state, countdown));
        started = started && fixture.peer.waitFrames(1) && fixture.peer.lastFrame().at(9) == 'L';
        fixture.peer.clear();
        fixture.state.setSelectedBoard(board);
        dialog = new BoardDialog(fixture.context, timings);
        dialog->show();
    }
    ~Bench() { delete dialog.data(); }
    template <typename T = QPushButton> T* control(const QString& name)
    {
        return dialog->findChild<T*>(name);
    }
    /// Puts the board in `state` (and the unit's countdown) and redraws at once.
    void report(int board, int state, int countdown = 0)
    {
        fixture.feed(boardtest::singleBoardReport(board, state, countdown));
        dialog->refreshState();
    }

    testsupport::ConsoleFixture fixture;
    QWidget mainWindow;
    bool started = false;
    QPointer<BoardDialog> dialog;
};

} // namespace

class TestBoardDialog : public QObject
{
    Q_OBJECT

private slots:
    void controls();
    void frames_data();
    void frames();
    void switchAfterToggleClearsToggleBytes();
    void secondToggleRefused_data();
    void secondToggleRefused();
    void switchingAllowedWhileToggleRuns();
    void burstDoesNotBlockEventLoop();
    void stateDisplay_data();
    void stateDisplay();
    void statePictures_data();
    void statePictures();
    void countdownOnStartingButton_data();
    void countdownOnStartingButton();
    void countdownWithoutOwnToggleTouchesNothing();
    void scriptsWindowHidesAndReturns();
    void closingEnablesMainWindow();
    void unloadingEveryWindowLeavesNoneBehind();
};

void TestBoardDialog::controls()
{
    Bench b(2);
    QVERIFY(b.started);
    QCOMPARE(b.dialog->objectName(), QStringLiteral("RDB"));
    QCOMPARE(b.dialog->windowTitle(), QStringLiteral("Relay Daughter Board 2"));
    for (int k = 1; k <= 6; ++k) {
        QCOMPARE(b.control(QStringLiteral("cmdno%1").arg(k))->text(), QStringLiteral("NO"));
        QCOMPARE(b.control(QStringLiteral("cmdnc%1").arg(k))->text(), QStringLiteral("NC"));
        QCOMPARE(b.control(QStringLiteral("cmdtoggle%1").arg(k))->text(), QStringLiteral("Toggle"));
        auto* slider = b.control<QSlider>(QStringLiteral("Slider%1").arg(k));
        QVERIFY(slider);
        QCOMPARE(slider->minimum(), 1);
        QCOMPARE(slider->maximum(), 60);
    }
    QCOMPARE(b.control(QStringLiteral("Command2"))->text(), QStringLiteral("ON"));
    QCOMPARE(b.control(QStringLiteral("Command1"))->text(), QStringLiteral("OFF"));
    QCOMPARE(b.control(QStringLiteral("Command3"))->text(), QStringLiteral("Toggle"));
    QCOMPARE(b.control<QSlider>(QStringLiteral("Slider7"))->maximum(), 60);
    QCOMPARE(b.control(QStringLiteral("Command5"))->text(), QStringLiteral("ON"));
    QCOMPARE(b.control(QStringLiteral("Command6"))->text(), QStringLiteral("OFF"));
    QVERIFY(!b.control<QSlider>(QStringLiteral("Slider8")));
    QCOMPARE(b.control(QStringLiteral("cmdScripts"))->text(), QStringLiteral("Scripts"));

    QStringList captions;
    for (QLabel* label : b.dialog->findChildren<QLabel*>())
        captions << label->text();
    for (const QString& caption : {QStringLiteral("Relay 1 (5 Amp)"), QStringLiteral("Relay 4 (5 Amp)"),
                                   QStringLiteral("Relay 5 (10 Amp)"), QStringLiteral("Relay 6 (10 Amp)"),
                                   QStringLiteral("5V (150ma) Output"), QStringLiteral("Test Light"),
                                   QStringLiteral("1 - 60 Second Delay")})
        QVERIFY2(captions.contains(caption), qPrintable(caption));
    for (QWidget* w : b.dialog->findChildren<QWidget*>()) {
        if (qobject_cast<QPushButton*>(w) || qobject_cast<QSlider*>(w) || qobject_cast<QLabel*>(w))
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
    auto* timer = b.dialog->findChild<QTimer*>(QStringLiteral("Timer1"));
    QVERIFY(timer && timer->isActive());
    QCOMPARE(timer->interval(), kFast.stateRefreshMs);
}

void TestBoardDialog::frames_data()
{
    QTest::addColumn<int>("board");
    QTest::addColumn<int>("state"); // so that the pressed button is the enabled one
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("slider");
    QTest::addColumn<int>("delay");
    QTest::addColumn<QByteArray>("payload"); // positions 21-24

    QTest::newRow("board 3 relay 4 NO") << 3 << 0x08 << "cmdno4"
                                        << "" << 0 << bytes({0x48, 0x08, 0, 0});
    QTest::newRow("board 3 relay 4 NC") << 3 << 0x00 << "cmdnc4"
                                        << "" << 0 << bytes({0x48, 0x08, 0, 0});
    QTest::newRow("board 1 relay 1 NC") << 1 << 0x00 << "cmdnc1"
                                        << "" << 0 << bytes({0x44, 0x01, 0, 0});
    QTest::newRow("board 4 relay 6 NO") << 4 << 0x20 << "cmdno6"
                                        << "" << 0 << bytes({0x4A, 0x20, 0, 0});
    QTest::newRow("board 5 output ON") << 5 << 0x40 << "Command2"
                                       << "" << 0 << bytes({0x4C, 0x40, 0, 0});
    QTest::newRow("board 5 output OFF") << 5 << 0x00 << "Command1"
                                        << "" << 0 << bytes({0x4C, 0x40, 0, 0});
    QTest::newRow("board 2 light ON") << 2 << 0x80 << "Command5"
                                      << "" << 0 << bytes({0x46, 0x80, 0, 0});
    QTest::newRow("board 2 light OFF") << 2 << 0x00 << "Command6"
                                       << "" << 0 << bytes({0x46, 0x80, 0, 0});
    QTest::newRow("board 1 relay 2 toggle at 15") << 1 << 0 << "cmdtoggle2"
                                                  << "Slider2" << 15 << bytes({0x44, 0x02, 0x02, 0x0F});
    QTest::newRow("board 6 output toggle at 60") << 6 << 0 << "Command3"
                                                 << "Slider7" << 60 << bytes({0x4E, 0x40, 0x02, 0x3C});
    QTest::newRow("board 2 relay 5 toggle at 1") << 2 << 0 << "cmdtoggle5"
                                                 << "Slider5" << 1 << bytes({0x46, 0x10, 0x02, 0x01});
    QTest::newRow("board 6 relay 6 toggle at 33") << 6 << 0 << "cmdtoggle6"
                                                  << "Slider6" << 33 << bytes({0x4E, 0x20, 0x02, 0x21});
}

void TestBoardDialog::frames()
{
    QFETCH(int, board);
    QFETCH(int, state);
    QFETCH(QString, button);
    QFETCH(QString, slider);
    QFETCH(int, delay);
    QFETCH(QByteArray, payload);

    Bench b(board, state);
    QVERIFY(b.started);
    if (!slider.isEmpty())
        b.control<QSlider>(slider)->setValue(delay);
    QPushButton* pressed = b.control(button);
    QVERIFY(pressed);
    QVERIFY2(pressed->isEnabled(), "the row's state should enable this button");
    const int sentBefore = b.fixture.session.sent();

    QTest::mouseClick(pressed, Qt::LeftButton);

    QVERIFY(b.fixture.peer.waitFrames(1));
    const QList<QByteArray> frames = b.fixture.peer.frames();
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.first().size(), 24);
    QCOMPARE(frames.first(), boardtest::frameHead(b.fixture, 'R') + payload);
    QCOMPARE(b.fixture.session.sent(), sentBefore + 1);
}

void TestBoardDialog::switchAfterToggleClearsToggleBytes()
{
    Bench b(1);
    QVERIFY(b.started);
    const int sentBefore = b.fixture.session.sent();
    b.control<QSlider>(QStringLiteral("Slider2"))->setValue(15);
    b.control(QStringLiteral("cmdtoggle2"))->click();
    b.control(QStringLiteral("cmdnc3"))->click();
    QVERIFY(b.fixture.peer.waitFrames(2));
    const QList<QByteArray> frames = b.fixture.peer.frames();
    QCOMPARE(frames.size(), 2);
    QCOMPARE(frames[0].mid(20), bytes({0x44, 0x02, 0x02, 0x0F}));
    QCOMPARE(frames[1], boardtest::frameHead(b.fixture, 'R') + bytes({0x44, 0x04, 0, 0}));
    QCOMPARE(b.fixture.session.sent(), sentBefore + 2);
}

void TestBoardDialog::secondToggleRefused_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("countdown");
    for (int k = 1; k <= 6; ++k)
        QTest::addRow("relay %d, 5 s left", k) << QStringLiteral("cmdtoggle%1").arg(k) << 5;
    QTest::newRow("output, 1 s left") << QStringLiteral("Command3") << 1;
    QTest::newRow("output, 255 s left") << QStringLiteral("Command3") << 255;
}

void TestBoardDialog::secondToggleRefused()
{
    QFETCH(QString, button);
    QFETCH(int, countdown);
    Bench b(3, 0, countdown);
    QVERIFY(b.started);
    QCOMPARE(b.fixture.state.toggleCountdown(), countdown);
    QSignalSpy raised(&b.fixture.state, &core::ConsoleState::notificationRaised);
    QSignalSpy sentFrames(&b.fixture.session, &core::Session::frameSent);
    const int sentBefore = b.fixture.session.sent();

    b.control(button)->click();

    QCOMPARE(raised.size(), 1);
    QCOMPARE(raised.first().first().toInt(), 100);
    QCOMPARE(b.fixture.state.notificationKind(), 100);
    QCOMPARE(sentFrames.size(), 0);
    QCOMPARE(b.dialog->pendingFrames(), std::size_t(0));
    QCOMPARE(b.fixture.session.sent(), sentBefore);
    QCOMPARE(b.dialog->toggleShown(), 0);
    QCOMPARE(b.fixture.prompter.calls().size(), 0); // a pop-up, not a message box
}

void TestBoardDialog::switchingAllowedWhileToggleRuns()
{
    Bench b(3, 0, 9);
    QVERIFY(b.started);
    QSignalSpy raised(&b.fixture.state, &core::ConsoleState::notificationRaised);
    b.control(QStringLiteral("cmdnc1"))->click();
    QVERIFY(b.fixture.peer.waitFrames(1));
    QCOMPARE(b.fixture.peer.lastFrame().mid(20), bytes({0x48, 0x01, 0, 0}));
    QCOMPARE(raised.size(), 0);
}

void TestBoardDialog::burstDoesNotBlockEventLoop()
{
    // Four presses in a row: the first frame leaves at once, the others wait their turn while
    // the event loop runs on (a heartbeat timer keeps ticking between them).
    BoardTimings timings = kFast;
    timings.frameSpacingMs = 30;
    Bench b(1, 0, 0, timings);
    QVERIFY(b.started);
    int ticks = 0;
    QList<int> ticksAtSend;
    QElapsedTimer clock;
    QList<qint64> sentAt;
    QTimer heartbeat;
    heartbeat.setInterval(2);
    connect(&heartbeat, &QTimer::timeout, this, [&ticks] { ++ticks; });
    connect(&b.fixture.session, &core::Session::frameSent, this, [&](const QByteArray&) {
        ticksAtSend.append(ticks);
        sentAt.append(clock.elapsed());
    });
    heartbeat.start();
    clock.start();
    const int sentBefore = b.fixture.session.sent();

    for (const char* name : {"cmdnc1", "cmdnc2", "cmdnc3", "Command6"})
        b.control(QString::fromLatin1(name))->click();
    QCOMPARE(ticksAtSend.size(), 1);
    QCOMPARE(b.dialog->pendingFrames(), std::size_t(3));
    QCOMPARE(b.fixture.session.sent(), sentBefore + 1); // counted when sent, not when asked for

    QVERIFY(b.fixture.peer.waitFrames(4, 5000));
    QTRY_COMPARE(ticksAtSend.size(), 4);
    for (qsizetype i = 1; i < ticksAtSend.size(); ++i) {
        QVERIFY2(ticksAtSend[i] > ticksAtSend[i - 1], "the event loop stood still between two frames");
        QVERIFY(sentAt[i] - sentAt[i - 1] >= timings.frameSpacingMs);
    }
    QCOMPARE(b.fixture.session.sent(), sentBefore + 4);
    QList<QByteArray> masks;
    for (const QByteArray& frame : b.fixture.peer.frames()) {
        QCOMPARE(frame.size(), 24);
        masks << frame.mid(20);
    }
    QCOMPARE(masks, (QList<QByteArray>{bytes({0x44, 0x01, 0, 0}), bytes({0x44, 0x02, 0, 0}),
                                       bytes({0x44, 0x04, 0, 0}), bytes({0x44, 0x80, 0, 0})}));
}

void TestBoardDialog::stateDisplay_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("enabledNames"); // every other NO/NC/ON/OFF button is disabled

    QTest::newRow("0x41") << 0x41 << "cmdno1 cmdnc2 cmdnc3 cmdnc4 cmdnc5 cmdnc6 Command2 Command6";
    QTest::newRow("all clear") << 0x00 << "cmdnc1 cmdnc2 cmdnc3 cmdnc4 cmdnc5 cmdnc6 Command1 Command6";
    QTest::newRow("all set") << 0xFF << "cmdno1 cmdno2 cmdno3 cmdno4 cmdno5 cmdno6 Command2 Command5";
    QTest::newRow("light only") << 0x80 << "cmdnc1 cmdnc2 cmdnc3 cmdnc4 cmdnc5 cmdnc6 Command1 Command5";
    QTest::newRow("relays 4 and 6") << 0x28 << "cmdnc1 cmdnc2 cmdnc3 cmdno4 cmdnc5 cmdno6 Command1 Command6";
}

void TestBoardDialog::stateDisplay()
{
    QFETCH(int, state);
    QFETCH(QString, enabledNames);
    QStringList enabled = enabledNames.split(QLatin1Char(' '));

    // The opposite state first, so that every button has to change.
    Bench b(5, ~state & 0xFF);
    QVERIFY(b.started);
    b.fixture.feed(boardtest::singleBoardReport(5, state));
    // Timer1 redraws from the console state; nothing is drawn from the click handlers.
    QTRY_VERIFY_WITH_TIMEOUT(b.control(enabled.first())->isEnabled(), 1000);

    QStringList actual;
    QStringList all;
    for (int k = 1; k <= 6; ++k)
        all << QStringLiteral("cmdno%1").arg(k) << QStringLiteral("cmdnc%1").arg(k);
    all << QStringLiteral("Command2") << QStringLiteral("Command1") << QStringLiteral("Command5")
        << QStringLiteral("Command6");
    for (const QString& name : all) {
        if (b.control(name)->isEnabled())
            actual << name;
    }
    actual.sort();
    enabled.sort();
    QCOMPARE(actual, enabled);
}

void TestBoardDialog::statePictures_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("picture");

    QTest::newRow("relay 1 set") << 0x01 << 1 << ":/images/relay_on.png";
    QTest::newRow("relay 1 clear") << 0x02 << 1 << ":/images/relay_off.png";
    QTest::newRow("relay 6 set") << 0x20 << 6 << ":/images/relay_on.png";
    QTest::newRow("output set") << 0x40 << 7 << ":/images/output_on.png";
    QTest::newRow("output clear") << 0x80 << 7 << ":/images/output_off.png";
    QTest::newRow("light set") << 0x80 << 8 << ":/images/light_on.png";
    QTest::newRow("light clear") << 0x7F << 8 << ":/images/light_off.png";
}

void TestBoardDialog::statePictures()
{
    QFETCH(int, state);
    QFETCH(int, item);
    QFETCH(QString, picture);

    const QImage expected = QPixmap(picture).toImage();
    QVERIFY2(!expected.isNull(), qPrintable(picture));
    Bench b(1, ~state & 0xFF);
    QVERIFY(b.started);
    auto* label = b.control<QLabel>(QStringLiteral("statePicture%1").arg(item));
    QVERIFY(label);
    QVERIFY(label->pixmap().toImage() != expected);
    b.report(1, state);
    QCOMPARE(label->pixmap().toImage(), expected);
}

void TestBoardDialog::countdownOnStartingButton_data()
{
    QTest::addColumn<QString>("toggle");
    QTest::addColumn<QString>("other");
    QTest::addColumn<int>("shown");
    QTest::newRow("relay 2") << "cmdtoggle2"
                             << "Command3" << 2;
    QTest::newRow("relay 6") << "cmdtoggle6"
                             << "cmdtoggle1" << 6;
    QTest::newRow("output") << "Command3"
                            << "cmdtoggle2" << 7;
}

void TestBoardDialog::countdownOnStartingButton()
{
    QFETCH(QString, toggle);
    QFETCH(QString, other);
    QFETCH(int, shown);

    Bench b(1);
    QVERIFY(b.started);
    QPushButton* button = b.control(toggle);
    button->click();
    QCOMPARE(b.dialog->toggleShown(), shown);
    QVERIFY(b.fixture.peer.waitFrames(1));

    b.fixture.feed(boardtest::singleBoardReport(1, 0, 12));
    QTRY_COMPARE_WITH_TIMEOUT(button->text(), QStringLiteral("12"), 1000);
    QCOMPARE(b.control(other)->text(), QStringLiteral("Toggle"));
    b.fixture.feed(boardtest::singleBoardReport(1, 0, 11));
    QTRY_COMPARE_WITH_TIMEOUT(button->text(), QStringLiteral("11"), 1000);
    b.fixture.feed(boardtest::singleBoardReport(1, 0, 0));
    QTRY_COMPARE_WITH_TIMEOUT(button->text(), QStringLiteral("Toggle"), 1000);
}

void TestBoardDialog::countdownWithoutOwnToggleTouchesNothing()
{
    // A toggle this window did not start (another console, an earlier window) shows on no button.
    Bench b(1);
    QVERIFY(b.started);
    b.report(1, 0, 20);
    for (const char* name : {"cmdtoggle1", "cmdtoggle2", "cmdtoggle6", "Command3"})
        QCOMPARE(b.control(QString::fromLatin1(name))->text(), QStringLiteral("Toggle"));
}

void TestBoardDialog::scriptsWindowHidesAndReturns()
{
    Bench b(2);
    QVERIFY(b.started);
    b.control(QStringLiteral("cmdScripts"))->click();
    QPointer<daughterboards::BoardScriptingDialog> scripts =
        boardtest::topLevel<daughterboards::BoardScriptingDialog>(QStringLiteral("RDBrelayScripting"));
    QVERIFY(scripts);
    QVERIFY(scripts->isVisible());
    QVERIFY(!b.dialog->isVisible());
    QVERIFY(!b.mainWindow.isEnabled());

    scripts->close();
    QTRY_VERIFY(scripts.isNull());
    QTRY_VERIFY(b.dialog->isVisible());
    QVERIFY(!b.mainWindow.isEnabled());
}

void TestBoardDialog::closingEnablesMainWindow()
{
    Bench b(4);
    QVERIFY(b.started);
    QVERIFY(!b.mainWindow.isEnabled());
    QVERIFY(b.dialog->close());
    QTRY_VERIFY(b.dialog.isNull());
    QVERIFY(b.mainWindow.isEnabled());
}

void TestBoardDialog::unloadingEveryWindowLeavesNoneBehind()
{
    // The main window closes the visible windows and then raises the exiting flag: the hidden RDB
    // behind the script window must close too instead of coming back.
    Bench b(2);
    QVERIFY(b.started);
    b.control(QStringLiteral("cmdScripts"))->click();
    QPointer<QWidget> scripts = boardtest::topLevel(QStringLiteral("RDBrelayScripting"));
    QVERIFY(scripts);
    scripts->close();
    b.fixture.state.setExiting(true);
    QTRY_VERIFY(b.dialog.isNull());
    QVERIFY(scripts.isNull());
    QVERIFY(b.mainWindow.isEnabled());
}

QTEST_MAIN(TestBoardDialog)
#include "tst_boarddialog.moc"
