#pragma once

// Words for alarm rules, and the checks every rule passes before it is stored, whichever window
// or command edits it.

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "history/alarmjournal.h"

namespace kestavo::alarms {

/// "voltage-above", "voltage-below", "temperature-above", "temperature-below", "pin", "relay",
/// "offline", "bad-password": the names the command line and the rules editor use.
QString kindName(history::AlarmRuleKind kind);
std::optional<history::AlarmRuleKind> kindFromName(const QString& name);
QStringList kindNames();
/// The kind in words for the windows: "Voltage above", "I/O pin is", "Bad password".
QString kindWords(history::AlarmRuleKind kind);

/// The rule's own text, or one made from it ("Voltage 3 below 11.5 V").
QString ruleText(const history::AlarmRule& rule);

/// Empty when the rule may be stored; otherwise one sentence naming the field that is wrong.
/// `others` are the rules already stored: a high limit under the low limit of the same
/// station and channel is refused.
QString validateRule(const history::AlarmRule& rule, const QList<history::AlarmRule>& others = {});

} // namespace kestavo::alarms
