// The simulated unit's model, script runner and fault injector, driven by their own clocks:
// no sockets, no waiting.

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <QTest>

#include "protocol/codes.h"
#include "protocol/conversions.h"
#include "protocol/frames.h"
#include "protocol/reply.h"

#include "ksv-sim/faultinjector.h"
#include "ksv-sim/scriptrunner.h"
#include "ksv-sim/unitmodel.h"

using kestavo::sim::FaultInjector;
using kestavo::sim::Ipv4;
using kestavo::sim::ScriptRunner;
using kestavo::sim::UnitModel;
namespace p = kestavo::protocol;

Q_DECLARE_METATYPE(UnitModel::Outcome)

namespace {

const Ipv4 kLocal{127, 0, 0, 1};
const Ipv4 kOther{127, 0, 0, 2};
const std::string kPassword = p::padPassword("password");

int byteAt(const std::string& reply, std::size_t position)
{
    return static_cast<unsigned char>(reply.at(position - 1));
}

std::string only(const std::vector<std::string>& replies)
{
    if (replies.size() != 1)
        return {};
    return replies.front();
}

std::string poll(UnitModel& model, const Ipv4& from = kLocal)
{
    return only(model.handleFrame(p::pollFrame(kPassword), from));
}

/// Relays 1 to 3 as "100": '1' for a relay that is on.
QString relayStates(const UnitModel& model)
{
    QString states;
    for (int relay = 1; relay <= 3; ++relay)
        states += model.relayOn(relay) ? QLatin1Char('1') : QLatin1Char('0');
    return states;
}

} // namespace

class TestUnitModel final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scriptRunnerRunsActionsBetweenWaits();

    void temperatureBytes_data();
    void temperatureBytes();
    void revisionGates_data();
    void revisionGates();
    void uptimeCountsAndWraps();

    void malformedFramesAreCountedAndDropped_data();
    void malformedFramesAreCountedAndDropped();
    void wrongPasswordChangesNothing();
    void randomDatagramsNeverBreakTheUnit();

    void relayCycleSwitchesBackOnAfterItsDelay();
    void relaySwitchCancelsPendingCycle();
    void relayScriptRunsStepByStep_data();
    void relayScriptRunsStepByStep();
    void newScriptReplacesRunningOne();
    void oneShotTimerCountsDownAndRunsItsSlot();
    void continuousTimerReloads();
    void timerWithoutScriptSlotIsNotStarted_data();
    void timerWithoutScriptSlotIsNotStarted();
    void ioTriggerRunsSlotOnPinChange();
    void temperatureTriggerFiresOnCrossing_data();
    void temperatureTriggerFiresOnCrossing();

    void boardCommand_data();
    void boardCommand();
    void oneToggleAtATime();
    void boardScriptStoredAndRun();

    void passwordChange_data();
    void passwordChange();
    void allowedListFiltersSources();
    void allowedListNeedsTwentyOctets();

    void demoIsReproducibleFromItsSeed();
    void driftStaysNearItsStart();
    void heldChannelStopsItsWaveform();

    void faultsAreReproducibleFromTheSeed();
    void faultExtremes_data();
    void faultExtremes();
    void delayStaysInItsRange();
    void reorderSwapsNeighbours();
    void silentAfterCountsFrames();
};

// ---- script runner ---------------------------------------------------------------------------

void TestUnitModel::scriptRunnerRunsActionsBetweenWaits()
{
    ScriptRunner runner;
    runner.start({{0, 'a'}, {0, 'b'}, {1000, 0}, {0, 'c'}, {500, 0}}, 100);
    QCOMPARE(runner.take(99), std::vector<std::uint8_t>{});
    QCOMPARE(runner.take(100), (std::vector<std::uint8_t>{'a', 'b'}));
    QCOMPARE(runner.nextDue(), std::optional<std::int64_t>(1100));
    QCOMPARE(runner.take(1099), std::vector<std::uint8_t>{});
    QCOMPARE(runner.take(1100), std::vector<std::uint8_t>{'c'});
    QVERIFY(!runner.running()); // the trailing wait changes nothing and is dropped
    QCOMPARE(runner.nextDue(), std::nullopt);
}

// ---- status report fields ----------------------------------------------------------------------

void TestUnitModel::temperatureBytes_data()
{
    QTest::addColumn<int>("halves");
    QTest::addColumn<int>("magnitude");
    QTest::addColumn<int>("flags");
    QTest::newRow("23.0") << 46 << 23 << 0;
    QTest::newRow("23.5") << 47 << 23 << 128;
    QTest::newRow("zero") << 0 << 0 << 0;
    QTest::newRow("0.5") << 1 << 0 << 128;
    QTest::newRow("-0.5") << -1 << 1 << 129;
    QTest::newRow("-2.5") << -5 << 3 << 129;
    QTest::newRow("-3.0") << -6 << 3 << 1;
    QTest::newRow("clamped high") << 9999 << 255 << 0;
}

void TestUnitModel::temperatureBytes()
{
    QFETCH(int, halves);
    QFETCH(int, magnitude);
    QFETCH(int, flags);
    UnitModel model;
    model.setTemperatureHalves(halves);
    const std::string report = poll(model);
    QCOMPARE(byteAt(report, 69), magnitude);
    QCOMPARE(byteAt(report, 70), flags);
    // The console's own reading of the two bytes gives back the unit's temperature.
    const auto celsius =
        p::temperatureCelsius(static_cast<std::uint8_t>(magnitude), static_cast<std::uint8_t>(flags));
    QVERIFY(celsius.has_value());
    QCOMPARE(*celsius, model.temperatureCelsius());
}

