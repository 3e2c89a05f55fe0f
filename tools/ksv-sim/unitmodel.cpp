#include "ksv-sim/unitmodel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "protocol/codes.h"
#include "protocol/frames.h"
#include "protocol/reply.h"

namespace kestavo::sim {

namespace {

namespace p = kestavo::protocol;

// Command frame positions read by the unit (1-based).
constexpr std::size_t kOpcodePosition = 10;
constexpr std::size_t kPasswordPosition = 11;
constexpr std::size_t kHeadLength = 20; // header, opcode, password

// Status report positions written by the unit (1-based); see the layout in docs/protocol.md.
constexpr std::size_t kMacPosition = 15;     // 6 bytes
constexpr std::size_t kChannelPosition = 21; // 8 x 2, high byte first
constexpr std::size_t kRelayPosition = 37;   // 3 bytes, 0 on / 1 off
constexpr std::size_t kPin5Position = 40;
constexpr std::size_t kRulePosition = 41;
constexpr std::size_t kOctetPosition = 42;       // 20 bytes
constexpr std::size_t kPin1Position = 62;        // pins 1-4
constexpr std::size_t kRevisionPosition = 66;    // 3 bytes
constexpr std::size_t kTemperaturePosition = 69; // magnitude, flags
constexpr std::size_t kDelayPosition = 71;       // 3 bytes
constexpr std::size_t kUptimePosition = 74;      // 4 bytes, least significant first
constexpr std::size_t kNamePosition = 78;        // 20 characters
constexpr std::size_t kTimerPosition = 98;       // 3 bytes remaining, most significant first
constexpr std::size_t kTimerStatePosition = 101;
constexpr std::size_t kTimerSlotPosition = 102;
constexpr std::size_t kIoSettingPosition = 103;          // 5 x 3
constexpr std::size_t kTemperatureSettingPosition = 118; // 5 bytes
constexpr std::size_t kHttpPosition = 123;
constexpr std::size_t kPresencePosition = 124;   // 6 bytes
constexpr std::size_t kBoardStatePosition = 130; // 6 bytes
constexpr std::size_t kTogglePosition = 136;
constexpr std::size_t kSnmpPosition = 137;

// Revision gates: a field exists from the revision number above the gate.
constexpr long long kHttpGate = 167;
constexpr long long kBoardGate = 169;
constexpr long long kSnmpGate = 170;

constexpr std::int64_t kDriftIntervalMs = 5000;
constexpr int kDriftReach = 6; // half degrees either side of the start value before it turns back
constexpr std::int64_t kFlipMinMs = 15000;
constexpr std::int64_t kFlipSpreadMs = 30000;

constexpr std::uint8_t kPresent = 255;
constexpr std::uint8_t kAckScript = 3;
constexpr std::uint8_t kAckTimerStopped = 4;
constexpr std::uint8_t kAckTimerSet = 5;
constexpr std::uint8_t kAckIo = 6;
constexpr std::uint8_t kAckTemperature = 7;
constexpr std::uint8_t kAckHttp = 8;
constexpr std::uint8_t kAckBoardDone = 9;
constexpr std::uint8_t kAckBoardFailed = 10;
constexpr std::uint8_t kAckToggleBusy = 11;
constexpr std::uint8_t kAckSnmp = 12;
constexpr std::uint8_t kToggleFlag = 2;

std::uint8_t at(std::string_view frame, std::size_t position)
{
    return static_cast<std::uint8_t>(frame[position - 1]);
}

void put(std::string& reply, std::size_t position, unsigned value)
{
    if (position <= reply.size())
        reply[position - 1] = static_cast<char>(value & 0xFF);
}

void putText(std::string& reply, std::size_t position, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i)
        put(reply, position + i, static_cast<unsigned char>(text[i]));
}

std::string replyHead(char opcode, std::uint8_t kind, std::size_t length)
{
    std::string reply(length, '\0');
    putText(reply, 1, p::kFrameHeader);
    put(reply, kOpcodePosition, static_cast<unsigned char>(opcode));
    put(reply, p::kKindPosition, kind);
    return reply;
}

/// Last frame position an opcode's handling reads; empty for opcodes the unit does not know.
std::optional<std::size_t> lastPositionRead(char opcode)
{
    switch (opcode) {
    case '1':
    case '2':
    case '3':
    case '5':
    case '6':
    case '8':
    case '9':
    case 'L':
    case 'N':
    case 'S':
    case 'T':
        return kHeadLength;
    case '4':
    case '7':
    case 'A':
    case 'H':
    case 'K':
    case 'Q':
    case 'V':
        return 21;
    case 'E':
        return 26;
    case 'F':
        return 24;
    case 'G':
        return 30;
    case 'I':
        return 40;
    case 'J':
    case 'U':
        return 53;
    case 'M':
    case 'P':
        return 25;
    case 'O':
    case 'R':
        return 24;
    default:
        return std::nullopt;
    }
}

/// Relay-script step: relay 1..3 and the state it switches to, or a wait in seconds.
struct RelayStep
{
    int relay = 0;
    bool on = false;
    int waitSeconds = 0;
};
std::optional<RelayStep> relayStep(char code)
{
    switch (code) {
    case '1':
        return RelayStep{1, true, 0};
    case '2':
        return RelayStep{1, false, 0};
    case '3':
        return RelayStep{2, true, 0};
    case '4':
        return RelayStep{2, false, 0};
    case '5':
        return RelayStep{3, true, 0};
    case '6':
        return RelayStep{3, false, 0};
    case '7':
        return RelayStep{0, false, 1};
    case '8':
        return RelayStep{0, false, 2};
    case '9':
        return RelayStep{0, false, 3};
    case 'A':
        return RelayStep{0, false, 4};
    case 'B':
        return RelayStep{0, false, 5};
    default:
        return std::nullopt;
    }
}

constexpr std::uint8_t kMaxBoardWait = 10;
constexpr std::uint8_t kBoardItemCount = 8;

/// Board 1..6 of a board step code (0x20 + 0x10 (b - 1) + item, plus 0x80 for NO / OFF).
std::optional<int> boardOfStep(std::uint8_t code)
{
    const int group = (code & 0x70) >> 4;
    if (group < 2 || (code & 0x0F) >= kBoardItemCount)
        return std::nullopt;
    return group - 1;
}

/// Board 1..6 for its bus address 0x44, 0x46, … 0x4E.
std::optional<int> boardOfAddress(std::uint8_t address)
{
    for (int board = 1; board <= UnitModel::kBoards; ++board) {
        if (p::boardAddress(board) == address)
            return board;
    }
    return std::nullopt;
}

std::int64_t secondsToMs(std::uint32_t seconds)
{
    return static_cast<std::int64_t>(seconds) * 1000;
}

std::uint32_t remainingSeconds(std::int64_t expiresAt, std::int64_t now)
{
    const std::int64_t left = std::max<std::int64_t>(0, expiresAt - now);
    return static_cast<std::uint32_t>((left + 999) / 1000);
}

} // namespace

