#include "protocol/frames.h"

#include <algorithm>

#include "protocol/codes.h"

namespace kestavo::protocol {

namespace {

constexpr char kFill = '*';

// Runs of '*' written after the payload. Some runs reach past the frame length (the packed
// record is longer than what is sent); they are kept as the unit's firmware has always seen
// them so every byte sent stays the same.
constexpr std::size_t kStartFill = 255;
constexpr std::size_t kPollFill = 130;
constexpr std::size_t kSwitchFill = 112;
constexpr std::size_t kRelayCycleFill = 105;  // '4', '7': 22-126
constexpr std::size_t kRelay3CycleFill = 115; // 'A': 22-136
constexpr std::size_t kMacFill = 103;         // 27-129
constexpr std::size_t kIpFill = 105;          // 25-129
constexpr std::size_t kPasswordFill = 109;
constexpr std::size_t kAllowAllFill = 109;   // 22-130
constexpr std::size_t kAllowListedFill = 90; // 42-131
constexpr std::size_t kStationNameFill = 112;
constexpr std::size_t kScriptUploadFill = 235; // 54-288
constexpr std::size_t kExecuteFill = 155;      // 22-176
constexpr std::size_t kRequestFill = 255;
constexpr std::size_t kTimerFill = 177;       // 26-202, cut at 177
constexpr std::size_t kIoFill = 200;          // 25-224, cut at 200
constexpr std::size_t kTempFill = 200;        // 26-225, cut at 200
constexpr std::size_t kFlagFill = 109;        // 22-130
constexpr std::size_t kBoardUploadFill = 255; // 54-308, cut at 300

constexpr std::size_t kStationNameWidth = 20;

// Payload positions shared by the packed frames.
constexpr std::size_t kFirstByte = kPayloadPosition;      // 21
constexpr std::size_t kSecondByte = kPayloadPosition + 1; // 22
constexpr std::size_t kAllowedOctetsPosition = 22;        // 'H': twenty octets 22-41
constexpr std::size_t kAllowedFillPosition = 42;
constexpr std::size_t kScriptFieldsPosition = 22; // 'J': code field 22-37, description 38-53
constexpr std::size_t kScriptFillPosition = 54;
constexpr std::size_t kTimerFillPosition = 26;
constexpr std::size_t kIoFillPosition = 25;
constexpr std::size_t kTempFillPosition = 26;
constexpr std::size_t kBoardDescriptionPosition = 22; // 'U': description 22-37
constexpr std::size_t kBoardCodesPosition = 38;       // 'U': sixteen step codes 38-53
constexpr std::size_t kBoardFillPosition = 54;
// 'M': delay bits 23-16, 15-8, 7-0 at 21-23, slot code 24, mode 25.
constexpr std::size_t kTimerDelayPosition = 21;
constexpr std::size_t kTimerSlotPosition = 24;
constexpr std::size_t kTimerModePosition = 25;
// 'O': box index 21, action 22, slot code for a change to 0 at 23, to 1 at 24.
constexpr std::size_t kIoBoxPosition = 21;
constexpr std::size_t kIoActionPosition = 22;
constexpr std::size_t kIoCode0Position = 23;
constexpr std::size_t kIoCode1Position = 24;
// 'P': action 21, upper and lower slot codes 22-23, upper and lower thresholds 24-25.
constexpr std::size_t kTempActionPosition = 21;
constexpr std::size_t kTempUpperCodePosition = 22;
constexpr std::size_t kTempLowerCodePosition = 23;
constexpr std::size_t kTempUpperPosition = 24;
constexpr std::size_t kTempLowerPosition = 25;
// 'R': board address 21, item mask 22, toggle flag 23, toggle delay 24.
constexpr std::size_t kBoardAddressPosition = 21;
constexpr std::size_t kBoardMaskPosition = 22;
constexpr std::size_t kBoardTogglePosition = 23;
constexpr std::size_t kBoardDelayPosition = 24;

std::string frameHead(char opcode, std::string_view password)
{
    std::string head;
    head.reserve(kFrameHeader.size() + 1 + password.size());
    head += kFrameHeader;
    head += opcode;
    head += password;
    return head;
}

std::string flagFrame(char opcode, int flag, std::string_view password)
{
    return PacketFrame(opcode, password, kFlagFrameLength)
        .byte(kFirstByte, flag)
        .fill(kSecondByte, kFlagFill)
        .bytes();
}

std::string slotFrame(char opcode, int code, std::string_view password)
{
    return PacketFrame(opcode, password, kExecuteFrameLength)
        .byte(kFirstByte, code)
        .fill(kSecondByte, kExecuteFill)
        .bytes();
}

} // namespace

std::string textFrame(char opcode, std::string_view password, std::string_view payload, std::size_t fillCount)
{
    std::string frame = frameHead(opcode, password);
    frame.reserve(frame.size() + payload.size() + fillCount);
    frame += payload;
    frame.append(fillCount, kFill);
    return frame;
}

PacketFrame::PacketFrame(char opcode, std::string_view password, std::size_t length)
    : m_record(frameHead(opcode, password)), m_length(length)
{
}

PacketFrame& PacketFrame::byte(std::size_t position, int value)
{
    // Only the low byte of a value survives the packing, as value modulo 256.
    const char low = static_cast<char>(static_cast<unsigned>(value) & 0xFFU);
    return text(position, std::string_view(&low, 1));
}

PacketFrame& PacketFrame::text(std::size_t position, std::string_view text)
{
    if (position == 0 || text.empty())
        return *this;
    const std::size_t offset = position - 1;
    if (m_record.size() < offset + text.size())
        m_record.resize(offset + text.size(), '\0');
    // A plain copy: string::replace trips GCC 12's -Wrestrict false positive at -O3.
    std::copy(text.begin(), text.end(), m_record.begin() + static_cast<std::ptrdiff_t>(offset));
    return *this;
}

PacketFrame& PacketFrame::fill(std::size_t position, std::size_t count)
{
    return text(position, std::string(count, kFill));
}

std::string PacketFrame::bytes() const
{
    std::string frame(m_length, kFill);
    std::copy_n(m_record.begin(), std::min(m_record.size(), m_length), frame.begin());
    return frame;
}

std::string startFrame(std::string_view password)
{
    return textFrame('1', password, {}, kStartFill);
}

std::string pollFrame(std::string_view password)
{
    return textFrame('1', password, {}, kPollFill);
}

char relayOpcode(int relay, int action)
{
    static constexpr char kOpcodes[3][3] = {{'2', '3', '4'}, {'5', '6', '7'}, {'8', '9', 'A'}};
    if (relay < 1 || relay > 3 || action < RelayOn || action > RelayCycle)
        return '\0';
    return kOpcodes[relay - 1][action];
}

std::string relayOnFrame(int relay, std::string_view password)
{
    return textFrame(relayOpcode(relay, RelayOn), password, {}, kSwitchFill);
}

std::string relayOffFrame(int relay, std::string_view password)
{
    return textFrame(relayOpcode(relay, RelayOff), password, {}, kSwitchFill);
}

std::string relayCycleFrame(int relay, int delaySeconds, std::string_view password)
{
    const bool third = relay == 3;
    return PacketFrame(relayOpcode(relay, RelayCycle), password,
                       third ? kRelay3CycleFrameLength : kRelayCycleFrameLength)
        .byte(kFirstByte, delaySeconds)
        .fill(kSecondByte, third ? kRelay3CycleFill : kRelayCycleFill)
        .bytes();
}

std::string setMacFrame(const std::array<int, 6>& mac, std::string_view password)
{
    PacketFrame frame('E', password, kAddressFrameLength);
    for (std::size_t i = 0; i < mac.size(); ++i)
        frame.byte(kFirstByte + i, mac[i]);
    return frame.fill(kFirstByte + mac.size(), kMacFill).bytes();
}

std::string setIpFrame(const std::array<int, 4>& octets, std::string_view password)
{
    PacketFrame frame('F', password, kAddressFrameLength);
    for (std::size_t i = 0; i < octets.size(); ++i)
        frame.byte(kFirstByte + i, octets[i]);
    return frame.fill(kFirstByte + octets.size(), kIpFill).bytes();
}

std::string padPassword(std::string_view password)
{
    std::string padded(password);
    if (padded.size() < kPasswordLength)
        padded.resize(kPasswordLength, kFill);
    return padded;
}

std::string passwordFrame(std::string_view newPassword, std::string_view password)
{
    return textFrame('G', password, padPassword(newPassword), kPasswordFill);
}

std::string allowedIpFrame(bool onlyListed, const std::array<int, 20>& octets, std::string_view password)
{
    PacketFrame frame('H', password, kAllowedIpFrameLength);
    frame.byte(kFirstByte, onlyListed ? 1 : 0);
    if (!onlyListed)
        return frame.fill(kSecondByte, kAllowAllFill).bytes();
    for (std::size_t i = 0; i < octets.size(); ++i)
        frame.byte(kAllowedOctetsPosition + i, octets[i]);
    return frame.fill(kAllowedFillPosition, kAllowListedFill).bytes();
}

std::string stationNameFrame(std::string_view name, std::string_view password)
{
    return textFrame('I', password, padField(name, kStationNameWidth), kStationNameFill);
}

std::string scriptUploadFrame(int slotCode, std::string_view codeField, std::string_view description,
                              std::string_view password)
{
    return PacketFrame('J', password, kScriptUploadFrameLength)
        .byte(kFirstByte, slotCode)
        .text(kScriptFieldsPosition, padField(codeField) + padField(description))
        .fill(kScriptFillPosition, kScriptUploadFill)
        .bytes();
}

std::string scriptExecuteFrame(int slotCode, std::string_view password)
{
    return slotFrame('K', slotCode, password);
}

std::string readRequestFrame(std::string_view password)
{
    return textFrame('L', password, {}, kRequestFill);
}

std::string timerSetFrame(std::uint32_t delaySeconds, int slotCode, int mode, std::string_view password)
{
    const std::array<std::uint8_t, 3> delay = delayBytes(delaySeconds);
    return PacketFrame('M', password, kTimerFrameLength)
        .byte(kTimerDelayPosition, delay[0])
        .byte(kTimerDelayPosition + 1, delay[1])
        .byte(kTimerDelayPosition + 2, delay[2])
        .byte(kTimerSlotPosition, slotCode)
        .byte(kTimerModePosition, mode)
        .fill(kTimerFillPosition, kTimerFill)
        .bytes();
}

std::string timerStopFrame(std::string_view password)
{
    return textFrame('N', password, {}, kRequestFill);
}

std::string ioTriggerFrame(int boxIndex, int action, int codeFor0, int codeFor1, std::string_view password)
{
    return PacketFrame('O', password, kTriggerFrameLength)
        .byte(kIoBoxPosition, boxIndex)
        .byte(kIoActionPosition, action)
        .byte(kIoCode0Position, codeFor0)
        .byte(kIoCode1Position, codeFor1)
        .fill(kIoFillPosition, kIoFill)
        .bytes();
}

std::string temperatureTriggerFrame(int action, int upperCode, int lowerCode, int upper, int lower,
                                    std::string_view password)
{
    return PacketFrame('P', password, kTriggerFrameLength)
        .byte(kTempActionPosition, action)
        .byte(kTempUpperCodePosition, upperCode)
        .byte(kTempLowerCodePosition, lowerCode)
        .byte(kTempUpperPosition, upper)
        .byte(kTempLowerPosition, lower)
        .fill(kTempFillPosition, kTempFill)
        .bytes();
}

std::string httpFrame(int flag, std::string_view password)
{
    return flagFrame('Q', flag, password);
}

std::string snmpFrame(int flag, std::string_view password)
{
    return flagFrame('S', flag, password);
}

std::string boardFrame(int address, int mask, int toggle, int delaySeconds, std::string_view password)
{
    return PacketFrame('R', password, kBoardFrameLength)
        .byte(kBoardAddressPosition, address)
        .byte(kBoardMaskPosition, mask)
        .byte(kBoardTogglePosition, toggle)
        .byte(kBoardDelayPosition, delaySeconds)
        .bytes();
}

std::string boardListingFrame(std::string_view password)
{
    return textFrame('S', password, {}, kRequestFill);
}

std::string boardContentsFrame(std::string_view password)
{
    return textFrame('T', password, {}, kRequestFill);
}

std::string boardUploadFrame(int boardSlotCode, std::string_view description,
                             const std::array<std::uint8_t, 16>& codes, std::string_view password)
{
    PacketFrame frame('U', password, kBoardUploadFrameLength);
    frame.byte(kFirstByte, boardSlotCode).text(kBoardDescriptionPosition, padField(description));
    for (std::size_t i = 0; i < codes.size(); ++i)
        frame.byte(kBoardCodesPosition + i, codes[i]);
    return frame.fill(kBoardFillPosition, kBoardUploadFill).bytes();
}

std::string boardExecuteFrame(int boardSlotCode, std::string_view password)
{
    return slotFrame('V', boardSlotCode, password);
}

std::array<std::uint8_t, 3> delayBytes(std::uint32_t seconds)
{
    // The relay timer counts in 24 bits; anything above is cut to its low 24 bits.
    return {static_cast<std::uint8_t>((seconds >> 16) & 0xFFU),
            static_cast<std::uint8_t>((seconds >> 8) & 0xFFU), static_cast<std::uint8_t>(seconds & 0xFFU)};
}

} // namespace kestavo::protocol