void TestUnitModel::revisionGates_data()
{
    QTest::addColumn<QList<int>>("firmware");
    QTest::addColumn<int>("shortLength");
    QTest::addColumn<bool>("http");
    QTest::addColumn<bool>("boards");
    QTest::addColumn<bool>("snmp");
    QTest::newRow("1.6.6") << QList<int>{1, 6, 6} << 122 << false << false << false;
    QTest::newRow("1.6.7") << QList<int>{1, 6, 7} << 122 << false << false << false;
    QTest::newRow("1.6.8") << QList<int>{1, 6, 8} << 123 << true << false << false;
    QTest::newRow("1.6.9") << QList<int>{1, 6, 9} << 123 << true << false << false;
    QTest::newRow("1.7.0") << QList<int>{1, 7, 0} << 136 << true << true << false;
    QTest::newRow("1.7.1") << QList<int>{1, 7, 1} << 137 << true << true << true;
    QTest::newRow("1.7.2") << QList<int>{1, 7, 2} << 137 << true << true << true;
    // Decimal texts joined: 1, 10, 2 is revision 1102, above every gate.
    QTest::newRow("1.10.2") << QList<int>{1, 10, 2} << 137 << true << true << true;
}

void TestUnitModel::revisionGates()
{
    QFETCH(QList<int>, firmware);
    QFETCH(int, shortLength);
    QFETCH(bool, http);
    QFETCH(bool, boards);
    QFETCH(bool, snmp);
    UnitModel::Config config;
    config.firmware = {static_cast<std::uint8_t>(firmware[0]), static_cast<std::uint8_t>(firmware[1]),
                       static_cast<std::uint8_t>(firmware[2])};
    config.boards = {true, false, false, true, false, false};
    UnitModel model(config);
    model.setBoardState(1, 0x41);
    model.setHttpOn(false); // reported as 1, so a gated 0 is told apart from "on"
    model.setSnmpOn(false);
    QVERIFY(model.handleFrame(p::boardFrame(p::boardAddress(4), 0x02, 2, 9, kPassword), kLocal).size() == 1);

    const std::string full = poll(model);
    QCOMPARE(full.size(), std::size_t{137});
    QCOMPARE(byteAt(full, 66), firmware[0]);
    QCOMPARE(byteAt(full, 67), firmware[1]);
    QCOMPARE(byteAt(full, 68), firmware[2]);
    QCOMPARE(byteAt(full, 123), http ? 1 : 0);
    QCOMPARE(byteAt(full, 124), boards ? 255 : 0);
    QCOMPARE(byteAt(full, 125), 0);
    QCOMPARE(byteAt(full, 127), boards ? 255 : 0);
    QCOMPARE(byteAt(full, 130), boards ? 0x41 : 0);
    QCOMPARE(byteAt(full, 133), boards ? 0x02 : 0);
    QCOMPARE(byteAt(full, 136), boards ? 9 : 0);
    QCOMPARE(byteAt(full, 137), snmp ? 1 : 0);

    config.fullLengthReports = false;
    UnitModel shortModel(config);
    QCOMPARE(poll(shortModel).size(), static_cast<std::size_t>(shortLength));
}

void TestUnitModel::uptimeCountsAndWraps()
{
    UnitModel::Config config;
    config.uptimeSeconds = 123456 - 2;
    UnitModel model(config);
    model.advance(1999);
    QCOMPARE(model.uptime(), 123455u);
    model.advance(1);
    const std::string report = poll(model);
    // Least significant first: 123456 = 0x0001E240.
    QCOMPARE(byteAt(report, 74), 0x40);
    QCOMPARE(byteAt(report, 75), 0xE2);
    QCOMPARE(byteAt(report, 76), 0x01);
    QCOMPARE(byteAt(report, 77), 0x00);

    config.uptimeSeconds = 0xFFFFFFFFu;
    UnitModel old(config);
    QCOMPARE(byteAt(poll(old), 77), 0xFF);
    old.advance(1000);
    QCOMPARE(old.uptime(), 0u);
}

// ---- frames the unit will not take ----------------------------------------------------------