UnitModel::UnitModel() : UnitModel(Config{}) {}

UnitModel::UnitModel(const Config& config)
    : m_config(config), m_random(config.seed), m_password(p::padPassword(config.password)),
      m_firmware(config.firmware), m_mac(config.mac), m_address(config.address),
      m_temperatureHalves(std::clamp(config.temperatureHalves, -510, 510))
{
    setStationName(config.stationName);
    for (int board = 1; board <= kBoards; ++board)
        m_boardPresent[board - 1] = config.boards[board - 1];

    // Channels 1-5 read 0-30 V, 6-8 read 0-5 V: rest at about 12 V and 3.3 V.
    for (int n = 0; n < kChannels; ++n) {
        Wave& wave = m_waves[n];
        wave.base = n < 5 ? 1638 : 2703;
        wave.amplitude = config.waveforms ? (n < 5 ? 220 : 160) : 0;
        wave.periodMs = 60000.0 + 30000.0 * n;
        wave.phase = n;
    }
    if (config.sampleScripts) {
        setRelayScript(1, "1B2", "Pulse relay 1");
        setRelayScript(2, "3B4", "Pulse relay 2");
        setRelayScript(3, "135B246", "All relays 5 s");
        setBoardScript(1, "Light blink", {0x27, 0x01, 0xA7, 0x01, 0x27, 0x01, 0xA7});
    }
    m_nextDriftAt = kDriftIntervalMs;
    m_nextFlipAt = kFlipMinMs + randomBelow(kFlipSpreadMs);
}

