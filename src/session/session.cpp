#include "session/session.h"

#include <variant>

#include <QNetworkDatagram>
#include <QUdpSocket>

#include "protocol/frames.h"
#include "protocol/ipv4.h"
#include "protocol/reply.h"

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "session/consolestate.h"

#include "platform/prompter.h"

namespace kestavo::core {

namespace {
// Activity label colours, one per 200 ms pulse step.
constexpr std::array<quint32, 6> kPulse{0xC0FFC0, 0x80FF80, 0x00FF00, 0x00C000, 0x00FF00, 0x80FF80};
} // namespace

Session::Session(ConsoleState& state, stations::StationStore& store, platform::Prompter& prompter,
                 QObject* parent)
    : QObject(parent), m_state(state), m_store(store), m_prompter(prompter), m_socket(new QUdpSocket(this))
{
    m_socket->setObjectName(QStringLiteral("Winsock1"));
    m_poll.setObjectName(QStringLiteral("Timer1"));
    m_pulse.setObjectName(QStringLiteral("Timer2"));
    m_watchdog.setObjectName(QStringLiteral("Timer9"));
    setTiming(m_timing);
    connect(&m_poll, &QTimer::timeout, this, &Session::onPollTick);
    connect(&m_pulse, &QTimer::timeout, this, &Session::onPulse);
    connect(&m_watchdog, &QTimer::timeout, this, &Session::onWatchdog);
    connect(m_socket, &QUdpSocket::readyRead, this, &Session::onReadyRead);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // A connected UDP socket reports every ICMP "port unreachable" as an error. Show one box at a
        // time: a unit that stays unreachable must not pile up a box per poll.
        if (m_errorShown)
            return;
        m_errorShown = true;
        m_prompter.inform(QString::number(int(error)) + m_socket->errorString() +
                          QString::number(-int(error)));
        m_errorShown = false;
    });
}

Session::~Session() = default;

void Session::setTiming(const Timing& timing)
{
    m_timing = timing;
    m_poll.setInterval(timing.pollMs);
    m_pulse.setInterval(timing.pulseMs);
    m_watchdog.setInterval(timing.watchdogMs);
}

std::string Session::password() const
{
    return m_store.password().toLatin1().toStdString();
}

QHostAddress Session::localAddress() const
{
    if (m_socket->state() != QAbstractSocket::BoundState)
        return {};
    // The main socket listens on every interface; the routing table says which one reaches the
    // unit. Connecting a UDP socket sends nothing.
    QUdpSocket probe;
    probe.connectToHost(m_unitAddress, m_unitPort);
    return probe.localAddress();
}

quint16 Session::localPort() const
{
    return m_socket->localPort();
}

void Session::start(const QString& stationBoxText)
{
    const QString address = stations::addressOf(stationBoxText);
    // IPv4 through the one strict reader: QHostAddress would take "127.0.82.010" for .8. Only IPv6
    // goes to QHostAddress.
    const auto octets = protocol::parseIpv4(address.toStdString());
    const QHostAddress unit = octets                   ? QHostAddress(protocol::ipv4Number(*octets))
                              : address.contains(u':') ? QHostAddress(address)
                                                       : QHostAddress();
    if (!m_state.acquiring() && unit.isNull()) {
        // Refused before anything changes: the counters of the last session stay as they were.
        if (address.isEmpty())
            m_prompter.inform(tr("No station is chosen. Add one with \"Add IP\", choose it in the "
                                 "station box and press \"Start\" again."));
        else
            // A name would need a DNS look-up on every start; the unit is always addressed by number.
            m_prompter.inform(tr("The station address \"%1\" is not an IP number. "
                                 "Choose or add a station with a numeric IP address.")
                                  .arg(address));
        return;
    }
    // On a team's store a viewer's directory holds no passwords: every frame would carry a wrong
    // one, so nothing is sent and the message says which role would allow it.
    if (!m_state.acquiring()) {
        if (const QString refusal = m_store.commandRefusal(); !refusal.isEmpty()) {
            m_prompter.inform(refusal);
            return;
        }
    }
    m_received = 0;
    setSent(0);
    Q_EMIT countersChanged(false);
    if (!m_state.acquiring()) {
        m_unitAddress = unit;
        m_state.beginSession(address);
        m_socket->abort();
        // Not connected: a connected socket would only take replies from port 7 itself, and a unit
        // behind port translation answers from another port. onReadyRead filters by address.
        const bool v6 = unit.protocol() == QAbstractSocket::IPv6Protocol;
        if (!m_socket->bind(v6 ? QHostAddress::AnyIPv6 : QHostAddress::AnyIPv4, 0)) {
            m_prompter.inform(tr("No socket for the session with %1 could be opened: %2. "
                                 "Check the network settings of this computer and press "
                                 "\"Start\" again.")
                                  .arg(address, m_socket->errorString()));
            return;
        }
        setPhase(Phase::Waiting);
        m_state.setAcquiring(true);
    }
    m_state.setSelectedAddress(address);
    m_store.findAddress(address);
    send(protocol::startFrame(password()), false);
    setSent(1);
    m_poll.start();
    m_pulse.start();
    m_firstReport = true;
    m_shortReported = false;
    Q_EMIT started();
}

