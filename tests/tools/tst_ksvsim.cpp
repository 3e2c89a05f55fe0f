// The simulated unit as the console meets it: real UDP datagrams on loopback (port 0), replies
// read back byte by byte, the status web page over TCP, and the ksv-sim command line.

#include <algorithm>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

#include "protocol/codes.h"
#include "protocol/frames.h"
#include "protocol/reply.h"

#include "ksv-sim/simulatedunit.h"
#include "ksv-sim/simulatorcommandline.h"

using kestavo::sim::SimulatedUnit;
using kestavo::sim::SimulatorCommandLine;
using kestavo::sim::UnitModel;
namespace p = kestavo::protocol;

namespace {

const std::string kPassword = p::padPassword("password");
constexpr int kReplyTimeoutMs = 2000;
constexpr int kSilenceMs = 150; // how long "no reply" is watched for

QByteArray bytes(const std::string& s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

int byteAt(const QByteArray& reply, qsizetype position)
{
    return static_cast<unsigned char>(reply.at(position - 1));
}

QHostAddress loopback(int last)
{
    return QHostAddress((127u << 24) | static_cast<quint32>(last));
}

/// The console's side of the link: a UDP socket on a chosen loopback address.
class Peer
{
public:
    explicit Peer(const QHostAddress& local = loopback(1)) { m_bound = m_socket.bind(local, 0); }
    bool bound() const { return m_bound; }

    void send(const std::string& frame, quint16 port, const QHostAddress& to = loopback(1))
    {
        m_socket.writeDatagram(bytes(frame), to, port);
    }

    std::optional<QByteArray> receive(int timeoutMs = kReplyTimeoutMs)
    {
        if (!m_socket.hasPendingDatagrams()) {
            QSignalSpy spy(&m_socket, &QUdpSocket::readyRead);
            if (!spy.wait(timeoutMs) && !m_socket.hasPendingDatagrams())
                return std::nullopt;
        }
        return m_socket.receiveDatagram().data();
    }

    std::optional<QByteArray> exchange(const std::string& frame, quint16 port,
                                       const QHostAddress& to = loopback(1))
    {
        send(frame, port, to);
        return receive();
    }

    void drain()
    {
        while (m_socket.hasPendingDatagrams())
            m_socket.receiveDatagram();
    }

    bool hasPending() const { return m_socket.hasPendingDatagrams(); }

private:
    QUdpSocket m_socket;
    bool m_bound = false;
};

SimulatedUnit::Config testConfig()
{
    SimulatedUnit::Config config;
    config.port = 0;
    config.realTime = false;
    config.unit.boards = {true, false, false, true, false, false};
    return config;
}

} // namespace

class TestKsvSim final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void everyOpcodeIsAnswered_data();
    void everyOpcodeIsAnswered();
    void statusReportByteByByte_data();
    void statusReportByteByByte();
    void consoleDecoderReadsTheReport();
    void slotTableLayout();
    void boardTablesLayout();
    void allowedIpFiltering_data();
    void allowedIpFiltering();
    void floodLeavesItAnswering();

    void lossAndDuplication_data();
    void lossAndDuplication();
    void delayedReplyArrivesLate();
    void reorderedRepliesSwap();
    void heldReplyIsFlushed();
    void silentAfterFrames();
    void faultPatternRepeatsWithTheSeed();

    void addressChangeWithinLoopbackMoves();
    void addressChangeOutsideLoopbackIsOnlyRecorded();
    void statusPageFollowsHttpSwitch();
    void realTimeClockMoves();
    void startRefusals();

    void commandLineAccepted();
    void commandLineRefused_data();
    void commandLineRefused();
    void helpNamesEveryOption_data();
    void helpNamesEveryOption();

private:
    std::unique_ptr<SimulatedUnit> startUnit(const SimulatedUnit::Config& config);
    std::unique_ptr<SimulatedUnit> m_unit;
};

std::unique_ptr<SimulatedUnit> TestKsvSim::startUnit(const SimulatedUnit::Config& config)
{
    auto unit = std::make_unique<SimulatedUnit>(config);
    if (!unit->start())
        qWarning("%s", qPrintable(unit->errorString()));
    return unit;
}

void TestKsvSim::init()
{
    m_unit = startUnit(testConfig());
    QVERIFY(m_unit->isRunning());
    QVERIFY(m_unit->port() != 0);
}

void TestKsvSim::cleanup()
{
    m_unit.reset();
}

// ---- every opcode ----------------------------------------------------------------------------

