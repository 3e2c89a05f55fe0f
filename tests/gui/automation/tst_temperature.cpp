#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSlider>
#include <QTest>

#include "protocol/bytebuilder.h"

#include "automationharness.h"
#include "gui/automation/slotlists.h"
#include "gui/automation/temperaturedialog.h"

using kestavo::automation::selectedRow;
using kestavo::automation::TemperatureDialog;
using kestavo::test::AutomationHarness;
using kestavo::test::ByteBuilder;
using kestavo::test::strings;
using kestavo::testsupport::ReplyBuilder;

using Slots = QList<QPair<QString, QString>>;

class TestTemperature : public QObject
{
    Q_OBJECT

private:
    static Slots table()
    {
        Slots t(8, {QString(), QString()});
        t[0] = {QStringLiteral("5"), QStringLiteral("Fan on")};
        t[2] = {QStringLiteral("3"), QStringLiteral("Heater on")};
        t[3] = {QStringLiteral("4"), QStringLiteral("Heater off")};
        t[7] = {QStringLiteral("69"), QStringLiteral("Fan off")};
        return t;
    }
    // A status report carrying the temperature setting (characters 118-122).
    static void feedSetting(AutomationHarness& h, int flag, int upperCode, int lowerCode, int upper,
                            int lower)
    {
        h.fixture.feed(ReplyBuilder()
                           .at(118, flag)
                           .at(119, upperCode)
                           .at(120, lowerCode)
                           .at(121, upper)
                           .at(122, lower)
                           .bytes());
    }
    static TemperatureDialog* open(AutomationHarness& h)
    {
        auto* dialog = new TemperatureDialog(h.fixture.context);
        dialog->show();
        return dialog;
    }
    static void click(QWidget* dialog, const char* name)
    {
        AutomationHarness::clickButton(dialog->findChild<QAbstractButton*>(QString::fromLatin1(name)));
    }
    // What the user sees: the colour covering most of the painted box.
    static QColor base(QLineEdit* box)
    {
        const QImage image = box->grab().toImage();
        QHash<QRgb, int> counts;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ++counts[image.pixel(x, y)];
        QRgb most = 0;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            if (it.value() > counts.value(most))
                most = it.key();
        return QColor(most);
    }
    static QColor text(QLineEdit* box) { return box->palette().color(QPalette::Text); }

private Q_SLOTS:
    void opening_data();
    void opening();
    void fahrenheit_data();
    void fahrenheit();
    void colours_data();
    void colours();
    void uploadFrame_data();
    void uploadFrame();
    void refusals_data();
    void refusals();
    void captionFollowsTemperature_data();
    void captionFollowsTemperature();
    void slotTableRefillsWithoutChoice();
};

void TestTemperature::opening_data()
{
    QTest::addColumn<int>("flag");
    QTest::addColumn<int>("upperCode");
    QTest::addColumn<int>("lowerCode");
    QTest::addColumn<int>("upper");
    QTest::addColumn<int>("lower");
    QTest::addColumn<bool>("runChecked");
    QTest::addColumn<bool>("choicesEnabled");
    QTest::addColumn<int>("upperRow");
    QTest::addColumn<int>("lowerRow");
    QTest::addColumn<QStringList>("upperSteps");
    QTest::addColumn<QStringList>("lowerSteps");

    QTest::newRow("no action, thresholds shown")
        << 0 << 0x40 << 0x60 << 30 << 20 << false << false << -1 << -1 << QStringList() << QStringList();
    QTest::newRow("slots 3 and 4") << 1 << 0x40 << 0x60 << 35 << 5 << true << true << 2 << 3
                                   << strings({"Relay 2 ON"}) << strings({"Relay 2 OFF"});
    QTest::newRow("slots 1 and 8") << 1 << 0x00 << 0xE0 << 49 << 0 << true << true << 0 << 7
                                   << strings({"Relay 3 ON"}) << strings({"Relay 3 OFF", "Wait 3 Seconds"});
    QTest::newRow("a code that names no slot")
        << 1 << 0x41 << 0x20 << 12 << 11 << true << true << -1 << 1 << QStringList() << QStringList();
    QTest::newRow("unknown flag: the design's state")
        << 4 << 0x40 << 0x60 << 30 << 20 << false << false << -1 << -1 << QStringList() << QStringList();
}

