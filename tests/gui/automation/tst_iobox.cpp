#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QTest>

#include "protocol/bytebuilder.h"

#include "automationharness.h"
#include "gui/automation/ioboxdialog.h"
#include "gui/automation/slotlists.h"

using kestavo::automation::IoBoxDialog;
using kestavo::test::AutomationHarness;
using kestavo::test::ByteBuilder;
using kestavo::test::strings;
using kestavo::testsupport::ReplyBuilder;

using Slots = QList<QPair<QString, QString>>;

class TestIoBox : public QObject
{
    Q_OBJECT

private:
    static Slots table()
    {
        Slots t(8, {QString(), QString()});
        t[0] = {QStringLiteral("1"), QStringLiteral("Gate open")};
        t[2] = {QStringLiteral("35"), QStringLiteral("Lights on")};
        t[3] = {QStringLiteral("46"), QStringLiteral("Lights off")};
        t[7] = {QStringLiteral("7A2"), QStringLiteral("Pulse")};
        return t;
    }
    // A status report carrying one box's setting (characters 103-117, three per box).
    static void feedSetting(AutomationHarness& h, int box, int flag, int codeFor0, int codeFor1)
    {
        const std::size_t at = std::size_t(103 + 3 * box);
        h.fixture.feed(ReplyBuilder().at(at, flag).at(at + 1, codeFor0).at(at + 2, codeFor1).bytes());
    }
    static IoBoxDialog* open(AutomationHarness& h, int box)
    {
        h.fixture.state.setIoBoxIndex(box);
        auto* dialog = new IoBoxDialog(h.fixture.context, box);
        dialog->show();
        return dialog;
    }
    static void click(QWidget* dialog, const char* name)
    {
        AutomationHarness::clickButton(dialog->findChild<QAbstractButton*>(QString::fromLatin1(name)));
    }

private Q_SLOTS:
    void opening_data();
    void opening();
    void uploadFrame_data();
    void uploadFrame();
    void refusals_data();
    void refusals();
    void noSlotTableYet();
    void optionsSwitchTheLists();
    void refreshShowsTheSettingAgain();
};

void TestIoBox::opening_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<int>("flag");
    QTest::addColumn<int>("codeFor0");
    QTest::addColumn<int>("codeFor1");
    QTest::addColumn<bool>("runChecked");
    QTest::addColumn<int>("row0");
    QTest::addColumn<int>("row1");
    QTest::addColumn<QStringList>("steps0");
    QTest::addColumn<QStringList>("steps1");

    QTest::newRow("box 1 without action")
        << 0 << 0 << 0x40 << 0x60 << false << -1 << -1 << QStringList() << QStringList();
    QTest::newRow("box 2 runs slots 3 and 4")
        << 1 << 1 << 0x40 << 0x60 << true << 2 << 3 << strings({"Relay 2 ON", "Relay 3 ON"})
        << strings({"Relay 2 OFF", "Relay 3 OFF"});
    QTest::newRow("box 5 runs slots 1 and 8")
        << 4 << 1 << 0x00 << 0xE0 << true << 0 << 7 << strings({"Relay 1 ON"})
        << strings({"Wait 1 Second", "Wait 4 Seconds", "Relay 1 OFF"});
    QTest::newRow("box 3, a code that names no slot")
        << 2 << 1 << 0x30 << 0x20 << true << -1 << 1 << QStringList() << QStringList();
    QTest::newRow("box 4, unknown flag")
        << 3 << 7 << 0x40 << 0x60 << false << -1 << -1 << QStringList() << QStringList();
}

