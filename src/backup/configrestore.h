#pragma once

// Reading a unit's configuration, and writing the chosen differences back: in the diff's safe
// order, each one checked through the next report or table before the next goes out, stopping
// at the first refusal. Every frame is built by the protocol builders and goes out through the
// exchange's transport.

#include <cstdint>
#include <functional>
#include <optional>
#include <variant>

#include <QList>
#include <QString>
#include <QStringList>

#include "backup/configdiff.h"
#include "backup/unitconfig.h"
#include "backup/unitexchange.h"

namespace kestavo::backup {

/// Reads what a backup keeps: a status report, then (by firmware) the slot table and the board
/// listing and contents. The error says what did not come.
std::variant<UnitReadings, QString> readUnit(UnitExchange& exchange);

struct Preflight
{
    QString refusal;      // why nothing may be sent, or empty
    QStringList warnings; // written anyway, but worth a line before the operator agrees
};

/// Checks the chosen changes before anything is sent: thresholds the wrong way round, a delay the
/// relay dialogs cannot set, and the lockout guard (an allowed-IP list that leaves out this
/// computer's address, `local`, empty when it cannot be told) refuse the whole restore. A trigger
/// pointing at a slot that will hold no script is only a warning: the unit this file came from
/// held it so, and a restore puts back what the unit held.
Preflight preflight(const UnitReadings& unit, const UnitConfig& file, const QList<Change>& chosen,
                    std::optional<std::uint32_t> local);

struct RestoreResult
{
    QStringList written;    // labels, in the order written
    QStringList skipped;    // "board script 2: skipped, firmware 1.6.9 has no daughter boards"
    QStringList notWritten; // after a stop: the item that failed and every one after it
    QString failure;        // empty when every chosen item was written or skipped
    bool ok() const { return failure.isEmpty(); }
    /// One paragraph naming what was and was not written.
    QString summary() const;
};

/// Writes `chosen` (in order) from `file`. `unit` is what was read before; it decides which items
/// the firmware skips. `progress` hears one line per item written or skipped.
RestoreResult restoreChanges(UnitExchange& exchange, const UnitReadings& unit, const UnitConfig& file,
                             const QList<Change>& chosen,
                             const std::function<void(const QString&)>& progress = {});

} // namespace kestavo::backup
