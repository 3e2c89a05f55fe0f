#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "boardtestsupport.h"
#include "gui/boards/boardscriptingdialog.h"

using namespace kestavo;
using boardtest::bytes;
using daughterboards::BoardScriptingDialog;
using daughterboards::BoardTimings;

namespace {

constexpr BoardTimings kFast{10, 10, 5, 20};

QStringList split(const QString& lines)
{
    return lines.isEmpty() ? QStringList() : lines.split(QLatin1Char(';'));
}

/// Kind-20 reply: sixteen descriptions, space-padded to 16, at 15 + 16 k.
QByteArray listingReply(const QStringList& descriptions)
{
    testsupport::ReplyBuilder reply(270, 20);
    for (int slot = 0; slot < 16; ++slot) {
        const QString text = slot < descriptions.size() ? descriptions[slot] : QString();
        reply.text(std::size_t(15 + 16 * slot), text.leftJustified(16, QLatin1Char(' '), true).toStdString());
    }
    return reply.bytes();
}

/// Kind-21 reply: slot k's step codes at 15 + 16 k.
QByteArray contentsReply(const QMap<int, QList<int>>& codesBySlot)
{
    testsupport::ReplyBuilder reply(270, 21);
    for (auto it = codesBySlot.cbegin(); it != codesBySlot.cend(); ++it) {
        for (qsizetype step = 0; step < it.value().size(); ++step)
            reply.at(std::size_t(15 + 16 * (it.key() - 1) + step), it.value()[step]);
    }
    return reply.bytes();
}

QStringList lines(const QListWidget* list)
{
    QStringList out;
    for (int row = 0; row < list->count(); ++row)
        out << list->item(row)->text();
    return out;
}

/// A started console (quiet poll) and the script window opened from a stand-in for RDB.
struct Bench
{
    explicit Bench(BoardTimings timings = kFast)
    {
        fixture.context.mainWindow = &mainWindow;
        mainWindow.setEnabled(false); // RDB holds it
        started = boardtest::startQuietly(fixture);
        dialog = new BoardScriptingDialog(fixture.context, &boardWindow, timings);
        dialog->show();
        started = started && fixture.peer.waitFrames(1);
    }
    ~Bench() { delete dialog.data(); }
    template <typename T = QPushButton> T* control(const QString& name)
    {
        return dialog->findChild<T*>(name);
    }
    QListWidget* list(const char* name) { return control<QListWidget>(QString::fromLatin1(name)); }
    /// The listing and then the contents arrive, as after opening.
    bool deliver(const QStringList& descriptions, const QMap<int, QList<int>>& codes)
    {
        fixture.feed(listingReply(descriptions));
        if (!QTest::qWaitFor([this] { return !boardtest::framesWithOpcode(fixture.peer, 'T').isEmpty(); },
                             2000))
            return false;
        fixture.feed(contentsReply(codes));
        return dialog->contentsShown();
    }
    QList<QByteArray> sent(char opcode) { return boardtest::framesWithOpcode(fixture.peer, opcode); }
    bool mainButtonsEnabled()
    {
        for (const char* name : {"Command1", "Command2", "Command3", "Command4"})
            if (!control(QString::fromLatin1(name))->isEnabled())
                return false;
        return true;
    }
    bool mainButtonsDisabled()
    {
        for (const char* name : {"Command1", "Command2", "Command3", "Command4"})
            if (control(QString::fromLatin1(name))->isEnabled())
                return false;
        return true;
    }

    testsupport::ConsoleFixture fixture;
    QWidget mainWindow;
    QWidget boardWindow;
    bool started = false;
    QPointer<BoardScriptingDialog> dialog;
};

} // namespace

class TestBoardScripting : public QObject
{
    Q_OBJECT

private slots:
    void controls();
    void caption_data();
    void caption();
    void openingAndRefreshAskForListing();
    void listingThenContentsRequest();
    void contentsShown_data();
    void contentsShown();
    void slotClicksShowContentsOnlyOnceDelivered();
    void otherIndicatorValuesLeftAlone();
    void boardSelector_data();
    void boardSelector();
    void sixteenStepsAtMost();
    void stepClickRemovesIt();
    void upload_data();
    void upload();
    void uploadRefused_data();
    void uploadRefused();
    void uploadCancelled();
    void execute_data();
    void execute();
    void executeRefused_data();
    void executeRefused();
    void closingShowsBoardWindow_data();
    void closingShowsBoardWindow();
};