// ---- frames ----------------------------------------------------------------------------------

std::vector<std::string> UnitModel::handleFrame(std::string_view frame, const Ipv4& source)
{
    ++m_counters.received;
    m_frames.push_back(FrameRecord{std::string(frame), source, m_now, Outcome::Accepted});
    if (m_frames.size() > kFrameLogSize)
        m_frames.pop_front();

    std::vector<std::string> replies;
    Outcome outcome = Outcome::Filtered;
    if (accepts(source))
        outcome = dispatch(frame, replies);
    // m_frames may have been trimmed but never emptied since the push above.
    m_frames.back().outcome = outcome;

    switch (outcome) {
    case Outcome::Accepted:
        ++m_counters.accepted;
        ++m_counters.perOpcode[at(frame, kOpcodePosition)];
        break;
    case Outcome::WrongPassword:
        ++m_counters.wrongPassword;
        break;
    case Outcome::Filtered:
        ++m_counters.filtered;
        break;
    case Outcome::BadHeader:
        ++m_counters.badHeader;
        break;
    case Outcome::TooShort:
        ++m_counters.tooShort;
        break;
    case Outcome::UnknownOpcode:
        ++m_counters.unknownOpcode;
        break;
    }
    m_counters.replies += replies.size();
    return replies;
}

