#pragma once

// Rules of the unit that every writer of its settings keeps to: from which firmware revision each
// feature exists, and whom an allowed-IP list lets in.

#include <array>
#include <cstdint>

namespace kestavo::protocol {

/// Firmware revisions (the three revision bytes' decimal texts joined) from which a feature exists.
/// Relay scripts, the relay timer, the station name and the I/O-box and temperature triggers.
inline constexpr long long kScriptsRevision = 167;
/// The status web page switch and its state in the status report.
inline constexpr long long kHttpRevision = 168;
/// Relay daughter boards and their scripts.
inline constexpr long long kBoardRevision = 170;
/// The SNMP switch and its state in the status report.
inline constexpr long long kSnmpRevision = 171;

/// Whether one of the five rows of `octets` (four each, in row order) is the IPv4 address `ipv4`
/// (most significant octet first).
bool listsAddress(const std::array<int, 20>& octets, std::uint32_t ipv4);

} // namespace kestavo::protocol
