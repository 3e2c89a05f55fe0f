// The automation dialogs against the in-process simulated unit, opened from the main window as a
// user would: the unit's own model shows what arrived, its later reports show what it did.

#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include "automationharness.h"
#include "gui/automation/automationdialogs.h"
#include "gui/automation/slotlists.h"
#include "gui/main/mainform.h"
#include "ksv-sim/simulatedunit.h"

using kestavo::core::MainForm;
using kestavo::sim::SimulatedUnit;
using kestavo::test::AutomationHarness;

namespace {

QString qs(const char* text)
{
    return QString::fromLatin1(text);
}

// One console with its main window, talking to one simulated unit whose clock moves only when a
// test says so.
class SimBench
{
public:
    SimBench()
    {
        SimulatedUnit::Config config;
        config.unit.password = "secret";
        config.port = 0;
        config.realTime = false;
        unit = std::make_unique<SimulatedUnit>(config);
        fixture.session.setTiming({30, 200, 60000});
        kestavo::automation::registerAutomationDialogs(fixture.dialogs);
        form = std::make_unique<MainForm>(fixture.context, fixture.dialogs);
        fixture.context.mainWindow = form.get();
        form->loadStations();
    }
    ~SimBench() { fixture.session.stop(); }

    bool start()
    {
        if (!unit->start())
            return false;
        fixture.session.setUnitPort(unit->port());
        QSignalSpy table(&fixture.state, &kestavo::core::ConsoleState::slotTableChanged);
        QTest::mouseClick(form->findChild<QPushButton*>(qs("Command3")), Qt::LeftButton);
        // The first report unlocks the script features and asks for the slot table.
        return table.wait(3000) && fixture.state.revision() > 166;
    }
    std::optional<bool> relay(int n) const
    {
        const auto& report = fixture.state.lastReport();
        return report ? report->relayOn.at(std::size_t(n - 1)) : std::nullopt;
    }
    template <typename T> T* control(const char* name) const { return form->findChild<T*>(qs(name)); }
    /// Presses a main-window control and returns the top-level window it opened.
    QWidget* openFrom(const char* control, const char* dialogName)
    {
        QWidget* widget = form->findChild<QWidget*>(qs(control));
        if (!widget)
            return nullptr;
        if (auto* button = qobject_cast<QPushButton*>(widget))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            QTest::mousePress(widget, Qt::LeftButton);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == qs(dialogName) && w->isVisible())
                return w;
        }
        return nullptr;
    }

    kestavo::testsupport::ConsoleFixture fixture;
    std::unique_ptr<SimulatedUnit> unit;
    std::unique_ptr<MainForm> form;
};

void click(QWidget* dialog, const char* name)
{
    AutomationHarness::clickButton(dialog->findChild<QAbstractButton*>(qs(name)));
}

QListWidget* list(QWidget* dialog, const char* name)
{
    return dialog->findChild<QListWidget*>(qs(name));
}

} // namespace

class TestAutomationSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void scriptUploadedAndExecuted();
    void oneShotTimerCountsDownAndRuns_data();
    void oneShotTimerCountsDownAndRuns();
    void ioPinRunsItsScript_data();
    void ioPinRunsItsScript();
    void temperatureThresholdRunsItsScript();
};

void TestAutomationSim::cleanup()
{
    // A failed row may leave its dialog open: it must not answer for the next row.
    QList<QPointer<QWidget>> leftovers;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->parentWidget())
            leftovers.append(w);
    }
    for (const QPointer<QWidget>& w : leftovers)
        delete w.data();
}