void TestTemperature::opening()
{
    QFETCH(int, flag);
    QFETCH(int, upperCode);
    QFETCH(int, lowerCode);
    QFETCH(int, upper);
    QFETCH(int, lower);
    QFETCH(bool, runChecked);
    QFETCH(bool, choicesEnabled);
    QFETCH(int, upperRow);
    QFETCH(int, lowerRow);
    QFETCH(QStringList, upperSteps);
    QFETCH(QStringList, lowerSteps);

    AutomationHarness h;
    QVERIFY(h.start());
    feedSetting(h, flag, upperCode, lowerCode, upper, lower);
    h.feedSlots(table());
    QVERIFY(h.waitFrames('L'));
    const int sentBefore = h.fixture.session.sent();

    QPointer<TemperatureDialog> dialog = open(h);
    QCOMPARE(dialog->objectName(), QStringLiteral("tempBox"));
    QVERIFY(!h.mainWindow.isEnabled());
    QCOMPARE(h.child<QRadioButton>(dialog, "Option1")->text(),
             QStringLiteral("Disable temperature activated relay action."));
    QCOMPARE(h.child<QRadioButton>(dialog, "Option2")->text(),
             QStringLiteral("Execute a relay script when temerature thresholds are reached."));
    QCOMPARE(h.child<QRadioButton>(dialog, "Option2")->isChecked(), runChecked);
    auto* upperSlider = h.child<QSlider>(dialog, "Slider1");
    auto* lowerSlider = h.child<QSlider>(dialog, "Slider2");
    QCOMPARE(upperSlider->minimum(), 0);
    QCOMPARE(upperSlider->maximum(), 49);
    QCOMPARE(lowerSlider->minimum(), 0);
    QCOMPARE(lowerSlider->maximum(), 49);
    const bool known = flag == 0 || flag == 1;
    QCOMPARE(upperSlider->value(), known ? upper : 0);
    QCOMPARE(lowerSlider->value(), known ? lower : 0);
    QCOMPARE(h.child<QLineEdit>(dialog, "Text1")->text(), QString::number(upperSlider->value()));
    QCOMPARE(h.child<QLineEdit>(dialog, "Text3")->text(), QString::number(lowerSlider->value()));
    for (const char* name : {"Slider1", "Slider2", "List1", "List3"})
        QCOMPARE(h.child<QWidget>(dialog, name)->isEnabled(), choicesEnabled);
    auto* upperSlots = h.child<QListWidget>(dialog, "List1");
    QCOMPARE(upperSlots->count(), 8);
    QCOMPARE(upperSlots->item(7)->text(), QStringLiteral("Fan off         "));
    QCOMPARE(selectedRow(*upperSlots), upperRow);
    QCOMPARE(selectedRow(*h.child<QListWidget>(dialog, "List3")), lowerRow);
    QCOMPARE(AutomationHarness::texts(h.child<QListWidget>(dialog, "List2")), upperSteps);
    QCOMPARE(AutomationHarness::texts(h.child<QListWidget>(dialog, "List4")), lowerSteps);
    QCOMPARE(h.fixture.session.sent(), sentBefore);

    click(dialog, "Cancel");
    QVERIFY(h.mainWindow.isEnabled());
    QTRY_VERIFY(dialog.isNull());
    QVERIFY(h.frames('P').isEmpty());
}

void TestTemperature::fahrenheit_data()
{
    QTest::addColumn<int>("celsius");
    QTest::addColumn<QString>("fahrenheit");
    QTest::newRow("0") << 0 << "32";
    QTest::newRow("1") << 1 << "33.8";
    QTest::newRow("5") << 5 << "41";
    QTest::newRow("13") << 13 << "55.4";
    QTest::newRow("21") << 21 << "69.8";
    QTest::newRow("25") << 25 << "77";
    QTest::newRow("37") << 37 << "98.6";
    QTest::newRow("49") << 49 << "120.2";
}