UnitModel::Outcome UnitModel::dispatch(std::string_view frame, std::vector<std::string>& replies)
{
    if (!frame.starts_with(p::kFrameHeader.substr(0, std::min(frame.size(), p::kFrameHeader.size()))))
        return Outcome::BadHeader;
    if (frame.size() < kOpcodePosition)
        return Outcome::TooShort;
    const char opcode = static_cast<char>(at(frame, kOpcodePosition));
    const std::optional<std::size_t> needed = lastPositionRead(opcode);
    if (!needed)
        return Outcome::UnknownOpcode;
    if (frame.size() < kHeadLength)
        return Outcome::TooShort;
    if (frame.substr(kPasswordPosition - 1, p::kPasswordLength) != m_password) {
        std::string reply = replyHead(opcode, 0, p::kKindPosition);
        put(reply, p::kVerdictPosition, 1);
        put(reply, p::kAdminResultPosition, 0);
        put(reply, p::kAdminIpResultPosition, 1);
        replies.push_back(std::move(reply));
        return Outcome::WrongPassword;
    }
    if (frame.size() < *needed)
        return Outcome::TooShort;

    // Acknowledgements end at the kind: the console reads nothing after it.
    auto ack = [&](std::uint8_t kind) {
        replies.push_back(replyHead(opcode, kind, p::kKindPosition));
    };
    auto status = [&] {
        replies.push_back(statusReport(opcode));
    };

    switch (opcode) {
    case '1':
        status();
        break;
    case '2':
    case '3':
    case '5':
    case '6':
    case '8':
    case '9': {
        const int index = (opcode >= '8') ? 2 : (opcode >= '5' ? 1 : 0);
        const bool on = opcode == '2' || opcode == '5' || opcode == '8';
        switchRelay(index + 1, on);
        status();
        break;
    }
    case '4':
    case '7':
    case 'A': {
        const int index = opcode == '4' ? 0 : (opcode == '7' ? 1 : 2);
        const std::uint8_t delay = at(frame, p::kPayloadPosition);
        switchRelay(index + 1, false);
        m_relayDelay[index] = delay;
        m_relayBackOnAt[index] = m_now + secondsToMs(delay);
        if (delay == 0)
            switchRelay(index + 1, true);
        status();
        break;
    }
    case 'E':
        for (std::size_t i = 0; i < m_mac.size(); ++i)
            m_mac[i] = at(frame, p::kPayloadPosition + i);
        break; // the console has closed its socket by now: no reply
    case 'F':
        for (std::size_t i = 0; i < m_address.size(); ++i)
            m_address[i] = at(frame, p::kPayloadPosition + i);
        break;
    case 'G': {
        const std::string_view typed = frame.substr(p::kPayloadPosition - 1, p::kPasswordLength);
        const bool printable = std::all_of(typed.begin(), typed.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte > 0x20 && byte < 0x7F;
        });
        const bool changed = printable && !m_adminRefusal;
        replies.push_back(statusReport(opcode, changed ? 1 : 0, 0));
        if (changed)
            m_password = std::string(typed);
        break;
    }
    case 'H': {
        const std::uint8_t flag = at(frame, p::kPayloadPosition);
        constexpr std::size_t kLastOctet = p::kPayloadPosition + 20;
        bool changed = !m_adminRefusal && (flag == 0 || (flag == 1 && frame.size() >= kLastOctet));
        replies.push_back(statusReport(opcode, 0, changed ? 0 : 1));
        if (changed && flag == 1) {
            std::array<std::uint8_t, 20> octets{};
            for (std::size_t i = 0; i < octets.size(); ++i)
                octets[i] = at(frame, p::kPayloadPosition + 1 + i);
            setAllowed(1, octets);
        } else if (changed) {
            m_allowedRule = 0; // the list stays, unused, as the unit's last known list
        }
        break;
    }
    case 'I':
        setStationName(frame.substr(p::kPayloadPosition - 1, kNameLength));
        status();
        break;
    case 'J': {
        const auto slot = p::slotIndexForCode(at(frame, p::kPayloadPosition));
        if (slot)
            setRelayScript(*slot + 1, frame.substr(21, 16), frame.substr(37, 16));
        status();
        break;
    }
    case 'K':
        if (const auto slot = p::slotIndexForCode(at(frame, p::kPayloadPosition)))
            runRelayScript(*slot, Trigger::Command);
        ack(kAckScript);
        break;
    case 'L':
        replies.push_back(slotTableReply());
        break;
    case 'M': {
        const std::uint32_t delay =
            (std::uint32_t{at(frame, 21)} << 16) | (std::uint32_t{at(frame, 22)} << 8) | at(frame, 23);
        const std::uint8_t slotCode = at(frame, 24);
        if (delay > 0 && p::slotIndexForCode(slotCode))
            startTimer(delay, slotCode, at(frame, 25) == 1);
        ack(kAckTimerSet);
        break;
    }
    case 'N':
        m_timer = Timer{};
        ack(kAckTimerStopped);
        break;
    case 'O': {
        const std::uint8_t box = at(frame, 21);
        if (box < kPins)
            m_ioSettings[box] = IoSetting{at(frame, 22), at(frame, 23), at(frame, 24)};
        ack(kAckIo);
        break;
    }
    case 'P':
        m_temperatureSetting =
            TemperatureSetting{at(frame, 21), at(frame, 22), at(frame, 23), at(frame, 24), at(frame, 25)};
        ack(kAckTemperature);
        break;
    case 'Q':
        if (at(frame, 21) <= 1)
            m_httpState = at(frame, 21);
        ack(kAckHttp);
        break;
    case 'R':
        ack(boardCommand(at(frame, 21), at(frame, 22), at(frame, 23), at(frame, 24)));
        break;
    case 'S':
        // One opcode, two frames: the SNMP switch carries a flag byte at 21, the board listing
        // request carries '*' there (or nothing at all).
        if (frame.size() > kHeadLength && frame[kHeadLength] != '*') {
            if (at(frame, 21) <= 1)
                m_snmpState = at(frame, 21);
            ack(kAckSnmp);
        } else {
            replies.push_back(boardListingReply());
        }
        break;
    case 'T':
        replies.push_back(boardContentsReply());
        break;
    case 'U': {
        const std::uint8_t code = at(frame, 21);
        if (code % 16 == 0) {
            std::array<std::uint8_t, 16> codes{};
            for (std::size_t i = 0; i < codes.size(); ++i)
                codes[i] = at(frame, 38 + i);
            setBoardScript(code / 16 + 1, frame.substr(21, 16), codes);
        }
        status();
        break;
    }
    case 'V': {
        const std::uint8_t code = at(frame, 21);
        if (code % 16 == 0)
            runBoardScript(code / 16, Trigger::Command);
        status();
        break;
    }
    default:
        return Outcome::UnknownOpcode; // lastPositionRead() and this switch list the same opcodes
    }
    return Outcome::Accepted;
}

