#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include "protocol/bytebuilder.h"

#include "automationharness.h"
#include "gui/automation/relayscriptingdialog.h"

using kestavo::automation::RelayScriptingDialog;
using kestavo::test::AutomationHarness;
using kestavo::test::ByteBuilder;
using kestavo::test::strings;

using Slots = QList<QPair<QString, QString>>;

class TestRelayScripting : public QObject
{
    Q_OBJECT

private:
    // Opens the dialog on a running session and answers its read request with `table`.
    RelayScriptingDialog* open(AutomationHarness& h, const Slots& table)
    {
        auto* dialog = new RelayScriptingDialog(h.fixture.context);
        dialog->show();
        if (!table.isEmpty())
            h.feedSlots(table);
        return dialog;
    }
    static Slots emptySlots() { return Slots(8, {QString(), QString()}); }
    void click(QWidget* dialog, const char* name)
    {
        auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
        QVERIFY2(button, name);
        QVERIFY2(button->isVisible() && button->isEnabled(), name);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    static QList<bool> mainButtonStates(QWidget* dialog)
    {
        QList<bool> states;
        for (const char* name : {"Refresh", "Close", "UploadScript", "ExecuteScript"})
            states.append(dialog->findChild<QPushButton*>(QString::fromLatin1(name))->isEnabled());
        return states;
    }
    static QStringList visiblePanels(QWidget* dialog)
    {
        QStringList shown;
        for (const char* name : {"UploadPanel", "ExecutePanel", "DescriptionPanel", "EmptyScriptPanel",
                                 "FullScriptPanel", "NoDescriptionPanel"}) {
            if (dialog->findChild<QWidget*>(QString::fromLatin1(name))->isVisible())
                shown.append(QString::fromLatin1(name));
        }
        return shown;
    }

private Q_SLOTS:
    void opening_data();
    void opening();
    void caption_data();
    void caption();
    void uploadFrame_data();
    void uploadFrame();
    void descriptionBox_data();
    void descriptionBox();
    void panelFlows_data();
    void panelFlows();
    void fullScript_data();
    void fullScript();
    void noSlotChosen_data();
    void noSlotChosen();
    void executeFrame_data();
    void executeFrame();
    void slotTableDuringQuestion_data();
    void slotTableDuringQuestion();
    void slotTableWhileEditing_data();
    void slotTableWhileEditing();
    void refreshEmptiesAndAsks();
    void tableFromBeforeOpening();
};

void TestRelayScripting::opening_data()
{
    QTest::addColumn<QString>("closeBy");
    QTest::newRow("Close button") << QStringLiteral("Close");
    QTest::newRow("close box") << QStringLiteral("closeBox");
    QTest::newRow("Escape") << QStringLiteral("Escape");
}

void TestRelayScripting::opening()
{
    QFETCH(QString, closeBy);
    AutomationHarness h;
    QVERIFY(h.start());
    const int sentBefore = h.fixture.session.sent();
    QPointer<RelayScriptingDialog> dialog = open(h, {});

    QCOMPARE(dialog->objectName(), QStringLiteral("RelayScripting"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Relay Scripting     ") + h.fixture.stationEntry());
    QVERIFY(!h.mainWindow.isEnabled());
    QCOMPARE(
        AutomationHarness::texts(h.child<QListWidget>(dialog, "List3")),
        strings({"Relay 1 ON", "Relay 1 OFF", "Relay 2 ON", "Relay 2 OFF", "Relay 3 ON", "Relay 3 OFF",
                 "Wait 1 Second", "Wait 2 Seconds", "Wait 3 Seconds", "Wait 4 Seconds", "Wait 5 Seconds"}));
    QVERIFY(h.waitFrames('L'));
    QCOMPARE(h.frames('L').first(), QByteArray(ByteBuilder().text(h.head('L').toStdString()).stars(255)));
    QCOMPARE(h.fixture.session.sent(), sentBefore + 1);
    QCOMPARE(h.child<QListWidget>(dialog, "List1")->count(), 0);
    QCOMPARE(visiblePanels(dialog), QStringList());

    if (closeBy == QLatin1String("Close"))
        click(dialog, "Close");
    else if (closeBy == QLatin1String("Escape"))
        QTest::keyClick(dialog, Qt::Key_Escape);
    else
        dialog->close();
    QTRY_VERIFY(dialog.isNull());
    QVERIFY(h.mainWindow.isEnabled());
}

void TestRelayScripting::caption_data()
{
    QTest::addColumn<QString>("stationBox"); // empty: the main window has no station box
    // Typed into the station box, or a second station at the same address: the box's text is not
    // the entry of the station record the session moved to.
    QTest::newRow("address typed into the station box") << QStringLiteral("127.0.0.1");
    QTest::newRow("another entry of the same address") << QStringLiteral("127.0.0.1         Pump house");
    QTest::newRow("no station box: current station record") << QString();
}

void TestRelayScripting::caption()
{
    QFETCH(QString, stationBox);
    AutomationHarness h;
    QVERIFY(h.start());
    if (!stationBox.isEmpty()) {
        auto* box = new QComboBox(&h.mainWindow);
        box->setObjectName(QStringLiteral("Combo1"));
        box->setEditable(true);
        box->setEditText(stationBox);
        QVERIFY(stationBox != h.fixture.stationEntry());
    }
    const QString expected = stationBox.isEmpty() ? h.fixture.stationEntry() : stationBox;
    QPointer<RelayScriptingDialog> dialog = open(h, {});
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Relay Scripting     ") + expected);
    delete dialog;
}

void TestRelayScripting::uploadFrame_data()
{
    QTest::addColumn<QList<int>>("paletteRows");
    QTest::addColumn<int>("slotRow");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("payload"); // positions 21-53

    QTest::newRow("16 steps leave no space, slot 8")
        << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 2, 4, 10, 1} << 7 << QStringLiteral("Night")
        << QByteArray(ByteBuilder().bytes({0xE0}).text("123456789AB135B2").text("Night").repeat(' ', 11));
    QTest::newRow("1 step and 15 spaces, slot 1")
        << QList<int>{6} << 0 << QStringLiteral("W")
        << QByteArray(ByteBuilder().bytes({0x00}).text("7").repeat(' ', 15).text("W").repeat(' ', 15));
    QTest::newRow("15-character description and one space, slot 3")
        << QList<int>{4, 10, 5} << 2 << QStringLiteral("Garden pump 123")
        << QByteArray(ByteBuilder().bytes({0x40}).text("5B6").repeat(' ', 13).text("Garden pump 123 "));
    QTest::newRow("typing stops at 15 characters, slot 5")
        << QList<int>{3} << 4 << QStringLiteral("Front door lock!!")
        << QByteArray(ByteBuilder().bytes({0x80}).text("4").repeat(' ', 15).text("Front door lock "));
}

void TestRelayScripting::uploadFrame()
{
    QFETCH(QList<int>, paletteRows);
    QFETCH(int, slotRow);
    QFETCH(QString, typed);
    QFETCH(QByteArray, payload);

    AutomationHarness h;
    QVERIFY(h.start());
    QPointer<RelayScriptingDialog> dialog = open(h, emptySlots());
    auto* slotList = h.child<QListWidget>(dialog, "List1");
    auto* palette = h.child<QListWidget>(dialog, "List3");
    QCOMPARE(slotList->count(), 8);
    AutomationHarness::clickRow(slotList, slotRow);
    for (int row : paletteRows)
        AutomationHarness::clickRow(palette, row);
    QCOMPARE(h.child<QListWidget>(dialog, "List2")->count(), paletteRows.size());

    click(dialog, "UploadScript");
    QCOMPARE(visiblePanels(dialog), QStringList{QStringLiteral("UploadPanel")});
    QCOMPARE(
        h.child<QLabel>(dialog, "UploadPanelText")->text(),
        QStringLiteral("Are you sure that you want to Upload this Script to Slot # %1 ?").arg(slotRow + 1));
    QCOMPARE(mainButtonStates(dialog), QList<bool>(4, false));
    click(dialog, "UploadYes");
    QCOMPARE(visiblePanels(dialog), QStringList{QStringLiteral("DescriptionPanel")});
    auto* description = h.child<QLineEdit>(dialog, "Text1");
    QCOMPARE(dialog->focusWidget(), description);
    QTest::keyClicks(description, typed);
    const int sentBefore = h.fixture.session.sent();
    click(dialog, "DescriptionOk");

    QVERIFY(h.waitFrames('J'));
    const QByteArray expected =
        ByteBuilder().text(h.head('J').toStdString()).text(payload.toStdString()).stars(236);
    const QByteArray frame = h.frames('J').first();
    QVERIFY2(frame == expected, qPrintable(kestavo::test::byteDifference(frame, expected)));
    QCOMPARE(frame.size(), 289);
    QCOMPARE(h.fixture.session.sent(), sentBefore + 1);
    QCOMPARE(visiblePanels(dialog), QStringList());
    QCOMPARE(mainButtonStates(dialog), QList<bool>(4, true));
    QVERIFY(dialog->isVisible()); // an upload leaves the dialog open
    delete dialog;
}

void TestRelayScripting::descriptionBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<int>>("keys"); // pressed after typing
    QTest::addColumn<QString>("retyped");
    QTest::addColumn<QString>("expected");

    const QString full = QStringLiteral("ABCDEFGHIJKLMNO");
    QTest::newRow("a 16th character is refused")
        << full + QStringLiteral("P") << QList<int>{} << QString() << full;
    QTest::newRow("Backspace works when full")
        << full << QList<int>{Qt::Key_Backspace} << QString() << QStringLiteral("ABCDEFGHIJKLMN");
    QTest::newRow("a typo at the end is corrected")
        << full << QList<int>{Qt::Key_Backspace} << QStringLiteral("Z") << QStringLiteral("ABCDEFGHIJKLMNZ");
    QTest::newRow("Delete works when full")
        << full << QList<int>{Qt::Key_Home, Qt::Key_Delete} << QString() << QStringLiteral("BCDEFGHIJKLMNO");
    QTest::newRow("two characters corrected when full")
        << full << QList<int>{Qt::Key_Backspace, Qt::Key_Backspace} << QStringLiteral("YZ")
        << QStringLiteral("ABCDEFGHIJKLMYZ");
}

void TestRelayScripting::descriptionBox()
{
    QFETCH(QString, typed);
    QFETCH(QList<int>, keys);
    QFETCH(QString, retyped);
    QFETCH(QString, expected);

    AutomationHarness h;
    QVERIFY(h.start());
    QPointer<RelayScriptingDialog> dialog = open(h, emptySlots());
    AutomationHarness::clickRow(h.child<QListWidget>(dialog, "List3"), 0);
    click(dialog, "UploadScript");
    click(dialog, "UploadYes");
    auto* description = h.child<QLineEdit>(dialog, "Text1");
    QTest::keyClicks(description, typed);
    for (int key : keys)
        QTest::keyClick(description, Qt::Key(key));
    QTest::keyClicks(description, retyped);
    QCOMPARE(description->text(), expected);
    // Select everything and type over it: a full box is still editable.
    description->selectAll();
    QTest::keyClicks(description, QStringLiteral("New"));
    QCOMPARE(description->text(), QStringLiteral("New"));
    delete dialog;
}

void TestRelayScripting::panelFlows_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("withSteps");
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QStringList>("panels");  // visible at the end
    QTest::addColumn<bool>("buttonsEnabled"); // the four main buttons at the end