void TestTemperature::fahrenheit()
{
    QFETCH(int, celsius);
    QFETCH(QString, fahrenheit);
    AutomationHarness h;
    QVERIFY(h.start());
    feedSetting(h, 1, 0, 0, 20, 20);
    QPointer<TemperatureDialog> dialog = open(h);
    h.child<QSlider>(dialog, "Slider1")->setValue(celsius);
    h.child<QSlider>(dialog, "Slider2")->setValue(celsius);
    QCOMPARE(h.child<QLineEdit>(dialog, "Text1")->text(), QString::number(celsius));
    QCOMPARE(h.child<QLineEdit>(dialog, "Text2")->text(), fahrenheit);
    QCOMPARE(h.child<QLineEdit>(dialog, "Text3")->text(), QString::number(celsius));
    QCOMPARE(h.child<QLineEdit>(dialog, "Text4")->text(), fahrenheit);
    delete dialog;
}

void TestTemperature::colours_data()
{
    QTest::addColumn<int>("previous");
    QTest::addColumn<int>("value");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("textColour");

    const QColor black(0, 0, 0);
    const QColor yellow(255, 255, 0);
    QTest::newRow("5") << 20 << 5 << QColor(25, 230, 230) << black;
    QTest::newRow("49") << 0 << 49 << QColor(245, 10, 10) << yellow;
    QTest::newRow("0: cyan") << 20 << 0 << QColor(0, 255, 255) << black;
    QTest::newRow("9") << 20 << 9 << QColor(45, 210, 210) << black;
    QTest::newRow("11") << 0 << 11 << QColor(55, 200, 200) << yellow;
    QTest::newRow("10 after 9 stays black") << 9 << 10 << QColor(50, 205, 205) << black;
    QTest::newRow("10 after 11 stays yellow") << 11 << 10 << QColor(50, 205, 205) << yellow;
}

void TestTemperature::colours()
{
    QFETCH(int, previous);
    QFETCH(int, value);
    QFETCH(QColor, background);
    QFETCH(QColor, textColour);

    // Under the console's own skin, which styles every line edit.
    QFile skin(QStringLiteral(":/skins/Default.qss"));
    QVERIFY(skin.open(QIODevice::ReadOnly));
    qApp->setStyleSheet(QString::fromUtf8(skin.readAll()));
    const auto plain = qScopeGuard([] { qApp->setStyleSheet(QString()); });
    AutomationHarness h;
    QVERIFY(h.start());
    feedSetting(h, 1, 0, 0, previous, previous);
    QPointer<TemperatureDialog> dialog = open(h);
    const std::array<std::array<const char*, 3>, 2> groups{
        {{"Slider1", "Text1", "Text2"}, {"Slider2", "Text3", "Text4"}}};
    for (const auto& [slider, celsius, fahrenheit] : groups) {
        h.child<QSlider>(dialog, slider)->setValue(value);
        QCOMPARE(base(h.child<QLineEdit>(dialog, celsius)), background);
        QCOMPARE(text(h.child<QLineEdit>(dialog, celsius)), textColour);
        QCOMPARE(base(h.child<QLineEdit>(dialog, fahrenheit)), background);
        QCOMPARE(text(h.child<QLineEdit>(dialog, fahrenheit)), textColour);
    }
    QCOMPARE(TemperatureDialog::background(value), background);
    delete dialog;
}

void TestTemperature::uploadFrame_data()
{
    QTest::addColumn<bool>("run");
    QTest::addColumn<int>("upperRow");
    QTest::addColumn<int>("lowerRow");
    QTest::addColumn<int>("upper");
    QTest::addColumn<int>("lower");
    QTest::addColumn<QByteArray>("payload"); // positions 21-25

    QTest::newRow("30 over 29, slots 1 and 8")
        << true << 0 << 7 << 30 << 29 << QByteArray(ByteBuilder().bytes({1, 0x00, 0xE0, 30, 29}));
    QTest::newRow("49 over 0, slots 3 and 4")
        << true << 2 << 3 << 49 << 0 << QByteArray(ByteBuilder().bytes({1, 0x40, 0x60, 49, 0}));
    QTest::newRow("disabled still carries both sliders")
        << false << 2 << 3 << 29 << 30 << QByteArray(ByteBuilder().bytes({0, 0x00, 0x00, 29, 30}));
    QTest::newRow("disabled with equal sliders and no choice")
        << false << -1 << -1 << 12 << 12 << QByteArray(ByteBuilder().bytes({0, 0x00, 0x00, 12, 12}));
}

