#include "protocol/conversions.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

namespace kestavo::protocol {

namespace {

// A reading of 4095 is full scale on every channel.
constexpr std::uint64_t kAdcFullScale = 4095;
// The channel quotient keeps twelve decimals before it is scaled.
constexpr std::uint64_t kQuotientScale = 1'000'000'000'000ULL;
// Readings under this many volts on channels 6-8 are noise and show as "0.00".
constexpr double kLowChannelCut = 0.025;
constexpr int kMaxSignificantDigits = 15;

constexpr std::string_view kZeroText = "0.00";

// Parses a whole text (surrounding spaces allowed) as a decimal number.
std::optional<double> parseNumber(std::string_view text)
{
    const std::string trimmed = trimSpaces(text);
    if (trimmed.empty())
        return std::nullopt;
    double value = 0;
    const char* last = trimmed.data() + trimmed.size();
    const auto [end, error] = std::from_chars(trimmed.data(), last, value);
    if (error != std::errc() || end != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Decimal digits and exponent of |value| rounded to `digits` significant digits:
// value = 0.d1d2d3... x 10^(exponent + 1). Trailing zeros removed.
struct Decimal
{
    bool negative = false;
    std::string digits; // no leading or trailing zeros; empty for zero
    int exponent = 0;   // power of ten of the first digit
};

Decimal toDecimal(double value, int digits)
{
    Decimal d;
    if (value == 0)
        return d;
    d.negative = std::signbit(value);
    // "d.ddddde[+-]xx", always with '.': unlike printf, to_chars ignores the C locale, which Qt
    // sets from the environment (a comma locale would otherwise change every number text).
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                       std::chars_format::scientific, digits - 1);
    const std::string_view text(buffer, static_cast<std::size_t>(written.ptr - buffer));
    const std::size_t e = text.find('e');
    for (std::size_t i = 0; i < e; ++i) {
        if (text[i] != '.')
            d.digits.push_back(text[i]);
    }
    const std::string_view exponent = text.substr(e + 1 + (text[e + 1] == '+' ? 1 : 0));
    std::from_chars(exponent.data(), exponent.data() + exponent.size(), d.exponent);
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

// Fixed notation of a decimal, never an exponent.
std::string fixedText(const Decimal& d)
{
    if (d.digits.empty())
        return "0";
    std::string out;
    if (d.negative)
        out.push_back('-');
    const int count = static_cast<int>(d.digits.size());
    if (d.exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-d.exponent - 1), '0');
        out += d.digits;
        return out;
    }
    const int integerDigits = d.exponent + 1;
    if (count <= integerDigits) {
        out += d.digits;
        out.append(static_cast<std::size_t>(integerDigits - count), '0');
        return out;
    }
    out.append(d.digits, 0, static_cast<std::size_t>(integerDigits));
    out.push_back('.');
    out.append(d.digits, static_cast<std::size_t>(integerDigits));
    return out;
}

// Adds one to a string of decimal digits.
void incrementDigits(std::string& digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

// Rounds the decimal text of a value (15 significant digits, as it would be shown) to two
// decimals, halves away from zero. Working on the shown digits rather than on the binary value
// keeps 0.125 at "0.13" and 1.005 at "1.01", as a reader of the box text would expect.
std::string twoDecimals(double value)
{
    const Decimal d = toDecimal(value, kMaxSignificantDigits);
    // Hundredths: the digits whose power of ten is -2 or above.
    const int keptCount = d.exponent + 3;
    std::string hundredths;
    if (keptCount > 0) {
        hundredths = d.digits.substr(0, static_cast<std::size_t>(keptCount));
        hundredths.append(static_cast<std::size_t>(keptCount) - hundredths.size(), '0');
    }
    const bool roundUp = keptCount >= 0 && static_cast<std::size_t>(keptCount) < d.digits.size() &&
                         d.digits[static_cast<std::size_t>(keptCount)] >= '5';
    if (roundUp)
        incrementDigits(hundredths);
    if (hundredths.size() < 3)
        hundredths.insert(0, 3 - hundredths.size(), '0');

    std::string out;
    if (d.negative && hundredths.find_first_not_of('0') != std::string::npos)
        out.push_back('-');
    out.append(hundredths, 0, hundredths.size() - 2);
    out.push_back('.');
    out.append(hundredths, hundredths.size() - 2);
    return out;
}

} // namespace

std::string shortestText(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    return fixedText(toDecimal(value, kMaxSignificantDigits));
}

std::optional<double> fullScale(int channel, int rangeFlag)
{
    if (channel == 1 || channel == 2) {
        if (rangeFlag == 0)
            return 30.0;
        if (rangeFlag == 1)
            return 60.0;
        return std::nullopt;
    }
    if (channel >= 3 && channel <= 5)
        return 30.0;
    if (channel >= 6 && channel <= 8)
        return 5.0;
    return std::nullopt;
}

std::optional<double> channelVolts(int channel, std::uint16_t raw, int rangeFlag)
{
    if (raw == 0)
        return 0.0;
    const std::optional<double> scale = fullScale(channel, rangeFlag);
    if (!scale)
        return std::nullopt;
    // Integer rounding of raw / 4095 to twelve decimals: exact, and 4095 never produces a tie.
    const std::uint64_t scaled = (raw * kQuotientScale + kAdcFullScale / 2) / kAdcFullScale;
    const double quotient = static_cast<double>(scaled) / static_cast<double>(kQuotientScale);
    const double volts = quotient * *scale;
    if (channel >= 6 && volts < kLowChannelCut)
        return 0.0;
    return volts;
}

std::optional<std::string> channelText(int channel, std::uint16_t raw, int rangeFlag)
{
    if (raw == 0)
        return std::string(kZeroText);
    const std::optional<double> volts = channelVolts(channel, raw, rangeFlag);
    if (!volts)
        return std::nullopt;
    if (*volts == 0)
        return std::string(kZeroText);
    return shortestText(*volts);
}

int barValue(std::string_view boxText)
{
    const std::optional<double> value = parseNumber(boxText);
    if (!value)
        return 0;
    // nearbyint follows the default rounding mode: to nearest, halves to even.
    const double rounded = std::nearbyint(*value);
    if (rounded >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (rounded <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(rounded);
}

std::string barLabel(std::string_view boxText)
{
    return formatUnits(parseNumber(boxText).value_or(0.0)) + " V";
}

std::optional<double> temperatureCelsius(std::uint8_t magnitude, std::uint8_t flags)
{
    const double t = magnitude;
    switch (flags) {
    case 0:
        return t;
    case 1:
        return t == 0 ? 0.0 : -t;
    case 128:
        return t + 0.5;
    case 129:
        return -t + 0.5;
    default:
        return std::nullopt;
    }
}

double fahrenheit(double celsius)
{
    return 9.0 / 5.0 * celsius + 32.0;
}

std::string temperatureText(double celsius)
{
    return shortestText(celsius) + "\u00B0C    " + shortestText(fahrenheit(celsius)) + "\u00B0F";
}

std::string uptimeText(std::uint32_t raw)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "&H%08X", static_cast<unsigned>(raw));
    return buffer;
}

double uptimeCount(std::uint32_t raw)
{
    return static_cast<double>(static_cast<std::int32_t>(raw));
}

UptimeUnits uptimeUnits(double seconds)
{
    // Each unit is divided from the previous, already cut value, so a cut carries upwards.
    const auto cut = [](double v) {
        return v < 1 ? 0.0 : v;
    };
    UptimeUnits u;
    u.minutes = cut(seconds / 60);
    u.hours = cut(u.minutes / 60);
    u.days = cut(u.hours / 24);
    u.weeks = cut(u.days / 7);
    u.months = cut(u.days / 30);
    u.years = cut(u.days / 365);
    return u;
}

std::string formatUnits(double value)
{
    if (!std::isfinite(value))
        return std::string(kZeroText);
    return twoDecimals(value);
}

Countdown countdown(std::uint32_t remainingSeconds)
{
    constexpr long kDay = 86400;
    constexpr long kHour = 3600;
    constexpr long kMinute = 60;
    long rest = static_cast<long>(remainingSeconds);
    Countdown c;
    c.days = rest / kDay;
    rest -= c.days * kDay;
    c.hours = rest / kHour;
    rest -= c.hours * kHour;
    c.minutes = rest / kMinute;
    rest -= c.minutes * kMinute;
    c.seconds = (rest >= 1 && rest <= 60) ? rest : 0;
    return c;
}

std::string macText(const std::array<std::uint8_t, 6>& mac)
{
    char buffer[18];
    std::snprintf(buffer, sizeof buffer, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return buffer;
}

std::string revisionDotted(const std::array<std::uint8_t, 3>& bytes)
{
    return std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.' + std::to_string(bytes[2]);
}

std::string trimSpaces(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

} // namespace kestavo::protocol