void TestKsvSim::everyOpcodeIsAnswered_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("length"); // 0: no reply at all
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("position12");
    QTest::addColumn<int>("position13");
    const std::array<std::uint8_t, 16> codes{0x27, 0x01, 0xA7};
    auto row = [](const char* name, const std::string& frame, int length, int kind, int p12 = 0,
                  int p13 = 0) {
        QTest::newRow(name) << bytes(frame) << length << kind << p12 << p13;
    };
    row("start", p::startFrame(kPassword), 137, 1);
    row("poll", p::pollFrame(kPassword), 137, 1);
    for (int relay = 1; relay <= 3; ++relay) {
        const QByteArray on = "relay " + QByteArray::number(relay) + " on";
        const QByteArray off = "relay " + QByteArray::number(relay) + " off";
        const QByteArray cycle = "relay " + QByteArray::number(relay) + " off then on";
        row(on.constData(), p::relayOnFrame(relay, kPassword), 137, 1);
        row(off.constData(), p::relayOffFrame(relay, kPassword), 137, 1);
        row(cycle.constData(), p::relayCycleFrame(relay, 30, kPassword), 137, 1);
    }
    row("E mac", p::setMacFrame({0, 0, 0, 0xAB, 0xCD, 0xEF}, kPassword), 0, 0);
    row("F same address", p::setIpFrame({127, 0, 0, 1}, kPassword), 0, 0);
    row("G password", p::passwordFrame("secret", kPassword), 137, 1, 1, 0);
    row("H allow all", p::allowedIpFrame(false, {}, kPassword), 137, 1, 0, 0);
    row("I station name", p::stationNameFrame("Pump house", kPassword), 137, 1);
    row("J upload", p::scriptUploadFrame(p::slotCode(3), "1B2", "Pulse", kPassword), 137, 1);
    row("K execute", p::scriptExecuteFrame(p::slotCode(3), kPassword), 14, 3);
    row("L read request", p::readRequestFrame(kPassword), 270, 2);
    row("M timer", p::timerSetFrame(60, p::slotCode(1), 0, kPassword), 14, 5);
    row("N timer stop", p::timerStopFrame(kPassword), 14, 4);
    row("O io trigger", p::ioTriggerFrame(0, 1, 0x00, 0x20, kPassword), 14, 6);
    row("P temperature trigger", p::temperatureTriggerFrame(1, 0x00, 0x20, 30, 20, kPassword), 14, 7);
    row("Q http", p::httpFrame(1, kPassword), 14, 8);
    row("R fitted board", p::boardFrame(p::boardAddress(4), 0x80, 0, 0, kPassword), 14, 9);
    row("R absent board", p::boardFrame(p::boardAddress(2), 0x80, 0, 0, kPassword), 14, 10);
    row("S snmp", p::snmpFrame(1, kPassword), 14, 12);
    row("S board listing", p::boardListingFrame(kPassword), 270, 20);
    row("T board contents", p::boardContentsFrame(kPassword), 270, 21);
    row("U board upload", p::boardUploadFrame(p::boardSlotCode(2), "Blink", codes, kPassword), 137, 1);
    row("V board execute", p::boardExecuteFrame(p::boardSlotCode(2), kPassword), 137, 1);
}

void TestKsvSim::everyOpcodeIsAnswered()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, length);
    QFETCH(int, kind);
    QFETCH(int, position12);
    QFETCH(int, position13);
    Peer peer;
    QVERIFY(peer.bound());
    peer.send(frame.toStdString(), m_unit->port());
    const auto reply = peer.receive(length == 0 ? kSilenceMs : kReplyTimeoutMs);
    QCOMPARE(m_unit->model().counters().accepted, std::uint64_t{1});
    if (length == 0) {
        QVERIFY(!reply.has_value());
        return;
    }
    QVERIFY(reply.has_value());
    QCOMPARE(reply->size(), length);
    QCOMPARE(reply->left(10), frame.left(10)); // header and the opcode answered
    QCOMPARE(byteAt(*reply, 11), 0);
    QCOMPARE(byteAt(*reply, 12), position12);
    QCOMPARE(byteAt(*reply, 13), position13);
    QCOMPARE(byteAt(*reply, 14), kind);
    QCOMPARE(m_unit->counters().repliesSent, std::uint64_t{1});
}

// ---- status report ---------------------------------------------------------------------------

