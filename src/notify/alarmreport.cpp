#include "notify/alarmreport.h"

#include <algorithm>
#include <map>

#include <QDateTime>
#include <QJsonArray>
#include <QStringList>

#include "history/timetext.h"
#include "text/csv.h"

namespace kestavo::notify {

using history::AlarmEvent;
using history::AlarmRecord;
using history::AlarmState;

namespace {

constexpr qint64 kTenMinutes = 10 * 60'000;
constexpr int kFloodCount = 10;
constexpr qint64 kChatterWindow = 60'000;
constexpr int kChatterCount = 3;

QString duration(qint64 ms)
{
    const qint64 s = ms / 1000;
    if (s < 120)
        return QStringLiteral("%1 s").arg(s);
    if (s < 7200)
        return QStringLiteral("%1 min").arg(s / 60);
    return QStringLiteral("%1 h %2 min").arg(s / 3600).arg((s % 3600) / 60);
}

QList<AlarmReport::Count> top(const std::map<QString, std::pair<QString, int>>& counts)
{
    QList<AlarmReport::Count> list;
    for (const auto& [key, entry] : counts)
        list.append({key, entry.first, entry.second});
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return a.count > b.count; });
    return list.mid(0, 10);
}

} // namespace

AlarmReport buildReport(const QList<AlarmEvent>& events, const QList<AlarmRecord>& open, qint64 fromMs,
                        qint64 toMs, const std::function<QString(const QString&)>& stationName)
{
    AlarmReport r;
    r.fromMs = fromMs;
    r.toMs = toMs;
    const auto nameOf = [&](const QString& address) {
        const QString name = stationName ? stationName(address) : QString();
        return name.isEmpty() ? address : QStringLiteral("%1 (%2)").arg(name, address);
    };

    std::map<qint64, AlarmState> last;     // alarm -> its state before the event at hand
    std::map<qint64, qint64> waitingSince; // alarm -> raised, not acknowledged yet
    std::vector<qint64> raises;
    std::map<std::pair<QString, qint64>, std::vector<qint64>> raisesOf;
    std::map<std::pair<QString, qint64>, QString> textOf;
    std::map<QString, std::pair<QString, int>> rules, stations;
    qint64 ackTotal = 0;

    for (const AlarmEvent& e : events) {
        const auto before = last.find(e.alarm);
        // The first event of an alarm seen is a raise unless it is the end of a shelving.
        const bool raise = e.state == AlarmState::ActiveUnacknowledged &&
                           (before == last.end() ? !e.text.startsWith(QStringLiteral("shelving ended"))
                                                 : before->second == AlarmState::Normal ||
                                                       before->second == AlarmState::ClearedUnacknowledged);
        const bool ack = e.state == AlarmState::ActiveAcknowledged ||
                         (before != last.end() && before->second == AlarmState::ClearedUnacknowledged &&
                          e.state == AlarmState::Normal);
        last[e.alarm] = e.state;
        if (e.utcMs < fromMs || e.utcMs >= toMs)
            continue;
        if (raise) {
            raises.push_back(e.utcMs);
            raisesOf[{e.address, e.rule}].push_back(e.utcMs);
            textOf[{e.address, e.rule}] = e.text;
            auto& rule = rules[QString::number(e.rule)];
            rule.first = e.text;
            ++rule.second;
            auto& station = stations[e.address];
            station.first = nameOf(e.address);
            ++station.second;
            waitingSince.try_emplace(e.alarm, e.utcMs);
        } else if (ack) {
            const auto waiting = waitingSince.find(e.alarm);
            if (waiting != waitingSince.end()) {
                ++r.acknowledged;
                ackTotal += e.utcMs - waiting->second;
                waitingSince.erase(waiting);
            }
        }
        if (e.state == AlarmState::Normal)
            waitingSince.erase(e.alarm);
    }
    r.raised = int(raises.size());
    if (r.acknowledged > 0)
        r.meanAckMs = ackTotal / r.acknowledged;

    std::map<QString, int> days;
    for (qint64 day = fromMs; day < toMs; day += 86'400'000)
        days[QDateTime::fromMSecsSinceEpoch(day, Qt::UTC).date().toString(Qt::ISODate)] = 0;
    if (toMs > fromMs)
        days[QDateTime::fromMSecsSinceEpoch(toMs - 1, Qt::UTC).date().toString(Qt::ISODate)] += 0;
    for (qint64 t : raises)
        ++days[QDateTime::fromMSecsSinceEpoch(t, Qt::UTC).date().toString(Qt::ISODate)];
    for (const auto& [date, count] : days)
        r.perDay.append({date, count});

    // Events come in time order; a flood lasts from the tenth raise within ten minutes until ten
    // minutes after the first of those ten, and overlapping stretches count once.
    qint64 coveredUntil = fromMs;
    for (std::size_t i = 0; i < raises.size(); ++i) {
        const auto end =
            std::lower_bound(raises.begin() + qsizetype(i), raises.end(), raises[i] + kTenMinutes);
        const int inWindow = int(end - (raises.begin() + qsizetype(i)));
        if (inWindow > r.peakTenMinutes) {
            r.peakTenMinutes = inWindow;
            r.peakStartMs = raises[i];
        }
        if (i + kFloodCount - 1 < raises.size() && raises[i + kFloodCount - 1] < raises[i] + kTenMinutes) {
            const qint64 start = std::max(raises[i + kFloodCount - 1], coveredUntil);
            const qint64 stop = std::min(raises[i] + kTenMinutes, toMs);
            if (stop > start) {
                r.floodMs += stop - start;
                coveredUntil = stop;
            }
        }
    }

    for (const auto& [key, times] : raisesOf) {
        int most = 0;
        for (std::size_t i = 0; i < times.size(); ++i) {
            const auto end =
                std::lower_bound(times.begin() + qsizetype(i), times.end(), times[i] + kChatterWindow);
            most = std::max(most, int(end - (times.begin() + qsizetype(i))));
        }
        if (most >= kChatterCount)
            r.chattering.append({key.first, key.second, textOf[key], int(times.size()), most});
    }
    std::stable_sort(r.chattering.begin(), r.chattering.end(),
                     [](const auto& a, const auto& b) { return a.raised > b.raised; });

    for (const AlarmRecord& a : open) {
        const bool standing = a.state == AlarmState::ActiveUnacknowledged ||
                              a.state == AlarmState::ActiveAcknowledged || a.state == AlarmState::Shelved;
        if (standing && a.raisedMs <= toMs - 86'400'000)
            r.standing.append(a);
    }
    r.topRules = top(rules);
    r.topStations = top(stations);
    return r;
}

