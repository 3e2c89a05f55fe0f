#include "protocol/commanddescription.h"

#include <array>
#include <cstdio>

#include "protocol/codes.h"
#include "protocol/frames.h"
#include "protocol/reply.h"

namespace kestavo::protocol {

namespace {

constexpr std::size_t kOpcodePosition = 10;
constexpr std::size_t kFirst = kPayloadPosition; // 21: the first payload byte
constexpr std::size_t kFieldsPosition = 22;      // 'J' code field and description, 'U' description
constexpr std::size_t kAllowedOctetsPosition = 22;

// Payload byte at 1-based `position`; 0 past the end, so a short frame still gets described.
int at(std::string_view frame, std::size_t position)
{
    return position <= frame.size() ? static_cast<std::uint8_t>(frame[position - 1]) : 0;
}

std::string field(std::string_view frame, std::size_t position, std::size_t width)
{
    if (position > frame.size())
        return {};
    std::string text(frame.substr(position - 1, width));
    while (!text.empty() && (text.back() == ' ' || text.back() == '*' || text.back() == '\0'))
        text.pop_back();
    return text;
}

std::string format(const char* pattern, int a, int b = 0, int c = 0, int d = 0)
{
    std::array<char, 96> buffer{};
    std::snprintf(buffer.data(), buffer.size(), pattern, a, b, c, d);
    return buffer.data();
}

std::string slotName(int code)
{
    const auto index = slotIndexForCode(code);
    return index ? std::to_string(*index + 1) : format("code %d", code);
}

std::string boardSlotName(int code)
{
    return code % 16 == 0 && code < 256 ? std::to_string(code / 16 + 1) : format("code %d", code);
}

std::string onOff(bool on)
{
    return on ? "ON" : "OFF";
}

} // namespace

std::optional<CommandDescription> describeCommand(std::string_view frame)
{
    if (frame.size() < kOpcodePosition || frame.substr(0, kFrameHeader.size()) != kFrameHeader)
        return std::nullopt;
    CommandDescription d;
    d.opcode = frame[kOpcodePosition - 1];
    switch (d.opcode) {
    case '2':
    case '3':
    case '5':
    case '6':
    case '8':
    case '9': {
        const int index = d.opcode - '2';
        d.text = "Relay " + std::to_string(index / 3 + 1) + " " + onOff(index % 3 == 0);
        break;
    }
    case '4':
    case '7':
    case 'A': {
        const int relay = d.opcode == '4' ? 1 : d.opcode == '7' ? 2 : 3;
        d.text = format("Relay %d OFF, ON again after %d s", relay, at(frame, kFirst));
        break;
    }
    case 'E':
        d.answered = false;
        d.text =
            format("set MAC address %02X:%02X:%02X", at(frame, kFirst), at(frame, kFirst + 1),
                   at(frame, kFirst + 2)) +
            format(":%02X:%02X:%02X", at(frame, kFirst + 3), at(frame, kFirst + 4), at(frame, kFirst + 5));
        break;
    case 'F':
        d.answered = false;
        d.text = format("set IP address %d.%d.%d.%d", at(frame, kFirst), at(frame, kFirst + 1),
                        at(frame, kFirst + 2), at(frame, kFirst + 3));
        break;
    case 'G':
        d.text = "password changed";
        break;
    case 'H':
        if (at(frame, kFirst) == 0) {
            d.text = "allow all IP numbers";
        } else {
            d.text = "allow only IP numbers";
            const char* separator = " ";
            for (std::size_t n = 0; n < 5; ++n) {
                const std::size_t p = kAllowedOctetsPosition + 4 * n;
                if (at(frame, p) == 0 && at(frame, p + 1) == 0 && at(frame, p + 2) == 0 &&
                    at(frame, p + 3) == 0)
                    continue; // an unused place in the list
                d.text += separator + format("%d.%d.%d.%d", at(frame, p), at(frame, p + 1), at(frame, p + 2),
                                             at(frame, p + 3));
                separator = ", ";
            }
        }
        break;
    case 'I':
        d.text = "station name '" + field(frame, kFirst, 20) + "'";
        break;
    case 'J':
        d.text = "upload script " + slotName(at(frame, kFirst)) + " '" +
                 field(frame, kFieldsPosition + 16, 16) + "'";
        break;
    case 'K':
        d.text = "run script " + slotName(at(frame, kFirst));
        d.ackKind = 3;
        break;
    case 'M': {
        const int seconds = at(frame, kFirst) << 16 | at(frame, kFirst + 1) << 8 | at(frame, kFirst + 2);
        d.text = format("set relay timer to %d s, then script ", seconds) + slotName(at(frame, kFirst + 3)) +
                 (at(frame, kFirst + 4) ? " (repeating)" : "");
        d.ackKind = 5;
        break;
    }
    case 'N':
        d.text = "stop relay timer";
        d.ackKind = 4;
        break;
    case 'O':
        d.text = at(frame, kFirst + 1) ? format("I/O box %d triggers: on 0 script ", at(frame, kFirst) + 1) +
                                             slotName(at(frame, kFirst + 2)) + ", on 1 script " +
                                             slotName(at(frame, kFirst + 3))
                                       : format("I/O box %d triggers off", at(frame, kFirst) + 1);
        d.ackKind = 6;
        break;
    case 'P':
        d.text = at(frame, kFirst)
                     ? format("temperature triggers: above %d C script ", at(frame, kFirst + 3)) +
                           slotName(at(frame, kFirst + 1)) +
                           format(", below %d C script ", at(frame, kFirst + 4)) +
                           slotName(at(frame, kFirst + 2))
                     : "temperature triggers off";
        d.ackKind = 7;
        break;
    case 'Q':
        d.text = "HTTP server " + onOff(at(frame, kFirst) == 0);
        d.ackKind = 8;
        break;
    case 'S':
        // The 275-byte 'S' is the board listing request; only the short one switches SNMP.
        if (frame.size() <= kFirst - 1 || frame[kFirst - 1] == '*')
            return std::nullopt;
        d.text = "SNMP " + onOff(at(frame, kFirst) == 0);
        d.ackKind = 12;
        break;
    case 'R': {
        const int board = (at(frame, kFirst) - 0x44) / 2 + 1;
        const int mask = at(frame, kFirst + 1);
        std::string item = format("item mask %d", mask);
        for (int bit = 0; bit < 8; ++bit)
            if (mask == 1 << bit)
                item = bit < 6 ? format("relay %d", bit + 1) : bit == 6 ? "output" : "light";
        d.text =
            format("board %d ", board) + item +
            (at(frame, kFirst + 2) ? format(" toggle, %d s", at(frame, kFirst + 3)) : std::string(" switch"));
        d.ackKind = 9;
        break;
    }
    case 'U':
        d.text = "upload board script " + boardSlotName(at(frame, kFirst)) + " '" +
                 field(frame, kFieldsPosition, 16) + "'";
        break;
    case 'V':
        d.text = "run board script " + boardSlotName(at(frame, kFirst));
        break;
    default: // '1' polls, 'L' and 'T' requests
        return std::nullopt;
    }
    return d;
}

std::optional<ReplyVerdict> judgeReply(const CommandDescription& command, std::string_view reply)
{
    if (reply.size() < kKindPosition)
        return std::nullopt;
    if (at(reply, kVerdictPosition) != 0)
        return ReplyVerdict{false, "Bad Password!"};
    const auto kind = static_cast<std::uint8_t>(at(reply, kKindPosition));
    const bool ackKind = kind >= kKindFirstAck && kind <= kKindLastAck;
    // The security commands answer on their own socket with a result byte in the report head.
    if (command.opcode == 'G')
        return at(reply, kAdminResultPosition) == 1 ? ReplyVerdict{true, {}}
                                                    : ReplyVerdict{false, "the unit kept its old password"};
    if (command.opcode == 'H')
        return at(reply, kAdminIpResultPosition) == 0
                   ? ReplyVerdict{true, {}}
                   : ReplyVerdict{false, "the unit kept its allowed IP numbers"};
    if (command.ackKind == 0)
        return ackKind ? std::nullopt : std::optional<ReplyVerdict>(ReplyVerdict{true, {}});
    if (!ackKind)
        return std::nullopt;
    return ReplyVerdict{!isFailureAcknowledgement(kind), std::string(acknowledgementKindText(kind))};
}

bool isFailureAcknowledgement(std::uint8_t kind)
{
    return kind == 10 || kind == 11;
}

std::string_view acknowledgementKindText(std::uint8_t kind)
{
    static constexpr std::array<std::string_view, 10> kTexts = {
        "Relay Script Executed !", "Timer Stopped Forcefully !",  "Timer Data Received !",
        "I/O Data Received !",     "Temperature Data Received !", "HTTP Server Status Changed !",
        "RDB Command Success !",   "RDB Command Failure !",       "RDB Timer Failure !",
        "SNMP Access Changed !"};
    return kind >= 3 && kind <= 12 ? kTexts[kind - 3] : std::string_view();
}

} // namespace kestavo::protocol