void TestKsvSim::statusReportByteByByte_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("value");
    const int expected[][2] = {
        {15, 0x00},  {16, 0x0A},  {17, 0x1B},  {18, 0x2C},  {19, 0x3D},  {20, 0x4E}, // MAC
        {21, 0x0A},  {22, 0xBC},  {35, 0x0F},  {36, 0xFF},                           // channels 1, 8
        {37, 1},     {38, 0},     {39, 1},                                           // relays: 2 on
        {40, 1},                                                                     // pin 5
        {41, 1},     {42, 127},   {45, 1},     {46, 10},    {47, 240},   {61, 0},    // allowed list
        {62, 0},     {63, 0},     {64, 1},     {65, 0},                              // pins 1-4
        {66, 1},     {67, 7},     {68, 2},                                           // revision
        {69, 3},     {70, 129},                                                      // -2.5 °C
        {71, 30},    {72, 1},     {73, 1},                                           // relay delays
        {74, 0x40},  {75, 0xE2},  {76, 0x01},  {77, 0x00},                           // uptime 123456
        {78, ' '},   {79, ' '},   {80, 'P'},   {89, 'e'},   {90, ' '},   {97, ' '},  // station name
        {98, 0x01},  {99, 0x5F},  {100, 0xCD}, {101, 1},    {102, 0xE0},             // timer
        {103, 0},    {115, 1},    {116, 0x00}, {117, 0xE0},                          // I/O settings
        {118, 1},    {119, 0x40}, {120, 0x60}, {121, 30},   {122, 29},               // temperature setting
        {123, 1},                                                                    // HTTP off
        {124, 255},  {125, 0},    {127, 255},  {129, 0},                             // boards 1 and 4
        {130, 0x02}, {133, 0x41}, {136, 15},                                         // states, toggle
        {137, 1},                                                                    // SNMP off
    };
    for (const auto& [position, value] : expected)
        QTest::addRow("%d", position) << position << value;
}

void TestKsvSim::statusReportByteByByte()
{
    QFETCH(int, position);
    QFETCH(int, value);
    SimulatedUnit::Config config = testConfig();
    config.unit.uptimeSeconds = 123456;
    config.unit.stationName = "  Pump house";
    config.unit.temperatureHalves = -5;
    m_unit = startUnit(config);
    UnitModel& model = m_unit->model();
    const kestavo::sim::Ipv4 local{127, 0, 0, 1};
    model.handleFrame(p::relayCycleFrame(1, 30, kPassword), local);
    model.handleFrame(p::timerSetFrame(90061, p::slotCode(8), 1, kPassword), local);
    model.handleFrame(p::ioTriggerFrame(4, 1, p::slotCode(1), p::slotCode(8), kPassword), local);
    model.handleFrame(p::temperatureTriggerFrame(1, p::slotCode(3), p::slotCode(4), 30, 29, kPassword),
                      local);
    model.handleFrame(p::boardFrame(p::boardAddress(1), 0x02, 2, 15, kPassword), local);
    model.setRelay(1, false);
    model.setRelay(2, true);
    model.setChannelRaw(1, 0x0ABC);
    model.setChannelRaw(8, 4095);
    model.setPin(5, 1);
    model.setPin(3, 1);
    model.setAllowed(1, {127, 0, 0, 1, 10, 240, 10, 1});
    model.setHttpOn(false);
    model.setSnmpOn(false);
    model.setBoardState(4, 0x41);

    Peer peer;
    const auto reply = peer.exchange(p::pollFrame(kPassword), m_unit->port());
    QVERIFY(reply.has_value());
    QCOMPARE(reply->size(), 137);
    QCOMPARE(byteAt(*reply, position), value);
}

void TestKsvSim::consoleDecoderReadsTheReport()
{
    UnitModel& model = m_unit->model();
    model.setStationName("  Pump house");
    model.setTemperatureHalves(47);
    model.setBoardState(1, 0x41);
    Peer peer;
    const auto reply = peer.exchange(p::pollFrame(kPassword), m_unit->port());
    QVERIFY(reply.has_value());
    const auto decoded = p::decodeStatus(reply->toStdString());
    QVERIFY(std::holds_alternative<p::StatusReport>(decoded));
    const auto& report = std::get<p::StatusReport>(decoded);
    QCOMPARE(report.macText, std::string("00:0A:1B:2C:3D:4E"));
    QCOMPARE(report.revision, 172LL);
    QCOMPARE(report.temperatureC, std::optional<double>(23.5));
    QCOMPARE(report.stationName, std::string("Pump house"));
    QCOMPARE(report.relayOn[0], std::optional<bool>(false));
    QVERIFY(report.boardPresence.has_value());
    QCOMPARE(int{(*report.boardPresence)[3]}, 255);
    QCOMPARE(int{(*report.boardState)[0]}, 0x41);
    QCOMPARE(report.snmpState, std::optional<std::uint8_t>(0));
}

void TestKsvSim::slotTableLayout()
{
    m_unit->model().setRelayScript(1, "1B2", "Pulse relay 1");
    m_unit->model().setRelayScript(8, "135", "All on");
    Peer peer;
    const auto reply = peer.exchange(p::readRequestFrame(kPassword), m_unit->port());
    QVERIFY(reply.has_value());
    QCOMPARE(reply->size(), 270);
    QCOMPARE(byteAt(*reply, 14), 2);
    QCOMPARE(reply->mid(14, 16), QByteArray("1B2             "));
    QCOMPARE(reply->mid(30, 16), QByteArray("Pulse relay 1   "));
    QCOMPARE(reply->mid(46, 192), QByteArray(192, ' ')); // slots 2-7 empty
    QCOMPARE(reply->mid(238, 16), QByteArray("135             "));
    QCOMPARE(reply->mid(254, 16), QByteArray("All on          "));

    const auto table = p::decodeSlotTable(reply->toStdString());
    QVERIFY(std::holds_alternative<p::SlotTable>(table));
    QCOMPARE(std::get<p::SlotTable>(table)[7].description, std::string("All on          "));
}

