#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTest>

#include "protocol/bytebuilder.h"

#include "automationharness.h"
#include "gui/automation/timerdialog.h"

using kestavo::automation::TimerDialog;
using kestavo::platform::Prompter;
using kestavo::test::AutomationHarness;
using kestavo::test::ByteBuilder;
using kestavo::test::strings;

using Slots = QList<QPair<QString, QString>>;

namespace {
const char* const kBoxes[] = {"Combo1", "Combo2", "Combo3", "Combo4"};
const char* const kReadouts[] = {"DaysReadout", "HoursReadout", "MinutesReadout", "SecondsReadout"};
} // namespace

class TestRelayTimer : public QObject
{
    Q_OBJECT

private:
    static Slots table()
    {
        Slots t(8, {QString(), QString()});
        t[0] = {QStringLiteral("1"), QStringLiteral("Porch")};
        t[2] = {QStringLiteral("7B5"), QStringLiteral("Sprinkler")};
        t[4] = {QStringLiteral("        "), QStringLiteral("Blank codes")};
        t[7] = {QStringLiteral("246"), QStringLiteral("All off")};
        return t;
    }
    TimerDialog* open(AutomationHarness& h, bool answer = true)
    {
        auto* dialog = new TimerDialog(h.fixture.context);
        dialog->show();
        if (answer)
            h.feedSlots(table());
        return dialog;
    }
    static void setDelay(QWidget* dialog, const QStringList& texts)
    {
        for (int i = 0; i < 4; ++i)
            dialog->findChild<QComboBox*>(QString::fromLatin1(kBoxes[i]))->setEditText(texts.at(i));
    }
    static void click(QWidget* dialog, const char* name)
    {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }

private Q_SLOTS:
    void opening();
    void delayBoxLists_data();
    void delayBoxLists();
    void timerFrame_data();
    void timerFrame();
    void refusals_data();
    void refusals();
    void stopTimer();
    void refreshLeavesNoChoice();
    void tableFromBeforeOpening();
};

void TestRelayTimer::opening()
{
    AutomationHarness h;
    QVERIFY(h.start());
    const int sentBefore = h.fixture.session.sent();
    QPointer<TimerDialog> dialog = open(h, false);
    QCOMPARE(dialog->objectName(), QStringLiteral("Timer"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Relay Timer"));
    QVERIFY(!h.mainWindow.isEnabled());
    QCOMPARE(h.child<QLineEdit>(dialog, "Text1")->text(), QStringLiteral("Choose a Relay Script!"));
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(h.child<QComboBox>(dialog, kBoxes[i])->currentText(), QStringLiteral("0"));
        QCOMPARE(h.child<QLabel>(dialog, kReadouts[i])->text(), QStringLiteral("00"));
    }
    auto* oneShot = h.child<QRadioButton>(dialog, "Option1");
    auto* continuous = h.child<QRadioButton>(dialog, "Option2");
    QCOMPARE(oneShot->text(),
             QStringLiteral(
                 "This timer should execute a Relay Script only one time after counting down. (one shot)"));
    QCOMPARE(continuous->text(),
             QStringLiteral("This timer should execute a Relay Script after counting down then "
                            "reload the timer and start again. (continous)"));
    QVERIFY(oneShot->isChecked());
    QVERIFY(!continuous->isChecked());
    QVERIFY(h.waitFrames('L'));
    QCOMPARE(h.fixture.session.sent(), sentBefore + 1);

    h.feedSlots(table());
    auto* slotList = h.child<QListWidget>(dialog, "List1");
    QCOMPARE(slotList->count(), 8);
    QCOMPARE(slotList->item(2)->text(), QStringLiteral("Sprinkler       "));
    QCOMPARE(slotList->currentRow(), -1);
    QCOMPARE(h.fixture.state.replyIndicator(), 0);

    AutomationHarness::clickRow(slotList, 2);
    QCOMPARE(h.child<QLineEdit>(dialog, "Text1")->text(), QStringLiteral("Sprinkler       "));
    QCOMPARE(AutomationHarness::texts(h.child<QListWidget>(dialog, "List2")),
             strings({"Wait 1 Second", "Wait 5 Seconds", "Relay 3 ON"}));

    QTest::mouseClick(h.child<QPushButton>(dialog, "Cancel"), Qt::LeftButton);
    QVERIFY(h.mainWindow.isEnabled());
    QTRY_VERIFY(dialog.isNull());
    QVERIFY(h.frames('M').isEmpty());
}

void TestRelayTimer::delayBoxLists_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("last");
    QTest::newRow("days") << 0 << 31 << "30";
    QTest::newRow("hours") << 1 << 25 << "24";
    QTest::newRow("minutes") << 2 << 61 << "60";
    QTest::newRow("seconds") << 3 << 61 << "60";
}