void TestTemperature::uploadFrame()
{
    QFETCH(bool, run);
    QFETCH(int, upperRow);
    QFETCH(int, lowerRow);
    QFETCH(int, upper);
    QFETCH(int, lower);
    QFETCH(QByteArray, payload);

    AutomationHarness h;
    QVERIFY(h.start());
    feedSetting(h, 1, 0xE0, 0xE0, 40, 10);
    h.feedSlots(table());
    QPointer<TemperatureDialog> dialog = open(h);
    // Choices are made while the action is on; the sliders stay where they were when it is off.
    h.child<QSlider>(dialog, "Slider1")->setValue(upper);
    h.child<QSlider>(dialog, "Slider2")->setValue(lower);
    auto* upperSlots = h.child<QListWidget>(dialog, "List1");
    auto* lowerSlots = h.child<QListWidget>(dialog, "List3");
    if (upperRow >= 0)
        AutomationHarness::clickRow(upperSlots, upperRow);
    else
        upperSlots->clearSelection();
    if (lowerRow >= 0)
        AutomationHarness::clickRow(lowerSlots, lowerRow);
    else
        lowerSlots->clearSelection();
    if (!run) {
        click(dialog, "Option1");
        QVERIFY(!h.child<QSlider>(dialog, "Slider1")->isEnabled());
    }
    const int sentBefore = h.fixture.session.sent();
    click(dialog, "Upload");

    QCOMPARE(h.fixture.prompter.calls().size(), 0);
    QVERIFY(h.waitFrames('P'));
    const QByteArray expected =
        ByteBuilder().text(h.head('P').toStdString()).text(payload.toStdString()).stars(175);
    QCOMPARE(h.frames('P').first(), expected);
    QCOMPARE(h.frames('P').first().size(), 200);
    QCOMPARE(h.fixture.session.sent(), sentBefore + 1);
    QVERIFY(h.mainWindow.isEnabled());
    QTRY_VERIFY(dialog.isNull());
}

void TestTemperature::refusals_data()
{
    QTest::addColumn<int>("upperRow");
    QTest::addColumn<int>("lowerRow");
    QTest::addColumn<int>("upper");
    QTest::addColumn<int>("lower");
    QTest::addColumn<QString>("message");

    const QString greater = QStringLiteral("Choose a Relay Script to execute when the\r\n"
                                           "temperature is greater than your chosen threshold !");
    const QString less = QStringLiteral("Choose a Relay Script to execute when the\r\n"
                                        "temperature is less than your chosen threshold !");
    const QString noScript = QStringLiteral("Make a Relay Script first!");
    const QString oneDegree = QStringLiteral("There should be at least one degree difference\r\n"
                                             "between the two temperature thresholds !");
    const QString topSlider = QStringLiteral("The top slider should be GREATER than the bottom slider !");

    QTest::newRow("nothing chosen") << -1 << -1 << 30 << 29 << greater;
    QTest::newRow("no upper script") << -1 << 2 << 30 << 29 << greater;
    QTest::newRow("no lower script") << 2 << -1 << 30 << 29 << less;
    QTest::newRow("empty upper slot") << 1 << 2 << 30 << 29 << noScript;
    QTest::newRow("empty lower slot") << 2 << 6 << 30 << 29 << noScript;
    QTest::newRow("empty slot before equal thresholds") << 5 << 2 << 30 << 30 << noScript;
    QTest::newRow("30 and 30") << 2 << 3 << 30 << 30 << oneDegree;
    QTest::newRow("29 under 30") << 2 << 3 << 29 << 30 << topSlider;
    QTest::newRow("0 under 49") << 0 << 7 << 0 << 49 << topSlider;
}