void TestKsvSim::boardTablesLayout()
{
    m_unit->model().setBoardScript(1, "Blink", {0x27, 0x01, 0xA7});
    m_unit->model().setBoardScript(16, "Last slot",
                                   {0xF7, 0x0A, 0x77, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01});
    Peer peer;
    const auto listing = peer.exchange(p::boardListingFrame(kPassword), m_unit->port());
    QVERIFY(listing.has_value());
    QCOMPARE(listing->size(), 270);
    QCOMPARE(byteAt(*listing, 14), 20);
    QCOMPARE(listing->mid(14, 16), QByteArray("Blink           "));
    QCOMPARE(listing->mid(30, 16), QByteArray(16, ' '));
    QCOMPARE(listing->mid(254, 16), QByteArray("Last slot       "));

    const auto contents = peer.exchange(p::boardContentsFrame(kPassword), m_unit->port());
    QVERIFY(contents.has_value());
    QCOMPARE(contents->size(), 270);
    QCOMPARE(byteAt(*contents, 14), 21);
    QCOMPARE(contents->mid(14, 4), QByteArray("\x27\x01\xA7\x00", 4));
    QCOMPARE(contents->mid(30, 16), QByteArray(16, '\0'));
    QCOMPARE(byteAt(*contents, 255), 0xF7);
    QCOMPARE(byteAt(*contents, 257), 0x77);
    QCOMPARE(byteAt(*contents, 270), 0x01);

    const auto decoded = p::decodeBoardContents(contents->toStdString());
    QVERIFY(std::holds_alternative<p::BoardCodes>(decoded));
    QCOMPARE(int{std::get<p::BoardCodes>(decoded)[15][1]}, 0x0A);
}

void TestKsvSim::allowedIpFiltering_data()
{
    QTest::addColumn<bool>("onlyListed");
    QTest::addColumn<QList<int>>("listed"); // last octets of 127.0.0.x entries
    QTest::addColumn<int>("client");        // last octet of the client's 127.0.0.x
    QTest::addColumn<bool>("answered");
    QTest::newRow("listed") << true << QList<int>{1} << 1 << true;
    QTest::newRow("not listed") << true << QList<int>{1} << 2 << false;
    QTest::newRow("list excludes 127.0.0.1") << true << QList<int>{2} << 1 << false;
    QTest::newRow("fifth entry") << true << QList<int>{5, 6, 7, 8, 2} << 2 << true;
    QTest::newRow("rule all ignores the list") << false << QList<int>{9} << 2 << true;
}

void TestKsvSim::allowedIpFiltering()
{
    QFETCH(bool, onlyListed);
    QFETCH(QList<int>, listed);
    QFETCH(int, client);
    QFETCH(bool, answered);
    std::array<int, 20> octets{};
    for (int i = 0; i < listed.size(); ++i) {
        octets[static_cast<std::size_t>(4 * i)] = 127;
        octets[static_cast<std::size_t>(4 * i + 3)] = listed[i];
    }
    if (onlyListed) {
        // Sent from 127.0.0.1, which still gets its answer: the rule applies from the next frame.
        Peer admin;
        const auto set = admin.exchange(p::allowedIpFrame(true, octets, kPassword), m_unit->port());
        QVERIFY(set.has_value());
        QCOMPARE(byteAt(*set, 13), 0);
    } else {
        std::array<std::uint8_t, 20> stored{};
        std::copy(octets.begin(), octets.end(), stored.begin());
        m_unit->model().setAllowed(0, stored);
    }
    Peer peer(loopback(client));
    QVERIFY(peer.bound());
    const auto reply = peer.exchange(p::pollFrame(kPassword), m_unit->port());
    QCOMPARE(reply.has_value(), answered);
    QCOMPARE(m_unit->model().counters().filtered, std::uint64_t{answered ? 0u : 1u});
    if (answered)
        QCOMPARE(byteAt(*reply, 41), onlyListed ? 1 : 0);
}

