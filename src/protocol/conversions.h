#pragma once

// Number-to-text rules of the console's readouts, kept free of any UI so that the console,
// the command-line client and the simulator agree on every digit.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestavo::protocol {

/// Shortest decimal text of a double with at most 15 significant digits ("15.00366300366", "-2.5",
/// "77"). Never uses an exponent for the magnitudes the console shows.
std::string shortestText(double value);

/// Full scale of channel 1..8: 30 V for 1-5 (60 V for 1 and 2 when the range flag is 1), 5 V for 6-8.
/// Empty when a range flag other than 0 or 1 is given for channel 1 or 2.
std::optional<double> fullScale(int channel, int rangeFlag);

/// Volts for a raw reading 0..4095 on channel 1..8, or empty when the range flag is unusable.
/// raw 0, and readings under 0.025 V on channels 6-8, give 0.
std::optional<double> channelVolts(int channel, std::uint16_t raw, int rangeFlag);

/// The voltage box text: "0.00" for raw 0 and for the cut on channels 6-8, otherwise the
/// shortest text of the volts. Empty when the box must stay unchanged.
std::optional<std::string> channelText(int channel, std::uint16_t raw, int rangeFlag);

/// Bar value from a box text: the text read as a number, rounded half to even; not a number → 0.
int barValue(std::string_view boxText);

/// The bar's label: "###0.00" + " V" ("15.00 V").
std::string barLabel(std::string_view boxText);

/// Celsius from the temperature bytes (magnitude t, flags f): f 0 → t, 1 → −t, 128 → t+0.5,
/// 129 → −t+0.5; anything else empty.
std::optional<double> temperatureCelsius(std::uint8_t magnitude, std::uint8_t flags);
double fahrenheit(double celsius);
/// "23°C    73.4°F" (UTF-8 degree sign, four spaces).
std::string temperatureText(double celsius);

/// "&H" + eight upper-case hex digits, most significant first.
std::string uptimeText(std::uint32_t raw);
/// The raw counter read as a signed 32-bit number.
double uptimeCount(std::uint32_t raw);

/// Whole uptime in each unit, each cut to 0 below 1 (the cut carries to every larger unit).
struct UptimeUnits
{
    double minutes = 0, hours = 0, days = 0, weeks = 0, months = 0, years = 0;
};
UptimeUnits uptimeUnits(double seconds);
/// "##0.00": at least one integer digit, two decimals, no grouping.
std::string formatUnits(double value);

/// The relay timer's remaining seconds as D/H/M/S; S is 0 unless 1 ≤ S ≤ 60.
struct Countdown
{
    long days = 0;
    long hours = 0;
    long minutes = 0;
    long seconds = 0;
};
Countdown countdown(std::uint32_t remainingSeconds);

/// MAC bytes as "00:0A:1B:2C:3D:4E".
std::string macText(const std::array<std::uint8_t, 6>& mac);

/// Unit revision for the About box: "1.7.0" from the three revision bytes.
std::string revisionDotted(const std::array<std::uint8_t, 3>& bytes);

/// Trims leading and trailing spaces.
std::string trimSpaces(std::string_view text);

} // namespace kestavo::protocol