void TestUnitModel::malformedFramesAreCountedAndDropped_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<UnitModel::Outcome>("outcome");
    const std::string good = p::pollFrame(kPassword);
    auto bytes = [](const std::string& s) {
        return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
    };
    QTest::newRow("empty") << QByteArray() << UnitModel::Outcome::TooShort;
    QTest::newRow("header only") << QByteArray("&^ZQK2001") << UnitModel::Outcome::TooShort;
    QTest::newRow("no password") << bytes(good.substr(0, 19)) << UnitModel::Outcome::TooShort;
    QTest::newRow("wrong header") << bytes("&^ZQK2002" + good.substr(9)) << UnitModel::Outcome::BadHeader;
    QTest::newRow("lower case") << bytes("&^zqk2001" + good.substr(9)) << UnitModel::Outcome::BadHeader;
    QTest::newRow("unknown opcode") << bytes(p::textFrame('Z', kPassword, {}, 130))
                                    << UnitModel::Outcome::UnknownOpcode;
    QTest::newRow("opcode 0") << bytes(p::textFrame('0', kPassword, {}, 130))
                              << UnitModel::Outcome::UnknownOpcode;
    // Long enough for the head, too short for the payload the opcode carries.
    QTest::newRow("J cut at 40") << bytes(p::scriptUploadFrame(0, "1", "x", kPassword).substr(0, 40))
                                 << UnitModel::Outcome::TooShort;
    QTest::newRow("R cut at 23") << bytes(p::boardFrame(0x44, 1, 0, 0, kPassword).substr(0, 23))
                                 << UnitModel::Outcome::TooShort;
    QTest::newRow("E cut at 25") << bytes(p::setMacFrame({1, 2, 3, 4, 5, 6}, kPassword).substr(0, 25))
                                 << UnitModel::Outcome::TooShort;
}

void TestUnitModel::malformedFramesAreCountedAndDropped()
{
    QFETCH(QByteArray, frame);
    QFETCH(UnitModel::Outcome, outcome);
    UnitModel model;
    const auto replies = model.handleFrame(
        std::string_view(frame.constData(), static_cast<std::size_t>(frame.size())), kLocal);
    QVERIFY(replies.empty());
    QCOMPARE(model.frames().back().outcome, outcome);
    QCOMPARE(model.counters().dropped(), std::uint64_t{1});
    QCOMPARE(model.counters().accepted, std::uint64_t{0});
    QCOMPARE(poll(model).size(), std::size_t{137});
}

void TestUnitModel::wrongPasswordChangesNothing()
{
    UnitModel model;
    const auto replies = model.handleFrame(p::relayOnFrame(1, "passworD**"), kLocal);
    QCOMPARE(replies.size(), std::size_t{1});
    const std::string& reply = replies.front();
    QCOMPARE(reply.size(), p::kKindPosition);
    QCOMPARE(byteAt(reply, 11), 1);
    QCOMPARE(byteAt(reply, 12), 0); // 'G' result "not changed"
    QCOMPARE(byteAt(reply, 13), 1); // 'H' result "not changed"
    QCOMPARE(byteAt(reply, 14), 0);
    QVERIFY(!model.relayOn(1));
    QCOMPARE(model.counters().wrongPassword, std::uint64_t{1});
    // The unit reads ten bytes, whatever the sender meant: a nine-character password pulls the
    // first '*' of the fill into position 20 and so matches "password**".
    QCOMPARE(byteAt(only(model.handleFrame(p::pollFrame("password*"), kLocal)), 11), 0);
    QCOMPARE(byteAt(only(model.handleFrame(p::pollFrame("Password**"), kLocal)), 11), 1);
}

void TestUnitModel::randomDatagramsNeverBreakTheUnit()
{
    UnitModel model;
    std::mt19937 random(2024);
    const std::string valid[] = {p::pollFrame(kPassword), p::boardFrame(0x44, 1, 2, 5, kPassword),
                                 p::timerSetFrame(5, 0x20, 1, kPassword),
                                 p::scriptUploadFrame(0, "1B2", "x", kPassword)};
    for (int i = 0; i < 5000; ++i) {
        std::string frame;
        switch (random() % 3) {
        case 0: // noise
            frame.resize(random() % 400);
            for (char& c : frame)
                c = static_cast<char>(random());
            break;
        case 1: // a valid frame cut anywhere
            frame = valid[random() % 4];
            frame.resize(random() % frame.size());
            break;
        default: // right head, random opcode and payload bytes
            frame = valid[random() % 4];
            frame[9] = static_cast<char>(random());
            for (std::size_t k = 20; k < frame.size(); ++k)
                frame[k] = static_cast<char>(random());
            break;
        }
        model.handleFrame(frame, kLocal);
        model.advance(random() % 2000);
    }
    const auto& c = model.counters();
    QCOMPARE(c.received, std::uint64_t{5000});
    QCOMPARE(c.accepted + c.wrongPassword + c.filtered + c.dropped(), c.received);
    QVERIFY(c.dropped() > 0);
    // Whatever the flood did to the settings, the unit still answers a poll with a whole report.
    model.setAllowed(0, {});
    model.setPassword("password");
    const std::string report = poll(model);
    QCOMPARE(report.size(), std::size_t{137});
    QCOMPARE(byteAt(report, 11), 0);
}

// ---- relays, scripts, timer, triggers ------------------------------------------------------

void TestUnitModel::relayCycleSwitchesBackOnAfterItsDelay()
{
    UnitModel model;
    model.setRelay(3, true);
    const std::string reply = only(model.handleFrame(p::relayCycleFrame(3, 3, kPassword), kLocal));
    QCOMPARE(byteAt(reply, 39), 1); // off at once
    QCOMPARE(byteAt(reply, 73), 3); // the delay the unit now reports for relay 3
    QCOMPARE(byteAt(reply, 71), 1); // the others keep theirs
    model.advance(2999);
    QVERIFY(!model.relayOn(3));
    model.advance(1);
    QVERIFY(model.relayOn(3));
    QCOMPARE(byteAt(poll(model), 39), 0);
}

