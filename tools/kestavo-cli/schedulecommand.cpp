#include "schedulecommand.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "stations/databaselocation.h"
#include "stations/stationstore.h"

#include "historycommand.h"
#include "reportformat.h"
#include "schedules/occurrences.h"
#include "schedules/schedulestore.h"
#include "schedules/suntimes.h"

namespace kestavo::cli {

namespace {

namespace s = schedules;

struct Io
{
    QTextStream& out;
    QTextStream& err;
    QString command;

    int fail(const QString& message, int code = ExitDatabase)
    {
        err << "kestavo-cli: " << command << ": " << message << '\n';
        err.flush();
        return code;
    }
    void warn(const QString& message)
    {
        err << "kestavo-cli: " << command << ": " << message << '\n';
        err.flush();
    }
    void json(const QJsonValue& value)
    {
        out << QString::fromUtf8(value.isArray()
                                     ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                                     : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact))
            << '\n';
    }
};

QTimeZone zoneOf(const QString& id)
{
    return id.isEmpty() ? QTimeZone::systemTimeZone() : QTimeZone(id.toUtf8());
}

// The station directory for zones, positions and tags; without one every station is at this
// machine's zone and has no position, and no tag names any station.
struct Directory
{
    std::unique_ptr<stations::StationStore> store;

    bool knows(const QString& address) const { return store && store->positionOf(address) >= 0; }

    s::Site site(const QString& address) const
    {
        const stations::StationSite extras = store ? store->siteOf(address) : stations::StationSite();
        return {address, zoneOf(extras.zone), extras.latitude, extras.longitude};
    }

