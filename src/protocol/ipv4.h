#pragma once

// The one reader of IPv4 address text for every program: the station list, the fleet poller, alarm
// rules, backups, the command line. Strict on purpose: C's inet_aton (and with it many address
// classes) reads "010" as octal 8 and "0x7f" as hex, so a station stored as 127.0.82.010 would be
// polled at 127.0.82.8 by one program and at .10 by another. Only the canonical decimal form passes.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestavo::protocol {

using Ipv4Octets = std::array<std::uint8_t, 4>;

/// Four decimal octets 0-255 joined by dots: digits only (no sign, no space), no leading zero
/// except "0" itself. On refusal `problem` (when given) says why, without quoting the text:
/// "is no IPv4 address (octet 2 has a leading zero, which some programs read as octal)".
std::optional<Ipv4Octets> parseIpv4(std::string_view text, std::string* problem = nullptr);

/// The canonical text, which parseIpv4 reads back to the same octets.
std::string ipv4Text(const Ipv4Octets& octets);

/// The address as one number, most significant octet first (QHostAddress's order).
std::uint32_t ipv4Number(const Ipv4Octets& octets);

} // namespace kestavo::protocol