void TestUnitModel::relaySwitchCancelsPendingCycle()
{
    UnitModel model;
    model.handleFrame(p::relayCycleFrame(1, 5, kPassword), kLocal);
    model.advance(1000);
    model.handleFrame(p::relayOffFrame(1, kPassword), kLocal);
    model.advance(10000);
    QVERIFY(!model.relayOn(1));
}

void TestUnitModel::relayScriptRunsStepByStep_data()
{
    QTest::addColumn<QString>("codeField");
    QTest::addColumn<QList<int>>("times");   // ms after 'K', ascending
    QTest::addColumn<QStringList>("relays"); // relay 1-3 at each time, '1' on
    QTest::newRow("on, wait 5, off") << QStringLiteral("1B2") << QList<int>{0, 4999, 5000}
                                     << QStringList{QStringLiteral("100"), QStringLiteral("100"),
                                                    QStringLiteral("000")};
    QTest::newRow("space ends the script") << QStringLiteral("1 2") << QList<int>{0, 60000}
                                           << QStringList{QStringLiteral("100"), QStringLiteral("100")};
    QTest::newRow("no-step character skipped")
        << QStringLiteral("1X72") << QList<int>{0, 999, 1000}
        << QStringList{QStringLiteral("100"), QStringLiteral("100"), QStringLiteral("000")};
    QTest::newRow("all on, then all off")
        << QStringLiteral("1357246") << QList<int>{0, 999, 1000}
        << QStringList{QStringLiteral("111"), QStringLiteral("111"), QStringLiteral("000")};
    QTest::newRow("sixteen steps") << QStringLiteral("1727172717271727") << QList<int>{0, 1000, 6500, 7000}
                                   << QStringList{QStringLiteral("100"), QStringLiteral("000"),
                                                  QStringLiteral("100"), QStringLiteral("000")};
    QTest::newRow("waits add up") << QStringLiteral("789AB1") << QList<int>{14999, 15000}
                                  << QStringList{QStringLiteral("000"), QStringLiteral("100")};
}

void TestUnitModel::relayScriptRunsStepByStep()
{
    QFETCH(QString, codeField);
    QFETCH(QList<int>, times);
    QFETCH(QStringList, relays);
    UnitModel model;
    const std::string upload =
        p::scriptUploadFrame(p::slotCode(5), codeField.toStdString(), "test", kPassword);
    QCOMPARE(byteAt(only(model.handleFrame(upload, kLocal)), 14), int{UnitModel::kKindStatus});
    QCOMPARE(model.relayScript(5).codeField, p::padField(codeField.toStdString()));

    const std::string ack = only(model.handleFrame(p::scriptExecuteFrame(p::slotCode(5), kPassword), kLocal));
    QCOMPARE(byteAt(ack, 14), 3);
    std::int64_t now = 0;
    for (int i = 0; i < times.size(); ++i) {
        model.advance(times[i] - now);
        now = times[i];
        QCOMPARE(relayStates(model), relays[i]);
    }
    QCOMPARE(model.scriptRuns().back().slot, 5);
    QCOMPARE(model.scriptRuns().back().trigger, UnitModel::Trigger::Command);
}

void TestUnitModel::newScriptReplacesRunningOne()
{
    UnitModel model;
    model.setRelayScript(1, "1B2", "long");
    model.setRelayScript(2, "3", "short");
    model.handleFrame(p::scriptExecuteFrame(p::slotCode(1), kPassword), kLocal);
    model.advance(1000);
    model.handleFrame(p::scriptExecuteFrame(p::slotCode(2), kPassword), kLocal);
    model.advance(10000);
    QCOMPARE(relayStates(model), QStringLiteral("110")); // slot 1 never reached its "off"
}

void TestUnitModel::oneShotTimerCountsDownAndRunsItsSlot()
{
    UnitModel model;
    model.setRelayScript(2, "1", "relay 1 on");
    const std::string ack =
        only(model.handleFrame(p::timerSetFrame(90061, p::slotCode(2), 0, kPassword), kLocal));
    QCOMPARE(byteAt(ack, 14), 5);

    std::string report = poll(model);
    QCOMPARE(byteAt(report, 98), 0x01); // 90061 = 0x015FCD, most significant first
    QCOMPARE(byteAt(report, 99), 0x5F);
    QCOMPARE(byteAt(report, 100), 0xCD);
    QCOMPARE(byteAt(report, 101), 1);
    QCOMPARE(byteAt(report, 102), 0x20);

    model.advance(1); // a started second still counts as remaining
    QCOMPARE(model.timerRemaining(), 90061u);
    model.advance(90061LL * 1000 - 2);
    QCOMPARE(model.timerRemaining(), 1u);
    QVERIFY(!model.relayOn(1));
    model.advance(1);
    QVERIFY(model.relayOn(1));
    QCOMPARE(model.scriptRuns().back().trigger, UnitModel::Trigger::Timer);
    report = poll(model);
    QCOMPARE(byteAt(report, 100), 0);
    QCOMPARE(byteAt(report, 101), 0);
}