void Session::stop()
{
    m_pollsHeld = false;
    m_poll.stop();
    m_pulse.stop();
    m_watchdog.stop();
    m_state.setAcquiring(false);
    m_socket->abort();
    setPhase(Phase::Idle);
    m_state.setTemperatureText(QString());
    Q_EMIT stopped();
}

bool Session::send(const std::string& frame, bool counted)
{
    if (!m_state.acquiring() || m_socket->state() != QAbstractSocket::BoundState)
        return false;
    const QByteArray bytes(frame.data(), qsizetype(frame.size()));
    const bool ok = m_socket->writeDatagram(bytes, m_unitAddress, m_unitPort) == bytes.size();
    Q_EMIT frameSent(bytes);
    if (counted)
        setSent(m_sent + 1);
    return ok;
}

void Session::setSent(int sent)
{
    m_sent = sent;
    m_lost = m_sent - m_received - 1;
    Q_EMIT countersChanged(true);
}

void Session::setPhase(Phase phase)
{
    if (m_phase == phase)
        return;
    m_phase = phase;
    Q_EMIT phaseChanged(phase);
}

void Session::onPollTick()
{
    if (m_pollsHeld)
        return;
    send(protocol::pollFrame(password()), false);
    if (!m_watchdog.isActive())
        m_watchdog.start();
    setSent(m_sent + 1);
}

void Session::onWatchdog()
{
    m_watchdog.stop();
    if (!m_state.acquiring())
        return;
    Q_EMIT watchdogExpired();
    stop();
    m_prompter.inform(QStringLiteral("No incomming packets for 60 seconds.... Disconnected !!"));
}

void Session::onPulse()
{
    Q_EMIT pulseColour(kPulse[std::size_t(m_pulseStep)]);
    m_pulseStep = (m_pulseStep + 1) % int(kPulse.size());
}

void Session::onReadyRead()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        // Only the unit's address counts, from whatever port: strangers are dropped uncounted.
        if (!m_state.acquiring() ||
            !datagram.senderAddress().isEqual(m_unitAddress, QHostAddress::ConvertV4MappedToIPv4))
            continue;
        handleDatagram(datagram.data());
    }
}

void Session::handleDatagram(const QByteArray& datagram)
{
    m_watchdog.stop();
    ++m_received;
    Q_EMIT countersChanged(false);
    Q_EMIT replyReceived(datagram);

    const std::string_view bytes(datagram.constData(), std::size_t(datagram.size()));
    const auto classified = protocol::classify(bytes);
    if (!std::holds_alternative<protocol::Classification>(classified))
        return; // too short to carry a verdict: counted, then ignored
    const auto& c = std::get<protocol::Classification>(classified);
    if (!c.passwordAccepted) {
        Q_EMIT passwordRefused();
        stop();
        m_prompter.critical(QStringLiteral("Bad Password!"), QStringLiteral("Lameness Detected!"));
        return;
    }
    switch (c.cls) {
    case protocol::ReplyClass::SlotTable:
        if (const auto table = protocol::decodeSlotTable(bytes);
            std::holds_alternative<protocol::SlotTable>(table)) {
            m_state.setSlotTable(std::get<protocol::SlotTable>(table));
            m_state.setReplyIndicator(1);
        }
        return;
    case protocol::ReplyClass::Acknowledgement:
        m_state.raiseNotification(c.kind);
        return;
    case protocol::ReplyClass::BoardListing:
        if (const auto listing = protocol::decodeBoardListing(bytes);
            std::holds_alternative<std::array<std::string, 16>>(listing)) {
            m_state.setBoardDescriptions(std::get<std::array<std::string, 16>>(listing));
            m_state.setReplyIndicator(2);
        }
        return;
    case protocol::ReplyClass::BoardContents:
        if (const auto contents = protocol::decodeBoardContents(bytes);
            std::holds_alternative<protocol::BoardCodes>(contents)) {
            m_state.setBoardCodes(std::get<protocol::BoardCodes>(contents));
            m_state.setReplyIndicator(3);
        }
        return;
    case protocol::ReplyClass::StatusReport:
        decodeStatusReport(datagram);
        return;
    }
}

void Session::decodeStatusReport(const QByteArray& datagram)
{
    const auto decoded =
        protocol::decodeStatus(std::string_view(datagram.constData(), std::size_t(datagram.size())));
    const auto* report = std::get_if<protocol::StatusReport>(&decoded);
    if ((!report || report->shortForRevision) && !m_shortReported) {
        // Every reply disarms the watchdog, so a unit that only ever answers short would leave the
        // window waiting without a word.
        m_shortReported = true;
        Q_EMIT shortReports(int(datagram.size()));
    }
    if (!report)
        return; // shorter than the base fields: nothing on screen changes
    applyStatusReport(*report);
}

void Session::applyStatusReport(const protocol::StatusReport& report)
{
    setPhase(Phase::Receiving);
    if (report.temperatureText)
        m_state.setTemperatureText(QString::fromUtf8(report.temperatureText->c_str()));
    m_state.applyStatus(report);
    if (report.revision > 166 && m_firstReport) {
        m_firstReport = false;
        send(protocol::readRequestFrame(password()));
    }
}

} // namespace kestavo::core