void TestRelayTimer::delayBoxLists()
{
    QFETCH(int, box);
    QFETCH(int, count);
    QFETCH(QString, last);
    AutomationHarness h;
    QVERIFY(h.start());
    QPointer<TimerDialog> dialog = open(h);
    auto* combo = h.child<QComboBox>(dialog, kBoxes[box]);
    auto* readout = h.child<QLabel>(dialog, kReadouts[box]);
    QCOMPARE(combo->count(), count);
    QCOMPARE(combo->itemText(0), QStringLiteral("00"));
    QCOMPARE(combo->itemText(5), QStringLiteral("05"));
    QCOMPARE(combo->itemText(count - 1), last);

    // A typed delay shows in the readout as a list choice does.
    combo->lineEdit()->clear();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("7"));
    QCOMPARE(readout->text(), QStringLiteral("7"));
    combo->setCurrentIndex(2);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(readout->text(), QStringLiteral("03"));
    QTest::keyClick(combo, Qt::Key_Up);
    QCOMPARE(readout->text(), QStringLiteral("02"));
    combo->setCurrentIndex(count - 2);
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(readout->text(), last);
    delete dialog;
}

void TestRelayTimer::timerFrame_data()
{
    QTest::addColumn<QStringList>("delay");
    QTest::addColumn<int>("slotRow");
    QTest::addColumn<bool>("continuous");
    QTest::addColumn<QByteArray>("payload"); // positions 21-25

    QTest::newRow("1 second") << strings({"0", "0", "0", "1"}) << 0 << false
                              << QByteArray(ByteBuilder().bytes({0x00, 0x00, 0x01, 0x00, 0}));
    QTest::newRow("1 day") << strings({"1", "00", "00", "00"}) << 0 << false
                           << QByteArray(ByteBuilder().bytes({0x01, 0x51, 0x80, 0x00, 0}));
    QTest::newRow("largest choice, slot 8, continuous")
        << strings({"30", "24", "60", "60"}) << 7 << true
        << QByteArray(ByteBuilder().bytes({0x28, 0xEC, 0xCC, 0xE0, 1}));
    QTest::newRow("slot 8 at 24") << strings({"0", "0", "1", "0"}) << 7 << false
                                  << QByteArray(ByteBuilder().bytes({0x00, 0x00, 0x3C, 0xE0, 0}));
    QTest::newRow("continuous at 25") << strings({"0", "01", "0", "0"}) << 2 << true
                                      << QByteArray(ByteBuilder().bytes({0x00, 0x0E, 0x10, 0x40, 1}));
    QTest::newRow("every unit adds up") << strings({"2", "3", "4", "5"}) << 0 << false
                                        << QByteArray(ByteBuilder().bytes({0x02, 0xCE, 0x25, 0x00, 0}));
    QTest::newRow("spaces around a typed number")
        << strings({" 0", "0 ", "0", " 45 "}) << 0 << false
        << QByteArray(ByteBuilder().bytes({0x00, 0x00, 0x2D, 0x00, 0}));
}