std::string UnitModel::statusReport(char opcode, std::uint8_t passwordResult,
                                    std::uint8_t allowedIpResult) const
{
    const long long revision = revisionNumber();
    std::size_t length = p::kStatusSnmpLength;
    if (!m_config.fullLengthReports) {
        length = revision > kSnmpGate    ? p::kStatusSnmpLength
                 : revision > kBoardGate ? p::kStatusBoardsLength
                 : revision > kHttpGate  ? p::kStatusHttpLength
                                         : p::kStatusBaseLength;
    }
    std::string r = replyHead(opcode, kKindStatus, length);
    put(r, p::kAdminResultPosition, passwordResult);
    put(r, p::kAdminIpResultPosition, allowedIpResult);

    for (std::size_t i = 0; i < m_mac.size(); ++i)
        put(r, kMacPosition + i, m_mac[i]);
    for (int n = 1; n <= kChannels; ++n) {
        const std::uint16_t raw = channelRaw(n);
        put(r, kChannelPosition + 2 * (n - 1), raw >> 8);
        put(r, kChannelPosition + 2 * (n - 1) + 1, raw & 0xFF);
    }
    for (int relay = 0; relay < kRelays; ++relay)
        put(r, kRelayPosition + relay, m_relayOn[relay] ? 0 : 1);
    put(r, kPin5Position, m_pins[4]);
    put(r, kRulePosition, m_allowedRule);
    for (std::size_t i = 0; i < m_allowedOctets.size(); ++i)
        put(r, kOctetPosition + i, m_allowedOctets[i]);
    for (int pin = 0; pin < 4; ++pin)
        put(r, kPin1Position + pin, m_pins[pin]);
    for (std::size_t i = 0; i < m_firmware.size(); ++i)
        put(r, kRevisionPosition + i, m_firmware[i]);
    const auto temperature = temperatureBytes();
    put(r, kTemperaturePosition, temperature[0]);
    put(r, kTemperaturePosition + 1, temperature[1]);
    for (int relay = 0; relay < kRelays; ++relay)
        put(r, kDelayPosition + relay, m_relayDelay[relay]);
    const std::uint32_t up = uptime();
    for (int i = 0; i < 4; ++i)
        put(r, kUptimePosition + i, up >> (8 * i));
    putText(r, kNamePosition, m_stationName);
    const std::uint32_t remaining = timerRemaining();
    put(r, kTimerPosition, remaining >> 16);
    put(r, kTimerPosition + 1, remaining >> 8);
    put(r, kTimerPosition + 2, remaining);
    put(r, kTimerStatePosition, m_timer.active ? 1 : 0);
    put(r, kTimerSlotPosition, m_timer.active ? m_timer.slotCode : 0);
    for (int box = 0; box < kPins; ++box) {
        put(r, kIoSettingPosition + 3 * box, m_ioSettings[box].action);
        put(r, kIoSettingPosition + 3 * box + 1, m_ioSettings[box].codeFor0);
        put(r, kIoSettingPosition + 3 * box + 2, m_ioSettings[box].codeFor1);
    }
    put(r, kTemperatureSettingPosition, m_temperatureSetting.action);
    put(r, kTemperatureSettingPosition + 1, m_temperatureSetting.upperCode);
    put(r, kTemperatureSettingPosition + 2, m_temperatureSetting.lowerCode);
    put(r, kTemperatureSettingPosition + 3, m_temperatureSetting.upper);
    put(r, kTemperatureSettingPosition + 4, m_temperatureSetting.lower);
    // Fields a revision does not have stay 0, whatever the unit's state.
    if (revision > kHttpGate)
        put(r, kHttpPosition, m_httpState);
    if (revision > kBoardGate) {
        for (int board = 0; board < kBoards; ++board) {
            put(r, kPresencePosition + board, m_boardPresent[board] ? kPresent : 0);
            put(r, kBoardStatePosition + board, m_boardPresent[board] ? m_boardState[board] : 0);
        }
        put(r, kTogglePosition, toggleCountdown());
    }
    if (revision > kSnmpGate)
        put(r, kSnmpPosition, m_snmpState);
    return r;
}

std::string UnitModel::slotTableReply() const
{
    std::string r = replyHead('L', p::kKindSlotTable, p::kSlotTableLength);
    for (int slot = 0; slot < kRelaySlots; ++slot) {
        putText(r, p::kBodyPosition + 32 * slot, m_relayScripts[slot].codeField);
        putText(r, p::kBodyPosition + 32 * slot + 16, m_relayScripts[slot].description);
    }
    return r;
}