    QList<s::Site> sites(const s::ScheduleEntry& entry) const
    {
        QList<s::Site> list;
        const QStringList addresses = entry.station.isEmpty()
                                          ? (store ? store->addressesWithTag(entry.tag) : QStringList())
                                          : QStringList{entry.station};
        for (const QString& address : addresses)
            list.append(site(address));
        return list;
    }
};

Directory openDirectory(const Command& c, const CliEnvironment& env)
{
    Directory directory;
    const QString path = stations::resolveDatabasePath(c.options.db, env.applicationDir);
    if (!QFileInfo::exists(path))
        return directory;
    directory.store = std::make_unique<stations::StationStore>();
    if (!directory.store->open(path).ok)
        directory.store.reset();
    return directory;
}

QString datesText(const s::ScheduleEntry& e)
{
    QStringList parts;
    if (e.from.isValid() || e.until.isValid())
        parts << QStringLiteral("%1..%2").arg(e.from.isValid() ? e.from.toString(Qt::ISODate) : QString(),
                                              e.until.isValid() ? e.until.toString(Qt::ISODate) : QString());
    if (!e.except.isEmpty()) {
        QStringList dates;
        for (const QDate& d : e.except)
            dates << d.toString(Qt::ISODate);
        parts << QStringLiteral("except %1").arg(dates.join(u','));
    }
    return parts.join(u' ');
}

QJsonObject entryJson(const s::ScheduleEntry& e)
{
    QJsonArray except;
    for (const QDate& d : e.except)
        except.append(d.toString(Qt::ISODate));
    return {{QStringLiteral("id"), double(e.id)},
            {QStringLiteral("enabled"), e.enabled},
            {QStringLiteral("station"), e.station},
            {QStringLiteral("tag"), e.tag},
            {QStringLiteral("action"), s::actionWord(e.action)},
            {QStringLiteral("relay"), e.relay},
            {QStringLiteral("pulse_s"), e.pulseSeconds},
            {QStringLiteral("script"), e.scriptSlot},
            {QStringLiteral("when"), e.whenText()},
            {QStringLiteral("days"), e.daysText()},
            {QStringLiteral("from"), e.from.isValid() ? e.from.toString(Qt::ISODate) : QString()},
            {QStringLiteral("until"), e.until.isValid() ? e.until.toString(Qt::ISODate) : QString()},
            {QStringLiteral("except"), except}};
}

int list(const s::ScheduleStore& store, const Command& c, Io& io)
{
    const QList<s::ScheduleEntry> entries = store.entries();
    const OutputFormat format = c.options.format;
    if (format == OutputFormat::Json) {
        QJsonArray array;
        for (const s::ScheduleEntry& e : entries)
            array.append(entryJson(e));
        io.json(array);
    } else if (format == OutputFormat::Csv) {
        io.out << csvRecord({QStringLiteral("id"), QStringLiteral("enabled"), QStringLiteral("target"),
                             QStringLiteral("action"), QStringLiteral("when"), QStringLiteral("days"),
                             QStringLiteral("dates")});
        for (const s::ScheduleEntry& e : entries)
            io.out << csvRecord({QString::number(e.id),
                                 e.enabled ? QStringLiteral("yes") : QStringLiteral("no"), e.targetText(),
                                 e.actionText(), e.whenText(), e.daysText(), datesText(e)});
    } else if (entries.isEmpty()) {
        io.out << "No schedule entries in " << store.path() << ".\n";
    } else {
        for (const s::ScheduleEntry& e : entries)
            io.out << QStringLiteral("#%1").arg(e.id).leftJustified(6)
                   << (e.enabled ? QStringLiteral("on ") : QStringLiteral("off")) << "  "
                   << e.targetText().leftJustified(20) << e.actionText().leftJustified(22)
                   << e.whenText().leftJustified(12) << e.daysText().leftJustified(14) << datesText(e)
                   << '\n';
    }
    io.out.flush();
    return ExitDone;
}

int add(s::ScheduleStore& store, const Command& c, const CliEnvironment& env, Io& io)
{
    const Directory directory = openDirectory(c, env);
    const s::ScheduleEntry& e = c.schedule;
    // What cannot run is refused; what may run once the directory changes is only warned about.
    if (!e.station.isEmpty()) {
        if (!directory.knows(e.station))
            return io.fail(QStringLiteral("%1 is not in the station database; add it first").arg(e.station),
                           ExitUsage);
        if (e.usesSun() && !directory.site(e.station).latitude)
            return io.fail(QStringLiteral("%1 has no latitude and longitude, so its %2 is unknown; set them "
                                          "with `kestavo-cli stations set %1 --lat DEG --lon DEG`")
                               .arg(e.station, s::anchorWord(e.anchor)),
                           ExitUsage);
    } else {
        const QList<s::Site> sites = directory.sites(e);
        if (sites.isEmpty())
            io.warn(QStringLiteral("no station has the tag %1 yet; the entry acts on those tagged later")
                        .arg(e.tag));
        for (const s::Site& site : sites)
            if (e.usesSun() && !site.latitude)
                io.warn(
                    QStringLiteral("%1 has no latitude and longitude: the entry skips it").arg(site.address));
    }
    const qint64 id = store.add(e, env.now().toMSecsSinceEpoch());
    if (id == 0)
        return io.fail(QStringLiteral("the entry could not be written to \"%1\"; is the file read-only?")
                           .arg(store.path()));
    if (c.options.format == OutputFormat::Json) {
        s::ScheduleEntry stored = e;
        stored.id = id;
        io.json(entryJson(stored));
    } else {
        io.out << id << '\n';
    }
    io.out.flush();
    return ExitDone;
}

int next(const s::ScheduleStore& store, const Command& c, const CliEnvironment& env, Io& io)
{
    const Directory directory = openDirectory(c, env);
    const QDateTime now = env.now().toUTC();
    QList<s::Occurrence> list = s::upcoming(
        store.entries(), [&](const s::ScheduleEntry& e) { return directory.sites(e); }, now,
        now.addDays(c.days));
    list.removeIf([&](const s::Occurrence& o) {
        if (!c.stationAddress.isEmpty())
            return o.address != c.stationAddress;
        if (!c.tagFilter.isEmpty())
            return !(directory.store &&
                     stations::tagMatches(directory.store->tagsOf(o.address), c.tagFilter));
        return false;
    });
    const OutputFormat format = c.options.format;
    QJsonArray array;
    if (format == OutputFormat::Csv)
        io.out << csvRecord({QStringLiteral("local"), QStringLiteral("zone"), QStringLiteral("utc"),
                             QStringLiteral("id"), QStringLiteral("station"), QStringLiteral("action"),
                             QStringLiteral("when"), QStringLiteral("note")});
    for (const s::Occurrence& o : list) {
        const QDateTime local = o.utc.toTimeZone(o.zone);
        const QString localText =
            o.runs() ? local.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : o.localDate.toString(Qt::ISODate);
        const QString zoneText = o.runs() ? o.zone.abbreviation(o.utc) : QString::fromUtf8(o.zone.id());
        const QString utcText = o.runs() ? o.utc.toString(Qt::ISODate) : QString();
        const QString note = o.note == s::Occurrence::Note::None ? QString() : o.detail;
        if (format == OutputFormat::Json) {
            array.append(
                QJsonObject{{QStringLiteral("local"), o.runs() ? local.toString(Qt::ISODate) : localText},
                            {QStringLiteral("zone"), QString::fromUtf8(o.zone.id())},
                            {QStringLiteral("utc"), utcText},
                            {QStringLiteral("id"), double(o.entryId)},
                            {QStringLiteral("station"), o.address},
                            {QStringLiteral("action"), o.entry.actionText()},
                            {QStringLiteral("when"), o.entry.whenText()},
                            {QStringLiteral("runs"), o.runs()},
                            {QStringLiteral("note"), note}});
        } else if (format == OutputFormat::Csv) {
            io.out << csvRecord({localText, zoneText, utcText, QString::number(o.entryId), o.address,
                                 o.entry.actionText(), o.entry.whenText(), note});
        } else {
            io.out << (localText + u' ' + zoneText).leftJustified(23) << utcText.leftJustified(22)
                   << QStringLiteral("#%1").arg(o.entryId).leftJustified(6) << o.address.leftJustified(16)
                   << o.entry.actionText().leftJustified(22) << o.entry.whenText()
                   << (note.isEmpty() ? QString() : QStringLiteral("  (%1)").arg(note)) << '\n';
        }
    }
    if (format == OutputFormat::Json)
        io.json(array);
    else if (format == OutputFormat::Text && list.isEmpty())
        io.out << "Nothing scheduled in the next " << c.days << (c.days == 1 ? " day.\n" : " days.\n");
    io.out.flush();
    return ExitDone;
}

} // namespace