void TestBoardScripting::controls()
{
    Bench b;
    QCOMPARE(b.dialog->objectName(), QStringLiteral("RDBrelayScripting"));
    auto* boardBox = b.control<QComboBox>(QStringLiteral("Combo1"));
    QCOMPARE(boardBox->currentText(), QStringLiteral("RDB 1 Commands"));
    QCOMPARE(boardBox->count(), 6);
    QCOMPARE(boardBox->itemText(0), QStringLiteral("Relay Board 1 Commands"));
    QCOMPARE(boardBox->itemText(5), QStringLiteral("Relay Board 6 Commands"));
    const QStringList palette = lines(b.list("List3"));
    QCOMPARE(palette.size(), 26);
    QCOMPARE(palette.first(), QStringLiteral("RDB1 Relay 1 NC"));
    QCOMPARE(palette[15], QStringLiteral("RDB1 Light OFF"));
    QCOMPARE(palette.last(), QStringLiteral("Wait 10 Seconds"));
    QVERIFY(b.list("List2") && b.list("List1"));
    QCOMPARE(b.control<QLabel>(QStringLiteral("Label17"))->text(), QStringLiteral("Script"));
    const QList<QPair<const char*, const char*>> buttons{
        {"Command1", "Execute"}, {"Command2", "Upload"}, {"Command3", "Refresh"}, {"Command4", "Close"},
        {"Command5", "OK"},      {"Command6", "Cancel"}, {"Command8", "YES"},     {"Command7", "NO"}};
    for (const auto& [name, caption] : buttons)
        QCOMPARE(b.control(QString::fromLatin1(name))->text(), QString::fromLatin1(caption));
    QCOMPARE(b.control<QLineEdit>(QStringLiteral("Text1"))->maxLength(), 16);
    QVERIFY(!b.control<QWidget>(QStringLiteral("Picture1"))->isVisible());
    QVERIFY(!b.control<QWidget>(QStringLiteral("Picture2"))->isVisible());
    QStringList labels;
    for (QLabel* label : b.dialog->findChildren<QLabel*>())
        labels << label->text();
    for (const char* text : {"Enter a script Description", "16 characters max.", "Are you sure you want to",
                             "Execute a relay script"})
        QVERIFY2(labels.contains(QString::fromLatin1(text)), text);
    auto* timer = b.control<QTimer>(QStringLiteral("Timer2"));
    QVERIFY(timer->isSingleShot());
    QVERIFY(!timer->isActive());
    QCOMPARE(timer->interval(), kFast.contentsDelayMs);
    QCOMPARE(BoardScriptingDialog(b.fixture.context, nullptr)
                 .findChild<QTimer*>(QStringLiteral("Timer2"))
                 ->interval(),
             250);
    for (QWidget* w : b.dialog->findChildren<QWidget*>()) {
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
}

void TestBoardScripting::caption_data()
{
    QTest::addColumn<QString>("stationBox"); // empty: the main window has none
    QTest::newRow("station box of the main window") << QStringLiteral("127.0.0.1         Pump house");
    QTest::newRow("no station box: current station record") << QString();
}

void TestBoardScripting::caption()
{
    QFETCH(QString, stationBox);
    testsupport::ConsoleFixture f;
    QWidget mainWindow;
    if (!stationBox.isEmpty()) {
        auto* box = new QComboBox(&mainWindow);
        box->setObjectName(QStringLiteral("Combo1"));
        box->setEditable(true);
        box->setEditText(stationBox);
    }
    f.context.mainWindow = &mainWindow;
    BoardScriptingDialog dialog(f.context, nullptr);
    const QString expected = stationBox.isEmpty() ? f.store.ips() : stationBox;
    QVERIFY(!expected.isEmpty());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Relay Scripting     ") + expected);
}

void TestBoardScripting::openingAndRefreshAskForListing()
{
    Bench b;
    QVERIFY(b.started);
    const QByteArray listing = boardtest::frameHead(b.fixture, 'S') + QByteArray(255, '*');
    QCOMPARE(b.sent('S'), QList<QByteArray>{listing});
    QCOMPARE(b.fixture.session.sent(), 2); // start frame and the listing request
    QVERIFY(!b.dialog->contentsShown());

    QVERIFY(b.deliver({QStringLiteral("Lights")}, {{1, {0x20}}}));
    QCOMPARE(b.list("List1")->count(), 16);
    QCOMPARE(b.list("List2")->count(), 1);

    b.control(QStringLiteral("Command3"))->click();
    QVERIFY(!b.dialog->contentsShown());
    QCOMPARE(b.list("List1")->count(), 0);
    QCOMPARE(b.list("List2")->count(), 0);
    QVERIFY(b.fixture.peer.waitFrames(3));
    QCOMPARE(b.sent('S'), (QList<QByteArray>{listing, listing}));
}

void TestBoardScripting::listingThenContentsRequest()
{
    BoardTimings timings = kFast;
    timings.contentsDelayMs = 40;
    Bench b(timings);
    QVERIFY(b.started);
    QSignalSpy sent(&b.fixture.session, &core::Session::frameSent);
    QStringList descriptions;
    for (int slot = 1; slot <= 16; ++slot)
        descriptions << QStringLiteral("Script %1").arg(slot);

    b.fixture.feed(listingReply(descriptions));

    QCOMPARE(b.fixture.state.replyIndicator(), 0);
    QStringList expected;
    for (const QString& d : descriptions)
        expected << d.leftJustified(16);
    QCOMPARE(lines(b.list("List1")), expected);
    QCOMPARE(b.list("List1")->currentRow(), 0);
    auto* timer = b.control<QTimer>(QStringLiteral("Timer2"));
    QVERIFY(timer->isActive());
    QCOMPARE(sent.size(), 0); // not at once: Timer2 sends it
    QVERIFY(sent.wait(2000));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().first().toByteArray(), boardtest::frameHead(b.fixture, 'T') + QByteArray(255, '*'));
    QVERIFY(!timer->isActive());
    QVERIFY(!b.dialog->contentsShown());
}