void TestKsvSim::floodLeavesItAnswering()
{
    Peer peer;
    std::mt19937 random(99);
    const std::string valid[] = {p::pollFrame(kPassword), p::boardFrame(0x44, 1, 2, 5, kPassword),
                                 p::scriptUploadFrame(0, "1B2", "x", kPassword),
                                 p::readRequestFrame(kPassword)};
    constexpr int kBatches = 20;
    constexpr int kBatch = 100;
    for (int batch = 0; batch < kBatches; ++batch) {
        for (int i = 0; i < kBatch; ++i) {
            std::string frame;
            switch (random() % 3) {
            case 0:
                frame.resize(random() % 600);
                for (char& c : frame)
                    c = static_cast<char>(random());
                break;
            case 1: // truncated anywhere, including to nothing
                frame = valid[random() % 4];
                frame.resize(random() % frame.size());
                break;
            default: // any opcode, garbage payload, a password the unit does not have
                frame = valid[random() % 4];
                frame[9] = static_cast<char>(random());
                frame.replace(10, 10, "xxxxxxxxxx");
                for (std::size_t k = 20; k < frame.size(); ++k)
                    frame[k] = static_cast<char>(random());
                break;
            }
            peer.send(frame, m_unit->port());
        }
        // Batches keep the socket buffers from overflowing, so every datagram is counted.
        QTRY_COMPARE_WITH_TIMEOUT(m_unit->counters().datagramsReceived,
                                  static_cast<std::uint64_t>((batch + 1) * kBatch), kReplyTimeoutMs);
        peer.drain();
    }
    const auto& c = m_unit->model().counters();
    QCOMPARE(c.received, std::uint64_t{kBatches * kBatch});
    QCOMPARE(c.accepted + c.wrongPassword + c.filtered + c.dropped(), c.received);
    QVERIFY(c.dropped() > 0);
    QVERIFY(c.wrongPassword > 0);

    const auto reply = peer.exchange(p::pollFrame(kPassword), m_unit->port());
    QVERIFY(reply.has_value());
    QCOMPARE(reply->size(), 137);
    QCOMPARE(byteAt(*reply, 11), 0);
    QCOMPARE(byteAt(*reply, 14), 1);
}

// ---- injected faults -------------------------------------------------------------------------

void TestKsvSim::lossAndDuplication_data()
{
    QTest::addColumn<double>("loss");
    QTest::addColumn<double>("duplicate");
    QTest::addColumn<double>("truncate");
    QTest::addColumn<double>("wrongVerdict");
    QTest::addColumn<int>("copies");
    QTest::newRow("lost") << 1.0 << 0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("doubled") << 0.0 << 1.0 << 0.0 << 0.0 << 2;
    QTest::newRow("truncated") << 0.0 << 0.0 << 1.0 << 0.0 << 1;
    QTest::newRow("wrong verdict") << 0.0 << 0.0 << 0.0 << 1.0 << 1;
}

void TestKsvSim::lossAndDuplication()
{
    QFETCH(double, loss);
    QFETCH(double, duplicate);
    QFETCH(double, truncate);
    QFETCH(double, wrongVerdict);
    QFETCH(int, copies);
    SimulatedUnit::Config config = testConfig();
    config.faults.loss = loss;
    config.faults.duplicate = duplicate;
    config.faults.truncate = truncate;
    config.faults.wrongVerdict = wrongVerdict;
    m_unit = startUnit(config);
    Peer peer;
    peer.send(p::pollFrame(kPassword), m_unit->port());
    QTRY_COMPARE_WITH_TIMEOUT(m_unit->counters().datagramsReceived, std::uint64_t{1}, kReplyTimeoutMs);
    QList<QByteArray> replies;
    while (auto reply = peer.receive(kSilenceMs))
        replies.append(*reply);
    QCOMPARE(replies.size(), copies);
    QCOMPARE(m_unit->counters().repliesSent, static_cast<std::uint64_t>(copies));
    for (const QByteArray& reply : replies) {
        if (truncate > 0)
            QVERIFY(reply.size() < 137);
        else
            QCOMPARE(reply.size(), 137);
        if (wrongVerdict > 0)
            QCOMPARE(byteAt(reply, 11), 1);
    }
    if (copies == 2)
        QCOMPARE(replies[0], replies[1]);
}

void TestKsvSim::delayedReplyArrivesLate()
{
    SimulatedUnit::Config config = testConfig();
    config.faults.delayMinMs = 60;
    config.faults.delayMaxMs = 60;
    m_unit = startUnit(config);
    Peer peer;
    QElapsedTimer clock;
    clock.start();
    const auto reply = peer.exchange(p::pollFrame(kPassword), m_unit->port());
    QVERIFY(reply.has_value());
    QVERIFY(clock.elapsed() >= 55);
    QCOMPARE(m_unit->faults().counters().delayed, std::uint64_t{1});
}

void TestKsvSim::reorderedRepliesSwap()
{
    SimulatedUnit::Config config = testConfig();
    config.faults.reorder = 1;
    config.reorderFlushMs = 5000;
    m_unit = startUnit(config);
    Peer peer;
    peer.send(p::pollFrame(kPassword), m_unit->port());
    QTRY_COMPARE_WITH_TIMEOUT(m_unit->counters().datagramsReceived, std::uint64_t{1}, kReplyTimeoutMs);
    QVERIFY(!peer.hasPending());
    peer.send(p::scriptExecuteFrame(0, kPassword), m_unit->port());
    const auto first = peer.receive();
    const auto second = peer.receive();
    QVERIFY(first && second);
    QCOMPARE(byteAt(*first, 14), 3); // the acknowledgement overtook the status report
    QCOMPARE(byteAt(*second, 14), 1);
}

