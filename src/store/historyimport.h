#pragma once

// Copies what a desk's history file knows into a team's store: alarm rules, alarms with their
// transitions, the audit log, and the readings (units, samples and their packed blocks, roll-ups,
// link events). Idempotent without shared ids: a row is matched by its whole content (a rule, an
// event, an audit record) or by its natural key (an alarm: station, rule and the moment it was
// raised; a unit: address and MAC; a sample: its unit and moment; a block: its unit, level and
// span; a roll-up mark: its unit and level), so a second import adds nothing. The names in the
// desk's rows are kept, which only the store's owner may write.

#include <QSqlDatabase>
#include <QString>

namespace kestavo::store {

struct CopyCount
{
    int added = 0;
    int present = 0; // found in the store already
};

struct HistoryImportCounts
{
    CopyCount rules;
    CopyCount alarms;
    int openConflicts = 0; // open on the desk while the store has another open alarm of that condition
    CopyCount alarmEvents;
    CopyCount audit;
    CopyCount units;
    CopyCount samples; // not packed yet on the desk
    CopyCount blocks;  // packed samples and roll-up buckets
    CopyCount rollups; // how far each unit's roll-ups reach
    CopyCount events;  // link events
};

struct HistoryImport
{
    bool ok = false;
    bool denied = false;
    QString error; // one sentence
    HistoryImportCounts counts;
};

/// Copies from the history file at `historyPath` in one transaction of the store.
HistoryImport importHistory(QSqlDatabase store, const QString& historyPath);

} // namespace kestavo::store
