#pragma once

// Parsers for the values a command line carries: steps, durations, addresses, numbers in a range.
// All of them are pure (no I/O, no globals) so that a fuzz target can drive them directly. A
// failure carries a sentence that says what is wrong with the text, without quoting it: callers
// decide whether the text may be shown (a password may not).

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

#include <QString>

#include "protocol/codes.h"

namespace kestavo::cli {

template <typename T> struct Parsed
{
    std::optional<T> value;
    QString error; // empty when value is set

    explicit operator bool() const { return value.has_value(); }
    const T& operator*() const { return *value; }

    static Parsed ok(T v) { return Parsed{std::move(v), QString()}; }
    static Parsed fail(QString why) { return Parsed{std::nullopt, std::move(why)}; }
};

/// A decimal integer (optional leading '-') within [min, max].
Parsed<int> parseInteger(const QString& text, int min, int max);

/// A relay-script step: its text ("Relay 1 ON", any letter case, surrounding spaces ignored) or
/// its code (1 … 9, A, B; a or b too). Returns the code character.
Parsed<char> parseStep(const QString& text);

/// A daughter-board step: a palette text ("RDB2 Light OFF", "Wait 3 Seconds", any letter case)
/// or its code as hexadecimal "0x37". Only codes some palette text stands for are accepted.
Parsed<std::uint8_t> parseBoardStep(const QString& text);

/// Seconds as plain digits ("90") or as units in the order d, h, m, s, each at most once
/// ("1d2h3m4s", "2h", "1h30m"). Never more than the 24 bits the unit's timer holds.
Parsed<std::uint32_t> parseDuration(const QString& text);

/// Dotted IPv4 address, read strictly by protocol::parseIpv4 (no leading zeros, no sign).
Parsed<std::array<int, 4>> parseIpv4(const QString& text);

/// MAC address: six groups of one or two hexadecimal digits separated by ':' (or all by '-').
Parsed<std::array<int, 6>> parseMac(const QString& text);

/// Daughter-board item: relay1 … relay6, output, light (any letter case).
Parsed<protocol::BoardItem> parseBoardItem(const QString& text);

/// "on" or "off" (any letter case).
Parsed<bool> parseOnOff(const QString& text);

/// The address text of four octets.
QString ipv4Text(const std::array<int, 4>& octets);

} // namespace kestavo::cli