std::string UnitModel::boardListingReply() const
{
    std::string r = replyHead('S', p::kKindBoardListing, p::kBoardTableLength);
    for (int slot = 0; slot < kBoardSlots; ++slot)
        putText(r, p::kBodyPosition + 16 * slot, m_boardScripts[slot].description);
    return r;
}

std::string UnitModel::boardContentsReply() const
{
    std::string r = replyHead('T', p::kKindBoardContents, p::kBoardTableLength);
    for (int slot = 0; slot < kBoardSlots; ++slot) {
        for (std::size_t step = 0; step < 16; ++step)
            put(r, p::kBodyPosition + 16 * slot + step, m_boardScripts[slot].codes[step]);
    }
    return r;
}

// ---- behaviour -------------------------------------------------------------------------------

void UnitModel::switchRelay(int relay, bool on)
{
    m_relayOn[relay - 1] = on;
    m_relayBackOnAt[relay - 1].reset();
}

void UnitModel::setRelay(int relay, bool on)
{
    switchRelay(relay, on);
}

void UnitModel::runRelayScript(int slotIndex, Trigger trigger)
{
    std::vector<ScriptRunner::Step> steps;
    const std::string& field = m_relayScripts[slotIndex].codeField;
    for (std::size_t i = 0; i < field.size() && i < 16; ++i) {
        if (field[i] == ' ')
            break;
        const auto step = relayStep(field[i]);
        if (!step)
            continue;
        if (step->waitSeconds > 0)
            steps.push_back({secondsToMs(step->waitSeconds), 0});
        else
            steps.push_back({0, static_cast<std::uint8_t>(field[i])});
    }
    logScriptRun(slotIndex + 1, false, trigger);
    m_relayRunner.start(std::move(steps), m_now);
    for (std::uint8_t action : m_relayRunner.take(m_now))
        performRelayStep(action);
}

void UnitModel::runBoardScript(int slotIndex, Trigger trigger)
{
    std::vector<ScriptRunner::Step> steps;
    for (std::uint8_t code : m_boardScripts[slotIndex].codes) {
        if (code >= 1 && code <= kMaxBoardWait)
            steps.push_back({secondsToMs(code), 0});
        else if (boardOfStep(code))
            steps.push_back({0, code});
    }
    logScriptRun(slotIndex + 1, true, trigger);
    m_boardRunner.start(std::move(steps), m_now);
    for (std::uint8_t action : m_boardRunner.take(m_now))
        performBoardStep(action);
}

void UnitModel::performRelayStep(std::uint8_t code)
{
    if (const auto step = relayStep(static_cast<char>(code)); step && step->relay > 0)
        switchRelay(step->relay, step->on);
}

void UnitModel::performBoardStep(std::uint8_t code)
{
    const auto board = boardOfStep(code);
    if (!board || !m_boardPresent[*board - 1])
        return; // a step for a board that is not fitted does nothing
    const auto bit = static_cast<std::uint8_t>(1u << (code & 0x0F));
    // NC / ON codes set the item's bit, NO / OFF codes (0x80 added) clear it.
    if (code & 0x80)
        m_boardState[*board - 1] &= static_cast<std::uint8_t>(~bit);
    else
        m_boardState[*board - 1] |= bit;
}

void UnitModel::startTimer(std::uint32_t delaySeconds, std::uint8_t slotCode, bool continuous)
{
    m_timer = Timer{true, continuous, delaySeconds, slotCode, m_now + secondsToMs(delaySeconds)};
}

std::uint8_t UnitModel::boardCommand(std::uint8_t address, std::uint8_t mask, std::uint8_t toggle,
                                     std::uint8_t delay)
{
    const auto board = boardOfAddress(address);
    if (!board || !m_boardPresent[*board - 1] || mask == 0)
        return kAckBoardFailed;
    if (toggle == 0) {
        m_boardState[*board - 1] ^= mask;
        return kAckBoardDone;
    }
    if (toggle != kToggleFlag || delay == 0)
        return kAckBoardFailed;
    if (m_toggle.active)
        return kAckToggleBusy;
    m_boardState[*board - 1] ^= mask;
    m_toggle = Toggle{true, *board, mask, m_now + secondsToMs(delay)};
    return kAckBoardDone;
}

