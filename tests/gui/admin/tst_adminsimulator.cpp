#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "gui/admin/securitydialog.h"
#include "ksv-sim/simulatedunit.h"
#include "support/consolefixture.h"

using kestavo::admin::SecurityDialog;
using kestavo::core::Session;
using kestavo::platform::Prompter;
using kestavo::sim::SimulatedUnit;
using kestavo::testsupport::ConsoleFixture;

namespace {

constexpr int kPollMs = 20;
constexpr int kWatchdogMs = 400;
constexpr int kQuietMs = 600000;
constexpr int kWaitMs = 5000;

SimulatedUnit::Config unitConfig()
{
    SimulatedUnit::Config config;
    config.unit.password = "secret";
    config.port = 0;         // the system picks a free port on 127.0.0.1
    config.realTime = false; // the unit answers at once; its clock does not matter here
    return config;
}

/// The console talking to an in-process simulated unit on 127.0.0.1, with the security dialog open.
struct SimConsole
{
    SimConsole() : unit(unitConfig())
    {
        unitStarted = unit.start();
        fixture.session.setUnitPort(unit.port());
        fixture.session.setTiming({kPollMs, kQuietMs, kWatchdogMs});
        fixture.context.mainWindow = &mainWindow;
    }
    ~SimConsole() { delete dialog.data(); }
    SimConsole(const SimConsole&) = delete;
    SimConsole& operator=(const SimConsole&) = delete;

    bool startAndOpen()
    {
        QSignalSpy reports(&fixture.state, &kestavo::core::ConsoleState::statusDecoded);
        fixture.session.start(fixture.stationEntry());
        if (!reports.wait(kWaitMs))
            return false;
        dialog = new SecurityDialog(fixture.context);
        dialog->show();
        return true;
    }
    /// Whether the unit keeps answering the console's polls: `count` more status reports arrive.
    bool keepsReporting(int count)
    {
        QSignalSpy reports(&fixture.state, &kestavo::core::ConsoleState::statusDecoded);
        while (reports.size() < count) {
            if (!reports.wait(kWaitMs))
                return false;
        }
        return fixture.state.acquiring();
    }
    template <typename T> T* find(const char* name) const
    {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* octet(int index) const
    {
        return dialog->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(index + 2));
    }
    void listInRow1(const QList<int>& address) const
    {
        find<QRadioButton>("Option2")->click();
        for (int i = 0; i < 20; ++i)
            octet(i)->setText(i < 4 ? QString::number(address[i]) : QStringLiteral("0"));
    }

    SimulatedUnit unit;
    ConsoleFixture fixture;
    QWidget mainWindow;
    QPointer<SecurityDialog> dialog;
    bool unitStarted = false;
};

} // namespace

class TestAdminSimulator final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void changedPasswordKeepsThePollsGoing()
    {
        SimConsole console;
        QVERIFY2(console.unitStarted, qPrintable(console.unit.errorString()));
        QVERIFY(console.startAndOpen());

        // Fast polls keep going around the change: the dialog holds them while the change is
        // under way, so none can cross it on the wire with the old password and be refused.
        console.fixture.session.setTiming({kPollMs, kQuietMs, kWatchdogMs});
        auto* box = console.find<QLineEdit>("Text1");
        box->clear();
        QTest::keyClicks(box, QStringLiteral("n3w"));
        console.find<QPushButton>("Command1")->click();
        QTRY_COMPARE_WITH_TIMEOUT(
            console.fixture.prompter.lastText(),
            QStringLiteral("Remote Password successfully updated and written into Local "
                           "data base."),
            kWaitMs);
        QCOMPARE(console.unit.model().password(), std::string("n3w*******"));
        QCOMPARE(console.fixture.store.password(), QStringLiteral("n3w*******"));
        QTRY_VERIFY(console.dialog.isNull());
        QVERIFY(!console.fixture.session.pollsHeld());
        QVERIFY(console.fixture.state.acquiring());
        QVERIFY(console.keepsReporting(5));
        QCOMPARE(console.unit.model().counters().wrongPassword, std::uint64_t(0));
        const std::string& lastFrame = console.unit.model().frames().back().bytes;
        QCOMPARE(lastFrame.substr(9, 11), std::string("1n3w*******"));
        QCOMPARE(console.fixture.prompter.calls().size(), 1);
    }

    void allowedListWithThisComputer()
    {
        SimConsole console;
        QVERIFY(console.unitStarted);
        QVERIFY(console.startAndOpen());
        console.listInRow1({127, 0, 0, 1});
        console.find<QPushButton>("Command3")->click();
        QTRY_COMPARE_WITH_TIMEOUT(console.fixture.prompter.lastText(),
                                  QStringLiteral("Allowable IP Status change successful!"), kWaitMs);
        // No lockout question: this computer is on the list.
        QCOMPARE(console.fixture.prompter.calls().size(), 1);
        QCOMPARE(int(console.unit.model().allowedRule()), 1);
        const auto& octets = console.unit.model().allowedOctets();
        QCOMPARE(QList<int>(octets.begin(), octets.begin() + 4), (QList<int>{127, 0, 0, 1}));

        QVERIFY(console.keepsReporting(5));
        QCOMPARE(console.unit.model().counters().filtered, std::uint64_t(0));
    }

    void allowedListWithoutThisComputer_data()
    {
        QTest::addColumn<bool>("sendAnyway");
        QTest::newRow("user keeps the old list") << false;
        QTest::newRow("user sends it anyway") << true;
    }
    void allowedListWithoutThisComputer()
    {
        QFETCH(bool, sendAnyway);
        SimConsole console;
        QVERIFY(console.unitStarted);
        QVERIFY(console.startAndOpen());
        console.listInRow1({127, 0, 0, 2});
        console.fixture.prompter.queueAnswer(sendAnyway ? Prompter::Answer::Yes : Prompter::Answer::No);
        console.find<QPushButton>("Command3")->click();
        QCOMPARE(console.fixture.prompter.calls().size(), 1);
        QCOMPARE(int(console.fixture.prompter.lastCall().buttons), int(Prompter::Buttons::YesNo));

        if (!sendAnyway) {
            QCOMPARE(int(console.unit.model().allowedRule()), 0);
            QVERIFY(console.keepsReporting(5));
            QVERIFY(console.find<QPushButton>("Command3")->isEnabled());
            return;
        }
        // What the question warns of: the unit still answers the change itself, then falls silent
        // towards this computer, and the session ends when the watchdog runs out.
        QTRY_COMPARE_WITH_TIMEOUT(int(console.unit.model().allowedRule()), 1, kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!console.fixture.state.acquiring(), kWaitMs);
        QCOMPARE(console.fixture.prompter.texts().mid(1),
                 (QStringList{QStringLiteral("Allowable IP Status change successful!"),
                              QStringLiteral("No incomming packets for 60 seconds.... Disconnected !!")}));
        QVERIFY(console.unit.model().counters().filtered > 0);
    }
};

QTEST_MAIN(TestAdminSimulator)
#include "tst_adminsimulator.moc"