void TestAutomationSim::scriptUploadedAndExecuted()
{
    SimBench bench;
    QVERIFY(bench.start());
    QPointer<QWidget> dialog = bench.openFrom("Command23", "RelayScripting");
    QVERIFY(dialog);
    QVERIFY(!bench.form->isEnabled());
    QTRY_COMPARE(list(dialog, "List1")->count(), 8);

    AutomationHarness::clickRow(list(dialog, "List1"), 2);
    for (int step : {0, 6, 2}) // Relay 1 ON, Wait 1 Second, Relay 2 ON
        AutomationHarness::clickRow(list(dialog, "List3"), step);
    click(dialog, "UploadScript");
    click(dialog, "UploadYes");
    QTest::keyClicks(dialog->findChild<QLineEdit*>(qs("Text1")), qs("Sim lights"));
    click(dialog, "DescriptionOk");
    QTRY_COMPARE(bench.unit->model().relayScript(3).codeField, std::string("173") + std::string(13, ' '));
    QCOMPARE(bench.unit->model().relayScript(3).description, std::string("Sim lights      "));

    click(dialog, "Refresh");
    QTRY_COMPARE(list(dialog, "List1")->count(), 8);
    QCOMPARE(list(dialog, "List1")->item(2)->text(), qs("Sim lights      "));
    AutomationHarness::clickRow(list(dialog, "List1"), 2);
    QCOMPARE(list(dialog, "List2")->count(), 3);

    QSignalSpy notifications(&bench.fixture.state, &kestavo::core::ConsoleState::notificationRaised);
    click(dialog, "ExecuteScript");
    click(dialog, "ExecuteYes");
    QTRY_VERIFY(dialog.isNull());
    QVERIFY(bench.form->isEnabled());
    QTRY_COMPARE(notifications.size(), 1);
    QCOMPARE(notifications.first().first().toInt(), 3); // "Relay Script Executed !"
    QTRY_COMPARE(bench.relay(1), std::optional<bool>(true));
    QCOMPARE(bench.relay(2), std::optional<bool>(false)); // still waiting its second on the unit
    bench.unit->advance(1000);
    QTRY_COMPARE(bench.relay(2), std::optional<bool>(true));
}

void TestAutomationSim::oneShotTimerCountsDownAndRuns_data()
{
    QTest::addColumn<QString>("openFrom"); // the timer picture or its label
    QTest::newRow("timer picture") << qs("Image1");
    QTest::newRow("Timer label") << qs("Label23");
}

void TestAutomationSim::oneShotTimerCountsDownAndRuns()
{
    QFETCH(QString, openFrom);
    SimBench bench;
    bench.unit->model().setRelayScript(2, "5", "Timer lamp");
    QVERIFY(bench.start());
    QPointer<QWidget> dialog = bench.openFrom(qPrintable(openFrom), "Timer");
    QVERIFY(dialog);
    QTRY_COMPARE(list(dialog, "List1")->count(), 8);
    AutomationHarness::clickRow(list(dialog, "List1"), 1);
    dialog->findChild<QComboBox*>(qs("Combo4"))->setEditText(qs("5"));
    QSignalSpy notifications(&bench.fixture.state, &kestavo::core::ConsoleState::notificationRaised);
    click(dialog, "SetTimer");
    QTRY_VERIFY(dialog.isNull());
    QTRY_COMPARE(notifications.size(), 1);
    QCOMPARE(notifications.first().first().toInt(), 5); // "Timer Data Received !"
    QVERIFY(bench.unit->model().timerActive());

    auto* timerLabel = bench.control<QLabel>("Label24");
    auto* seconds = bench.control<QLabel>("Label30");
    QTRY_COMPARE(timerLabel->text(), qs("Timer lamp      "));
    QTRY_COMPARE(seconds->text(), qs("5"));
    bench.unit->advance(2000);
    QTRY_COMPARE(seconds->text(), qs("3"));
    QCOMPARE(bench.relay(3), std::optional<bool>(false));
    bench.unit->advance(3000);
    QTRY_COMPARE(timerLabel->text(), qs("Timer  Inactive"));
    QTRY_COMPARE(bench.relay(3), std::optional<bool>(true));
    QVERIFY(!bench.unit->model().timerActive());
}

void TestAutomationSim::ioPinRunsItsScript_data()
{
    QTest::addColumn<int>("box"); // 1..5
    QTest::newRow("box 1") << 1;
    QTest::newRow("box 5") << 5;
}