    QTest::newRow("upload of an empty script")
        << "UploadScript" << false << QStringList() << strings({"EmptyScriptPanel"}) << false;
    QTest::newRow("execute of an empty script")
        << "ExecuteScript" << false << QStringList() << strings({"EmptyScriptPanel"}) << false;
    QTest::newRow("empty script, OK")
        << "UploadScript" << false << strings({"EmptyScriptOk"}) << QStringList() << true;
    QTest::newRow("upload, NO") << "UploadScript" << true << strings({"UploadNo"}) << QStringList() << true;
    QTest::newRow("upload, YES") << "UploadScript" << true << strings({"UploadYes"})
                                 << strings({"DescriptionPanel"}) << false;
    QTest::newRow("upload, YES, Cancel")
        << "UploadScript" << true << strings({"UploadYes", "DescriptionCancel"}) << QStringList() << true;
    QTest::newRow("no description") << "UploadScript" << true << strings({"UploadYes", "DescriptionOk"})
                                    << strings({"NoDescriptionPanel"}) << false;
    QTest::newRow("no description, OK returns to the description")
        << "UploadScript" << true << strings({"UploadYes", "DescriptionOk", "NoDescriptionOk"})
        << strings({"DescriptionPanel"}) << false;
    QTest::newRow("no description, OK, Cancel")
        << "UploadScript" << true
        << strings({"UploadYes", "DescriptionOk", "NoDescriptionOk", "DescriptionCancel"}) << QStringList()
        << true;
    QTest::newRow("execute, NO") << "ExecuteScript" << true << strings({"ExecuteNo"}) << QStringList()
                                 << true;
    QTest::newRow("execute question")
        << "ExecuteScript" << true << QStringList() << strings({"ExecutePanel"}) << false;
}

