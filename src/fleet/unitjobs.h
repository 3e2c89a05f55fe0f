#pragma once

// What a fleet operation does at one unit, over the backup library's exchange: switch a relay,
// run a relay script, roll a configuration out. Each checks its effect in the unit's next report
// (or table, or acknowledgement) and says what happened in one line.

#include <QList>
#include <QString>

#include "protocol/frames.h"

#include "backup/configdiff.h"
#include "backup/unitconfig.h"
#include "backup/unitexchange.h"
#include "fleet/fleetoperation.h"

namespace kestavo::fleet {

/// Switches relay 1..3 on, off, or off and back on after `seconds`; done once a status report
/// shows it.
UnitOutcome switchRelay(backup::UnitExchange& exchange, int relay, protocol::RelayAction action, int seconds);

/// Runs the relay script in slot 1..8 once the slot table shows it holds one; done on the unit's
/// "Relay Script Executed !".
UnitOutcome runScript(backup::UnitExchange& exchange, int slot);

struct RolloutPlan
{
    backup::UnitConfig file;
    QList<backup::Group> groups; // the parts rolled out
    bool dryRun = false;         // compare only
};

/// Compares the unit with the plan's file in the chosen parts: equal units are left alone; a dry
/// run stops there. Otherwise the differences are written with the backup library's restore (its
/// checks first: the lockout guard, thresholds, delays; firmware too old for an item skips it),
/// and the unit is read and compared again: done only when nothing chosen still differs.
UnitOutcome rolloutUnit(backup::UnitExchange& exchange, const RolloutPlan& plan);

} // namespace kestavo::fleet