void TestUnitModel::continuousTimerReloads()
{
    UnitModel model;
    model.handleFrame(p::timerSetFrame(10, p::slotCode(8), 1, kPassword), kLocal);
    model.advance(35000);
    QCOMPARE(model.scriptRuns().size(), std::size_t{3});
    QCOMPARE(model.scriptRuns()[2].atMs, std::int64_t{30000});
    QCOMPARE(model.scriptRuns()[2].slot, 8);
    QCOMPARE(model.timerRemaining(), 5u);
    QVERIFY(model.timerActive());

    const std::string ack = only(model.handleFrame(p::timerStopFrame(kPassword), kLocal));
    QCOMPARE(byteAt(ack, 14), 4);
    model.advance(100000);
    QCOMPARE(model.scriptRuns().size(), std::size_t{3});
    QCOMPARE(byteAt(poll(model), 101), 0);
}

void TestUnitModel::timerWithoutScriptSlotIsNotStarted_data()
{
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("slotCode");
    QTest::newRow("zero delay") << 0 << 0x20;
    QTest::newRow("board slot code") << 10 << 0x10;
    QTest::newRow("odd code") << 10 << 0xE1;
}

void TestUnitModel::timerWithoutScriptSlotIsNotStarted()
{
    QFETCH(int, delay);
    QFETCH(int, slotCode);
    UnitModel model;
    const auto ack = only(model.handleFrame(
        p::timerSetFrame(static_cast<std::uint32_t>(delay), slotCode, 0, kPassword), kLocal));
    QCOMPARE(byteAt(ack, 14), 5); // acknowledged all the same
    QVERIFY(!model.timerActive());
}

void TestUnitModel::ioTriggerRunsSlotOnPinChange()
{
    UnitModel model;
    model.setRelayScript(2, "1", "r1 on");
    model.setRelayScript(3, "3", "r2 on");
    QCOMPARE(byteAt(only(model.handleFrame(p::ioTriggerFrame(1, 1, p::slotCode(2), p::slotCode(3), kPassword),
                                           kLocal)),
                    14),
             6);
    const std::string report = poll(model);
    QCOMPARE(byteAt(report, 106), 1);
    QCOMPARE(byteAt(report, 107), 0x20);
    QCOMPARE(byteAt(report, 108), 0x40);

    model.setPin(1, 1); // box 1 has no action
    QVERIFY(model.scriptRuns().empty());
    model.setPin(2, 1);
    QCOMPARE(relayStates(model), QStringLiteral("010"));
    model.setPin(2, 1); // no change, no run
    QCOMPARE(model.scriptRuns().size(), std::size_t{1});
    model.setPin(2, 0);
    QCOMPARE(relayStates(model), QStringLiteral("110"));
    QCOMPARE(model.scriptRuns().back().trigger, UnitModel::Trigger::IoPin);
    QCOMPARE(byteAt(poll(model), 63), 0);

    // A box index beyond the fifth is acknowledged and ignored.
    QCOMPARE(byteAt(only(model.handleFrame(p::ioTriggerFrame(5, 1, 0, 0, kPassword), kLocal)), 14), 6);
}

void TestUnitModel::temperatureTriggerFiresOnCrossing_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("from"); // half degrees
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("relays");
    // Upper 30 °C runs slot 1 (relay 1 on), lower 20 °C runs slot 2 (relay 2 on).
    QTest::newRow("rises above upper") << 1 << 60 << 61 << QStringLiteral("100");
    QTest::newRow("reaches upper only") << 1 << 59 << 60 << QStringLiteral("000");
    QTest::newRow("already above") << 1 << 61 << 62 << QStringLiteral("000");
    QTest::newRow("jumps across") << 1 << 40 << 80 << QStringLiteral("100");
    QTest::newRow("falls below lower") << 1 << 40 << 39 << QStringLiteral("010");
    QTest::newRow("reaches lower only") << 1 << 41 << 40 << QStringLiteral("000");
    QTest::newRow("already below") << 1 << 39 << 30 << QStringLiteral("000");
    QTest::newRow("action disabled") << 0 << 60 << 70 << QStringLiteral("000");
}

void TestUnitModel::temperatureTriggerFiresOnCrossing()
{
    QFETCH(int, action);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, relays);
    UnitModel model;
    model.setRelayScript(1, "1", "r1 on");
    model.setRelayScript(2, "3", "r2 on");
    model.setTemperatureHalves(from);
    const auto ack = only(model.handleFrame(
        p::temperatureTriggerFrame(action, p::slotCode(1), p::slotCode(2), 30, 20, kPassword), kLocal));
    QCOMPARE(byteAt(ack, 14), 7);
    QCOMPARE(relayStates(model), QStringLiteral("000")); // setting it fires nothing by itself
    model.setTemperatureHalves(to);
    QCOMPARE(relayStates(model), relays);
    const std::string report = poll(model);
    QCOMPARE(byteAt(report, 118), action);
    QCOMPARE(byteAt(report, 119), 0x00);
    QCOMPARE(byteAt(report, 120), 0x20);
    QCOMPARE(byteAt(report, 121), 30);
    QCOMPARE(byteAt(report, 122), 20);
}

// ---- daughter boards -----------------------------------------------------------------------

