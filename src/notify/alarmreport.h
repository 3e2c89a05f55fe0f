#pragma once

// The alarm report: how many alarms a period raised and which of them are nuisances. Computed
// from the recorded transitions alone, so the console, the CLI and the agent give the same figures.

#include <functional>
#include <optional>

#include <QJsonObject>
#include <QList>
#include <QString>

#include "history/alarmjournal.h"

namespace kestavo::notify {

struct AlarmReport
{
    struct Day
    {
        QString date; // yyyy-MM-dd, UTC
        int raised = 0;
    };
    struct Count
    {
        QString key; // the rule id or the station address
        QString label;
        int count = 0;
    };
    struct Chatter
    {
        QString address;
        qint64 rule = 0;
        QString text;
        int raised = 0; // in the period
        int mostInMinute = 0;
    };

    qint64 fromMs = 0;
    qint64 toMs = 0;
    int raised = 0;
    QList<Day> perDay;
    int peakTenMinutes = 0; // the most alarms raised within any 10 minutes
    qint64 peakStartMs = 0;
    qint64 floodMs = 0;                   // time with 10 or more alarms raised in the 10 minutes before
    QList<history::AlarmRecord> standing; // still active (or shelved) and raised over 24 h ago
    QList<Chatter> chattering;            // raised 3 or more times within a minute
    QList<Count> topRules;                // the ten most frequent
    QList<Count> topStations;
    int acknowledged = 0;
    std::optional<qint64> meanAckMs;
};

/// `events` from `fromMs` on (they may start earlier); `open`: the alarms still listed;
/// `stationName` (may be empty) gives a station's description for the labels.
AlarmReport buildReport(const QList<history::AlarmEvent>& events, const QList<history::AlarmRecord>& open,
                        qint64 fromMs, qint64 toMs,
                        const std::function<QString(const QString&)>& stationName = {});

QJsonObject reportJson(const AlarmReport& report);
QString reportText(const AlarmReport& report);
/// section,key,label,value rows: one line per figure, per day, per top entry, per alarm listed.
QString reportCsv(const AlarmReport& report);

} // namespace kestavo::notify