void TestRelayScripting::panelFlows()
{
    QFETCH(QString, start);
    QFETCH(bool, withSteps);
    QFETCH(QStringList, clicks);
    QFETCH(QStringList, panels);
    QFETCH(bool, buttonsEnabled);

    AutomationHarness h;
    QVERIFY(h.start());
    QPointer<RelayScriptingDialog> dialog = open(h, emptySlots());
    if (withSteps)
        AutomationHarness::clickRow(h.child<QListWidget>(dialog, "List3"), 2);
    const int sentBefore = h.fixture.session.sent();

    click(dialog, qPrintable(start));
    for (const QString& name : clicks)
        click(dialog, qPrintable(name));

    QCOMPARE(visiblePanels(dialog), panels);
    QCOMPARE(mainButtonStates(dialog), QList<bool>(4, buttonsEnabled));
    QCOMPARE(h.fixture.session.sent(), sentBefore);
    QVERIFY(h.frames('J').isEmpty());
    QVERIFY(h.frames('K').isEmpty());
    QCOMPARE(h.fixture.prompter.calls().size(), 0);
    QVERIFY(dialog->isVisible());
    delete dialog;
}

void TestRelayScripting::fullScript_data()
{
    QTest::addColumn<QString>("before"); // a question up when the 17th step is clicked, or none
    QTest::newRow("while composing") << QString();
    QTest::newRow("while the upload question is up") << QStringLiteral("UploadScript");
}

