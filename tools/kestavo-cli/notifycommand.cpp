#include "notifycommand.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "protocol/ipv4.h"

#include "stations/databaselocation.h"
#include "stations/stationextras.h"
#include "stations/stationstore.h"

#include "fleet/fleetstation.h"
#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "history/timetext.h"
#include "historycommand.h"
#include "notify/alarmreport.h"
#include "notify/curltransport.h"
#include "notify/notifystore.h"
#include "subcommandio.h"

namespace kestavo::cli {

namespace {

using notify::Route;

// Station names for messages and labels; a missing or unreadable directory leaves them out.
QHash<QString, QString> stationNames(const QCommandLineParser& parser, const CliEnvironment& environment)
{
    QHash<QString, QString> names;
    const QString path =
        stations::resolveDatabasePath(parser.value(QStringLiteral("db")), environment.applicationDir);
    if (!QFileInfo::exists(path))
        return names;
    stations::StationStore store;
    if (!store.open(path).ok)
        return names;
    for (const fleet::FleetStation& s : fleet::stationsFromStore(store))
        names.insert(s.address, s.description.trimmed());
    return names;
}

// The stations carrying `tag` (or a tag below it) now, for the audit record of a tag's maintenance.
QStringList stationsWithTag(const QCommandLineParser& parser, const CliEnvironment& environment,
                            const QString& tag)
{
    const QString path =
        stations::resolveDatabasePath(parser.value(QStringLiteral("db")), environment.applicationDir);
    if (!QFileInfo::exists(path))
        return {};
    stations::StationStore store;
    if (!store.open(path).ok)
        return {};
    return store.addressesWithTag(tag);
}

bool positive(const QString& text, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= 0;
}

int listRoutes(notify::NotifyStore& store, const QString& format, Io& io)
{
    const QList<Route> routes = store.routes();
    if (format == u"json") {
        QJsonArray array;
        for (const Route& r : routes)
            array.append(QJsonObject{{QStringLiteral("id"), double(r.id)},
                                     {QStringLiteral("kind"), notify::kindText(r.kind)},
                                     {QStringLiteral("target"), r.target},
                                     {QStringLiteral("smtp"), r.smtp},
                                     {QStringLiteral("preset"), notify::presetText(r.preset)},
                                     {QStringLiteral("priorities"), notify::prioritiesText(r.priorities)},
                                     {QStringLiteral("station"), r.station},
                                     {QStringLiteral("tag"), r.tag},
                                     {QStringLiteral("cooldown_s"), r.cooldownS},
                                     {QStringLiteral("max_per_hour"), r.maxPerHour},
                                     {QStringLiteral("repeat_min"), r.repeatMin},
                                     {QStringLiteral("enabled"), r.enabled}});
        io.out << QJsonDocument(QJsonObject{{QStringLiteral("routes"), array}}).toJson(QJsonDocument::Compact)
               << '\n';
    } else if (format == u"csv") {
        io.out << "id,route\n";
        for (const Route& r : routes)
            io.out << r.id << ",\"" << notify::describe(r).replace(u'"', QStringLiteral("\"\"")) << "\"\n";
    } else if (routes.isEmpty()) {
        io.out << "No notification routes.\n";
    } else {
        for (const Route& r : routes)
            io.out << r.id << "  " << notify::describe(r) << '\n';
    }
    return io.done();
}

int addRoute(const QCommandLineParser& p, notify::NotifyStore& store, Io& io)
{
    Route r;
    const auto kind = notify::kindFromText(p.value(QStringLiteral("kind")));
    if (!kind)
        return io.usage(QStringLiteral("--kind must be webhook or email"));
    r.kind = *kind;
    if (r.kind == notify::RouteKind::Webhook) {
        if (!p.isSet(QStringLiteral("url")) || p.isSet(QStringLiteral("to")))
            return io.usage(QStringLiteral("a webhook route takes --url URL (and no --to)"));
        r.target = p.value(QStringLiteral("url"));
        const auto preset = notify::presetFromText(p.value(QStringLiteral("preset")));
        if (!preset)
            return io.usage(QStringLiteral("--preset must be json, text or chat"));
        r.preset = *preset;
        r.headerFile = p.value(QStringLiteral("header-file"));
    } else {
        if (!p.isSet(QStringLiteral("to")) || !p.isSet(QStringLiteral("smtp")) ||
            p.isSet(QStringLiteral("url")))
            return io.usage(
                QStringLiteral("an email route takes --to ADDRESS and --smtp smtp[s]://HOST:PORT"));
        r.target = p.value(QStringLiteral("to"));
        r.smtp = p.value(QStringLiteral("smtp"));
        r.from = p.value(QStringLiteral("from"));
        r.smtpUser = p.value(QStringLiteral("smtp-user"));
        r.passwordFile = p.value(QStringLiteral("smtp-password-file"));
    }
    const auto priorities = notify::prioritiesFromText(p.value(QStringLiteral("priority")));
    if (!priorities)
        return io.usage(QStringLiteral("--priority '%1' must list high, medium or low, separated by commas")
                            .arg(p.value(QStringLiteral("priority"))));
    r.priorities = *priorities;
    r.station = p.value(QStringLiteral("station"));
    r.tag = p.value(QStringLiteral("tag"));
    if (!r.station.isEmpty() && !protocol::parseIpv4(r.station.toStdString()))
        return io.usage(QStringLiteral("--station '%1' is not an IPv4 address").arg(r.station));
    for (const auto& [name, target] : {std::pair{QStringLiteral("cooldown"), &r.cooldownS},
                                       {QStringLiteral("max-per-hour"), &r.maxPerHour},
                                       {QStringLiteral("repeat-min"), &r.repeatMin}})
        if (p.isSet(name) && !positive(p.value(name), target))
            return io.usage(
                QStringLiteral("--%1 '%2' is not a whole number of 0 or more").arg(name, p.value(name)));
    for (const QString& event : p.value(QStringLiteral("send")).split(u',', Qt::SkipEmptyParts)) {
        if (event == u"cleared")
            r.sendCleared = true;
        else if (event == u"acknowledged")
            r.sendAcknowledged = true;
        else if (event != u"raised")
            return io.usage(
                QStringLiteral("--send '%1' must list raised, cleared or acknowledged").arg(event));
    }
    for (const QString& file : {r.headerFile, r.passwordFile})
        if (!file.isEmpty() && !QFileInfo(file).isReadable())
            return io.usage(QStringLiteral("the file \"%1\" cannot be read").arg(file));
    if (const QString problem = notify::validate(r); !problem.isEmpty())
        return io.usage(problem);
    if (!store.saveRoute(r))
        return io.fail(QStringLiteral("the route could not be written to \"%1\"; is the file read-only?")
                           .arg(store.path()));
    io.out << r.id << '\n';
    return io.done();
}

} // namespace

QList<QCommandLineOption> notifyOptions()
{
    return {{QStringLiteral("kind"), QStringLiteral("webhook or email."), QStringLiteral("KIND")},
            {QStringLiteral("url"), QStringLiteral("Webhook: the http(s) URL."), QStringLiteral("URL")},
            {QStringLiteral("preset"), QStringLiteral("Webhook body: json, text or chat."),
             QStringLiteral("P"), QStringLiteral("json")},
            {QStringLiteral("header-file"), QStringLiteral("Webhook: headers (\"Name: value\" lines)."),
             QStringLiteral("FILE")},
            {QStringLiteral("to"), QStringLiteral("Email: the recipient."), QStringLiteral("ADDRESS")},
            {QStringLiteral("smtp"),
             QStringLiteral("Email: smtp://HOST:PORT (STARTTLS) or smtps://HOST:PORT."),
             QStringLiteral("URL")},
            {QStringLiteral("from"), QStringLiteral("Email: the sender."), QStringLiteral("ADDRESS")},
            {QStringLiteral("smtp-user"), QStringLiteral("Email: the SMTP account."), QStringLiteral("USER")},
            {QStringLiteral("smtp-password-file"), QStringLiteral("Email: a file holding the password."),
             QStringLiteral("FILE")},
            {QStringLiteral("priority"), QStringLiteral("Only these priorities."), QStringLiteral("LIST")},
            {QStringLiteral("station"), QStringLiteral("Only this station."), QStringLiteral("ADDRESS")},
            {QStringLiteral("tag"), QStringLiteral("Only stations with this tag (or one below it)."),
             QStringLiteral("TAG")},
            {QStringLiteral("cooldown"), QStringLiteral("Seconds before the same alarm is sent again."),
             QStringLiteral("S")},
            {QStringLiteral("max-per-hour"), QStringLiteral("At most this many messages an hour."),
             QStringLiteral("N")},
            {QStringLiteral("repeat-min"), QStringLiteral("Repeat unacknowledged high alarms this often."),
             QStringLiteral("M")},
            {QStringLiteral("send"), QStringLiteral("Which changes: raised, cleared, acknowledged."),
             QStringLiteral("LIST"), QStringLiteral("raised")}};
}

QList<QCommandLineOption> maintenanceOptions()
{
    return {{QStringLiteral("for"), QStringLiteral("How long: 90m, 2h, 3d."), QStringLiteral("DURATION")},
            {QStringLiteral("reason"), QStringLiteral("Why (required)."), QStringLiteral("TEXT")},
            {QStringLiteral("tag"), QStringLiteral("Every station with this tag (or one below it)."),
             QStringLiteral("TAG")},
            {QStringLiteral("end"), QStringLiteral("End the station's (or tag's) maintenance now.")}};
}

QList<QCommandLineOption> alarmsReportOptions()
{
    return {{QStringLiteral("since"), QStringLiteral("The period: 24h, 7d, 4w, or a time."),
             QStringLiteral("WHEN"), QStringLiteral("7d")}};
}

std::optional<qint64> parsePeriod(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,7})([smhdw]?)$"));
    const auto m = pattern.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    static const QHash<QString, qint64> unit{{QString(), 1000},
                                             {QStringLiteral("s"), 1000},
                                             {QStringLiteral("m"), 60'000},
                                             {QStringLiteral("h"), 3'600'000},
                                             {QStringLiteral("d"), 86'400'000},
                                             {QStringLiteral("w"), 7 * 86'400'000LL}};
    const qint64 ms = m.captured(1).toLongLong() * unit.value(m.captured(2));
    return ms > 0 ? std::optional<qint64>(ms) : std::nullopt;
}