void UnitModel::setPin(int pin, int value)
{
    const int previous = m_pins.at(pin - 1);
    m_pins[pin - 1] = value ? 1 : 0;
    if (previous == m_pins[pin - 1])
        return;
    const IoSetting& setting = m_ioSettings[pin - 1];
    if (setting.action != 1)
        return;
    const std::uint8_t code = m_pins[pin - 1] ? setting.codeFor1 : setting.codeFor0;
    if (const auto slot = p::slotIndexForCode(code))
        runRelayScript(*slot, Trigger::IoPin);
}

void UnitModel::setTemperatureHalves(int halves)
{
    const int previous = m_temperatureHalves;
    m_temperatureHalves = std::clamp(halves, -510, 510);
    if (previous != m_temperatureHalves)
        temperatureChanged(previous);
}

void UnitModel::temperatureChanged(int previous)
{
    const TemperatureSetting& s = m_temperatureSetting;
    if (s.action != 1)
        return;
    // Triggers fire on crossing a threshold, not for as long as the temperature stays beyond it.
    const int upper = 2 * s.upper;
    const int lower = 2 * s.lower;
    if (m_temperatureHalves > upper && previous <= upper) {
        if (const auto slot = p::slotIndexForCode(s.upperCode))
            runRelayScript(*slot, Trigger::Temperature);
    }
    if (m_temperatureHalves < lower && previous >= lower) {
        if (const auto slot = p::slotIndexForCode(s.lowerCode))
            runRelayScript(*slot, Trigger::Temperature);
    }
}

std::array<std::uint8_t, 2> UnitModel::temperatureBytes() const
{
    // Flags: 0 t, 1 -t, 128 t + 0.5, 129 -t + 0.5.
    const int h = m_temperatureHalves;
    if (h % 2 == 0)
        return {static_cast<std::uint8_t>(std::abs(h) / 2), static_cast<std::uint8_t>(h < 0 ? 1 : 0)};
    if (h > 0)
        return {static_cast<std::uint8_t>((h - 1) / 2), 128};
    return {static_cast<std::uint8_t>((1 - h) / 2), 129};
}

std::uint16_t UnitModel::channelRaw(int channel) const
{
    const Wave& wave = m_waves.at(channel - 1);
    const double value =
        wave.base + wave.amplitude * std::sin(2 * std::numbers::pi * m_now / wave.periodMs + wave.phase);
    return static_cast<std::uint16_t>(std::clamp(std::lround(value), 0L, 4095L));
}

void UnitModel::setChannelRaw(int channel, std::uint16_t raw)
{
    Wave& wave = m_waves.at(channel - 1);
    wave.base = std::min<std::uint16_t>(raw, 4095);
    wave.amplitude = 0;
}

std::uint32_t UnitModel::uptime() const
{
    return m_config.uptimeSeconds + static_cast<std::uint32_t>(m_now / 1000);
}

std::uint32_t UnitModel::timerRemaining() const
{
    return m_timer.active ? remainingSeconds(m_timer.expiresAt, m_now) : 0;
}

std::uint8_t UnitModel::toggleCountdown() const
{
    return m_toggle.active ? static_cast<std::uint8_t>(remainingSeconds(m_toggle.expiresAt, m_now)) : 0;
}

long long UnitModel::revisionNumber() const
{
    std::string digits;
    for (std::uint8_t byte : m_firmware)
        digits += std::to_string(byte);
    return std::stoll(digits);
}

void UnitModel::setPassword(std::string_view typed)
{
    m_password = p::padPassword(typed);
}

void UnitModel::setStationName(std::string_view name)
{
    m_stationName = p::padField(name, kNameLength);
}

void UnitModel::setAllowed(std::uint8_t rule, const std::array<std::uint8_t, 20>& octets)
{
    m_allowedRule = rule;
    m_allowedOctets = octets;
}

bool UnitModel::accepts(const Ipv4& source) const
{
    if (m_allowedRule != 1)
        return true;
    for (std::size_t entry = 0; entry < 5; ++entry) {
        if (std::equal(source.begin(), source.end(), m_allowedOctets.begin() + 4 * entry))
            return true;
    }
    return false;
}

