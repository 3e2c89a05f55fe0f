#include "protocol/reply.h"

#include <charconv>

#include "protocol/codes.h"

namespace kestavo::protocol {

namespace {

// Status report positions (1-based). The base fields run up to 122.
constexpr std::size_t kMacPosition = 15;           // 15-20, six bytes
constexpr std::size_t kChannelsPosition = 21;      // 21-36, eight readings, high byte first
constexpr std::size_t kRelayStatePosition = 37;    // 37-39: relays 1-3, 0 on, 1 off
constexpr std::size_t kIoPin5Position = 40;        // I/O pin 5 sits apart from pins 1-4
constexpr std::size_t kAllowedRulePosition = 41;   // 0 all, 1 only the listed numbers
constexpr std::size_t kAllowedOctetsPosition = 42; // 42-61, five IP numbers
constexpr std::size_t kIoPinsPosition = 62;        // 62-65: pins 1-4
constexpr std::size_t kRevisionPosition = 66;      // 66-68
constexpr std::size_t kTemperaturePosition = 69;   // magnitude; 70 holds sign and half-degree flags
constexpr std::size_t kTemperatureFlagsPosition = 70;
constexpr std::size_t kRelayDelaysPosition = 71; // 71-73, seconds
constexpr std::size_t kUptimePosition = 74;      // 74-77, least significant first
constexpr std::size_t kStationNamePosition = 78; // 78-97
constexpr std::size_t kStationNameWidth = 20;
constexpr std::size_t kTimerRemainingPosition = 98; // 98-100, most significant first
constexpr std::size_t kTimerStatePosition = 101;
constexpr std::size_t kTimerSlotPosition = 102;
constexpr std::size_t kIoSettingsPosition = 103;  // 103-117, flag and two slot codes per box
constexpr std::size_t kTempSettingPosition = 118; // 118-122
// Revision-gated tail.
constexpr std::size_t kHttpPosition = 123;
constexpr std::size_t kBoardPresencePosition = 124; // 124-129, 255 fitted / 0 absent
constexpr std::size_t kBoardStatePosition = 130;    // 130-135, one bit per item
constexpr std::size_t kToggleCountdownPosition = 136;
constexpr std::size_t kSnmpPosition = 137;

// Revisions above these carry the matching tail field.
constexpr long long kHttpRevision = 167;
constexpr long long kBoardsRevision = 169;
constexpr long long kSnmpRevision = 170;

constexpr std::size_t kTableFields = 16;

static_assert(kStatusBaseLength == kTempSettingPosition + 4);
static_assert(kStatusHttpLength == kHttpPosition);
static_assert(kStatusBoardsLength == kToggleCountdownPosition);
static_assert(kStatusSnmpLength == kSnmpPosition);
static_assert(kSlotTableLength == kBodyPosition - 1 + kTableFields * kFieldWidth);

// Callers check the length first; every read goes through here.
std::uint8_t at(std::string_view reply, std::size_t position)
{
    return static_cast<std::uint8_t>(reply[position - 1]);
}

template <std::size_t N> std::array<std::uint8_t, N> bytesAt(std::string_view reply, std::size_t position)
{
    std::array<std::uint8_t, N> out{};
    for (std::size_t i = 0; i < N; ++i)
        out[i] = at(reply, position + i);
    return out;
}

// 0 and 1 are the only states a pin or relay byte reports; anything else leaves the display.
std::optional<int> binaryState(std::uint8_t value)
{
    if (value > 1)
        return std::nullopt;
    return value;
}

ReplyClass classOfKind(std::uint8_t kind)
{
    if (kind == kKindSlotTable)
        return ReplyClass::SlotTable;
    if (kind >= kKindFirstAck && kind <= kKindLastAck)
        return ReplyClass::Acknowledgement;
    if (kind == kKindBoardListing)
        return ReplyClass::BoardListing;
    if (kind == kKindBoardContents)
        return ReplyClass::BoardContents;
    return ReplyClass::StatusReport;
}

// The kind check shared by the table decoders: long enough to hold a kind, and the right one.
std::optional<DecodeError> checkKind(std::string_view reply, std::uint8_t kind, std::size_t needed)
{
    if (reply.size() < kKindPosition)
        return DecodeError::TooShort;
    if (at(reply, kKindPosition) != kind)
        return DecodeError::WrongKind;
    if (reply.size() < needed)
        return DecodeError::TooShort;
    return std::nullopt;
}

std::string fieldAt(std::string_view reply, std::size_t index)
{
    return std::string(reply.substr(kBodyPosition - 1 + index * kFieldWidth, kFieldWidth));
}

} // namespace

std::variant<Classification, DecodeError> classify(std::string_view reply)
{
    if (reply.size() < kKindPosition)
        return DecodeError::TooShort;
    Classification c;
    c.passwordAccepted = at(reply, kVerdictPosition) == 0;
    c.kind = at(reply, kKindPosition);
    c.cls = classOfKind(c.kind);
    return c;
}

std::variant<StatusReport, DecodeError> decodeStatus(std::string_view reply)
{
    if (reply.size() < kKindPosition)
        return DecodeError::TooShort;
    if (classOfKind(at(reply, kKindPosition)) != ReplyClass::StatusReport)
        return DecodeError::WrongKind;
    if (reply.size() < kStatusBaseLength)
        return DecodeError::TooShort;

    StatusReport r;
    r.mac = bytesAt<6>(reply, kMacPosition);
    r.macText = macText(r.mac);

    for (std::size_t ch = 0; ch < r.channels.size(); ++ch) {
        const std::size_t pos = kChannelsPosition + 2 * ch;
        r.channels[ch] = static_cast<std::uint16_t>(at(reply, pos) << 8 | at(reply, pos + 1));
    }

    // Relay bytes: 0 is on, 1 is off.
    for (std::size_t relay = 0; relay < r.relayOn.size(); ++relay) {
        if (const std::optional<int> state = binaryState(at(reply, kRelayStatePosition + relay)))
            r.relayOn[relay] = *state == 0;
    }

    r.allowedRule = at(reply, kAllowedRulePosition);
    r.allowedOctets = bytesAt<20>(reply, kAllowedOctetsPosition);

    for (std::size_t pin = 0; pin < 4; ++pin)
        r.ioPins[pin] = binaryState(at(reply, kIoPinsPosition + pin));
    r.ioPins[4] = binaryState(at(reply, kIoPin5Position));

    r.revisionBytes = bytesAt<3>(reply, kRevisionPosition);
    for (const std::uint8_t b : r.revisionBytes)
        r.revisionText += std::to_string(b);
    // At most nine digits: always fits.
    std::from_chars(r.revisionText.data(), r.revisionText.data() + r.revisionText.size(), r.revision);

    if (const std::optional<double> celsius =
            temperatureCelsius(at(reply, kTemperaturePosition), at(reply, kTemperatureFlagsPosition))) {
        r.temperatureC = *celsius;
        r.temperatureText = temperatureText(*celsius);
    }

    r.relayDelays = bytesAt<3>(reply, kRelayDelaysPosition);

    const std::array<std::uint8_t, 4> up = bytesAt<4>(reply, kUptimePosition);
    r.uptimeRaw = static_cast<std::uint32_t>(up[0]) | static_cast<std::uint32_t>(up[1]) << 8 |
                  static_cast<std::uint32_t>(up[2]) << 16 | static_cast<std::uint32_t>(up[3]) << 24;
    r.uptimeText = uptimeText(r.uptimeRaw);
    r.uptimeCount = uptimeCount(r.uptimeRaw);

    r.stationNameRaw = std::string(reply.substr(kStationNamePosition - 1, kStationNameWidth));
    r.stationName = trimSpaces(r.stationNameRaw);

    const std::array<std::uint8_t, 3> remaining = bytesAt<3>(reply, kTimerRemainingPosition);
    r.timerRemaining = static_cast<std::uint32_t>(remaining[0]) << 16 |
                       static_cast<std::uint32_t>(remaining[1]) << 8 |
                       static_cast<std::uint32_t>(remaining[2]);
    r.countdown = countdown(r.timerRemaining);
    r.timerState = at(reply, kTimerStatePosition);
    r.timerSlotCode = at(reply, kTimerSlotPosition);
    r.timerSlotIndex = slotIndexForCode(r.timerSlotCode);

    r.ioSettings = bytesAt<15>(reply, kIoSettingsPosition);
    r.temperatureSetting = bytesAt<5>(reply, kTempSettingPosition);

    // Older units send shorter reports. A unit whose report lacks the tail its revision promises
    // still reports everything before it: that much is shown, the tail stays unknown, and the
    // flag lets the console say so once.
    if (r.revision > kHttpRevision) {
        if (reply.size() < kStatusHttpLength) {
            r.shortForRevision = true;
            return r;
        }
        r.httpState = at(reply, kHttpPosition);
    }
    if (r.revision > kBoardsRevision) {
        if (reply.size() < kStatusBoardsLength) {
            r.shortForRevision = true;
            return r;
        }
        r.boardPresence = bytesAt<6>(reply, kBoardPresencePosition);
        r.boardState = bytesAt<6>(reply, kBoardStatePosition);
        r.toggleCountdown = at(reply, kToggleCountdownPosition);
    }
    if (r.revision > kSnmpRevision) {
        if (reply.size() < kStatusSnmpLength) {
            r.shortForRevision = true;
            return r;
        }
        r.snmpState = at(reply, kSnmpPosition);
    }
    return r;
}

std::variant<SlotTable, DecodeError> decodeSlotTable(std::string_view reply)
{
    if (const std::optional<DecodeError> error = checkKind(reply, kKindSlotTable, kSlotTableLength))
        return *error;
    SlotTable table;
    for (std::size_t slot = 0; slot < table.size(); ++slot) {
        table[slot].codeField = fieldAt(reply, 2 * slot);
        table[slot].description = fieldAt(reply, 2 * slot + 1);
    }
    return table;
}

std::variant<std::array<std::string, 16>, DecodeError> decodeBoardListing(std::string_view reply)
{
    if (const std::optional<DecodeError> error = checkKind(reply, kKindBoardListing, kBoardTableLength))
        return *error;
    std::array<std::string, 16> descriptions;
    for (std::size_t slot = 0; slot < descriptions.size(); ++slot)
        descriptions[slot] = fieldAt(reply, slot);
    return descriptions;
}

std::variant<BoardCodes, DecodeError> decodeBoardContents(std::string_view reply)
{
    if (const std::optional<DecodeError> error = checkKind(reply, kKindBoardContents, kBoardTableLength))
        return *error;
    BoardCodes codes{};
    for (std::size_t slot = 0; slot < codes.size(); ++slot) {
        for (std::size_t step = 0; step < codes[slot].size(); ++step)
            codes[slot][step] = at(reply, kBodyPosition + slot * kFieldWidth + step);
    }
    return codes;
}

} // namespace kestavo::protocol