void TestRelayTimer::timerFrame()
{
    QFETCH(QStringList, delay);
    QFETCH(int, slotRow);
    QFETCH(bool, continuous);
    QFETCH(QByteArray, payload);

    AutomationHarness h;
    QVERIFY(h.start());
    QPointer<TimerDialog> dialog = open(h);
    AutomationHarness::clickRow(h.child<QListWidget>(dialog, "List1"), slotRow);
    setDelay(dialog, delay);
    if (continuous)
        AutomationHarness::clickButton(h.child<QRadioButton>(dialog, "Option2"));
    const int sentBefore = h.fixture.session.sent();
    click(dialog, "SetTimer");

    QCOMPARE(h.fixture.prompter.calls().size(), 1);
    QCOMPARE(h.fixture.prompter.lastCall().text,
             QStringLiteral("Are you sure you want to set a Relay Timer?"));
    QCOMPARE(h.fixture.prompter.lastCall().title, QStringLiteral("Set a Timer?"));
    QCOMPARE(h.fixture.prompter.lastCall().buttons, Prompter::Buttons::YesNo);
    QVERIFY(h.waitFrames('M'));
    const QByteArray expected =
        ByteBuilder().text(h.head('M').toStdString()).text(payload.toStdString()).stars(152);
    QCOMPARE(h.frames('M').first(), expected);
    QCOMPARE(h.frames('M').first().size(), 177);
    QCOMPARE(h.fixture.session.sent(), sentBefore + 1);
    QVERIFY(h.mainWindow.isEnabled());
    QTRY_VERIFY(dialog.isNull());
}

void TestRelayTimer::refusals_data()
{
    QTest::addColumn<int>("slotRow");  // -1: no click
    QTest::addColumn<bool>("refresh"); // Refresh and a new slot table after the click
    QTest::addColumn<QStringList>("delay");
    QTest::addColumn<bool>("answerNo");
    QTest::addColumn<QStringList>("prompts");

    const QStringList oneMinute = strings({"0", "0", "1", "0"});
    const QStringList zero = strings({"0", "00", "0", "00"});
    const QString noSlot = QStringLiteral("Choose a Relay Script to execute when time is up!");
    const QString noScript = QStringLiteral("Make a Relay Script first!");
    const QString noDelay = QStringLiteral("Choose a delay time!");
    const QString ask = QStringLiteral("Are you sure you want to set a Relay Timer?");

    QTest::newRow("no slot chosen") << -1 << false << oneMinute << false << QStringList{noSlot};
    QTest::newRow("no slot comes before no delay") << -1 << false << zero << false << QStringList{noSlot};
    QTest::newRow("choice gone after Refresh") << 0 << true << oneMinute << false << QStringList{noSlot};
    QTest::newRow("empty slot") << 1 << false << oneMinute << false << QStringList{noScript};
    QTest::newRow("slot of spaces") << 4 << false << oneMinute << false << QStringList{noScript};
    QTest::newRow("empty slot comes before no delay") << 6 << false << zero << false << QStringList{noScript};
    QTest::newRow("no delay") << 0 << false << zero << false << QStringList{noDelay};
    QTest::newRow("answered No") << 0 << false << oneMinute << true << QStringList{ask};
    QTest::newRow("letters in hours")
        << 0 << false << strings({"0", "abc", "0", "0"}) << false
        << QStringList{
               QStringLiteral("The hours box holds \"abc\", which is no delay. Choose a value from its "
                              "list or type a whole number from 0 to 24.")};
    QTest::newRow("31 days") << 0 << false << strings({"31", "0", "0", "0"}) << false
                             << QStringList{QStringLiteral(
                                    "The days box holds \"31\", which is no delay. Choose a value from its "
                                    "list or type a whole number from 0 to 30.")};
    QTest::newRow("61 minutes") << 0 << false << strings({"0", "0", "61", "1"}) << false
                                << QStringList{
                                       QStringLiteral("The minutes box holds \"61\", which is no delay. "
                                                      "Choose a value from its list or type a whole "
                                                      "number from 0 to 60.")};
    QTest::newRow("negative seconds")
        << 0 << false << strings({"0", "0", "0", "-1"}) << false
        << QStringList{QStringLiteral("The seconds box holds \"-1\", which is no "
                                      "delay. Choose a value from its list or type "
                                      "a whole number from 0 to 60.")};
    QTest::newRow("fraction") << 0 << false << strings({"0", "0", "1.5", "0"}) << false
                              << QStringList{
                                     QStringLiteral("The minutes box holds \"1.5\", which is no delay. "
                                                    "Choose a value from its list or type a whole number "
                                                    "from 0 to 60.")};
    QTest::newRow("emptied box") << 0 << false << strings({"", "0", "0", "5"}) << false
                                 << QStringList{
                                        QStringLiteral("The days box holds \"\", which is no delay. Choose "
                                                       "a value from its list or type a whole number from "
                                                       "0 to 30.")};
    QTest::newRow("hexadecimal") << 0 << false << strings({"0", "0", "0", "&H10"}) << false
                                 << QStringList{
                                        QStringLiteral("The seconds box holds \"&H10\", which is no delay. "
                                                       "Choose a value from its list or type a whole "
                                                       "number from 0 to 60.")};
    QTest::newRow("bad text comes after an empty slot")
        << 1 << false << strings({"x", "0", "0", "0"}) << false << QStringList{noScript};
}

