#pragma once

// Copies what a desk's history file knows about alarms and commands into a team's store: alarm
// rules, alarms with their transitions, and the audit log. Idempotent without shared ids: a row is
// matched by its whole content (a rule, an event, an audit record) or by its natural key (an alarm:
// station, rule and the moment it was raised), so a second import adds nothing. The names in the
// desk's rows are kept, which only the store's owner may write. Readings are not copied yet.

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