int runNotifyCommand(const QStringList& arguments, QTextStream& out, QTextStream& err,
                     const CliEnvironment& environment)
{
    Io io{out, err, QStringLiteral("notify")};
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "notify routes                          list the notification routes\n"
        "notify routes add --kind webhook|email (--url URL | --to ADDRESS --smtp smtp[s]://HOST:PORT\n"
        "    [--from A] [--smtp-user U --smtp-password-file F]) [--priority high,medium,low]\n"
        "    [--station A | --tag T] [--cooldown S] [--max-per-hour N] [--repeat-min M]\n"
        "    [--header-file F] [--preset json|text|chat] [--send raised,cleared,acknowledged]\n"
        "notify routes remove ID\n"
        "notify routes test ID                  send a test message now and say how it went"));
    addGlobalOptions(p);
    p.addOptions(notifyOptions());
    int code = ExitDone;
    if (!parse(p, arguments, io, &code))
        return code;
    QStringList pos = p.positionalArguments();
    pos.removeFirst(); // "notify"
    if (pos.value(0) != u"routes")
        return io.usage(pos.isEmpty() ? QStringLiteral("say what: routes")
                                      : QStringLiteral("unknown subcommand '%1'").arg(pos.value(0)));
    const QString sub = pos.value(1);
    if (!sub.isEmpty() && sub != u"add" && sub != u"remove" && sub != u"test")
        return io.usage(QStringLiteral("unknown subcommand 'routes %1' (add, remove, test)").arg(sub));
    const bool needsId = sub == u"remove" || sub == u"test";
    if (pos.size() > (needsId ? 3 : 2))
        return io.usage(QStringLiteral("unexpected argument '%1'").arg(pos.value(needsId ? 3 : 2)));
    qint64 id = 0;
    if (needsId) {
        bool ok = false;
        id = pos.value(2).toLongLong(&ok);
        if (!ok || id <= 0)
            return io.usage(QStringLiteral("ID '%1' is not a route number").arg(pos.value(2)));
    }
    const QString path = historyFile(p, environment);
    if (sub.isEmpty() && !QFileInfo::exists(path)) {
        out << "No notification routes (no history file yet).\n";
        return io.done();
    }
    notify::NotifyStore store;
    if (!store.open(path))
        return io.fail(store.error());
    if (sub.isEmpty())
        return listRoutes(store, p.value(QStringLiteral("format")), io);
    if (sub == u"add")
        return addRoute(p, store, io);
    const std::optional<Route> route = store.route(id);
    if (!route)
        return io.fail(QStringLiteral("there is no route %1 in \"%2\"").arg(id).arg(path), ExitUsage);
    if (sub == u"remove") {
        if (!store.removeRoute(id))
            return io.fail(QStringLiteral("route %1 could not be removed from \"%2\"").arg(id).arg(path));
        out << "Route " << id << " removed.\n";
        return io.done();
    }
    const notify::Message test = notify::testMessage(
        *route, route->station.isEmpty() ? QString() : stationNames(p, environment).value(route->station),
        environment.now().toMSecsSinceEpoch());
    notify::CurlTransport transport;
    const notify::SendResult result = transport.send(*route, test);
    notify::Delivery row{0,
                         test.timeMs,
                         id,
                         0,
                         test.address,
                         notify::messageKindText(test.kind),
                         result.ok ? QStringLiteral("sent") : QStringLiteral("failed"),
                         1,
                         result.detail};
    store.record(row);
    if (!result.ok)
        return io.fail(QStringLiteral("route %1 failed: %2").arg(id).arg(result.detail), ExitRefused);
    out << "Route " << id << ": sent (" << result.detail << ").\n";
    return io.done();
}