void TestRelayScripting::fullScript()
{
    QFETCH(QString, before);
    AutomationHarness h;
    QVERIFY(h.start());
    QPointer<RelayScriptingDialog> dialog = open(h, emptySlots());
    auto* palette = h.child<QListWidget>(dialog, "List3");
    auto* steps = h.child<QListWidget>(dialog, "List2");
    for (int i = 0; i < 16; ++i)
        AutomationHarness::clickRow(palette, i % 11);
    const QStringList sixteen = AutomationHarness::texts(steps);
    QCOMPARE(sixteen.size(), 16);
    if (!before.isEmpty())
        click(dialog, qPrintable(before));

    AutomationHarness::clickRow(palette, 10);
    QCOMPARE(AutomationHarness::texts(steps), sixteen);
    QCOMPARE(visiblePanels(dialog), QStringList{QStringLiteral("FullScriptPanel")});
    QCOMPARE(h.child<QLabel>(dialog, "FullScriptPanelHeading")->text(), QStringLiteral("ERROR !!"));
    QCOMPARE(h.child<QLabel>(dialog, "FullScriptPanelText")->text(), QStringLiteral("Script FULL !"));
    click(dialog, "FullScriptOk");
    QCOMPARE(visiblePanels(dialog), QStringList());
    QCOMPARE(mainButtonStates(dialog), QList<bool>(4, true));

    // Removing a step makes room again.
    AutomationHarness::clickRow(steps, 0);
    AutomationHarness::clickRow(palette, 10);
    QCOMPARE(steps->count(), 16);
    QCOMPARE(steps->item(15)->text(), QStringLiteral("Wait 5 Seconds"));
    QCOMPARE(steps->item(0)->text(), sixteen.at(1));
    delete dialog;
}

void TestRelayScripting::noSlotChosen_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("yes");
    QTest::addColumn<QString>("panel");
    QTest::newRow("upload") << "UploadScript"
                            << "UploadYes"
                            << "UploadPanel";
    QTest::newRow("execute") << "ExecuteScript"
                             << "ExecuteYes"
                             << "ExecutePanel";
}