void TestKsvSim::heldReplyIsFlushed()
{
    SimulatedUnit::Config config = testConfig();
    config.faults.reorder = 1;
    config.reorderFlushMs = 50;
    m_unit = startUnit(config);
    Peer peer;
    const auto reply = peer.exchange(p::pollFrame(kPassword), m_unit->port());
    QVERIFY(reply.has_value());
    QCOMPARE(reply->size(), 137);
}

void TestKsvSim::silentAfterFrames()
{
    SimulatedUnit::Config config = testConfig();
    config.faults.silentAfter = 2;
    m_unit = startUnit(config);
    Peer peer;
    QVERIFY(peer.exchange(p::pollFrame(kPassword), m_unit->port()).has_value());
    QVERIFY(peer.exchange(p::pollFrame(kPassword), m_unit->port()).has_value());
    peer.send(p::pollFrame(kPassword), m_unit->port());
    QVERIFY(!peer.receive(kSilenceMs).has_value());
    QCOMPARE(m_unit->model().counters().accepted, std::uint64_t{3}); // it still listens and acts
    QCOMPARE(m_unit->faults().counters().silenced, std::uint64_t{1});
}

void TestKsvSim::faultPatternRepeatsWithTheSeed()
{
    auto pattern = [this](std::uint32_t seed) {
        SimulatedUnit::Config config = testConfig();
        config.faults.loss = 0.5;
        config.faults.seed = seed;
        auto unit = startUnit(config);
        Peer peer;
        QString answered;
        for (int i = 0; i < 40; ++i) {
            peer.send(p::pollFrame(kPassword), unit->port());
            // The unit writes its reply while handling the frame, so once the frame is counted
            // a reply that was not lost has already reached the loopback socket.
            if (!QTest::qWaitFor([&] { return unit->counters().datagramsReceived == std::uint64_t(i + 1); },
                                 kReplyTimeoutMs))
                return QString();
            answered += peer.hasPending() ? QLatin1Char('1') : QLatin1Char('0');
            peer.drain();
        }
        return answered;
    };
    const QString first = pattern(5);
    QCOMPARE(first.size(), 40);
    QVERIFY(first.contains(QLatin1Char('0')) && first.contains(QLatin1Char('1')));
    QCOMPARE(pattern(5), first);
}

// ---- address, web page, clock ----------------------------------------------------------------

void TestKsvSim::addressChangeWithinLoopbackMoves()
{
    QSignalSpy moved(m_unit.get(), &SimulatedUnit::addressChanged);
    Peer peer;
    peer.send(p::setIpFrame({127, 0, 0, 3}, kPassword), m_unit->port());
    QVERIFY(moved.wait(kReplyTimeoutMs));
    QCOMPARE(moved.at(0).at(0).value<QHostAddress>(), loopback(3));
    QCOMPARE(m_unit->address(), loopback(3));
    const auto reply = peer.exchange(p::pollFrame(kPassword), m_unit->port(), loopback(3));
    QVERIFY(reply.has_value());
    QCOMPARE(reply->size(), 137);
}

void TestKsvSim::addressChangeOutsideLoopbackIsOnlyRecorded()
{
    QSignalSpy moved(m_unit.get(), &SimulatedUnit::addressChanged);
    Peer peer;
    // 10.1.2.3 travels only as payload bytes; the unit stays on loopback.
    peer.send(p::setIpFrame({10, 1, 2, 3}, kPassword), m_unit->port());
    QTRY_COMPARE_WITH_TIMEOUT(m_unit->model().counters().accepted, std::uint64_t{1}, kReplyTimeoutMs);
    QVERIFY(!moved.wait(kSilenceMs));
    QCOMPARE(m_unit->model().address(), (kestavo::sim::Ipv4{10, 1, 2, 3}));
    QCOMPARE(m_unit->address(), loopback(1));
    QVERIFY(peer.exchange(p::pollFrame(kPassword), m_unit->port()).has_value());
}