QJsonObject reportJson(const AlarmReport& r)
{
    QJsonArray days, rules, stations, chattering, standing;
    for (const auto& d : r.perDay)
        days.append(QJsonObject{{QStringLiteral("date"), d.date}, {QStringLiteral("raised"), d.raised}});
    for (const auto& c : r.topRules)
        rules.append(QJsonObject{{QStringLiteral("rule"), c.key.toLongLong()},
                                 {QStringLiteral("text"), c.label},
                                 {QStringLiteral("raised"), c.count}});
    for (const auto& c : r.topStations)
        stations.append(QJsonObject{{QStringLiteral("address"), c.key},
                                    {QStringLiteral("name"), c.label},
                                    {QStringLiteral("raised"), c.count}});
    for (const auto& c : r.chattering)
        chattering.append(QJsonObject{{QStringLiteral("address"), c.address},
                                      {QStringLiteral("rule"), double(c.rule)},
                                      {QStringLiteral("text"), c.text},
                                      {QStringLiteral("raised"), c.raised},
                                      {QStringLiteral("most_in_one_minute"), c.mostInMinute}});
    for (const auto& a : r.standing)
        standing.append(QJsonObject{{QStringLiteral("id"), double(a.id)},
                                    {QStringLiteral("address"), a.address},
                                    {QStringLiteral("text"), a.text},
                                    {QStringLiteral("state"), history::stateText(a.state)},
                                    {QStringLiteral("raised"), history::isoUtcSeconds(a.raisedMs)}});
    return QJsonObject{
        {QStringLiteral("from"), history::isoUtcSeconds(r.fromMs)},
        {QStringLiteral("to"), history::isoUtcSeconds(r.toMs)},
        {QStringLiteral("raised"), r.raised},
        {QStringLiteral("per_day"), days},
        {QStringLiteral("peak_10_minutes"), r.peakTenMinutes},
        {QStringLiteral("peak_start"),
         r.peakTenMinutes ? QJsonValue(history::isoUtcSeconds(r.peakStartMs)) : QJsonValue()},
        {QStringLiteral("flood_seconds"), double(r.floodMs / 1000)},
        {QStringLiteral("standing_over_24h"), standing},
        {QStringLiteral("chattering"), chattering},
        {QStringLiteral("top_rules"), rules},
        {QStringLiteral("top_stations"), stations},
        {QStringLiteral("acknowledged"), r.acknowledged},
        {QStringLiteral("mean_time_to_acknowledge_s"),
         r.meanAckMs ? QJsonValue(double(*r.meanAckMs) / 1000.0) : QJsonValue()},
    };
}