int runMaintenanceCommand(const QStringList& arguments, QTextStream& out, QTextStream& err,
                          const CliEnvironment& environment)
{
    Io io{out, err, QStringLiteral("stations maintenance")};
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("stations maintenance                               list stations in maintenance\n"
                       "stations maintenance ADDRESS --for 2h --reason TEXT  take a station out of service\n"
                       "stations maintenance --tag TAG --for 2h --reason TEXT  every station with the tag\n"
                       "stations maintenance ADDRESS|--tag TAG --end        bring it back now"));
    addGlobalOptions(p);
    p.addOptions(maintenanceOptions());
    int code = ExitDone;
    if (!parse(p, arguments, io, &code))
        return code;
    QStringList pos = p.positionalArguments();
    pos = pos.mid(2); // "stations maintenance"
    if (pos.size() > 1)
        return io.usage(QStringLiteral("unexpected argument '%1'").arg(pos.at(1)));
    const QString tag = p.value(QStringLiteral("tag"));
    if (p.isSet(QStringLiteral("tag"))) {
        if (!pos.isEmpty())
            return io.usage(QStringLiteral("give ADDRESS or --tag TAG, not both"));
        if (const QString problem = stations::tagProblem(tag); !problem.isEmpty())
            return io.usage(QStringLiteral("--tag: %1").arg(problem));
    }
    const QString path = historyFile(p, environment);
    const qint64 now = environment.now().toMSecsSinceEpoch();
    if (pos.isEmpty() && tag.isEmpty()) {
        if (p.isSet(QStringLiteral("for")) || p.isSet(QStringLiteral("end")))
            return io.usage(QStringLiteral("ADDRESS (or --tag TAG) is missing"));
        if (!QFileInfo::exists(path)) {
            out << "No station is in maintenance.\n";
            return io.done();
        }
        notify::NotifyStore store;
        if (!store.open(path))
            return io.fail(store.error());
        int shown = 0;
        for (const notify::MaintenanceWindow& w : store.maintenance(true)) {
            if (w.endMs <= now)
                continue;
            out << (w.address.isEmpty() ? QStringLiteral("tag ") + w.tag : w.address) << "  until "
                << history::isoUtc(w.endMs) << "  " << w.reason << " (" << w.who << ")\n";
            ++shown;
        }
        if (shown == 0)
            out << "No station is in maintenance.\n";
        return io.done();
    }
    const QString address = pos.value(0);
    // The one strict reader: QHostAddress takes "127.0.0.010" for .8, a station no record has.
    if (tag.isEmpty() && !protocol::parseIpv4(address.toStdString()))
        return io.usage(QStringLiteral("ADDRESS '%1' is not an IPv4 address").arg(address));
    const QString subject = tag.isEmpty() ? address : QStringLiteral("tag ") + tag;
    notify::NotifyStore store;
    if (p.isSet(QStringLiteral("end"))) {
        if (p.isSet(QStringLiteral("for")))
            return io.usage(QStringLiteral("--end and --for do not go together"));
        if (!store.open(path))
            return io.fail(store.error());
        int ended = 0;
        QStringList tagWindows;
        for (const notify::MaintenanceWindow& w : store.maintenance(true)) {
            if (w.address == address && w.tag == tag &&
                store.endMaintenance(w.id, now, QStringLiteral("CLI"), QStringLiteral("ended by hand")))
                ++ended;
            else if (w.address.isEmpty() && w.endMs > now && !tagWindows.contains(w.tag))
                tagWindows.append(w.tag);
        }
        // A station may be out of service through one of its tags, which only --tag ends.
        if (ended == 0 && tag.isEmpty() && !tagWindows.isEmpty())
            return io.fail(QStringLiteral("%1 is not in maintenance of its own; tags in maintenance: %2 "
                                          "(end one with --tag TAG --end)")
                               .arg(subject, tagWindows.join(QStringLiteral(", "))),
                           ExitRefused);
        if (ended == 0)
            return io.fail(QStringLiteral("%1 is not in maintenance").arg(subject), ExitRefused);
        out << subject << " is back in service.\n";
        return io.done();
    }
    const auto duration = parsePeriod(p.value(QStringLiteral("for")));
    if (!duration)
        return io.usage(p.isSet(QStringLiteral("for"))
                            ? QStringLiteral("--for '%1' is not a duration (90m, 2h, 3d)")
                                  .arg(p.value(QStringLiteral("for")))
                            : QStringLiteral("--for DURATION is missing"));
    const QString reason = p.value(QStringLiteral("reason")).trimmed();
    if (reason.isEmpty())
        return io.usage(QStringLiteral("--reason is required: say why the station is out of service"));
    if (!store.open(path))
        return io.fail(store.error());
    notify::MaintenanceWindow w;
    w.address = address;
    w.tag = tag;
    w.reason = reason;
    w.startMs = now;
    w.endMs = now + *duration;
    w.who = history::AuditLog::localUser();
    // A tag's record says which stations it took out of service when it started; the window itself
    // follows the tags as they change.
    QString description = stationNames(p, environment).value(address);
    if (!tag.isEmpty()) {
        const QStringList tagged = stationsWithTag(p, environment, tag);
        description =
            QStringLiteral("%1 station(s): %2").arg(tagged.size()).arg(tagged.mid(0, 20).join(u", "));
        if (tagged.size() > 20)
            description += QStringLiteral(", …");
    }
    if (!store.startMaintenance(w, QStringLiteral("CLI"), description))
        return io.fail(
            QStringLiteral("the maintenance could not be written to \"%1\"; is the file read-only?")
                .arg(path));
    out << subject << " is in maintenance until " << history::isoUtc(w.endMs) << ".\n";
    return io.done();
}

