#include "alarms/rulevalidation.h"

#include <cmath>

#include "stations/stationformat.h"

namespace kestavo::alarms {

using history::AlarmRule;
using history::AlarmRuleKind;

namespace {

struct KindInfo
{
    AlarmRuleKind kind;
    const char* name;
    const char* words; // what the windows show
};

constexpr KindInfo kKinds[] = {
    {AlarmRuleKind::VoltageAbove, "voltage-above", "Voltage above"},
    {AlarmRuleKind::VoltageBelow, "voltage-below", "Voltage below"},
    {AlarmRuleKind::TemperatureAbove, "temperature-above", "Temperature above"},
    {AlarmRuleKind::TemperatureBelow, "temperature-below", "Temperature below"},
    {AlarmRuleKind::PinIs, "pin", "I/O pin is"},
    {AlarmRuleKind::RelayNot, "relay", "Relay not as expected"},
    {AlarmRuleKind::LinkOffline, "offline", "Offline"},
    {AlarmRuleKind::BadPassword, "bad-password", "Bad password"},
};

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

bool isVoltage(AlarmRuleKind kind)
{
    return kind == AlarmRuleKind::VoltageAbove || kind == AlarmRuleKind::VoltageBelow;
}

bool isTemperature(AlarmRuleKind kind)
{
    return kind == AlarmRuleKind::TemperatureAbove || kind == AlarmRuleKind::TemperatureBelow;
}

} // namespace

QString kindName(AlarmRuleKind kind)
{
    for (const KindInfo& info : kKinds)
        if (info.kind == kind)
            return QString::fromLatin1(info.name);
    return {};
}

std::optional<AlarmRuleKind> kindFromName(const QString& name)
{
    for (const KindInfo& info : kKinds)
        if (name == QLatin1String(info.name))
            return info.kind;
    return std::nullopt;
}

QString kindWords(AlarmRuleKind kind)
{
    for (const KindInfo& info : kKinds)
        if (info.kind == kind)
            return QString::fromLatin1(info.words);
    return {};
}

QStringList kindNames()
{
    QStringList names;
    for (const KindInfo& info : kKinds)
        names.append(QString::fromLatin1(info.name));
    return names;
}

QString ruleText(const AlarmRule& rule)
{
    if (!rule.text.trimmed().isEmpty())
        return rule.text.trimmed();
    switch (rule.kind) {
    case AlarmRuleKind::VoltageAbove:
        return QStringLiteral("Voltage %1 above %2 V").arg(rule.channel).arg(number(rule.limit));
    case AlarmRuleKind::VoltageBelow:
        return QStringLiteral("Voltage %1 below %2 V").arg(rule.channel).arg(number(rule.limit));
    case AlarmRuleKind::TemperatureAbove:
        return QStringLiteral("Temperature above %1 °C").arg(number(rule.limit));
    case AlarmRuleKind::TemperatureBelow:
        return QStringLiteral("Temperature below %1 °C").arg(number(rule.limit));
    case AlarmRuleKind::PinIs:
        return QStringLiteral("I/O pin %1 at %2").arg(rule.channel).arg(int(rule.limit));
    case AlarmRuleKind::RelayNot:
        return QStringLiteral("Relay %1 not %2").arg(rule.channel).arg(rule.limit != 0 ? u"ON" : u"OFF");
    case AlarmRuleKind::LinkOffline:
        return QStringLiteral("Unit offline for more than %1 s").arg(number(rule.limit));
    case AlarmRuleKind::BadPassword:
        return QStringLiteral("Unit refuses the password");
    }
    return {};
}

QString validateRule(const AlarmRule& rule, const QList<AlarmRule>& others)
{
    // Compared as text with the stations' addresses, so only the one canonical form can ever match.
    if (const QString problem = rule.address.isEmpty() ? QString() : stations::addressProblem(rule.address);
        !problem.isEmpty())
        return QStringLiteral("Station: \"%1\" %2; leave it empty for a rule that applies to every station.")
            .arg(rule.address, problem);
    if (kindName(rule.kind).isEmpty())
        return QStringLiteral("Kind: choose what the rule watches.");
    const auto channelRange = [&]() -> std::pair<int, int> {
        switch (rule.kind) {
        case AlarmRuleKind::VoltageAbove:
        case AlarmRuleKind::VoltageBelow:
            return {1, 8};
        case AlarmRuleKind::PinIs:
            return {1, 5};
        case AlarmRuleKind::RelayNot:
            return {1, 3};
        default:
            return {0, 0};
        }
    }();
    if (channelRange.second > 0 && (rule.channel < channelRange.first || rule.channel > channelRange.second))
        return QStringLiteral("Channel: %1 is out of range; use %2 to %3.")
            .arg(rule.channel)
            .arg(channelRange.first)
            .arg(channelRange.second);
    if (!std::isfinite(rule.limit) || !std::isfinite(rule.deadband))
        return QStringLiteral("Limit: enter a number.");
    if ((rule.kind == AlarmRuleKind::PinIs || rule.kind == AlarmRuleKind::RelayNot) && rule.limit != 0 &&
        rule.limit != 1)
        return QStringLiteral("Limit: a pin or relay rule needs 0 or 1, not %1.").arg(number(rule.limit));
    if (isVoltage(rule.kind) && (rule.limit < 0 || rule.limit > 60))
        return QStringLiteral("Limit: %1 V is outside the 0 to 60 V the unit can read.")
            .arg(number(rule.limit));
    if (rule.kind == AlarmRuleKind::LinkOffline && rule.limit <= 0)
        return QStringLiteral("Limit: an offline rule needs a number of seconds above 0.");
    if (rule.deadband < 0)
        return QStringLiteral("Deadband: %1 is negative; use 0 or more.").arg(number(rule.deadband));
    if (rule.onDelayS < 0)
        return QStringLiteral("On-delay: %1 s is negative; use 0 or more.").arg(rule.onDelayS);
    if (rule.offDelayS < 0)
        return QStringLiteral("Off-delay: %1 s is negative; use 0 or more.").arg(rule.offDelayS);
    // A high and a low limit on the same reading of the same station must leave a normal band.
    for (const AlarmRule& other : others) {
        if (other.id == rule.id || other.address != rule.address || other.channel != rule.channel)
            continue;
        const bool pair = (isVoltage(rule.kind) && isVoltage(other.kind) && rule.kind != other.kind) ||
                          (isTemperature(rule.kind) && isTemperature(other.kind) && rule.kind != other.kind);
        if (!pair)
            continue;
        const bool ruleIsLow =
            rule.kind == AlarmRuleKind::VoltageBelow || rule.kind == AlarmRuleKind::TemperatureBelow;
        const double low = ruleIsLow ? rule.limit : other.limit;
        const double high = ruleIsLow ? other.limit : rule.limit;
        if (low >= high)
            return QStringLiteral(
                       "Limit: the low limit %1 is not below the high limit %2 of the same reading.")
                .arg(number(low), number(high));
    }
    return {};
}

} // namespace kestavo::alarms
