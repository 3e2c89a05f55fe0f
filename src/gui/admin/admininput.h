#pragma once

// Reading the administration dialogs' boxes and judging the unit's answers to the password and
// allowed-IP frames. Kept apart from the widgets so every rule can be checked on its own.

#include <array>
#include <optional>

#include <QByteArray>
#include <QString>

#include "protocol/unitrules.h"

namespace kestavo::admin {

/// The leading decimal digits of a box read as a number; a text without a leading digit reads as
/// 0 ("12a" → 12, "a" → 0, "" → 0).
int leadingDecimal(const QString& text);

/// A box of hexadecimal digits read as a number ("ab" → 171); empty when the box holds anything
/// else or nothing.
std::optional<int> hexValue(const QString& text);

/// Largest value one octet of an IP number can have.
inline constexpr int kMaxOctet = 255;

/// Why no unit can take `octets` as its own IP address (this network, broadcast, loopback,
/// multicast, reserved), as a sentence for the user; empty when a unit can.
std::optional<QString> unusableUnitAddress(const std::array<int, 4>& octets);
/// Why no unit can take `mac` as its hardware address (all zero, broadcast, multicast bit); empty
/// when a unit can.
std::optional<QString> unusableMac(const std::array<int, 6>& mac);
/// "10.1.1.9" / "00:0A:1B:2C:3D:4E" for the questions and refusals.
QString dottedAddress(const std::array<int, 4>& octets);
QString shownMac(const std::array<int, 6>& mac);

/// The unit's answer to a password change ('G'), sent back on the password socket.
enum class PasswordReply {
    Incomplete, // too short to carry the verdict and the result: not an answer, keep waiting
    Rejected,   // position 11 not 0: the unit did not take the stored password
    Changed,    // position 12 is 1: the unit uses the new password from now on
    Refused,    // anything else at position 12
};
PasswordReply judgePasswordReply(const QByteArray& reply);

/// The unit's answer to an allowed-IP change ('H'), sent back on the allowed-IP socket.
enum class AllowedIpReply {
    Incomplete, // too short to carry the verdict and the result: keep waiting
    Rejected,   // position 11 not 0
    Refused,    // position 13 not 0
    Changed,
};
AllowedIpReply judgeAllowedIpReply(const QByteArray& reply);

/// The lockout check lives with the unit's rules so that the restore of a backup applies it too.
using protocol::listsAddress;

} // namespace kestavo::admin