void TestUnitModel::boardCommand_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("toggle");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("board"); // board whose state byte is checked
    QTest::addColumn<int>("state");
    // Boards 1 and 6 fitted; board 1 starts at 0x01.
    QTest::newRow("change over relay 1") << 0x44 << 0x01 << 0 << 0 << 9 << 1 << 0x00;
    QTest::newRow("output and light") << 0x44 << 0xC0 << 0 << 0 << 9 << 1 << 0xC1;
    QTest::newRow("timed toggle") << 0x44 << 0x02 << 2 << 15 << 9 << 1 << 0x03;
    QTest::newRow("board 6 output toggle") << 0x4E << 0x40 << 2 << 60 << 9 << 6 << 0x40;
    QTest::newRow("absent board") << 0x46 << 0x01 << 0 << 0 << 10 << 2 << 0x00;
    QTest::newRow("no board at odd address") << 0x45 << 0x01 << 0 << 0 << 10 << 1 << 0x01;
    QTest::newRow("address past board 6") << 0x50 << 0x01 << 0 << 0 << 10 << 1 << 0x01;
    QTest::newRow("empty mask") << 0x44 << 0x00 << 0 << 0 << 10 << 1 << 0x01;
    QTest::newRow("toggle without delay") << 0x44 << 0x02 << 2 << 0 << 10 << 1 << 0x01;
    QTest::newRow("unknown toggle flag") << 0x44 << 0x02 << 1 << 5 << 10 << 1 << 0x01;
}

void TestUnitModel::boardCommand()
{
    QFETCH(int, address);
    QFETCH(int, mask);
    QFETCH(int, toggle);
    QFETCH(int, delay);
    QFETCH(int, kind);
    QFETCH(int, board);
    QFETCH(int, state);
    UnitModel::Config config;
    config.boards = {true, false, false, false, false, true};
    UnitModel model(config);
    model.setBoardState(1, 0x01);
    const std::string reply =
        only(model.handleFrame(p::boardFrame(address, mask, toggle, delay, kPassword), kLocal));
    QCOMPARE(reply.size(), p::kKindPosition);
    QCOMPARE(byteAt(reply, 11), 0);
    QCOMPARE(byteAt(reply, 14), kind);
    QCOMPARE(int{model.boardState(board)}, state);
    QCOMPARE(int{model.toggleCountdown()}, kind == 9 && toggle == 2 ? delay : 0);
}

void TestUnitModel::oneToggleAtATime()
{
    UnitModel::Config config;
    config.boards = {true, true, false, false, false, false};
    UnitModel model(config);
    QCOMPARE(byteAt(only(model.handleFrame(p::boardFrame(0x44, 0x02, 2, 15, kPassword), kLocal)), 14), 9);
    QCOMPARE(int{model.boardState(1)}, 0x02);
    model.advance(500);
    QCOMPARE(byteAt(poll(model), 136), 15);
    // Any second toggle, on any board, is refused while the first runs; a plain switch is not.
    QCOMPARE(byteAt(only(model.handleFrame(p::boardFrame(0x46, 0x01, 2, 5, kPassword), kLocal)), 14), 11);
    QCOMPARE(int{model.boardState(2)}, 0);
    QCOMPARE(byteAt(only(model.handleFrame(p::boardFrame(0x46, 0x01, 0, 0, kPassword), kLocal)), 14), 9);
    model.advance(14000);
    QCOMPARE(byteAt(poll(model), 136), 1);
    model.advance(500);
    QCOMPARE(byteAt(poll(model), 136), 0);
    QCOMPARE(int{model.boardState(1)}, 0x00); // toggled back
    QCOMPARE(byteAt(only(model.handleFrame(p::boardFrame(0x46, 0x01, 2, 5, kPassword), kLocal)), 14), 9);
}

void TestUnitModel::boardScriptStoredAndRun()
{
    UnitModel::Config config;
    config.boards = {false, true, false, false, false, false};
    UnitModel model(config);
    model.setBoardState(2, 0x80);
    // Board 2: light off, wait 3, light on; board 3 (absent) relay 1 NC; board 2 relay 6 NC.
    const std::array<std::uint8_t, 16> codes{0xB7, 0x03, 0x37, 0x40, 0x35};
    QCOMPARE(byteAt(only(model.handleFrame(
                        p::boardUploadFrame(p::boardSlotCode(3), "Blink", codes, kPassword), kLocal)),
                    14),
             int{UnitModel::kKindStatus});
    QCOMPARE(model.boardScript(3).description, p::padField("Blink"));
    QVERIFY(model.boardScript(3).codes == codes);

    model.handleFrame(p::boardExecuteFrame(p::boardSlotCode(3), kPassword), kLocal);
    QCOMPARE(int{model.boardState(2)}, 0x00);
    model.advance(2999);
    QCOMPARE(int{model.boardState(2)}, 0x00);
    model.advance(1);
    QCOMPARE(int{model.boardState(2)}, 0xA0);
    QCOMPARE(int{model.boardState(3)}, 0x00);
    QVERIFY(model.scriptRuns().back().board);
    QCOMPARE(model.scriptRuns().back().slot, 3);

    // A slot code that is not a multiple of 16 names no slot.
    model.handleFrame(p::boardExecuteFrame(0x21, kPassword), kLocal);
    QCOMPARE(model.scriptRuns().size(), std::size_t{1});
}

// ---- administration --------------------------------------------------------------------------

