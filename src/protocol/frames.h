#pragma once

// Command frames sent to a KSV unit. Every frame is
//   "&^ZQK2001" + opcode + 10-character password + payload + '*' fill
// with a fixed total length per opcode. One char of the returned string is one byte on the wire.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestavo::protocol {

/// Bytes 1-9 of every frame.
inline constexpr std::string_view kFrameHeader = "&^ZQK2001";
/// Passwords are stored and sent as exactly this many characters.
inline constexpr std::size_t kPasswordLength = 10;
/// First payload position (1-based) after header, opcode and password.
inline constexpr std::size_t kPayloadPosition = 21;

// Total frame lengths for a 10-character password.
inline constexpr std::size_t kStartFrameLength = 275;
inline constexpr std::size_t kPollFrameLength = 150;
inline constexpr std::size_t kRelaySwitchFrameLength = 132;
inline constexpr std::size_t kRelayCycleFrameLength = 130;   // relays 1 and 2
inline constexpr std::size_t kRelay3CycleFrameLength = 140;  // relay 3
inline constexpr std::size_t kAddressFrameLength = 130;      // 'E' and 'F'
inline constexpr std::size_t kPasswordFrameLength = 139;     // 'G'
inline constexpr std::size_t kAllowedIpFrameLength = 130;    // 'H'
inline constexpr std::size_t kStationNameFrameLength = 152;  // 'I'
inline constexpr std::size_t kScriptUploadFrameLength = 289; // 'J'
inline constexpr std::size_t kExecuteFrameLength = 177;      // 'K' and 'V'
inline constexpr std::size_t kRequestFrameLength = 275;      // 'L', 'N', 'S' listing, 'T'
inline constexpr std::size_t kTimerFrameLength = 177;        // 'M'
inline constexpr std::size_t kTriggerFrameLength = 200;      // 'O' and 'P'
inline constexpr std::size_t kFlagFrameLength = 130;         // 'Q' and 'S' (SNMP)
inline constexpr std::size_t kBoardFrameLength = 24;         // 'R'
inline constexpr std::size_t kBoardUploadFrameLength = 300;  // 'U'

/// Text frame: header + opcode + password + payload + fillCount '*'. A password that is not
/// 10 characters long shifts the payload, exactly as concatenation does.
std::string textFrame(char opcode, std::string_view password, std::string_view payload,
                      std::size_t fillCount);

/// Assembles a frame whose payload holds byte values at fixed positions. Positions are 1-based.
/// Values are written as their low byte (value modulo 256). Positions inside the written record
/// that nothing wrote hold NUL (as between a short password and position 21); positions past the
/// written record hold '*'.
class PacketFrame
{
public:
    PacketFrame(char opcode, std::string_view password, std::size_t length);

    PacketFrame& byte(std::size_t position, int value);
    PacketFrame& text(std::size_t position, std::string_view text);
    PacketFrame& fill(std::size_t position, std::size_t count);

    /// Exactly `length` bytes.
    std::string bytes() const;

private:
    std::string m_record;
    std::size_t m_length;
};

// '1' with 255 fill: the first frame of a session.
std::string startFrame(std::string_view password);
// '1' with 130 fill: every poll tick.
std::string pollFrame(std::string_view password);

/// relay 1..3. ON: '2','5','8'; OFF: '3','6','9'; OFF-then-ON: '4','7','A'.
char relayOpcode(int relay, int action);
enum RelayAction : int { RelayOn = 0, RelayOff = 1, RelayCycle = 2 };
std::string relayOnFrame(int relay, std::string_view password);
std::string relayOffFrame(int relay, std::string_view password);
/// delaySeconds goes to position 21 as one byte.
std::string relayCycleFrame(int relay, int delaySeconds, std::string_view password);

/// 'E': six MAC bytes at 21-26.
std::string setMacFrame(const std::array<int, 6>& mac, std::string_view password);
/// 'F': four octets at 21-24 (each modulo 256).
std::string setIpFrame(const std::array<int, 4>& octets, std::string_view password);

/// Pads a password on the right with '*' to 10 characters; longer text is returned unchanged.
std::string padPassword(std::string_view password);

/// 'G': new password ('*'-padded to 10) at 21-30, 109 '*'.
std::string passwordFrame(std::string_view newPassword, std::string_view password);
/// 'H': flag at 21; with onlyListed the twenty octets at 22-41.
std::string allowedIpFrame(bool onlyListed, const std::array<int, 20>& octets, std::string_view password);
/// 'I': name space-padded to 20 at 21-40, 112 '*'. Longer names are cut to 20.
std::string stationNameFrame(std::string_view name, std::string_view password);

/// 'J': slot code at 21, code field (16) at 22-37, description (16) at 38-53.
/// codeField and description are space-padded / cut to 16.
std::string scriptUploadFrame(int slotCode, std::string_view codeField, std::string_view description,
                              std::string_view password);
/// 'K': slot code at 21.
std::string scriptExecuteFrame(int slotCode, std::string_view password);
/// 'L': read request for the slot table.
std::string readRequestFrame(std::string_view password);

/// 'M': delay as 3 big-endian bytes at 21-23, slot code at 24, mode (0 one shot, 1 continuous) at 25.
std::string timerSetFrame(std::uint32_t delaySeconds, int slotCode, int mode, std::string_view password);
/// 'N': stop the relay timer.
std::string timerStopFrame(std::string_view password);

/// 'O': box index 0..4 at 21, action at 22, slot code for 0 at 23, slot code for 1 at 24.
std::string ioTriggerFrame(int boxIndex, int action, int codeFor0, int codeFor1, std::string_view password);
/// 'P': action 21, upper code 22, lower code 23, upper threshold 24, lower threshold 25.
std::string temperatureTriggerFrame(int action, int upperCode, int lowerCode, int upper, int lower,
                                    std::string_view password);

/// 'Q': 0 enables the status web page, 1 disables it.
std::string httpFrame(int flag, std::string_view password);
/// 'S' (130): 0 enables SNMP access, 1 disables it.
std::string snmpFrame(int flag, std::string_view password);

/// 'R': board address, item mask, toggle flag (2 or 0), toggle delay. 24 bytes, no fill.
std::string boardFrame(int address, int mask, int toggle, int delaySeconds, std::string_view password);
/// 'S' (275): board slot listing request.
std::string boardListingFrame(std::string_view password);
/// 'T': board slot contents request.
std::string boardContentsFrame(std::string_view password);
/// 'U': board slot code at 21, description (16) at 22-37, sixteen step codes at 38-53.
std::string boardUploadFrame(int boardSlotCode, std::string_view description,
                             const std::array<std::uint8_t, 16>& codes, std::string_view password);
/// 'V': board slot code at 21.
std::string boardExecuteFrame(int boardSlotCode, std::string_view password);

/// The relay timer's delay as three big-endian bytes (bits 23-16, 15-8, 7-0).
std::array<std::uint8_t, 3> delayBytes(std::uint32_t seconds);

} // namespace kestavo::protocol