void TestTemperature::refusals()
{
    QFETCH(int, upperRow);
    QFETCH(int, lowerRow);
    QFETCH(int, upper);
    QFETCH(int, lower);
    QFETCH(QString, message);

    AutomationHarness h;
    QVERIFY(h.start());
    h.feedSlots(table());
    QPointer<TemperatureDialog> dialog = open(h);
    click(dialog, "Option2");
    h.child<QSlider>(dialog, "Slider1")->setValue(upper);
    h.child<QSlider>(dialog, "Slider2")->setValue(lower);
    if (upperRow >= 0)
        AutomationHarness::clickRow(h.child<QListWidget>(dialog, "List1"), upperRow);
    if (lowerRow >= 0)
        AutomationHarness::clickRow(h.child<QListWidget>(dialog, "List3"), lowerRow);
    const int sentBefore = h.fixture.session.sent();
    click(dialog, "Upload");

    QCOMPARE(h.fixture.prompter.texts(), QStringList{message});
    QCOMPARE(h.fixture.prompter.lastCall().title, QStringLiteral("KSV172"));
    QCOMPARE(h.fixture.session.sent(), sentBefore);
    QVERIFY(h.frames('P').isEmpty());
    QVERIFY(dialog->isVisible());
    delete dialog;
}

void TestTemperature::captionFollowsTemperature_data()
{
    QTest::addColumn<QString>("reading");
    QTest::newRow("a reading") << QString::fromUtf8("23°C    73.4°F");
    QTest::newRow("below zero") << QString::fromUtf8("-4.5°C    23.9°F");
    QTest::newRow("after Stop") << QString();
}

void TestTemperature::captionFollowsTemperature()
{
    QFETCH(QString, reading);
    AutomationHarness h;
    QVERIFY(h.start());
    h.fixture.state.setTemperatureText(QStringLiteral("first"));
    QPointer<TemperatureDialog> dialog = open(h);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Temperature Control         (first)"));
    h.fixture.state.setTemperatureText(reading);
    QCOMPARE(dialog->windowTitle(),
             QStringLiteral("Temperature Control         (") + reading + QStringLiteral(")"));
    delete dialog;
}

void TestTemperature::slotTableRefillsWithoutChoice()
{
    AutomationHarness h;
    QVERIFY(h.start());
    feedSetting(h, 1, 0x40, 0x60, 30, 20);
    h.feedSlots(table());
    QPointer<TemperatureDialog> dialog = open(h);
    auto* upperSlots = h.child<QListWidget>(dialog, "List1");
    QCOMPARE(selectedRow(*upperSlots), 2);
    const int lBefore = int(h.frames('L').size());
    click(dialog, "Refresh");
    QVERIFY(h.waitFrames('L', lBefore + 1));

    Slots renamed = table();
    renamed[2].second = QStringLiteral("Heater (new)");
    h.feedSlots(renamed);
    QCOMPARE(h.fixture.state.replyIndicator(), 0);
    QCOMPARE(upperSlots->item(2)->text(), QStringLiteral("Heater (new)    "));
    QCOMPARE(selectedRow(*upperSlots), -1);
    QCOMPARE(selectedRow(*h.child<QListWidget>(dialog, "List3")), -1);
    // The steps lists keep what they showed.
    QCOMPARE(AutomationHarness::texts(h.child<QListWidget>(dialog, "List2")), strings({"Relay 2 ON"}));
    QCOMPARE(AutomationHarness::texts(h.child<QListWidget>(dialog, "List4")), strings({"Relay 2 OFF"}));
    // And the user must choose again before an upload.
    click(dialog, "Upload");
    QCOMPARE(h.fixture.prompter.lastText(),
             QStringLiteral("Choose a Relay Script to execute when the\r\n"
                            "temperature is greater than your chosen threshold !"));
    delete dialog;
}

QTEST_MAIN(TestTemperature)
#include "tst_temperature.moc"
