#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "boardtestsupport.h"
#include "gui/boards/boardchooserdialog.h"
#include "gui/boards/boarddialog.h"
#include "gui/boards/boarddialogs.h"
#include "gui/main/dialogid.h"

using namespace kestavo;
using daughterboards::BoardChooserDialog;
using daughterboards::BoardTimings;

namespace {

constexpr BoardTimings kFast{10, 10, 5, 10};

QPushButton* boardButton(QWidget* dialog, int board)
{
    return dialog->findChild<QPushButton*>(QStringLiteral("Command%1").arg(board));
}

QList<int> enabledBoards(QWidget* dialog)
{
    QList<int> boards;
    for (int board = 1; board <= 6; ++board) {
        if (boardButton(dialog, board)->isEnabled())
            boards.append(board);
    }
    return boards;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestBoardChooser : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void controls();
    void availability_data();
    void availability();
    void unusualPresenceLeavesButton();
    void timerFollowsNewReports();
    void closingGivesMainWindowBack_data();
    void closingGivesMainWindowBack();
    void boardButtonOpensControlWindow_data();
    void boardButtonOpensControlWindow();
    void registeredForDaughterBoardButton();
};

void TestBoardChooser::cleanup()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QDialog*>(w))
            w->close();
    flushDeletes();
}

void TestBoardChooser::controls()
{
    testsupport::ConsoleFixture f;
    BoardChooserDialog dialog(f.context, kFast);
    QCOMPARE(dialog.objectName(), QStringLiteral("I2C"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Relay Daughter Board Control"));
    for (int board = 1; board <= 6; ++board) {
        QPushButton* button = boardButton(&dialog, board);
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("RELAY DB %1").arg(board));
        QCOMPARE(button->accessibleName(), button->text());
    }
    auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("Command9"));
    QVERIFY(cancel);
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("Label1"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("NO RELAY DAUGHTER BOARDS DETECTED!"));
    auto* timer = dialog.findChild<QTimer*>(QStringLiteral("Timer1"));
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), kFast.chooserRefreshMs);
    QCOMPARE(BoardChooserDialog(f.context).findChild<QTimer*>(QStringLiteral("Timer1"))->interval(), 1000);
}

void TestBoardChooser::availability_data()
{
    QTest::addColumn<QList<int>>("presence");
    QTest::addColumn<QList<int>>("enabled");
    QTest::addColumn<bool>("labelShown");

    QTest::newRow("boards 1 and 4 fitted") << QList<int>{255, 0, 0, 255, 0, 0} << QList<int>{1, 4} << false;
    QTest::newRow("none fitted") << QList<int>{0, 0, 0, 0, 0, 0} << QList<int>{} << true;
    QTest::newRow("all fitted") << QList<int>{255, 255, 255, 255, 255, 255} << QList<int>{1, 2, 3, 4, 5, 6}
                                << false;
    QTest::newRow("only the last") << QList<int>{0, 0, 0, 0, 0, 255} << QList<int>{6} << false;
    QTest::newRow("only the first") << QList<int>{255, 0, 0, 0, 0, 0} << QList<int>{1} << false;
}

void TestBoardChooser::availability()
{
    QFETCH(QList<int>, presence);
    QFETCH(QList<int>, enabled);
    QFETCH(bool, labelShown);

    testsupport::ConsoleFixture f;
    std::array<int, 6> values{};
    for (std::size_t i = 0; i < 6; ++i)
        values[i] = presence[qsizetype(i)];
    f.feed(boardtest::boardReport(values, {}));
    QCOMPARE(f.state.boardPresence(1), presence[0]);

    BoardChooserDialog dialog(f.context, kFast);
    dialog.show();
    QCOMPARE(enabledBoards(&dialog), enabled);
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("Label1"))->isVisible(), labelShown);
}

void TestBoardChooser::unusualPresenceLeavesButton()
{
    // A value other than 255 or 0 says nothing about the board: its button keeps its state, and
    // the "none detected" label is not shown because not every board reads 0.
    testsupport::ConsoleFixture f;
    f.feed(boardtest::boardReport({255, 0, 0, 0, 0, 0}, {}));
    BoardChooserDialog dialog(f.context, kFast);
    dialog.show();
    QCOMPARE(enabledBoards(&dialog), QList<int>{1});
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("Label1"));
    QVERIFY(!label->isVisible());

    f.feed(boardtest::boardReport({7, 0, 0, 0, 0, 0}, {}));
    dialog.refreshAvailability();
    QCOMPARE(enabledBoards(&dialog), QList<int>{1});
    QVERIFY(!label->isVisible());

    f.feed(boardtest::boardReport({0, 0, 0, 0, 0, 0}, {}));
    dialog.refreshAvailability();
    QCOMPARE(enabledBoards(&dialog), QList<int>{});
    QVERIFY(label->isVisible());
}

