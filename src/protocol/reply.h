#pragma once

// Replies from a KSV unit: classification by the password verdict (position 11) and the reply
// kind (position 14), and decoding of every body layout. Positions in comments are 1-based.
// Decoders never read past the end of the datagram: a reply too short for what its kind needs
// is an error value.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "protocol/conversions.h"

namespace kestavo::protocol {

inline constexpr std::size_t kVerdictPosition = 11;
inline constexpr std::size_t kAdminResultPosition = 12;   // 'G' reply: 1 = password changed
inline constexpr std::size_t kAdminIpResultPosition = 13; // 'H' reply: 0 = allowed-IP rule changed
inline constexpr std::size_t kKindPosition = 14;
inline constexpr std::size_t kBodyPosition = 15;

inline constexpr std::uint8_t kKindSlotTable = 2;
inline constexpr std::uint8_t kKindFirstAck = 3;
inline constexpr std::uint8_t kKindLastAck = 12;
// Our own choice: the unit's answers to the board listing ('S' 275) and contents ('T') requests.
inline constexpr std::uint8_t kKindBoardListing = 20;
inline constexpr std::uint8_t kKindBoardContents = 21;

// Status report lengths: the fields every revision carries, then the revision-gated tails.
inline constexpr std::size_t kStatusBaseLength = 122;   // up to the temperature setting
inline constexpr std::size_t kStatusHttpLength = 123;   // revision > 167
inline constexpr std::size_t kStatusBoardsLength = 136; // revision > 169
inline constexpr std::size_t kStatusSnmpLength = 137;   // revision > 170
inline constexpr std::size_t kSlotTableLength = 270;    // 16 fields of 16 from position 15
inline constexpr std::size_t kBoardTableLength = 270;   // 16 x 16 from position 15

enum class DecodeError { TooShort, WrongKind };

enum class ReplyClass { SlotTable, Acknowledgement, BoardListing, BoardContents, StatusReport };

struct Classification
{
    bool passwordAccepted = false; // position 11 == 0
    std::uint8_t kind = 0;         // position 14
    ReplyClass cls = ReplyClass::StatusReport;
};

/// Needs at least 14 bytes.
std::variant<Classification, DecodeError> classify(std::string_view reply);

struct StatusReport
{
    std::array<std::uint8_t, 6> mac{};            // 15-20
    std::string macText;                          // "00:0A:1B:2C:3D:4E"
    std::array<std::uint16_t, 8> channels{};      // 21-36, high byte first
    std::array<std::optional<bool>, 3> relayOn{}; // 37-39; empty = leave unchanged
    std::uint8_t allowedRule = 0;                 // 41
    std::array<std::uint8_t, 20> allowedOctets{}; // 42-61
    std::array<std::optional<int>, 5> ioPins{};   // pins 1-4 at 62-65, pin 5 at 40; empty = unchanged
    std::array<std::uint8_t, 3> revisionBytes{};  // 66-68
    std::string revisionText;                     // decimal texts joined: 1,7,0 -> "170"
    long long revision = 0;                       // numeric value of revisionText
    std::optional<double> temperatureC;           // 69-70; empty = unknown flag, leave the box
    std::optional<std::string> temperatureText;   // UTF-8, "23°C    73.4°F"
    std::array<std::uint8_t, 3> relayDelays{};    // 71-73
    std::uint32_t uptimeRaw = 0;                  // 74-77, least significant first
    std::string uptimeText;                       // "&H0001E240"
    double uptimeCount = 0;                       // signed 32-bit reading of uptimeRaw
    std::string stationNameRaw;                   // 78-97, 20 characters
    std::string stationName;                      // trimmed of spaces
    std::uint32_t timerRemaining = 0;             // 98-100, most significant first
    Countdown countdown;
    std::uint8_t timerState = 0;                              // 101
    std::uint8_t timerSlotCode = 0;                           // 102
    std::optional<int> timerSlotIndex;                        // 0..7 when the code is a slot code
    std::array<std::uint8_t, 15> ioSettings{};                // 103-117
    std::array<std::uint8_t, 5> temperatureSetting{};         // 118-122
    std::optional<std::uint8_t> httpState;                    // 123, revision > 167
    std::optional<std::array<std::uint8_t, 6>> boardPresence; // 124-129, revision > 169
    std::optional<std::array<std::uint8_t, 6>> boardState;    // 130-135, revision > 169
    std::optional<std::uint8_t> toggleCountdown;              // 136, revision > 169
    std::optional<std::uint8_t> snmpState;                    // 137, revision > 170
    /// The report ended before a field its revision promises: the fields it carries are filled,
    /// the missing ones stay empty.
    bool shortForRevision = false;
};

/// A report shorter than kStatusBaseLength is TooShort; one that lacks only (part of) the tail its
/// revision promises decodes with shortForRevision set.
std::variant<StatusReport, DecodeError> decodeStatus(std::string_view reply);

/// Kind 2: fields 2s and 2s+1 are the code field and description of slot s+1.
struct SlotEntry
{
    std::string codeField;   // 16 characters as received
    std::string description; // 16 characters as received
};
using SlotTable = std::array<SlotEntry, 8>;
std::variant<SlotTable, DecodeError> decodeSlotTable(std::string_view reply);

/// Kind 20: sixteen 16-character board slot descriptions.
std::variant<std::array<std::string, 16>, DecodeError> decodeBoardListing(std::string_view reply);
/// Kind 21: sixteen arrays of sixteen step codes.
using BoardCodes = std::array<std::array<std::uint8_t, 16>, 16>;
std::variant<BoardCodes, DecodeError> decodeBoardContents(std::string_view reply);

} // namespace kestavo::protocol
