#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "protocol/conversions.h"
#include "protocol/frames.h"

#include "gui/main/mainform.h"
#include "ksv-sim/simulatedunit.h"
#include "support/consolefixture.h"

using namespace kestavo;
using testsupport::ConsoleFixture;

namespace {

// The main window against a simulated unit on loopback; the unit's time moves only when the test
// says so, so every readout can be compared with the unit's own state.
struct Rig
{
    explicit Rig(std::array<std::uint8_t, 3> firmware = {1, 7, 2}, const std::string& unitPassword = "secret")
    {
        sim::SimulatedUnit::Config config;
        config.port = 0;
        config.realTime = false;
        config.unit.password = unitPassword;
        config.unit.firmware = firmware;
        config.unit.stationName = "  Pumphouse North  ";
        unit = std::make_unique<sim::SimulatedUnit>(config);
        started = unit->start();
        f.session.setUnitPort(unit->port());
        form = std::make_unique<core::MainForm>(f.context, f.dialogs);
        form->loadStations();
    }
    ~Rig() { core::MainForm::unloadAllForms(form.get()); }

    QString text(const char* name) const
    {
        if (auto* e = form->findChild<QLineEdit*>(QLatin1String(name)))
            return e->text();
        if (auto* l = form->findChild<QLabel*>(QLatin1String(name)))
            return l->text();
        return QStringLiteral("<missing %1>").arg(QLatin1String(name));
    }
    std::uint64_t opcodeCount(char opcode) const
    {
        return unit->model().counters().perOpcode[std::uint8_t(opcode)];
    }

    ConsoleFixture f;
    std::unique_ptr<sim::SimulatedUnit> unit;
    std::unique_ptr<core::MainForm> form;
    bool started = false;
};

} // namespace