void TestBoardChooser::timerFollowsNewReports()
{
    testsupport::ConsoleFixture f;
    BoardChooserDialog dialog(f.context, kFast);
    dialog.show();
    QCOMPARE(enabledBoards(&dialog), QList<int>{});
    f.feed(boardtest::boardReport({0, 255, 0, 0, 255, 0}, {}));
    QTRY_COMPARE_WITH_TIMEOUT(enabledBoards(&dialog), (QList<int>{2, 5}), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.findChild<QLabel*>(QStringLiteral("Label1"))->isVisible(), 1000);
}

void TestBoardChooser::closingGivesMainWindowBack_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Cancel") << false;
    QTest::newRow("close box") << true;
}

void TestBoardChooser::closingGivesMainWindowBack()
{
    QFETCH(bool, closeBox);
    testsupport::ConsoleFixture f;
    QWidget mainWindow;
    f.context.mainWindow = &mainWindow;
    QPointer<BoardChooserDialog> dialog = new BoardChooserDialog(f.context, kFast);
    dialog->show();
    QVERIFY(!mainWindow.isEnabled());

    if (closeBox)
        QVERIFY(dialog->close());
    else
        dialog->findChild<QPushButton*>(QStringLiteral("Command9"))->click();
    flushDeletes();
    QVERIFY(dialog.isNull());
    QVERIFY(mainWindow.isEnabled());
}

void TestBoardChooser::boardButtonOpensControlWindow_data()
{
    QTest::addColumn<int>("board");
    QTest::newRow("board 1") << 1;
    QTest::newRow("board 4") << 4;
    QTest::newRow("board 6") << 6;
}

void TestBoardChooser::boardButtonOpensControlWindow()
{
    QFETCH(int, board);
    testsupport::ConsoleFixture f;
    QWidget mainWindow;
    f.context.mainWindow = &mainWindow;
    f.feed(boardtest::boardReport({255, 255, 255, 255, 255, 255}, {}));
    QPointer<BoardChooserDialog> chooser = new BoardChooserDialog(f.context, kFast);
    chooser->show();

    boardButton(chooser, board)->click();
    flushDeletes();
    QVERIFY(chooser.isNull());
    QCOMPARE(f.state.selectedBoard(), board);
    QPointer<daughterboards::BoardDialog> control =
        boardtest::topLevel<daughterboards::BoardDialog>(QStringLiteral("RDB"));
    QVERIFY(control);
    QVERIFY(control->isVisible());
    QCOMPARE(control->board(), board);
    QCOMPARE(control->windowTitle(), QStringLiteral("Relay Daughter Board %1").arg(board));
    QVERIFY2(!mainWindow.isEnabled(), "the main window stays disabled while RDB is open");

    control->close();
    flushDeletes();
    QVERIFY(control.isNull());
    QVERIFY(mainWindow.isEnabled());
}

void TestBoardChooser::registeredForDaughterBoardButton()
{
    testsupport::ConsoleFixture f;
    QWidget mainWindow;
    f.context.mainWindow = &mainWindow;
    QVERIFY(!f.dialogs.has(core::DialogId::DaughterBoards));
    daughterboards::registerBoardDialogs(f.dialogs, kFast);
    QVERIFY(f.dialogs.has(core::DialogId::DaughterBoards));

    QPointer<QWidget> opened = f.dialogs.open(core::DialogId::DaughterBoards, f.context);
    QVERIFY(opened);
    QVERIFY(qobject_cast<BoardChooserDialog*>(opened.data()));
    QVERIFY(opened->isVisible());
    QVERIFY(!mainWindow.isEnabled());
    QCOMPARE(opened->findChild<QTimer*>(QStringLiteral("Timer1"))->interval(), kFast.chooserRefreshMs);
    opened->close();
    flushDeletes();
    QVERIFY(mainWindow.isEnabled());
}

QTEST_MAIN(TestBoardChooser)
#include "tst_boardchooser.moc"