void TestBoardScripting::contentsShown_data()
{
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QString>("shown");

    QTest::newRow("light, wait, light")
        << QList<int>{0xB7, 0x03, 0x37} << "RDB2 Light OFF;RDB Wait 3 Seconds;RDB2 Light ON";
    QTest::newRow("one second") << QList<int>{0x01} << "RDB Wait 1 Second";
    QTest::newRow("ten seconds") << QList<int>{0x0A} << "RDB Wait 10 Seconds";
    QTest::newRow("empty and unknown codes skipped")
        << QList<int>{0x00, 0x20, 0x00, 0xFF, 0x0B, 0x18, 0xA6} << "RDB1 Relay 1 NC;RDB1 Output OFF";
    QTest::newRow("board edges") << QList<int>{0xA0, 0x75, 0xF7, 0xC4}
                                 << "RDB1 Relay 1 NO;RDB6 Relay 6 NC;RDB6 Light OFF;RDB3 Relay 5 NO";
    QTest::newRow("nothing stored") << QList<int>{} << "";
}

void TestBoardScripting::contentsShown()
{
    QFETCH(QList<int>, codes);
    QFETCH(QString, shown);

    Bench b;
    QVERIFY(b.started);
    b.list("List2")->addItem(QStringLiteral("being edited"));
    QVERIFY(b.deliver({QStringLiteral("Garden")}, {{1, codes}, {2, {0x21}}}));
    QCOMPARE(b.fixture.state.replyIndicator(), 0);
    QCOMPARE(lines(b.list("List2")), split(shown));
    QCOMPARE(b.control<QLabel>(QStringLiteral("Label17"))->text(), QStringLiteral("Garden          "));
}