int runAlarmsReport(const QStringList& arguments, QTextStream& out, QTextStream& err,
                    const CliEnvironment& environment)
{
    Io io{out, err, QStringLiteral("alarms report")};
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "alarms report [--since 7d] [--format text|json|csv]: alarms per day, the busiest 10 minutes, time "
        "in\n"
        "flood, standing and chattering alarms, the most frequent rules and stations, time to acknowledge"));
    addGlobalOptions(p);
    p.addOptions(alarmsReportOptions());
    int code = ExitDone;
    if (!parse(p, arguments, io, &code))
        return code;
    if (p.positionalArguments().size() > 2)
        return io.usage(QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().at(2)));
    const qint64 now = environment.now().toMSecsSinceEpoch();
    const QString since = p.value(QStringLiteral("since"));
    std::optional<qint64> from;
    if (const auto d = parsePeriod(since))
        from = now - *d;
    else
        from = history::parseTimeText(since, now);
    if (!from || *from >= now)
        return io.usage(QStringLiteral("--since '%1' is neither a duration (7d) nor a past time").arg(since));
    const QString path = historyFile(p, environment);
    QList<history::AlarmEvent> events;
    QList<history::AlarmRecord> open;
    if (historyExists(path)) {
        history::AlarmJournal journal;
        if (!journal.open(path))
            return io.fail(journal.error());
        events = journal.events(*from - 86'400'000, now); // a day before: each alarm's prior state
        open = journal.alarms(true);
    }
    const QHash<QString, QString> names = stationNames(p, environment);
    const notify::AlarmReport report =
        notify::buildReport(events, open, *from, now, [&](const QString& a) { return names.value(a); });
    const QString format = p.value(QStringLiteral("format"));
    if (format == u"json")
        out << QJsonDocument(notify::reportJson(report)).toJson(QJsonDocument::Compact) << '\n';
    else if (format == u"csv")
        out << notify::reportCsv(report);
    else
        out << notify::reportText(report);
    return io.done();
}

} // namespace kestavo::cli