int runScheduleCommand(const Command& c, QTextStream& out, QTextStream& err, const CliEnvironment& env)
{
    Io io{out, err, commandLabel(c.kind)};
    s::ScheduleStore store;
    if (!store.open(historyPath(c.historyFile, c.options.db, env.applicationDir)))
        return io.fail(store.error());
    switch (c.kind) {
    case CommandKind::ScheduleList:
        return list(store, c, io);
    case CommandKind::ScheduleAdd:
        return add(store, c, env, io);
    case CommandKind::ScheduleNext:
        return next(store, c, env, io);
    case CommandKind::ScheduleRemove:
    case CommandKind::ScheduleEnable:
    case CommandKind::ScheduleDisable: {
        const bool ok = c.kind == CommandKind::ScheduleRemove
                            ? store.remove(c.scheduleId)
                            : store.setEnabled(c.scheduleId, c.kind == CommandKind::ScheduleEnable);
        if (!ok)
            return io.fail(
                store.entry(c.scheduleId)
                    ? QStringLiteral("entry #%1 could not be changed in \"%2\"; is the file read-only?")
                          .arg(c.scheduleId)
                          .arg(store.path())
                    : QStringLiteral("there is no entry #%1 in \"%2\"").arg(c.scheduleId).arg(store.path()),
                store.entry(c.scheduleId) ? ExitDatabase : ExitUsage);
        const QString verb = c.kind == CommandKind::ScheduleRemove   ? QStringLiteral("removed")
                             : c.kind == CommandKind::ScheduleEnable ? QStringLiteral("enabled")
                                                                     : QStringLiteral("disabled");
        if (c.options.format == OutputFormat::Json)
            io.json(
                QJsonObject{{QStringLiteral("id"), double(c.scheduleId)}, {QStringLiteral("result"), verb}});
        else
            out << "#" << c.scheduleId << ' ' << verb << '\n';
        out.flush();
        return ExitDone;
    }
    default:
        return io.fail(QStringLiteral("nothing to do"), ExitUsage);
    }
}

int runSunCommand(const Command& c, QTextStream& out, QTextStream&, const CliEnvironment&)
{
    const QTimeZone zone = zoneOf(c.zone);
    const std::pair<s::SunEvent, QString> events[] = {{s::SunEvent::Dawn, QStringLiteral("dawn")},
                                                      {s::SunEvent::Sunrise, QStringLiteral("sunrise")},
                                                      {s::SunEvent::Sunset, QStringLiteral("sunset")},
                                                      {s::SunEvent::Dusk, QStringLiteral("dusk")}};
    QJsonObject object{{QStringLiteral("date"), c.date.toString(Qt::ISODate)},
                       {QStringLiteral("zone"), QString::fromUtf8(zone.id())}};
    for (const auto& [event, name] : events) {
        const s::SunTime sun = s::sunTime(event, c.date, c.latitude, c.longitude, zone);
        const QString text = sun.happens() ? sun.utc.toTimeZone(zone).toString(QStringLiteral("HH:mm"))
                                           : s::missingText(event, sun.missing);
        if (c.options.format == OutputFormat::Json)
            object.insert(name, text);
        else
            out << name.leftJustified(9) << text << '\n';
    }
    if (c.options.format == OutputFormat::Json)
        out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << '\n';
    out.flush();
    return ExitDone;
}

} // namespace kestavo::cli
