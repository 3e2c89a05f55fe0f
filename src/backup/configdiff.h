#pragma once

// The differences between a unit's configuration and a backup document, item by item, in words,
// in the order a restore writes them: station name, relay scripts, board scripts, triggers, the
// HTTP and SNMP switches, relay delays, and the allowed-IP list last.

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "backup/unitconfig.h"

namespace kestavo::backup {

/// The parts a restore can be limited to (`--only`).
enum class Group { Name, Scripts, Boards, Triggers, Security, Delays };

QString groupName(Group group);
std::optional<Group> groupFromName(const QString& name);
/// The groups a restore writes unless told otherwise. Relay delays are left out: the only frame
/// that sets a delay also switches the relay off and on again.
QList<Group> defaultGroups();

struct Change
{
    enum class Item {
        StationName,
        RelayScript,
        BoardScript,
        IoTrigger,
        TemperatureTrigger,
        Http,
        Snmp,
        RelayDelay,
        AllowedIp
    };
    Item item = Item::StationName;
    int index = 0; // slot 1..8 or 1..16, I/O box 1..5, relay 1..3; 0 for the single items
    QString text;  // "relay script 3: 'Pumps' → 'Pumps B', steps differ"

    Group group() const;
    /// "relay script 3", "allowed IP numbers".
    QString label() const;
    bool operator==(const Change&) const = default;
};

QList<Change> compareConfigs(const UnitConfig& unit, const UnitConfig& file);

/// The changes of the given groups, order kept.
QList<Change> changesIn(const QList<Change>& changes, const QList<Group>& groups);

} // namespace kestavo::backup