void TestUnitModel::passwordChange_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("password");
    QTest::newRow("short one, padded") << QStringLiteral("abc") << false << 1 << QStringLiteral("abc*******");
    QTest::newRow("ten characters") << QStringLiteral("0123456789") << false << 1
                                    << QStringLiteral("0123456789");
    QTest::newRow("space inside") << QStringLiteral("a b") << false << 0 << QStringLiteral("password**");
    QTest::newRow("refused by the unit")
        << QStringLiteral("abc") << true << 0 << QStringLiteral("password**");
}

void TestUnitModel::passwordChange()
{
    QFETCH(QString, typed);
    QFETCH(bool, refuse);
    QFETCH(int, result);
    QFETCH(QString, password);
    UnitModel model;
    model.setAdminRefusal(refuse);
    const std::string reply =
        only(model.handleFrame(p::passwordFrame(typed.toStdString(), kPassword), kLocal));
    QCOMPARE(byteAt(reply, 11), 0); // the old password was right
    QCOMPARE(byteAt(reply, 12), result);
    QCOMPARE(QString::fromStdString(model.password()), password);
    // From now on only the unit's current password is accepted.
    QCOMPARE(byteAt(only(model.handleFrame(p::pollFrame(password.toStdString()), kLocal)), 11), 0);
    if (result == 1)
        QCOMPARE(byteAt(only(model.handleFrame(p::pollFrame(kPassword), kLocal)), 11), 1);
}

void TestUnitModel::allowedListFiltersSources()
{
    UnitModel model;
    std::array<int, 20> octets{};
    octets[4] = 127;
    octets[7] = 1; // second entry 127.0.0.1
    const std::string reply = only(model.handleFrame(p::allowedIpFrame(true, octets, kPassword), kOther));
    QCOMPARE(byteAt(reply, 13), 0);
    QCOMPARE(int{model.allowedRule()}, 1);

    QVERIFY(model.handleFrame(p::pollFrame(kPassword), kOther).empty());
    QCOMPARE(model.counters().filtered, std::uint64_t{1});
    QCOMPARE(model.frames().back().outcome, UnitModel::Outcome::Filtered);
    const std::string report = poll(model, kLocal);
    QCOMPARE(byteAt(report, 41), 1);
    QCOMPARE(byteAt(report, 46), 127);
    QCOMPARE(byteAt(report, 49), 1);

    // Back to "all": everyone again, and the list stays as the unit's last one.
    QCOMPARE(byteAt(only(model.handleFrame(p::allowedIpFrame(false, {}, kPassword), kLocal)), 13), 0);
    QCOMPARE(poll(model, kOther).size(), std::size_t{137});
    QCOMPARE(byteAt(poll(model, kOther), 46), 127);
}

void TestUnitModel::allowedListNeedsTwentyOctets()
{
    UnitModel model;
    const std::string cut = p::allowedIpFrame(true, {127, 0, 0, 1}, kPassword).substr(0, 30);
    QCOMPARE(byteAt(only(model.handleFrame(cut, kLocal)), 13), 1);
    QCOMPARE(int{model.allowedRule()}, 0);
    model.setAdminRefusal(true);
    QCOMPARE(byteAt(only(model.handleFrame(p::allowedIpFrame(false, {}, kPassword), kLocal)), 13), 1);
}

// ---- things that change by themselves ------------------------------------------------------

void TestUnitModel::demoIsReproducibleFromItsSeed()
{
    auto pinHistory = [](std::uint32_t seed) {
        UnitModel::Config config;
        config.flipPins = true;
        config.seed = seed;
        UnitModel model(config);
        QString history;
        for (int second = 0; second < 600; ++second) {
            model.advance(1000);
            for (int pin = 1; pin <= 5; ++pin)
                history += QString::number(model.pin(pin));
        }
        return history;
    };
    const QString first = pinHistory(7);
    QCOMPARE(pinHistory(7), first);
    QVERIFY(pinHistory(8) != first);
    QVERIFY(first.contains(QLatin1Char('1'))); // ten minutes bring at least one flip
}

void TestUnitModel::driftStaysNearItsStart()
{
    UnitModel::Config config;
    config.drift = true;
    config.seed = 3;
    UnitModel model(config);
    int lowest = model.temperatureHalves();
    int highest = lowest;
    for (int step = 0; step < 2000; ++step) {
        model.advance(5000);
        lowest = std::min(lowest, model.temperatureHalves());
        highest = std::max(highest, model.temperatureHalves());
    }
    QVERIFY(highest > lowest);
    QVERIFY(lowest >= config.temperatureHalves - 7);
    QVERIFY(highest <= config.temperatureHalves + 7);
}

void TestUnitModel::heldChannelStopsItsWaveform()
{
    UnitModel::Config config;
    config.waveforms = true;
    UnitModel model(config);
    model.setChannelRaw(3, 4095);
    const std::uint16_t before = model.channelRaw(1);
    model.advance(20000);
    QVERIFY(model.channelRaw(1) != before);
    QCOMPARE(model.channelRaw(3), std::uint16_t{4095});
    const std::string report = poll(model);
    QCOMPARE(byteAt(report, 25), 0x0F); // channel 3, high byte first
    QCOMPARE(byteAt(report, 26), 0xFF);
}

// ---- fault injection -----------------------------------------------------------------------

namespace {

std::vector<std::vector<FaultInjector::Delivery>> runInjector(const FaultInjector::Config& config, int frames)
{
    FaultInjector injector(config);
    std::vector<std::vector<FaultInjector::Delivery>> out;
    for (int i = 0; i < frames; ++i)
        out.push_back(injector.process({std::string(137, static_cast<char>(i))}));
    return out;
}

} // namespace