class TestSessionAgainstSimulator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readoutsEqualTheUnitsState()
    {
        Rig r;
        QVERIFY2(r.started, qPrintable(r.unit->errorString()));
        auto& m = r.unit->model();
        m.setRelay(1, true);
        m.setRelay(2, false);
        m.setPin(3, 1);
        m.setTemperatureHalves(-5); // -2.5 °C
        m.setChannelRaw(3, 2048);
        m.setChannelRaw(6, 1);
        r.f.session.start(r.f.stationEntry());
        QTRY_COMPARE(r.text("Panel2"), QStringLiteral("Connected"));
        QCOMPARE(r.text("Label8"), QStringLiteral("Receiving Data"));
        QCOMPARE(r.text("Text8"), QStringLiteral("00:0A:1B:2C:3D:4E"));
        QCOMPARE(r.text("Text83"), QStringLiteral("Pumphouse North"));
        QCOMPARE(r.text("Label9"), QStringLiteral("ON"));
        QCOMPARE(r.text("Label10"), QStringLiteral("OFF"));
        QCOMPARE(r.text("Text60"), QStringLiteral("1"));
        QCOMPARE(r.text("Text58"), QStringLiteral("0"));
        QCOMPARE(r.text("Text57"), QString::fromUtf8("-2.5\u00B0C    27.5\u00B0F"));
        QCOMPARE(r.text("Text2"), QStringLiteral("15.00366300366"));
        QCOMPARE(r.text("Text5"), QStringLiteral("0.00"));
        QCOMPARE(r.text("Label24"), QStringLiteral("Timer  Inactive"));
        QVERIFY(r.form->findChild<QPushButton*>(QStringLiteral("Command23"))->isEnabled());

        // Start again: the open socket is reused, the label says "Connecting" until the next
        // report, and the connection panel keeps its state.
        r.f.session.setTiming({60000, 200, 60000});
        r.unit->stop();
        r.f.session.start(r.f.stationEntry());
        QCOMPARE(r.text("Label8"), QStringLiteral("Connecting"));
        QCOMPARE(r.text("Panel2"), QStringLiteral("Connected"));
        QCOMPARE(r.text("Label19"), QStringLiteral("1"));
        QCOMPARE(r.text("Label17"), QStringLiteral("0"));
    }

    void oneReadRequestPerStart_data()
    {
        QTest::addColumn<int>("patch");
        QTest::addColumn<int>("reads");
        QTest::newRow("1.6.6") << 6 << 0;
        QTest::newRow("1.6.7") << 7 << 1;
    }
    void oneReadRequestPerStart()
    {
        QFETCH(int, patch);
        QFETCH(int, reads);
        Rig r({1, 6, std::uint8_t(patch)});
        QVERIFY(r.started);
        r.f.session.start(r.f.stationEntry());
        QTRY_VERIFY(r.f.session.received() >= 3); // several polls answered
        QTest::qWait(100);
        QCOMPARE(int(r.opcodeCount('L')), reads);
        QCOMPARE(r.form->findChild<QPushButton*>(QStringLiteral("Command23"))->isEnabled(), reads == 1);
        if (reads)
            QTRY_COMPARE(r.f.state.replyIndicator(), 1); // the slot table arrived
        r.f.session.start(r.f.stationEntry());
        QTRY_VERIFY(r.f.session.received() >= 3);
        QTest::qWait(100);
        QCOMPARE(int(r.opcodeCount('L')), 2 * reads);
    }

    void silentUnitEndsTheSession()
    {
        Rig r;
        QVERIFY(r.started);
        r.f.session.setTiming({20, 20, 200});
        r.f.session.start(r.f.stationEntry());
        QTRY_VERIFY(r.f.session.received() >= 1);
        r.unit->stop();
        const int lostBefore = r.f.session.lost();
        QTRY_VERIFY_WITH_TIMEOUT(!r.f.state.acquiring(), 3000);
        QVERIFY(r.f.session.lost() > lostBefore);
        QCOMPARE(r.f.prompter.lastText(),
                 QStringLiteral("No incomming packets for 60 seconds.... Disconnected !!"));
        QCOMPARE(r.text("Panel2"), QStringLiteral("Not Connected"));
        QCOMPARE(r.text("Label9"), QStringLiteral("===="));
        QCOMPARE(r.text("Text8"), QString());
    }

    void wrongPasswordStopsTheSession()
    {
        Rig r({1, 7, 2}, "other");
        QVERIFY(r.started);
        r.f.session.start(r.f.stationEntry());
        QTRY_VERIFY(!r.f.state.acquiring());
        QCOMPARE(r.f.prompter.lastCall().title, QStringLiteral("Lameness Detected!"));
        QCOMPARE(r.f.prompter.lastText(), QStringLiteral("Bad Password!"));
        QCOMPARE(r.text("Text8"), QString()); // nothing of the rejected reply was shown
    }

    void lossyLinkKeepsTheCountersConsistent()
    {
        sim::SimulatedUnit::Config config;
        config.port = 0;
        config.realTime = false;
        config.unit.password = "secret";
        config.faults.loss = 0.3;
        config.faults.seed = 7;
        ConsoleFixture f;
        sim::SimulatedUnit unit(config);
        QVERIFY(unit.start());
        f.session.setUnitPort(unit.port());
        f.session.setTiming({5, 20, 5000});
        // "Lost:" is recomputed only when "Sent:" changes: remember what it was computed from.
        int receivedAtLastSend = 0;
        connect(&f.session, &kestavo::core::Session::countersChanged, this, [&](bool sentChanged) {
            if (sentChanged)
                receivedAtLastSend = f.session.received();
        });
        f.session.start(f.stationEntry());
        QTRY_VERIFY_WITH_TIMEOUT(f.session.sent() >= 150, 5000);
        f.session.stop();
        QTest::qWait(50);
        const auto& c = unit.model().counters();
        // Loopback loses nothing on the way out; replies were lost only where the unit dropped them.
        QCOMPARE(int(c.received), f.session.sent());
        QCOMPARE(int(unit.counters().repliesSent), f.session.received());
        QVERIFY(f.session.received() < f.session.sent());
        QVERIFY(f.session.received() > f.session.sent() / 2);
        QCOMPARE(f.session.lost(), f.session.sent() - receivedAtLastSend - 1);
        QVERIFY(f.prompter.calls().isEmpty());
    }
};

QTEST_MAIN(TestSessionAgainstSimulator)
#include "tst_session_sim.moc"