void TestRelayTimer::refusals()
{
    QFETCH(int, slotRow);
    QFETCH(bool, refresh);
    QFETCH(QStringList, delay);
    QFETCH(bool, answerNo);
    QFETCH(QStringList, prompts);

    AutomationHarness h;
    QVERIFY(h.start());
    QPointer<TimerDialog> dialog = open(h);
    auto* slotList = h.child<QListWidget>(dialog, "List1");
    if (slotRow >= 0)
        AutomationHarness::clickRow(slotList, slotRow);
    if (refresh) {
        click(dialog, "Refresh");
        h.feedSlots(table());
        QCOMPARE(slotList->count(), 8);
    }
    setDelay(dialog, delay);
    if (answerNo)
        h.fixture.prompter.queueAnswer(Prompter::Answer::No);
    const int sentBefore = h.fixture.session.sent();
    click(dialog, "SetTimer");

    QCOMPARE(h.fixture.prompter.texts(), prompts);
    QCOMPARE(h.fixture.session.sent(), sentBefore);
    QVERIFY(h.frames('M').isEmpty());
    QVERIFY(dialog->isVisible());
    QVERIFY(!h.mainWindow.isEnabled());
    delete dialog;
}

void TestRelayTimer::stopTimer()
{
    AutomationHarness h;
    QVERIFY(h.start());
    QPointer<TimerDialog> dialog = open(h);
    const int sentBefore = h.fixture.session.sent();
    click(dialog, "StopTimer");
    QVERIFY(h.waitFrames('N'));
    const QByteArray expected = ByteBuilder().text(h.head('N').toStdString()).stars(255);
    QCOMPARE(h.frames('N').first(), expected);
    QCOMPARE(h.frames('N').first().size(), 275);
    QCOMPARE(h.fixture.session.sent(), sentBefore + 1);
    QCOMPARE(h.fixture.prompter.calls().size(), 0);
    QVERIFY(dialog->isVisible());
    delete dialog;
}

void TestRelayTimer::refreshLeavesNoChoice()
{
    AutomationHarness h;
    QVERIFY(h.start());
    QPointer<TimerDialog> dialog = open(h);
    auto* slotList = h.child<QListWidget>(dialog, "List1");
    AutomationHarness::clickRow(slotList, 2);
    QVERIFY(h.waitFrames('L'));
    click(dialog, "Refresh");
    QCOMPARE(slotList->count(), 0);
    QVERIFY(h.waitFrames('L', 2));
    Slots changed = table();
    changed[2].second = QStringLiteral("Renamed");
    h.feedSlots(changed);
    QCOMPARE(slotList->count(), 8);
    QCOMPARE(slotList->item(2)->text(), QStringLiteral("Renamed         "));
    QVERIFY(slotList->selectedItems().isEmpty());
    // The last choice stays on show until another slot is clicked.
    QCOMPARE(h.child<QLineEdit>(dialog, "Text1")->text(), QStringLiteral("Sprinkler       "));
    delete dialog;
}

void TestRelayTimer::tableFromBeforeOpening()
{
    AutomationHarness h;
    QVERIFY(h.start());
    h.feedSlots(table());
    QPointer<TimerDialog> dialog = open(h, false);
    QCOMPARE(h.fixture.state.replyIndicator(), 0);
    auto* slotList = h.child<QListWidget>(dialog, "List1");
    QCOMPARE(slotList->count(), 8);
    QVERIFY(slotList->selectedItems().isEmpty());
    QVERIFY(h.waitFrames('L'));
    delete dialog;
}

QTEST_MAIN(TestRelayTimer)
#include "tst_relaytimer.moc"