void TestIoBox::opening()
{
    QFETCH(int, box);
    QFETCH(int, flag);
    QFETCH(int, codeFor0);
    QFETCH(int, codeFor1);
    QFETCH(bool, runChecked);
    QFETCH(int, row0);
    QFETCH(int, row1);
    QFETCH(QStringList, steps0);
    QFETCH(QStringList, steps1);

    AutomationHarness h;
    QVERIFY(h.start());
    feedSetting(h, box, flag, codeFor0, codeFor1);
    h.feedSlots(table());
    h.fixture.state.setReplyIndicator(0);
    QVERIFY(h.waitFrames('L')); // the session's own request after the first report
    const int sentBefore = h.fixture.session.sent();

    QPointer<IoBoxDialog> dialog = open(h, box);
    QCOMPARE(dialog->objectName(), QStringLiteral("ioBox"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("I/O BOX %1").arg(box + 1));
    QCOMPARE(h.child<QLabel>(dialog, "Label1")->text(), QString::number(box + 1));
    QVERIFY(!h.mainWindow.isEnabled());
    auto* list0 = h.child<QListWidget>(dialog, "List1");
    auto* list1 = h.child<QListWidget>(dialog, "List3");
    QCOMPARE(list0->count(), 8);
    QCOMPARE(list1->count(), 8);
    QCOMPARE(list0->item(2)->text(), QStringLiteral("Lights on       "));
    QCOMPARE(h.child<QRadioButton>(dialog, "Option2")->isChecked(), runChecked);
    QCOMPARE(h.child<QRadioButton>(dialog, "Option1")->isChecked(), !runChecked);
    QCOMPARE(list0->isEnabled(), runChecked);
    QCOMPARE(list1->isEnabled(), runChecked);
    QCOMPARE(kestavo::automation::selectedRow(*list0), row0);
    QCOMPARE(kestavo::automation::selectedRow(*list1), row1);
    QCOMPARE(AutomationHarness::texts(h.child<QListWidget>(dialog, "List2")), steps0);
    QCOMPARE(AutomationHarness::texts(h.child<QListWidget>(dialog, "List4")), steps1);
    // No read request on opening: the lists show the table the console holds.
    QCOMPARE(h.fixture.session.sent(), sentBefore);
    QCOMPARE(h.frames('L').size(), 1);

    click(dialog, "Cancel");
    QVERIFY(h.mainWindow.isEnabled());
    QTRY_VERIFY(dialog.isNull());
    QVERIFY(h.frames('O').isEmpty());
}

void TestIoBox::uploadFrame_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<bool>("run");
    QTest::addColumn<int>("row0");
    QTest::addColumn<int>("row1");
    QTest::addColumn<QByteArray>("payload"); // positions 21-24

    QTest::newRow("box 3 disabled, lists not looked at")
        << 2 << false << 1 << 5 << QByteArray(ByteBuilder().bytes({2, 0, 0x00, 0x00}));
    QTest::newRow("box 5, slot 1 and slot 8")
        << 4 << true << 0 << 7 << QByteArray(ByteBuilder().bytes({4, 1, 0x00, 0xE0}));
    QTest::newRow("box 1, slot 3 for both")
        << 0 << true << 2 << 2 << QByteArray(ByteBuilder().bytes({0, 1, 0x40, 0x40}));
    QTest::newRow("box 2, slot 4 and slot 3")
        << 1 << true << 3 << 2 << QByteArray(ByteBuilder().bytes({1, 1, 0x60, 0x40}));
}

void TestIoBox::uploadFrame()
{
    QFETCH(int, box);
    QFETCH(bool, run);
    QFETCH(int, row0);
    QFETCH(int, row1);
    QFETCH(QByteArray, payload);

    AutomationHarness h;
    QVERIFY(h.start());
    // The unit reports scripts set for this box; the user may keep or disable them.
    feedSetting(h, box, 1, 0xE0, 0xE0);
    h.feedSlots(table());
    QPointer<IoBoxDialog> dialog = open(h, box);
    AutomationHarness::clickRow(h.child<QListWidget>(dialog, "List1"), row0);
    AutomationHarness::clickRow(h.child<QListWidget>(dialog, "List3"), row1);
    if (!run)
        click(dialog, "Option1");
    const int sentBefore = h.fixture.session.sent();
    click(dialog, "Upload");

    QCOMPARE(h.fixture.prompter.calls().size(), 0);
    QVERIFY(h.waitFrames('O'));
    const QByteArray expected =
        ByteBuilder().text(h.head('O').toStdString()).text(payload.toStdString()).stars(176);
    QCOMPARE(h.frames('O').first(), expected);
    QCOMPARE(h.frames('O').first().size(), 200);
    QCOMPARE(h.fixture.session.sent(), sentBefore + 1);
    QVERIFY(h.mainWindow.isEnabled());
    QTRY_VERIFY(dialog.isNull());
}

void TestIoBox::refusals_data()
{
    QTest::addColumn<int>("row0"); // -1: nothing chosen
    QTest::addColumn<int>("row1");
    QTest::addColumn<QString>("message");

    QTest::newRow("nothing chosen") << -1 << -1
                                    << "Choose a Relay Script to execute when I/O state changes to 0 !";
    QTest::newRow("nothing for 0") << -1 << 2
                                   << "Choose a Relay Script to execute when I/O state changes to 0 !";
    QTest::newRow("nothing for 1") << 2 << -1
                                   << "Choose a Relay Script to execute when I/O state changes to 1 !";
    QTest::newRow("empty slot for 0") << 1 << 2 << "Make a Relay Script first!";
    QTest::newRow("empty slot for 1") << 2 << 6 << "Make a Relay Script first!";
    QTest::newRow("both empty") << 4 << 5 << "Make a Relay Script first!";
}