void TestKsvSim::statusPageFollowsHttpSwitch()
{
    SimulatedUnit::Config config = testConfig();
    config.httpPort = 0;
    config.unit.stationName = "Pump <house>";
    m_unit = startUnit(config);
    const quint16 port = m_unit->httpPort();
    QVERIFY(port != 0);

    // The page is served on this thread, so the client is driven through the event loop too.
    QTcpSocket socket;
    QByteArray response;
    connect(&socket, &QTcpSocket::readyRead, this, [&] { response += socket.readAll(); });
    socket.connectToHost(loopback(1), port);
    QVERIFY(
        QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, kReplyTimeoutMs));
    socket.write("GET / HTTP/1.0\r\nHost: localhost\r\n\r\n");
    QVERIFY(QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; },
                            kReplyTimeoutMs));
    response += socket.readAll();
    QVERIFY(response.startsWith("HTTP/1.0 200 OK\r\n"));
    QVERIFY(response.contains("<title>Pump &lt;house&gt; - KSV unit status</title>"));
    QVERIFY(response.contains("<th>Temperature</th><td>23\xC2\xB0"
                              "C    73.4\xC2\xB0"
                              "F</td>"));

    Peer peer;
    const auto off = peer.exchange(p::httpFrame(1, kPassword), m_unit->port());
    QVERIFY(off.has_value());
    QCOMPARE(byteAt(*off, 14), 8);
    QCOMPARE(m_unit->httpPort(), quint16{0});
    QTcpSocket refused;
    refused.connectToHost(loopback(1), port);
    QVERIFY(QTest::qWaitFor([&] { return refused.state() == QAbstractSocket::UnconnectedState; },
                            kReplyTimeoutMs));
    QCOMPARE(refused.error(), QAbstractSocket::ConnectionRefusedError);

    QVERIFY(peer.exchange(p::httpFrame(0, kPassword), m_unit->port()).has_value());
    QCOMPARE(m_unit->httpPort(), port); // back on the same port
}

void TestKsvSim::realTimeClockMoves()
{
    SimulatedUnit::Config config = testConfig();
    config.realTime = true;
    config.tickMs = 10;
    m_unit = startUnit(config);
    QTRY_VERIFY_WITH_TIMEOUT(m_unit->model().nowMs() >= 50, kReplyTimeoutMs);
}

void TestKsvSim::startRefusals()
{
    SimulatedUnit::Config config = testConfig();
    config.bindAddress = QHostAddress(QStringLiteral("10.0.0.1"));
    SimulatedUnit outside(config);
    QVERIFY(!outside.start());
    QVERIFY(outside.errorString().contains(QLatin1String("loopback")));
    QVERIFY(!outside.isRunning());

    config = testConfig();
    config.port = m_unit->port();
    SimulatedUnit taken(config);
    QVERIFY(!taken.start());
    QVERIFY(taken.errorString().contains(QString::number(m_unit->port())));
}

// ---- command line ----------------------------------------------------------------------------

void TestKsvSim::commandLineAccepted()
{
    auto parse = [](const QStringList& args) {
        return SimulatorCommandLine::parse(QStringList{QStringLiteral("ksv-sim")} + args);
    };
    auto defaults = parse({});
    QVERIFY2(defaults.error.isEmpty(), qPrintable(defaults.error));
    QCOMPARE(defaults.units.size(), std::size_t{1});
    const auto& d = defaults.units[0];
    QCOMPARE(d.port, quint16{7});
    QCOMPARE(d.bindAddress, loopback(1));
    QCOMPARE(d.unit.password, std::string("password"));
    QVERIFY((d.unit.firmware == std::array<std::uint8_t, 3>{1, 7, 2}));
    QVERIFY(d.unit.boards == (std::array<bool, 6>{}));
    QVERIFY(d.unit.drift && d.unit.waveforms && !d.unit.flipPins);
    QCOMPARE(d.httpPort, -1);
    QVERIFY(!d.faults.any());

    auto many = parse(QStringLiteral("--port 7007 --units 3 --seed 10 --http-port 8080 --bind 127.0.0.2")
                          .split(QLatin1Char(' ')));
    QVERIFY2(many.error.isEmpty(), qPrintable(many.error));
    QCOMPARE(many.units.size(), std::size_t{3});
    for (std::size_t k = 0; k < 3; ++k) {
        QCOMPARE(many.units[k].port, quint16(7007 + k));
        QCOMPARE(many.units[k].httpPort, int(8080 + k));
        QCOMPARE(many.units[k].faults.seed, std::uint32_t(10 + k));
        QCOMPARE(int{many.units[k].unit.mac[5]}, int(0x4E + k));
        QCOMPARE(many.units[k].unit.stationName, QStringLiteral("KSV Simulator %1").arg(k + 1).toStdString());
        QCOMPARE(many.units[k].bindAddress, loopback(2));
    }

    auto faults =
        parse(QStringLiteral("--loss 5% --duplicate 0.25 --reorder 0.1 --truncate 1 --wrong-verdict 0 "
                             "--delay-ms 20-80 --silent-after 100 --firmware 1.6.6 --boards 1,4 "
                             "--password abc --temperature -2.5 --steady --short-reports --verbose")
                  .split(QLatin1Char(' ')));
    QVERIFY2(faults.error.isEmpty(), qPrintable(faults.error));
    const auto& f = faults.units[0];
    QCOMPARE(f.faults.loss, 0.05);
    QCOMPARE(f.faults.duplicate, 0.25);
    QCOMPARE(f.faults.reorder, 0.1);
    QCOMPARE(f.faults.truncate, 1.0);
    QCOMPARE(f.faults.delayMinMs, 20);
    QCOMPARE(f.faults.delayMaxMs, 80);
    QCOMPARE(f.faults.silentAfter, std::int64_t{100});
    QVERIFY((f.unit.firmware == std::array<std::uint8_t, 3>{1, 6, 6}));
    QVERIFY((f.unit.boards == std::array<bool, 6>{true, false, false, true, false, false}));
    QCOMPARE(f.unit.password, std::string("abc"));
    QCOMPARE(f.unit.temperatureHalves, -5);
    QVERIFY(!f.unit.drift && !f.unit.waveforms && !f.unit.fullLengthReports);
    QVERIFY(faults.verbose);

    auto demo = parse({QStringLiteral("--demo")});
    QVERIFY(demo.units[0].unit.flipPins && demo.units[0].unit.sampleScripts);
    QVERIFY((demo.units[0].unit.boards == std::array<bool, 6>{true, false, false, true, false, false}));
    auto bare = parse({QStringLiteral("--demo"), QStringLiteral("--boards"), QStringLiteral("none")});
    QVERIFY(bare.units[0].unit.boards == (std::array<bool, 6>{}));
    QCOMPARE(parse({QStringLiteral("--delay-ms"), QStringLiteral("50")}).units[0].faults.delayMaxMs, 50);
    QVERIFY(parse({QStringLiteral("--help")}).showHelp);
}