void UnitModel::setRelayScript(int slot, std::string_view codeField, std::string_view description)
{
    RelayScript& script = m_relayScripts.at(slot - 1);
    script.codeField = p::padField(codeField);
    script.description = p::padField(description);
}

void UnitModel::setBoardScript(int slot, std::string_view description,
                               const std::array<std::uint8_t, 16>& codes)
{
    BoardScript& script = m_boardScripts.at(slot - 1);
    script.description = p::padField(description);
    script.codes = codes;
}

void UnitModel::logScriptRun(int slot, bool board, Trigger trigger)
{
    m_scriptRuns.push_back(ScriptRun{m_now, slot, board, trigger});
    if (m_scriptRuns.size() > kFrameLogSize)
        m_scriptRuns.pop_front();
}

void UnitModel::clearLogs()
{
    m_frames.clear();
    m_scriptRuns.clear();
}

// ---- time ------------------------------------------------------------------------------------

void UnitModel::advance(std::int64_t ms)
{
    const std::int64_t target = m_now + std::max<std::int64_t>(ms, 0);
    for (auto t = nextEvent(); t && *t <= target; t = nextEvent()) {
        m_now = std::max(m_now, *t);
        runEventsAt(m_now);
    }
    m_now = target;
}

std::optional<std::int64_t> UnitModel::nextEvent() const
{
    std::optional<std::int64_t> next;
    auto consider = [&next](std::optional<std::int64_t> t) {
        if (t && (!next || *t < *next))
            next = t;
    };
    for (const auto& backOn : m_relayBackOnAt)
        consider(backOn);
    if (m_timer.active)
        consider(m_timer.expiresAt);
    if (m_toggle.active)
        consider(m_toggle.expiresAt);
    consider(m_relayRunner.nextDue());
    consider(m_boardRunner.nextDue());
    if (m_config.drift)
        consider(m_nextDriftAt);
    if (m_config.flipPins)
        consider(m_nextFlipAt);
    return next;
}

void UnitModel::runEventsAt(std::int64_t t)
{
    for (int relay = 1; relay <= kRelays; ++relay) {
        if (m_relayBackOnAt[relay - 1] && *m_relayBackOnAt[relay - 1] <= t)
            switchRelay(relay, true);
    }
    for (std::uint8_t action : m_relayRunner.take(t))
        performRelayStep(action);
    for (std::uint8_t action : m_boardRunner.take(t))
        performBoardStep(action);
    if (m_toggle.active && m_toggle.expiresAt <= t) {
        m_boardState[m_toggle.board - 1] ^= m_toggle.mask;
        m_toggle = Toggle{};
    }
    if (m_timer.active && m_timer.expiresAt <= t) {
        const std::uint8_t slotCode = m_timer.slotCode;
        if (m_timer.continuous)
            m_timer.expiresAt += secondsToMs(m_timer.delaySeconds);
        else
            m_timer = Timer{};
        if (const auto slot = p::slotIndexForCode(slotCode))
            runRelayScript(*slot, Trigger::Timer);
    }
    if (m_config.drift && m_nextDriftAt <= t) {
        m_nextDriftAt = t + kDriftIntervalMs;
        drift();
    }
    if (m_config.flipPins && m_nextFlipAt <= t) {
        m_nextFlipAt = t + kFlipMinMs + randomBelow(kFlipSpreadMs);
        flipRandomPin();
    }
}

void UnitModel::drift()
{
    const int offset = m_temperatureHalves - m_config.temperatureHalves;
    int step = static_cast<int>(randomBelow(3)) - 1;
    if (offset >= kDriftReach)
        step = -1;
    else if (offset <= -kDriftReach)
        step = 1;
    setTemperatureHalves(m_temperatureHalves + step);
}

void UnitModel::flipRandomPin()
{
    const int pin = 1 + static_cast<int>(randomBelow(kPins));
    setPin(pin, m_pins[pin - 1] ? 0 : 1);
}

std::uint32_t UnitModel::randomBelow(std::uint32_t bound)
{
    // Plain modulo keeps the sequence the same on every standard library, unlike the distributions.
    return static_cast<std::uint32_t>(m_random() % bound);
}

} // namespace kestavo::sim
