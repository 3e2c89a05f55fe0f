#pragma once

// What a command frame asks of a unit, in words, for the audit log. Read back from the frame's
// own bytes, so every sender (console, CLI, agent) is described alike. The password positions
// are never read: a password change is only ever "password changed".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestavo::protocol {

struct CommandDescription
{
    char opcode = '\0';
    std::string text; // "Relay 2 ON", "upload script 3 'Pumps'"
    /// The acknowledgement kind (3-12) the unit answers this command with; 0 when it answers
    /// with its next status report or slot table instead.
    std::uint8_t ackKind = 0;
    /// False for the address changes: the unit takes them without a word.
    bool answered = true;
};

struct ReplyVerdict
{
    bool accepted = false;
    std::string text; // the unit's acknowledgement or refusal in its own words; may be empty
};

/// Empty for frames that change nothing on the unit (polls, read and listing requests) and for
/// anything that is not a command frame.
std::optional<CommandDescription> describeCommand(std::string_view frame);

/// Whether `reply` is the unit's answer to the described command, and what it said. Empty when
/// the reply answers something else (a poll's status report while an acknowledgement is due).
std::optional<ReplyVerdict> judgeReply(const CommandDescription& command, std::string_view reply);

/// Acknowledgement kinds that report a failure ("RDB Command Failure !", "RDB Timer Failure !").
bool isFailureAcknowledgement(std::uint8_t kind);

/// The unit's acknowledgement text of kind 3-12, as the notification pop-up shows it; empty otherwise.
std::string_view acknowledgementKindText(std::uint8_t kind);

} // namespace kestavo::protocol