void TestBoardScripting::slotClicksShowContentsOnlyOnceDelivered()
{
    Bench b;
    QVERIFY(b.started);
    b.fixture.feed(listingReply({QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")}));
    boardtest::clickLine(b.list("List3"), QStringLiteral("RDB1 Light ON"));
    boardtest::clickLine(b.list("List1"), 2);
    QCOMPARE(b.list("List1")->currentRow(), 2);
    QCOMPARE(lines(b.list("List2")), QStringList{QStringLiteral("RDB1 Light ON")});
    QCOMPARE(b.control<QLabel>(QStringLiteral("Label17"))->text(), QStringLiteral("Script"));

    QTRY_VERIFY(!b.sent('T').isEmpty());
    b.fixture.feed(contentsReply({{1, {0x27}}, {3, {0x36, 0x05, 0xB6}}}));
    // The selected slot (3) is shown as soon as the contents arrive.
    QCOMPARE(lines(b.list("List2")),
             (QStringList{QStringLiteral("RDB2 Output ON"), QStringLiteral("RDB Wait 5 Seconds"),
                          QStringLiteral("RDB2 Output OFF")}));
    QCOMPARE(b.control<QLabel>(QStringLiteral("Label17"))->text(), QStringLiteral("Three           "));
    boardtest::clickLine(b.list("List1"), 0);
    QCOMPARE(lines(b.list("List2")), QStringList{QStringLiteral("RDB1 Light ON")});
    QCOMPARE(b.control<QLabel>(QStringLiteral("Label17"))->text(), QStringLiteral("One             "));
    // A click on the line already selected shows it again, replacing the edited steps.
    boardtest::clickLine(b.list("List3"), QStringLiteral("Wait 2 Seconds"));
    QCOMPARE(b.list("List2")->count(), 2);
    boardtest::clickLine(b.list("List1"), 0);
    QCOMPARE(lines(b.list("List2")), QStringList{QStringLiteral("RDB1 Light ON")});
}

void TestBoardScripting::otherIndicatorValuesLeftAlone()
{
    Bench b;
    QVERIFY(b.started);
    for (int value : {1, 4, 7}) {
        b.fixture.state.setReplyIndicator(value);
        QCOMPARE(b.fixture.state.replyIndicator(), value);
    }
    QCOMPARE(b.list("List1")->count(), 0);
    QVERIFY(!b.dialog->contentsShown());
}

void TestBoardScripting::boardSelector_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("chosen"); // from the list, or typed
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<QString>("sixteenthLine");

    QTest::newRow("board 4 chosen") << "Relay Board 4 Commands" << true << "RDB4 Relay 1 NC"
                                    << "RDB4 Light OFF";
    QTest::newRow("board 6 chosen") << "Relay Board 6 Commands" << true << "RDB6 Relay 1 NC"
                                    << "RDB6 Light OFF";
    QTest::newRow("board 2 typed") << "Relay Board 2 Commands" << false << "RDB2 Relay 1 NC"
                                   << "RDB2 Light OFF";
    QTest::newRow("board 7 typed: unchanged") << "Relay Board 7 Commands" << false << "RDB1 Relay 1 NC"
                                              << "RDB1 Light OFF";
    QTest::newRow("short form typed: unchanged") << "RDB 3 Commands" << false << "RDB1 Relay 1 NC"
                                                 << "RDB1 Light OFF";
}

void TestBoardScripting::boardSelector()
{
    QFETCH(QString, text);
    QFETCH(bool, chosen);
    QFETCH(QString, firstLine);
    QFETCH(QString, sixteenthLine);

    Bench b;
    auto* box = b.control<QComboBox>(QStringLiteral("Combo1"));
    if (chosen) {
        box->setCurrentIndex(box->findText(text));
    } else {
        box->lineEdit()->clear();
        QTest::keyClicks(box->lineEdit(), text);
    }
    const QStringList palette = lines(b.list("List3"));
    QCOMPARE(palette.size(), 26);
    QCOMPARE(palette[0], firstLine);
    QCOMPARE(palette[15], sixteenthLine);
    QCOMPARE(palette[16], QStringLiteral("Wait 1 Second"));
}

void TestBoardScripting::sixteenStepsAtMost()
{
    Bench b;
    QListWidget* palette = b.list("List3");
    for (int i = 0; i < 16; ++i)
        boardtest::clickLine(palette, i % palette->count());
    QCOMPARE(b.list("List2")->count(), 16);
    QCOMPARE(b.fixture.prompter.calls().size(), 0);

    boardtest::clickLine(palette, QStringLiteral("Wait 4 Seconds"));
    QCOMPARE(b.list("List2")->count(), 16);
    QCOMPARE(b.fixture.prompter.lastText(), QStringLiteral("Script Full !"));
    QVERIFY(!lines(b.list("List2")).contains(QStringLiteral("Wait 4 Seconds")));
}

void TestBoardScripting::stepClickRemovesIt()
{
    Bench b;
    for (const char* text : {"RDB1 Relay 3 NO", "Wait 2 Seconds", "RDB1 Light ON"})
        boardtest::clickLine(b.list("List3"), QString::fromLatin1(text));
    boardtest::clickLine(b.list("List2"), 1);
    QCOMPARE(lines(b.list("List2")),
             (QStringList{QStringLiteral("RDB1 Relay 3 NO"), QStringLiteral("RDB1 Light ON")}));
}

void TestBoardScripting::upload_data()
{
    QTest::addColumn<int>("board");
    QTest::addColumn<QString>("clicked"); // palette lines
    QTest::addColumn<QString>("shown");   // lines already in the step list, as shown from a slot
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QByteArray>("codes"); // the used steps; the rest must be 0x00

    QTest::newRow("three steps into slot 3") << 2 << "RDB2 Light OFF;Wait 3 Seconds;RDB2 Light ON"
                                             << "" << 3 << "Pumps" << bytes({0xB7, 0x03, 0x37});
    QTest::newRow("empty step list into slot 1") << 1 << ""
                                                 << "" << 1 << "Nothing" << QByteArray();
    QTest::newRow("sixteen-character description, slot 16")
        << 6 << "RDB6 Relay 6 NC;RDB6 Light OFF"
        << "" << 16 << "ABCDEFGHIJKLMNOP" << bytes({0x75, 0xF7});
    QTest::newRow("shown wait keeps its code")
        << 1 << "RDB1 Relay 1 NO"
        << "RDB Wait 5 Seconds;RDB Wait 1 Second" << 2 << "Mixed" << bytes({0x05, 0x01, 0xA0});
    QTest::newRow("lines trimmed before matching")
        << 1 << ""
        << "  Wait 6 Seconds ; RDB3 Relay 5 NO" << 9 << "Trim" << bytes({0x06, 0xC4});
    QTest::newRow("all sixteen steps")
        << 1
        << "Wait 1 Second;Wait 2 Seconds;Wait 3 Seconds;Wait 4 Seconds;Wait 5 Seconds;Wait 6 Seconds;"
           "Wait 7 Seconds;Wait 8 Seconds;Wait 9 Seconds;Wait 10 Seconds;RDB1 Relay 1 NC;RDB1 Relay 1 NO;"
           "RDB1 Output ON;RDB1 Output OFF;RDB1 Light ON;RDB1 Light OFF"
        << "" << 4 << "Everything"
        << bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x20, 0xA0, 0x26, 0xA6, 0x27, 0xA7});
}