void TestRelayScripting::noSlotChosen()
{
    QFETCH(QString, start);
    QFETCH(QString, yes);
    QFETCH(QString, panel);

    // No slot table has arrived: the slot list is empty.
    AutomationHarness h;
    QVERIFY(h.start());
    QPointer<RelayScriptingDialog> dialog = open(h, {});
    AutomationHarness::clickRow(h.child<QListWidget>(dialog, "List3"), 0);
    const int sentBefore = h.fixture.session.sent();

    click(dialog, qPrintable(start));
    QCOMPARE(visiblePanels(dialog), QStringList{panel});
    QCOMPARE(h.fixture.prompter.texts(), strings({"Some weird error 1!"}));
    click(dialog, qPrintable(yes));
    if (panel == QLatin1String("UploadPanel")) {
        QTest::keyClicks(h.child<QLineEdit>(dialog, "Text1"), QStringLiteral("Pump"));
        click(dialog, "DescriptionOk");
    }
    QCOMPARE(h.fixture.prompter.texts(), strings({"Some weird error 1!", "Some weird error 1!"}));
    QCOMPARE(h.fixture.session.sent(), sentBefore);
    QVERIFY(h.frames('J').isEmpty());
    QVERIFY(h.frames('K').isEmpty());
    QVERIFY(dialog->isVisible());
    QCOMPARE(visiblePanels(dialog), QStringList());
    QCOMPARE(mainButtonStates(dialog), QList<bool>(4, true));
    delete dialog;
}

void TestRelayScripting::executeFrame_data()
{
    QTest::addColumn<int>("slotRow");
    QTest::addColumn<int>("code");
    QTest::newRow("slot 1") << 0 << 0x00;
    QTest::newRow("slot 3") << 2 << 0x40;
    QTest::newRow("slot 8") << 7 << 0xE0;
}

void TestRelayScripting::executeFrame()
{
    QFETCH(int, slotRow);
    QFETCH(int, code);

    AutomationHarness h;
    QVERIFY(h.start());
    Slots table = emptySlots();
    table[slotRow] = {QStringLiteral("1"), QStringLiteral("Lamp on")};
    QPointer<RelayScriptingDialog> dialog = open(h, table);
    AutomationHarness::clickRow(h.child<QListWidget>(dialog, "List1"), slotRow);
    QCOMPARE(AutomationHarness::texts(h.child<QListWidget>(dialog, "List2")), strings({"Relay 1 ON"}));
    click(dialog, "ExecuteScript");
    QCOMPARE(
        h.child<QLabel>(dialog, "ExecutePanelText")->text(),
        QStringLiteral("Are you sure that you want to Execute this Script in Slot # %1 ?").arg(slotRow + 1));
    const int sentBefore = h.fixture.session.sent();
    click(dialog, "ExecuteYes");

    QVERIFY(h.waitFrames('K'));
    const QByteArray expected = ByteBuilder().text(h.head('K').toStdString()).bytes({code}).stars(156);
    QCOMPARE(h.frames('K').first(), expected);
    QCOMPARE(h.frames('K').first().size(), 177);
    QCOMPARE(h.fixture.session.sent(), sentBefore + 1);
    QTRY_VERIFY(dialog.isNull());
    QVERIFY(h.mainWindow.isEnabled());
}

void TestRelayScripting::slotTableDuringQuestion_data()
{
    QTest::addColumn<bool>("upload");
    QTest::newRow("upload") << true;
    QTest::newRow("execute") << false;
}

void TestRelayScripting::slotTableDuringQuestion()
{
    // The slot the user said yes to is the slot used, with the steps composed, even when a slot
    // table arrives while the question is up; the table is shown once the flow ends.
    QFETCH(bool, upload);
    AutomationHarness h;
    QVERIFY(h.start());
    QPointer<RelayScriptingDialog> dialog = open(h, emptySlots());
    auto* slotList = h.child<QListWidget>(dialog, "List1");
    AutomationHarness::clickRow(slotList, 2);
    AutomationHarness::clickRow(h.child<QListWidget>(dialog, "List3"), 0);
    click(dialog, upload ? "UploadScript" : "ExecuteScript");
    Slots arrived = emptySlots();
    arrived[0] = {QStringLiteral("66"), QStringLiteral("Arrived")};
    h.feedSlots(arrived);
    if (upload) {
        click(dialog, "UploadYes");
        h.feedSlots(arrived);
        QTest::keyClicks(h.child<QLineEdit>(dialog, "Text1"), QStringLiteral("Mine"));
        click(dialog, "DescriptionOk");
    } else {
        click(dialog, "ExecuteYes");
    }
    const char opcode = upload ? 'J' : 'K';
    QVERIFY(h.waitFrames(opcode));
    const QByteArray frame = h.frames(opcode).first();
    QCOMPARE(quint8(frame.at(20)), quint8(0x40)); // slot 3
    if (upload) {
        QCOMPARE(frame.mid(21, 1), QByteArray("1")); // the composed step, not slot 1's "66"
        QCOMPARE(slotList->item(0)->text(), QStringLiteral("Arrived         "));
        QCOMPARE(slotList->currentRow(), 0);
    }
    delete dialog;
}