void TestIoBox::refusals()
{
    QFETCH(int, row0);
    QFETCH(int, row1);
    QFETCH(QString, message);

    AutomationHarness h;
    QVERIFY(h.start());
    h.feedSlots(table());
    QPointer<IoBoxDialog> dialog = open(h, 0);
    click(dialog, "Option2");
    if (row0 >= 0)
        AutomationHarness::clickRow(h.child<QListWidget>(dialog, "List1"), row0);
    if (row1 >= 0)
        AutomationHarness::clickRow(h.child<QListWidget>(dialog, "List3"), row1);
    const int sentBefore = h.fixture.session.sent();
    click(dialog, "Upload");

    QCOMPARE(h.fixture.prompter.texts(), QStringList{message});
    QCOMPARE(h.fixture.session.sent(), sentBefore);
    QVERIFY(h.frames('O').isEmpty());
    QVERIFY(dialog->isVisible());
    QVERIFY(!h.mainWindow.isEnabled());
    delete dialog;
}

void TestIoBox::noSlotTableYet()
{
    AutomationHarness h;
    QVERIFY(h.start());
    QPointer<IoBoxDialog> dialog = open(h, 1);
    auto* list0 = h.child<QListWidget>(dialog, "List1");
    QCOMPARE(list0->count(), 8);
    QCOMPARE(list0->item(0)->text(), QString());
    click(dialog, "Option2");
    AutomationHarness::clickRow(list0, 0);
    AutomationHarness::clickRow(h.child<QListWidget>(dialog, "List3"), 0);
    click(dialog, "Upload");
    QCOMPARE(h.fixture.prompter.texts(), strings({"Make a Relay Script first!"}));
    QVERIFY(h.frames('O').isEmpty());
    delete dialog;
}

void TestIoBox::optionsSwitchTheLists()
{
    AutomationHarness h;
    QVERIFY(h.start());
    h.feedSlots(table());
    QPointer<IoBoxDialog> dialog = open(h, 0);
    auto* list0 = h.child<QListWidget>(dialog, "List1");
    auto* list1 = h.child<QListWidget>(dialog, "List3");
    QVERIFY(!list0->isEnabled());
    click(dialog, "Option2");
    QVERIFY(list0->isEnabled());
    QVERIFY(list1->isEnabled());
    click(dialog, "Option1");
    QVERIFY(!list0->isEnabled());
    QVERIFY(!list1->isEnabled());
    delete dialog;
}

void TestIoBox::refreshShowsTheSettingAgain()
{
    AutomationHarness h;
    QVERIFY(h.start());
    feedSetting(h, 3, 1, 0x40, 0x60);
    h.feedSlots(table());
    QPointer<IoBoxDialog> dialog = open(h, 3);
    auto* list0 = h.child<QListWidget>(dialog, "List1");
    auto* list1 = h.child<QListWidget>(dialog, "List3");
    AutomationHarness::clickRow(list0, 7);
    AutomationHarness::clickRow(list1, 0);
    const int lBefore = int(h.frames('L').size());
    click(dialog, "Refresh");
    QVERIFY(h.waitFrames('L', lBefore + 1));

    // Meanwhile the unit reports a new setting for the box, then the slot table arrives.
    feedSetting(h, 3, 1, 0x00, 0xE0);
    Slots renamed = table();
    renamed[0].second = QStringLiteral("Gate (new)");
    h.feedSlots(renamed);
    QCOMPARE(h.fixture.state.replyIndicator(), 0);
    QCOMPARE(list0->item(0)->text(), QStringLiteral("Gate (new)      "));
    QCOMPARE(kestavo::automation::selectedRow(*list0), 0);
    QCOMPARE(kestavo::automation::selectedRow(*list1), 7);
    QCOMPARE(AutomationHarness::texts(h.child<QListWidget>(dialog, "List2")), strings({"Relay 1 ON"}));
    QCOMPARE(AutomationHarness::texts(h.child<QListWidget>(dialog, "List4")),
             strings({"Wait 1 Second", "Wait 4 Seconds", "Relay 1 OFF"}));
    delete dialog;
}

QTEST_MAIN(TestIoBox)
#include "tst_iobox.moc"