void TestAutomationSim::ioPinRunsItsScript()
{
    QFETCH(int, box);
    SimBench bench;
    bench.unit->model().setRelayScript(4, "3", "Pin high");
    bench.unit->model().setRelayScript(5, "4", "Pin low");
    QVERIFY(bench.start());
    const QByteArray readout = "Text" + QByteArray::number(57 + box);
    QPointer<QWidget> dialog = bench.openFrom(readout.constData(), "ioBox");
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("I/O BOX %1").arg(box));
    click(dialog, "Option2");
    AutomationHarness::clickRow(list(dialog, "List1"), 4); // slot 5 on a change to 0
    AutomationHarness::clickRow(list(dialog, "List3"), 3); // slot 4 on a change to 1
    QSignalSpy notifications(&bench.fixture.state, &kestavo::core::ConsoleState::notificationRaised);
    click(dialog, "Upload");
    QTRY_VERIFY(dialog.isNull());
    QTRY_COMPARE(notifications.size(), 1);
    QCOMPARE(notifications.first().first().toInt(), 6); // "I/O Data Received !"
    const auto& setting = bench.unit->model().ioSetting(box);
    QCOMPARE(int(setting.action), 1);
    QCOMPARE(int(setting.codeFor0), 0x80);
    QCOMPARE(int(setting.codeFor1), 0x60);

    QCOMPARE(bench.relay(2), std::optional<bool>(false));
    bench.unit->model().setPin(box, 1);
    QTRY_COMPARE(bench.relay(2), std::optional<bool>(true));
    bench.unit->model().setPin(box, 0);
    QTRY_COMPARE(bench.relay(2), std::optional<bool>(false));

    // The reports now carry the setting: opening the box again shows it.
    QTRY_COMPARE(bench.fixture.state.ioSetting(box - 1, 0), 1);
    dialog = bench.openFrom(readout.constData(), "ioBox");
    QVERIFY(dialog);
    QVERIFY(dialog->findChild<QRadioButton*>(qs("Option2"))->isChecked());
    QCOMPARE(kestavo::automation::selectedRow(*list(dialog, "List1")), 4);
    QCOMPARE(kestavo::automation::selectedRow(*list(dialog, "List3")), 3);
    QCOMPARE(AutomationHarness::texts(list(dialog, "List4")), QStringList{qs("Relay 2 ON")});
    dialog->close();
}

void TestAutomationSim::temperatureThresholdRunsItsScript()
{
    SimBench bench;
    bench.unit->model().setRelayScript(1, "1", "Hot: fan on");
    bench.unit->model().setRelayScript(8, "2", "Cool: fan off");
    QVERIFY(bench.start());
    QPointer<QWidget> dialog = bench.openFrom("Text57", "tempBox");
    QVERIFY(dialog);
    const QString reading = bench.control<QLineEdit>("Text57")->text();
    QVERIFY(!reading.isEmpty());
    QCOMPARE(dialog->windowTitle(), qs("Temperature Control         (") + reading + qs(")"));

    click(dialog, "Option2");
    dialog->findChild<QSlider*>(qs("Slider1"))->setValue(30);
    dialog->findChild<QSlider*>(qs("Slider2"))->setValue(20);
    AutomationHarness::clickRow(list(dialog, "List1"), 0);
    AutomationHarness::clickRow(list(dialog, "List3"), 7);
    QSignalSpy notifications(&bench.fixture.state, &kestavo::core::ConsoleState::notificationRaised);
    click(dialog, "Upload");
    QTRY_VERIFY(dialog.isNull());
    QTRY_COMPARE(notifications.size(), 1);
    QCOMPARE(notifications.first().first().toInt(), 7); // "Temperature Data Received !"
    const auto& setting = bench.unit->model().temperatureSetting();
    QCOMPARE(int(setting.action), 1);
    QCOMPARE(int(setting.upperCode), 0x00);
    QCOMPARE(int(setting.lowerCode), 0xE0);
    QCOMPARE(int(setting.upper), 30);
    QCOMPARE(int(setting.lower), 20);

    QCOMPARE(bench.relay(1), std::optional<bool>(false));
    bench.unit->model().setTemperatureHalves(61); // 30.5 °C: above the upper threshold
    QTRY_COMPARE(bench.relay(1), std::optional<bool>(true));
    bench.unit->model().setTemperatureHalves(39); // 19.5 °C: below the lower threshold
    QTRY_COMPARE(bench.relay(1), std::optional<bool>(false));
}

QTEST_MAIN(TestAutomationSim)
#include "tst_automationsim.moc"