void TestUnitModel::faultsAreReproducibleFromTheSeed()
{
    FaultInjector::Config config;
    config.loss = 0.2;
    config.duplicate = 0.1;
    config.reorder = 0.1;
    config.truncate = 0.1;
    config.wrongVerdict = 0.05;
    config.delayMinMs = 5;
    config.delayMaxMs = 50;
    config.seed = 42;
    const auto first = runInjector(config, 300);
    QVERIFY(first == runInjector(config, 300));
    config.seed = 43;
    QVERIFY(first != runInjector(config, 300));

    FaultInjector injector(config);
    for (int i = 0; i < 300; ++i)
        injector.process({std::string(137, 'x')});
    const auto& c = injector.counters();
    QVERIFY(c.lost > 0 && c.duplicated > 0 && c.reordered > 0 && c.truncated > 0 && c.wrongVerdicts > 0);
    QCOMPARE(c.offered, std::uint64_t{300});
}

void TestUnitModel::faultExtremes_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("copies");
    QTest::newRow("loss") << QStringLiteral("loss") << 0;
    QTest::newRow("duplicate") << QStringLiteral("duplicate") << 2;
    QTest::newRow("truncate") << QStringLiteral("truncate") << 1;
    QTest::newRow("wrong verdict") << QStringLiteral("wrongVerdict") << 1;
    QTest::newRow("none") << QString() << 1;
}

void TestUnitModel::faultExtremes()
{
    QFETCH(QString, fault);
    QFETCH(int, copies);
    FaultInjector::Config config;
    config.loss = fault == QLatin1String("loss") ? 1 : 0;
    config.duplicate = fault == QLatin1String("duplicate") ? 1 : 0;
    config.truncate = fault == QLatin1String("truncate") ? 1 : 0;
    config.wrongVerdict = fault == QLatin1String("wrongVerdict") ? 1 : 0;
    FaultInjector injector(config);
    UnitModel model;
    for (int round = 0; round < 50; ++round) {
        const std::string reply = poll(model);
        const auto out = injector.process({reply});
        QCOMPARE(static_cast<int>(out.size()), copies);
        for (const auto& delivery : out) {
            QCOMPARE(delivery.delayMs, 0);
            if (fault == QLatin1String("truncate")) {
                QVERIFY(!delivery.bytes.empty() && delivery.bytes.size() < reply.size());
                QVERIFY(reply.starts_with(delivery.bytes));
            } else if (fault == QLatin1String("wrongVerdict")) {
                QCOMPARE(byteAt(delivery.bytes, 11), 1);
                QCOMPARE(delivery.bytes.substr(11), reply.substr(11));
            } else {
                QCOMPARE(delivery.bytes, reply);
            }
        }
    }
}

void TestUnitModel::delayStaysInItsRange()
{
    FaultInjector::Config config;
    config.delayMinMs = 10;
    config.delayMaxMs = 30;
    FaultInjector injector(config);
    int lowest = 1000;
    int highest = 0;
    for (int i = 0; i < 500; ++i) {
        const auto out = injector.process({std::string("reply")});
        QCOMPARE(out.size(), std::size_t{1});
        lowest = std::min(lowest, out[0].delayMs);
        highest = std::max(highest, out[0].delayMs);
    }
    QCOMPARE(lowest, 10);
    QCOMPARE(highest, 30);

    config.delayMinMs = config.delayMaxMs = 25;
    FaultInjector fixed(config);
    QCOMPARE(fixed.process({std::string("reply")})[0].delayMs, 25);
}

void TestUnitModel::reorderSwapsNeighbours()
{
    FaultInjector::Config config;
    config.reorder = 1;
    FaultInjector injector(config);
    QVERIFY(injector.process({std::string("first")}).empty());
    QVERIFY(injector.holding());
    const auto out = injector.process({std::string("second")});
    QCOMPARE(out.size(), std::size_t{2});
    QCOMPARE(out[0].bytes, std::string("second"));
    QCOMPARE(out[1].bytes, std::string("first"));
    QVERIFY(injector.process({std::string("third")}).empty());
    const auto released = injector.releaseHeld();
    QCOMPARE(released.size(), std::size_t{1});
    QCOMPARE(released[0].bytes, std::string("third"));
    QVERIFY(!injector.holding());
    QVERIFY(injector.releaseHeld().empty());
}

void TestUnitModel::silentAfterCountsFrames()
{
    FaultInjector::Config config;
    config.silentAfter = 3;
    FaultInjector injector(config);
    QCOMPARE(injector.process({std::string("a")}).size(), std::size_t{1});
    QCOMPARE(injector.process({}).size(), std::size_t{0}); // a frame with no reply still counts
    QCOMPARE(injector.process({std::string("c")}).size(), std::size_t{1});
    QCOMPARE(injector.process({std::string("d")}).size(), std::size_t{0});
    QCOMPARE(injector.process({std::string("e")}).size(), std::size_t{0});
    QCOMPARE(injector.counters().silenced, std::uint64_t{2});
}

QTEST_GUILESS_MAIN(TestUnitModel)
#include "tst_unitmodel.moc"