void TestBoardScripting::upload()
{
    QFETCH(int, board);
    QFETCH(QString, clicked);
    QFETCH(QString, shown);
    QFETCH(int, slot);
    QFETCH(QString, description);
    QFETCH(QByteArray, codes);

    Bench b;
    QVERIFY(b.started);
    b.fixture.feed(listingReply({}));
    auto* boardBox = b.control<QComboBox>(QStringLiteral("Combo1"));
    boardBox->setCurrentIndex(board - 1);
    for (const QString& line : split(shown))
        b.list("List2")->addItem(line);
    for (const QString& line : split(clicked))
        boardtest::clickLine(b.list("List3"), line);
    boardtest::clickLine(b.list("List1"), slot - 1);
    QTRY_VERIFY(!b.sent('T').isEmpty());
    b.fixture.peer.clear();
    const int sentBefore = b.fixture.session.sent();

    b.control(QStringLiteral("Command2"))->click();
    QVERIFY(b.control<QWidget>(QStringLiteral("Picture1"))->isVisible());
    QVERIFY(!b.control<QWidget>(QStringLiteral("Picture2"))->isVisible());
    QVERIFY(b.mainButtonsDisabled());
    QTest::keyClicks(b.control<QLineEdit>(QStringLiteral("Text1")), description);
    b.control(QStringLiteral("Command5"))->click();

    QVERIFY(b.fixture.peer.waitFrames(1));
    QByteArray stepCodes = codes;
    stepCodes.append(QByteArray(16 - codes.size(), '\0'));
    const QByteArray expected = boardtest::frameHead(b.fixture, 'U') + bytes({(slot - 1) * 16}) +
                                description.toLatin1().leftJustified(16, ' ') + stepCodes +
                                QByteArray(247, '*');
    QCOMPARE(expected.size(), 300);
    QCOMPARE(b.fixture.peer.frames(), QList<QByteArray>{expected});
    QCOMPARE(b.fixture.session.sent(), sentBefore + 1);
    QVERIFY(!b.control<QWidget>(QStringLiteral("Picture1"))->isVisible());
    QVERIFY(b.mainButtonsEnabled());
    QCOMPARE(b.fixture.prompter.calls().size(), 0);
}

