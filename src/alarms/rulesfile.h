#pragma once

// Alarm rules as a JSON document, so that a site's rules can be kept under version control and
// applied to another history file:
//   {"rules": [{"id": 3, "station": "all", "kind": "voltage-below", "channel": 1, "limit": 11.5,
//               "deadband": 0.2, "on_delay": 10, "off_delay": 0, "priority": "high",
//               "text": "Battery low", "enabled": true}]}
// Reading is all or nothing: the first bad field is named ("rules[2].limit: …") and nothing is kept.

#include <variant>

#include <QByteArray>
#include <QList>
#include <QString>

#include "history/alarmjournal.h"

namespace kestavo::alarms {

QByteArray rulesToJson(const QList<history::AlarmRule>& rules);
/// The rules of the document, each checked as the editor checks it (with the document's other
/// rules), or one sentence naming the field in error.
std::variant<QList<history::AlarmRule>, QString> rulesFromJson(const QByteArray& json);

} // namespace kestavo::alarms