QString reportText(const AlarmReport& r)
{
    QStringList out;
    out << QStringLiteral("Alarms from %1 to %2: %3 raised")
               .arg(history::isoUtcSeconds(r.fromMs), history::isoUtcSeconds(r.toMs))
               .arg(r.raised);
    out << QStringLiteral("Per day:");
    for (const auto& d : r.perDay)
        out << QStringLiteral("  %1  %2").arg(d.date).arg(d.raised, 5);
    out << QStringLiteral("Busiest 10 minutes: %1 alarms%2")
               .arg(r.peakTenMinutes)
               .arg(r.peakTenMinutes ? QStringLiteral(" from %1").arg(history::isoUtcSeconds(r.peakStartMs))
                                     : QString());
    out << QStringLiteral("Time in flood (10 or more alarms in 10 minutes): %1").arg(duration(r.floodMs));
    out << QStringLiteral("Mean time to acknowledge: %1 (%2 acknowledged)")
               .arg(r.meanAckMs ? duration(*r.meanAckMs) : QStringLiteral("–"))
               .arg(r.acknowledged);
    out << QStringLiteral("Standing alarms older than 24 h: %1").arg(r.standing.size());
    for (const auto& a : r.standing)
        out << QStringLiteral("  #%1 %2 %3 since %4 (%5)")
                   .arg(a.id)
                   .arg(a.address, a.text, history::isoUtcSeconds(a.raisedMs), history::stateText(a.state));
    out << QStringLiteral("Chattering alarms (3 or more in a minute): %1").arg(r.chattering.size());
    for (const auto& c : r.chattering)
        out << QStringLiteral("  %1 %2 %3: %4 raised, up to %5 in a minute")
                   .arg(c.address, history::ruleName(c.rule), c.text)
                   .arg(c.raised)
                   .arg(c.mostInMinute);
    out << QStringLiteral("Most frequent rules:");
    for (const auto& c : r.topRules)
        out << QStringLiteral("  %1  %2 %3")
                   .arg(c.count, 5)
                   .arg(history::ruleName(c.key.toLongLong()), c.label);
    out << QStringLiteral("Most frequent stations:");
    for (const auto& c : r.topStations)
        out << QStringLiteral("  %1  %2").arg(c.count, 5).arg(c.label);
    return out.join(u'\n') + u'\n';
}

QString reportCsv(const AlarmReport& r)
{
    QStringList rows{QStringLiteral("section,key,label,value")};
    const auto row = [&](const QString& section, const QString& key, const QString& label,
                         const QString& value) {
        rows << text::csvRecord({section, key, label, value});
    };
    row(QStringLiteral("period"), history::isoUtcSeconds(r.fromMs), history::isoUtcSeconds(r.toMs),
        QString::number(r.raised));
    for (const auto& d : r.perDay)
        row(QStringLiteral("day"), d.date, {}, QString::number(d.raised));
    row(QStringLiteral("peak_10_minutes"),
        r.peakTenMinutes ? history::isoUtcSeconds(r.peakStartMs) : QString(), {},
        QString::number(r.peakTenMinutes));
    row(QStringLiteral("flood_seconds"), {}, {}, QString::number(r.floodMs / 1000));
    row(QStringLiteral("mean_time_to_acknowledge_s"), {}, QString::number(r.acknowledged),
        r.meanAckMs ? QString::number(double(*r.meanAckMs) / 1000.0) : QString());
    for (const auto& a : r.standing)
        row(QStringLiteral("standing"), QString::number(a.id), a.address + u' ' + a.text,
            history::isoUtcSeconds(a.raisedMs));
    for (const auto& c : r.chattering)
        row(QStringLiteral("chattering"), QStringLiteral("%1/%2").arg(c.address).arg(c.rule), c.text,
            QString::number(c.raised));
    for (const auto& c : r.topRules)
        row(QStringLiteral("rule"), c.key, c.label, QString::number(c.count));
    for (const auto& c : r.topStations)
        row(QStringLiteral("station"), c.key, c.label, QString::number(c.count));
    return rows.join(u'\n') + u'\n';
}

} // namespace kestavo::notify