void TestBoardScripting::uploadRefused_data()
{
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QString>("step"); // a line already in the step list
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("panelStays");
    QTest::addColumn<bool>("buttonsEnabled");

    QTest::newRow("empty description") << true << ""
                                       << ""
                                       << "Enter a Script Description!" << true << false;
    QTest::newRow("no slot listed yet") << false << ""
                                        << "Lights"
                                        << "Some weird error 1!" << true << true;
    QTest::newRow("description without a byte")
        << true << "" << QString::fromUtf8("Pump \u20AC1")
        << QString::fromUtf8("The description \"Pump \u20AC1\" holds a character the unit cannot store (it "
                             "takes Latin-1 letters, digits and signs only). Change the description and "
                             "press OK again.")
        << true << false;
    QTest::newRow("step without a code") << true << "RDB7 Relay 9 NC"
                                         << "Lights"
                                         << "The step \"RDB7 Relay 9 NC\" is not one the unit knows. Remove "
                                            "it from the script and press OK again."
                                         << true << false;
}

void TestBoardScripting::uploadRefused()
{
    QFETCH(bool, listed);
    QFETCH(QString, step);
    QFETCH(QString, description);
    QFETCH(QString, message);
    QFETCH(bool, panelStays);
    QFETCH(bool, buttonsEnabled);

    Bench b;
    QVERIFY(b.started);
    if (listed)
        b.fixture.feed(listingReply({}));
    boardtest::clickLine(b.list("List3"), 0);
    if (!step.isEmpty())
        b.list("List2")->addItem(step);
    b.control(QStringLiteral("Command2"))->click();
    b.control<QLineEdit>(QStringLiteral("Text1"))->setText(description);
    QSignalSpy sent(&b.fixture.session, &core::Session::frameSent);

    b.control(QStringLiteral("Command5"))->click();

    QCOMPARE(b.fixture.prompter.texts(), QStringList{message});
    QCOMPARE(b.fixture.prompter.lastCall().title, QStringLiteral("KSV172"));
    QVERIFY(std::none_of(sent.cbegin(), sent.cend(), [](const QList<QVariant>& args) {
        return args.first().toByteArray().at(9) == 'U';
    }));
    QCOMPARE(b.control<QWidget>(QStringLiteral("Picture1"))->isVisible(), panelStays);
    QCOMPARE(b.mainButtonsEnabled(), buttonsEnabled);
}

void TestBoardScripting::uploadCancelled()
{
    Bench b;
    b.fixture.feed(listingReply({}));
    b.control(QStringLiteral("Command2"))->click();
    QTest::keyClicks(b.control<QLineEdit>(QStringLiteral("Text1")), QStringLiteral("Never"));
    QSignalSpy sent(&b.fixture.session, &core::Session::frameSent);
    b.control(QStringLiteral("Command6"))->click();
    QVERIFY(!b.control<QWidget>(QStringLiteral("Picture1"))->isVisible());
    QVERIFY(!b.control<QWidget>(QStringLiteral("Picture2"))->isVisible());
    QVERIFY(b.mainButtonsEnabled());
    QCOMPARE(sent.size(), 0);
}

void TestBoardScripting::execute_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("code");
    QTest::newRow("slot 16") << 16 << 0xF0;
    QTest::newRow("slot 1") << 1 << 0x00;
    QTest::newRow("slot 9") << 9 << 0x80;
}