void TestRelayScripting::slotTableWhileEditing_data()
{
    QTest::addColumn<QString>("slot1Codes");
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("three steps") << "13B" << strings({"Relay 1 ON", "Relay 2 ON", "Wait 5 Seconds"});
    QTest::newRow("leading space: empty script") << " 12" << QStringList();
    QTest::newRow("unknown code skipped") << "1Z2" << strings({"Relay 1 ON", "Relay 1 OFF"});
    QTest::newRow("space ends the script") << "6 5" << strings({"Relay 3 OFF"});
    QTest::newRow("sixteen steps") << "77777777777777A1"
                                   << QStringList(14, QStringLiteral("Wait 1 Second")) +
                                          strings({"Wait 4 Seconds", "Relay 1 ON"});
}

void TestRelayScripting::slotTableWhileEditing()
{
    QFETCH(QString, slot1Codes);
    QFETCH(QStringList, steps);

    AutomationHarness h;
    QVERIFY(h.start());
    Slots table = emptySlots();
    table[2] = {QStringLiteral("55"), QStringLiteral("Third")};
    QPointer<RelayScriptingDialog> dialog = open(h, table);
    auto* slotList = h.child<QListWidget>(dialog, "List1");
    auto* stepList = h.child<QListWidget>(dialog, "List2");
    AutomationHarness::clickRow(slotList, 2);
    QCOMPARE(h.child<QLabel>(dialog, "MyScriptHeading")->text(), QStringLiteral("Third           "));
    AutomationHarness::clickRow(h.child<QListWidget>(dialog, "List3"), 7);
    QCOMPARE(stepList->count(), 3);

    table[0] = {slot1Codes, QStringLiteral("Porch light")};
    h.feedSlots(table);
    QCOMPARE(h.fixture.state.replyIndicator(), 0);
    QCOMPARE(slotList->count(), 8);
    QCOMPARE(slotList->currentRow(), 0);
    QCOMPARE(slotList->item(0)->text(), QStringLiteral("Porch light     "));
    QCOMPARE(AutomationHarness::texts(stepList), steps);
    QCOMPARE(h.child<QLabel>(dialog, "MyScriptHeading")->text(), QStringLiteral("Porch light     "));
    delete dialog;
}

void TestRelayScripting::refreshEmptiesAndAsks()
{
    AutomationHarness h;
    QVERIFY(h.start());
    Slots table = emptySlots();
    table[0] = {QStringLiteral("12"), QStringLiteral("One")};
    QPointer<RelayScriptingDialog> dialog = open(h, table);
    QVERIFY(h.waitFrames('L'));
    QCOMPARE(h.child<QListWidget>(dialog, "List2")->count(), 2);
    const int sentBefore = h.fixture.session.sent();
    click(dialog, "Refresh");
    QCOMPARE(h.child<QListWidget>(dialog, "List1")->count(), 0);
    QCOMPARE(h.child<QListWidget>(dialog, "List2")->count(), 0);
    QVERIFY(h.waitFrames('L', 2));
    QCOMPARE(h.fixture.session.sent(), sentBefore + 1);
    delete dialog;
}

void TestRelayScripting::tableFromBeforeOpening()
{
    // The session's own request after Start is answered while no dialog is open.
    AutomationHarness h;
    QVERIFY(h.start());
    Slots table = emptySlots();
    table[0] = {QStringLiteral("35"), QStringLiteral("Both on")};
    h.feedSlots(table);
    QCOMPARE(h.fixture.state.replyIndicator(), 1);
    QPointer<RelayScriptingDialog> dialog = open(h, {});
    QCOMPARE(h.fixture.state.replyIndicator(), 0);
    QCOMPARE(h.child<QListWidget>(dialog, "List1")->count(), 8);
    QCOMPARE(h.child<QListWidget>(dialog, "List1")->currentRow(), 0);
    QCOMPARE(AutomationHarness::texts(h.child<QListWidget>(dialog, "List2")),
             strings({"Relay 2 ON", "Relay 3 ON"}));
    QVERIFY(h.waitFrames('L')); // and a fresh table is asked for all the same
    delete dialog;
}

QTEST_MAIN(TestRelayScripting)
#include "tst_relayscripting.moc"
