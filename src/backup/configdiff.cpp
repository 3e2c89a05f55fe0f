#include "backup/configdiff.h"

namespace kestavo::backup {

namespace {

const QString kArrow = QStringLiteral(" \u2192 ");

QString quoted(const QString& text)
{
    return u'\'' + text + u'\'';
}

QString slotText(const ScriptSlot& slot)
{
    return slot.description.isEmpty() && slot.steps.isEmpty() ? QStringLiteral("(empty)")
                                                              : quoted(slot.description);
}

QString scriptChange(const QString& label, const ScriptSlot& unit, const ScriptSlot& file)
{
    const bool stepsDiffer = unit.steps != file.steps;
    if (unit.description == file.description)
        return QStringLiteral("%1 %2: steps differ").arg(label, slotText(unit));
    QString text = QStringLiteral("%1: %2%3%4").arg(label, slotText(unit), kArrow, slotText(file));
    if (stepsDiffer && !unit.steps.isEmpty() && !file.steps.isEmpty())
        text += QStringLiteral(", steps differ");
    return text;
}

QString ioText(const IoTrigger& t)
{
    if (!t.active)
        return QStringLiteral("off");
    return QStringLiteral("on (slot %1 for a 0, slot %2 for a 1)").arg(t.slotFor0).arg(t.slotFor1);
}

QString temperatureText(const TemperatureTrigger& t)
{
    if (!t.active)
        return QStringLiteral("off (%1/%2 \u00B0C)").arg(t.upper).arg(t.lower);
    return QStringLiteral("on (slot %1 above %2 \u00B0C, slot %3 below %4 \u00B0C)")
        .arg(t.upperSlot)
        .arg(t.upper)
        .arg(t.lowerSlot)
        .arg(t.lower);
}

QString onOff(bool on, const char* onText, const char* offText)
{
    return QString::fromLatin1(on ? onText : offText);
}

QString allowedText(const UnitConfig& c)
{
    if (!c.onlyListed)
        return QStringLiteral("all");
    QStringList listed;
    for (int row = 0; row < 5; ++row)
        listed << addressText(c.allowedOctets, row);
    return QStringLiteral("only ") + listed.join(QStringLiteral(", "));
}

} // namespace

QString groupName(Group group)
{
    switch (group) {
    case Group::Name:
        return QStringLiteral("name");
    case Group::Scripts:
        return QStringLiteral("scripts");
    case Group::Boards:
        return QStringLiteral("boards");
    case Group::Triggers:
        return QStringLiteral("triggers");
    case Group::Security:
        return QStringLiteral("security");
    case Group::Delays:
        return QStringLiteral("delays");
    }
    return QString();
}

std::optional<Group> groupFromName(const QString& name)
{
    for (const Group g :
         {Group::Name, Group::Scripts, Group::Boards, Group::Triggers, Group::Security, Group::Delays}) {
        if (groupName(g) == name)
            return g;
    }
    return std::nullopt;
}

QList<Group> defaultGroups()
{
    return {Group::Name, Group::Scripts, Group::Boards, Group::Triggers, Group::Security};
}

Group Change::group() const
{
    switch (item) {
    case Item::StationName:
        return Group::Name;
    case Item::RelayScript:
        return Group::Scripts;
    case Item::BoardScript:
        return Group::Boards;
    case Item::IoTrigger:
    case Item::TemperatureTrigger:
        return Group::Triggers;
    case Item::Http:
    case Item::Snmp:
    case Item::AllowedIp:
        return Group::Security;
    case Item::RelayDelay:
        return Group::Delays;
    }
    return Group::Name;
}

QString Change::label() const
{
    switch (item) {
    case Item::StationName:
        return QStringLiteral("station name");
    case Item::RelayScript:
        return QStringLiteral("relay script %1").arg(index);
    case Item::BoardScript:
        return QStringLiteral("board script %1").arg(index);
    case Item::IoTrigger:
        return QStringLiteral("I/O box %1 trigger").arg(index);
    case Item::TemperatureTrigger:
        return QStringLiteral("temperature trigger");
    case Item::Http:
        return QStringLiteral("status web page");
    case Item::Snmp:
        return QStringLiteral("SNMP access");
    case Item::RelayDelay:
        return QStringLiteral("relay %1 delay").arg(index);
    case Item::AllowedIp:
        return QStringLiteral("allowed IP numbers");
    }
    return QString();
}

QList<Change> compareConfigs(const UnitConfig& unit, const UnitConfig& file)
{
    QList<Change> changes;
    auto add = [&changes](Change::Item item, int index, const QString& text) {
        Change change{item, index, QString()};
        change.text = text.startsWith(change.label()) ? text : change.label() + QStringLiteral(": ") + text;
        changes << change;
    };
    if (unit.stationName != file.stationName)
        add(Change::Item::StationName, 0, quoted(unit.stationName) + kArrow + quoted(file.stationName));
    for (std::size_t s = 0; s < file.relayScripts.size(); ++s) {
        if (unit.relayScripts[s] != file.relayScripts[s]) {
            const Change probe{Change::Item::RelayScript, int(s + 1), QString()};
            add(probe.item, probe.index,
                scriptChange(probe.label(), unit.relayScripts[s], file.relayScripts[s]));
        }
    }
    if (file.boardScripts) {
        const std::array<ScriptSlot, 16> none{};
        const auto& unitBoards = unit.boardScripts ? *unit.boardScripts : none;
        for (std::size_t s = 0; s < file.boardScripts->size(); ++s) {
            if (unitBoards[s] != (*file.boardScripts)[s]) {
                const Change probe{Change::Item::BoardScript, int(s + 1), QString()};
                add(probe.item, probe.index,
                    scriptChange(probe.label(), unitBoards[s], (*file.boardScripts)[s]));
            }
        }
    }
    for (std::size_t b = 0; b < file.ioTriggers.size(); ++b) {
        if (unit.ioTriggers[b] != file.ioTriggers[b])
            add(Change::Item::IoTrigger, int(b + 1),
                ioText(unit.ioTriggers[b]) + kArrow + ioText(file.ioTriggers[b]));
    }
    if (unit.temperature != file.temperature)
        add(Change::Item::TemperatureTrigger, 0,
            temperatureText(unit.temperature) + kArrow + temperatureText(file.temperature));
    if (file.httpOn && unit.httpOn != file.httpOn)
        add(Change::Item::Http, 0,
            (unit.httpOn ? onOff(*unit.httpOn, "on", "off") : QStringLiteral("unknown")) + kArrow +
                onOff(*file.httpOn, "on", "off"));
    if (file.snmpOn && unit.snmpOn != file.snmpOn)
        add(Change::Item::Snmp, 0,
            (unit.snmpOn ? onOff(*unit.snmpOn, "enabled", "disabled") : QStringLiteral("unknown")) + kArrow +
                onOff(*file.snmpOn, "enabled", "disabled"));
    for (std::size_t r = 0; r < 3; ++r) {
        if (unit.relayDelays[r] != file.relayDelays[r])
            add(Change::Item::RelayDelay, int(r + 1),
                QStringLiteral("%1 s%2%3 s").arg(unit.relayDelays[r]).arg(kArrow).arg(file.relayDelays[r]));
    }
    if (allowedText(unit) != allowedText(file))
        add(Change::Item::AllowedIp, 0, allowedText(unit) + kArrow + allowedText(file));
    return changes;
}

QList<Change> changesIn(const QList<Change>& changes, const QList<Group>& groups)
{
    QList<Change> chosen;
    for (const Change& c : changes) {
        if (groups.contains(c.group()))
            chosen << c;
    }
    return chosen;
}

} // namespace kestavo::backup