void TestBoardScripting::execute()
{
    QFETCH(int, slot);
    QFETCH(int, code);

    Bench b;
    QVERIFY(b.started);
    b.boardWindow.hide();
    b.fixture.feed(listingReply({}));
    boardtest::clickLine(b.list("List3"), QStringLiteral("RDB1 Relay 2 NC"));
    boardtest::clickLine(b.list("List1"), slot - 1);
    QTRY_VERIFY(!b.sent('T').isEmpty());
    b.fixture.peer.clear();
    const int sentBefore = b.fixture.session.sent();

    b.control(QStringLiteral("Command1"))->click();
    QCOMPARE(b.control<QLabel>(QStringLiteral("Label20"))->text(),
             QStringLiteral("in Slot # %1 ?").arg(slot));
    QVERIFY(b.control<QWidget>(QStringLiteral("Picture2"))->isVisible());
    QVERIFY(!b.control<QWidget>(QStringLiteral("Picture1"))->isVisible());
    QVERIFY(b.mainButtonsDisabled());
    b.control(QStringLiteral("Command8"))->click();

    QVERIFY(b.fixture.peer.waitFrames(1));
    const QByteArray frame = b.fixture.peer.lastFrame();
    QCOMPARE(frame.size(), 177);
    QCOMPARE(frame.left(176), boardtest::frameHead(b.fixture, 'V') + bytes({code}) + QByteArray(155, '*'));
    QCOMPARE(b.fixture.session.sent(), sentBefore + 1);
    QTRY_VERIFY(b.dialog.isNull());
    QTRY_VERIFY(b.boardWindow.isVisible());
}

void TestBoardScripting::executeRefused_data()
{
    QTest::addColumn<bool>("listed");
    QTest::addColumn<bool>("withSteps");
    QTest::addColumn<QString>("answer"); // "YES" / "NO"; empty when the question is not asked
    QTest::addColumn<QString>("message");

    QTest::newRow("empty step list") << true << false << "Command8"
                                     << "Make a Script First!";
    QTest::newRow("no slot") << false << true << ""
                             << "Some weird error 1!";
    QTest::newRow("answered NO") << true << true << "Command7"
                                 << "";
}

void TestBoardScripting::executeRefused()
{
    QFETCH(bool, listed);
    QFETCH(bool, withSteps);
    QFETCH(QString, answer);
    QFETCH(QString, message);

    Bench b;
    QVERIFY(b.started);
    if (listed)
        b.fixture.feed(listingReply({}));
    if (withSteps)
        boardtest::clickLine(b.list("List3"), 0);
    QSignalSpy sent(&b.fixture.session, &core::Session::frameSent);

    b.control(QStringLiteral("Command1"))->click();
    QCOMPARE(b.control<QWidget>(QStringLiteral("Picture2"))->isVisible(), !answer.isEmpty());
    if (!answer.isEmpty())
        b.control(answer)->click();

    QCOMPARE(b.fixture.prompter.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(std::none_of(sent.cbegin(), sent.cend(), [](const QList<QVariant>& args) {
        return args.first().toByteArray().at(9) == 'V';
    }));
    QVERIFY(!b.dialog.isNull());
    QVERIFY(b.dialog->isVisible());
    QVERIFY(!b.control<QWidget>(QStringLiteral("Picture1"))->isVisible());
    QVERIFY(!b.control<QWidget>(QStringLiteral("Picture2"))->isVisible());
    QVERIFY(b.mainButtonsEnabled());
}

void TestBoardScripting::closingShowsBoardWindow_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Close") << "Close";
    QTest::newRow("close box") << "box";
    QTest::newRow("Escape") << "Escape";
}

void TestBoardScripting::closingShowsBoardWindow()
{
    QFETCH(QString, how);
    Bench b;
    b.boardWindow.hide();
    if (how == QLatin1String("Close"))
        b.control(QStringLiteral("Command4"))->click();
    else if (how == QLatin1String("box"))
        QVERIFY(b.dialog->close());
    else
        QTest::keyClick(b.dialog, Qt::Key_Escape);
    QTRY_VERIFY(b.dialog.isNull());
    QTRY_VERIFY(b.boardWindow.isVisible());
    QVERIFY2(!b.mainWindow.isEnabled(), "the board window still holds the main window");
}

QTEST_MAIN(TestBoardScripting)
#include "tst_boardscripting.moc"