void TestKsvSim::commandLineRefused_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("message"); // part of the error text
    QTest::newRow("private address") << QStringLiteral("--bind 10.0.0.1") << QStringLiteral("loopback");
    QTest::newRow("lan address") << QStringLiteral("--bind 192.168.1.5") << QStringLiteral("127.0.0.0/8");
    QTest::newRow("any address") << QStringLiteral("--bind 0.0.0.0") << QStringLiteral("loopback");
    QTest::newRow("not an address") << QStringLiteral("--bind localhost") << QStringLiteral("--bind");
    QTest::newRow("probability above 1") << QStringLiteral("--loss 1.5") << QStringLiteral("--loss");
    QTest::newRow("percentage above 100")
        << QStringLiteral("--duplicate 150%") << QStringLiteral("--duplicate");
    QTest::newRow("range backwards") << QStringLiteral("--delay-ms 80-20") << QStringLiteral("--delay-ms");
    QTest::newRow("two-part firmware") << QStringLiteral("--firmware 1.7") << QStringLiteral("--firmware");
    QTest::newRow("firmware byte 256")
        << QStringLiteral("--firmware 1.256.0") << QStringLiteral("--firmware");
    QTest::newRow("board 7") << QStringLiteral("--boards 1,7") << QStringLiteral("--boards");
    QTest::newRow("port too high") << QStringLiteral("--port 70000") << QStringLiteral("--port");
    QTest::newRow("units run past 65535")
        << QStringLiteral("--port 65534 --units 3") << QStringLiteral("65535");
    QTest::newRow("eleven-character password")
        << QStringLiteral("--password elevenchars") << QStringLiteral("--password");
    QTest::newRow("third of a degree")
        << QStringLiteral("--temperature 23.3") << QStringLiteral("--temperature");
    QTest::newRow("unknown option") << QStringLiteral("--frobnicate") << QStringLiteral("frobnicate");
    QTest::newRow("stray argument") << QStringLiteral("7007") << QStringLiteral("7007");
}

void TestKsvSim::commandLineRefused()
{
    QFETCH(QString, arguments);
    QFETCH(QString, message);
    const auto result = SimulatorCommandLine::parse(QStringList{QStringLiteral("ksv-sim")} +
                                                    arguments.split(QLatin1Char(' ')));
    QVERIFY2(result.error.contains(message), qPrintable(result.error));
    QVERIFY(result.units.empty());
}

void TestKsvSim::helpNamesEveryOption_data()
{
    QTest::addColumn<QString>("option");
    for (const char* name :
         {"--bind ADDR", "--port N", "--password P", "--firmware A.B.C", "--boards LIST", "--units N",
          "--seed N", "--loss P", "--duplicate P", "--delay-ms A[-B]", "--truncate P", "--http-port N",
          "--verbose", "--demo", "--reorder P", "--silent-after N", "--wrong-verdict P"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestKsvSim::helpNamesEveryOption()
{
    QFETCH(QString, option);
    QVERIFY(SimulatorCommandLine::helpText().contains(QLatin1String("  ") + option + QLatin1Char(' ')));
}

QTEST_GUILESS_MAIN(TestKsvSim)
#include "tst_ksvsim.moc"
