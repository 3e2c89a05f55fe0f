#include "stations/stationextras.h"
#include "stations/stationformat.h"

#include "clicommand.h"
#include "schedulecommand.h"
#include "valueparsers.h"

namespace kestavo::cli {

namespace {

namespace s = schedules;

const QStringList kAnchorOptions = {QStringLiteral("sunrise"), QStringLiteral("sunset"),
                                    QStringLiteral("dawn"), QStringLiteral("dusk")};
const QStringList kAddOptions = {QStringLiteral("relay"),   QStringLiteral("on"),     QStringLiteral("off"),
                                 QStringLiteral("pulse"),   QStringLiteral("script"), QStringLiteral("at"),
                                 QStringLiteral("sunrise"), QStringLiteral("sunset"), QStringLiteral("dawn"),
                                 QStringLiteral("dusk"),    QStringLiteral("from"),   QStringLiteral("until"),
                                 QStringLiteral("except")};

std::optional<UsageError> parseTarget(const Reader& r, const QCommandLineParser& o, bool required, Command* c)
{
    const bool station = o.isSet(QStringLiteral("station"));
    const bool tag = o.isSet(QStringLiteral("tag"));
    if (station && tag)
        return r.error(QStringLiteral("--station and --tag exclude each other"));
    if (required && !station && !tag)
        return r.error(QStringLiteral("say where: --station ADDRESS or --tag TAG"));
    if (station) {
        c->stationAddress = o.value(QStringLiteral("station")).trimmed();
        if (const QString problem = stations::addressProblem(c->stationAddress); !problem.isEmpty())
            return r.error(QStringLiteral("--station '%1' %2").arg(c->stationAddress, problem));
    }
    if (tag) {
        c->tagFilter = o.value(QStringLiteral("tag"));
        if (const QString problem = stations::tagProblem(c->tagFilter); !problem.isEmpty())
            return r.error(QStringLiteral("--tag: %1").arg(problem));
    }
    return std::nullopt;
}

std::optional<UsageError> parseAdd(const Reader& r, const QCommandLineParser& o, Command* c)
{
    c->kind = CommandKind::ScheduleAdd;
    if (auto e = r.noMoreThan(2))
        return e;
    if (auto e = parseTarget(r, o, true, c))
        return e;
    s::ScheduleEntry& entry = c->schedule;
    entry.station = c->stationAddress;
    entry.tag = c->tagFilter;

    const bool script = o.isSet(QStringLiteral("script"));
    const bool relay = o.isSet(QStringLiteral("relay"));
    if (script == relay)
        return r.error(QStringLiteral("say what: --relay N (--on | --off | --pulse S) or --script SLOT"));
    if (script) {
        entry.action = s::Action::Script;
        if (auto e = optionInteger(r, o, QStringLiteral("script"), 1, s::kScriptSlots, &entry.scriptSlot))
            return e;
        for (const QString& name : {QStringLiteral("on"), QStringLiteral("off"), QStringLiteral("pulse")})
            if (o.isSet(name))
                return r.error(QStringLiteral("--%1 goes with --relay, not --script").arg(name));
    } else {
        if (auto e = optionInteger(r, o, QStringLiteral("relay"), 1, s::kRelays, &entry.relay))
            return e;
        const int chosen = int(o.isSet(QStringLiteral("on"))) + int(o.isSet(QStringLiteral("off"))) +
                           int(o.isSet(QStringLiteral("pulse")));
        if (chosen != 1)
            return r.error(QStringLiteral("--relay needs one of --on, --off or --pulse S"));
        if (o.isSet(QStringLiteral("pulse"))) {
            entry.action = s::Action::Pulse;
            if (auto e =
                    optionInteger(r, o, QStringLiteral("pulse"), 1, s::kMaxPulseSeconds, &entry.pulseSeconds))
                return e;
        } else {
            entry.action = o.isSet(QStringLiteral("on")) ? s::Action::On : s::Action::Off;
        }
    }

    QStringList whens;
    if (o.isSet(QStringLiteral("at")))
        whens << QStringLiteral("at");
    for (const QString& name : kAnchorOptions)
        if (o.isSet(name))
            whens << name;
    if (whens.size() != 1)
        return r.error(QStringLiteral("say when, once: --at HH:MM, --sunrise, --sunset, --dawn or --dusk "
                                      "(the sun ones with =±MINUTES)"));
    entry.anchor = *s::anchorFromWord(whens.first());
    if (entry.anchor == s::Anchor::Clock) {
        const std::optional<int> minute = s::parseClock(o.value(QStringLiteral("at")));
        if (!minute)
            return r.error(QStringLiteral("--at '%1' is no time of day (HH:MM, 00:00 to 23:59)")
                               .arg(o.value(QStringLiteral("at"))));
        entry.minuteOfDay = *minute;
    } else {
        const QString text = o.value(whens.first());
        const Parsed<int> offset = parseInteger(text.startsWith(u'+') ? text.mid(1) : text,
                                                -s::kMaxSunOffsetMinutes, s::kMaxSunOffsetMinutes);
        if (!offset)
            return r.error(
                QStringLiteral("--%1 '%2': the minutes %3").arg(whens.first(), text, offset.error));
        entry.offsetMinutes = *offset;
    }

    if (o.isSet(QStringLiteral("days"))) {
        QString problem;
        const std::optional<quint8> days = s::parseDays(o.value(QStringLiteral("days")), &problem);
        if (!days)
            return r.error(QStringLiteral("--days: %1").arg(problem));
        entry.weekdays = *days;
    }
    for (const auto& [name, target] :
         {std::pair{QStringLiteral("from"), &entry.from}, std::pair{QStringLiteral("until"), &entry.until}}) {
        if (!o.isSet(name))
            continue;
        const std::optional<QDate> date = s::parseDate(o.value(name));
        if (!date)
            return r.error(QStringLiteral("--%1 '%2' is no date (YYYY-MM-DD)").arg(name, o.value(name)));
        *target = *date;
    }
    for (const QString& text : o.value(QStringLiteral("except")).split(u',', Qt::SkipEmptyParts)) {
        const std::optional<QDate> date = s::parseDate(text);
        if (!date)
            return r.error(QStringLiteral("--except '%1' is no date (YYYY-MM-DD)").arg(text.trimmed()));
        if (!entry.except.contains(*date))
            entry.except << *date;
    }
    if (const QString problem = entry.problem(); !problem.isEmpty())
        return r.error(problem);
    return std::nullopt;
}

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser& o, Command* c)
{
    const QString sub = r.has(1) ? r.at(1).toLower() : QStringLiteral("list");
    if (sub != QStringLiteral("add")) {
        for (const QString& name : kAddOptions)
            if (o.isSet(name))
                return notHere(r, QStringLiteral("--") + name, QStringLiteral("schedule add"));
    }
    if (sub == QStringLiteral("add"))
        return parseAdd(r, o, c);
    if (sub != QStringLiteral("next") &&
        (o.isSet(QStringLiteral("station")) || o.isSet(QStringLiteral("tag"))))
        return r.error(QStringLiteral("--station and --tag belong to schedule add and schedule next"));
    if (sub != QStringLiteral("next") && o.isSet(QStringLiteral("days")))
        return notHere(r, QStringLiteral("--days"), QStringLiteral("schedule add and schedule next"));
    if (sub == QStringLiteral("list")) {
        c->kind = CommandKind::ScheduleList;
        return r.noMoreThan(2);
    }
    if (sub == QStringLiteral("next")) {
        c->kind = CommandKind::ScheduleNext;
        if (auto e = r.noMoreThan(2))
            return e;
        if (auto e = optionInteger(r, o, QStringLiteral("days"), 1, 366, &c->days))
            return e;
        return parseTarget(r, o, false, c);
    }
    if (sub == QStringLiteral("remove") || sub == QStringLiteral("enable") ||
        sub == QStringLiteral("disable")) {
        c->kind = sub == QStringLiteral("remove")   ? CommandKind::ScheduleRemove
                  : sub == QStringLiteral("enable") ? CommandKind::ScheduleEnable
                                                    : CommandKind::ScheduleDisable;
        int id = 0;
        if (auto e = r.integer(2, QStringLiteral("ID"), 1, std::numeric_limits<int>::max(), &id))
            return e;
        c->scheduleId = id;
        return r.noMoreThan(3);
    }
    return r.bad(QStringLiteral("subcommand"), 1,
                 QStringLiteral("must be list, add, remove, enable, disable or next"));
}

} // namespace

CommandDefinition scheduleCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("schedule");
    // One line per form: the usage lines and the "usage:" of errors are read a line a form.
    definition.synopsis = QStringLiteral(
        "schedule [list]\n"
        "schedule add (--station A | --tag T) (--relay N (--on | --off | --pulse S) | --script SLOT) "
        "(--at HH:MM | --sunrise[=±MIN] | --sunset[=±MIN] | --dawn[=±MIN] | --dusk[=±MIN]) "
        "[--days mon,tue,…] [--from DATE] [--until DATE] [--except DATE,…]\n"
        "schedule remove ID\n"
        "schedule enable ID\n"
        "schedule disable ID\n"
        "schedule next [--days N] [--station A | --tag T]");
    definition.details = QStringLiteral(
        "Relays switched by the calendar, kept in the history file (--history FILE, default\n"
        "history.db beside the station database) and carried out by the program holding the\n"
        "station's lease (docs/schedules.md). Times are the station's own local time (its zone,\n"
        "`stations set ADDRESS --zone`, else this machine's); sun times need its latitude and\n"
        "longitude. A time that does not exist when the clocks go forward runs when they have\n"
        "(02:30 runs at 03:00); a time that happens twice when they go back runs once.\n"
        "  schedule list     every entry: id, enabled, target, action, time, days, dates\n"
        "  schedule add      prints the new entry's id. --pulse S: 1 to 60 seconds; --script SLOT:\n"
        "                    1 to 8; --sunset=-15 is 15 minutes before sunset; --days takes mon …\n"
        "                    sun, weekdays or weekend; DATE is YYYY-MM-DD, --until inclusive\n"
        "  schedule next     every action of the next --days N days (default 7) with its local\n"
        "                    and UTC time, and the dates a sun time does not happen\n"
        "Examples:\n"
        "  kestavo-cli schedule add --tag north/lights --relay 1 --on --sunset=-15\n"
        "  kestavo-cli schedule add --station 10.0.0.5 --relay 2 --off --at 06:30 --days "
        "mon,tue,wed,thu,fri\n"
        "  kestavo-cli schedule next --days 2 --tag north/lights");
    const auto option = [](const QString& name, const QString& text, const QString& value = {}) {
        return QCommandLineOption(name, text, value);
    };
    definition.options = {
        option(QStringLiteral("station"), QStringLiteral("One station."), QStringLiteral("A")),
        option(QStringLiteral("tag"), QStringLiteral("Every station with this tag."), QStringLiteral("T")),
        option(QStringLiteral("relay"), QStringLiteral("Relay 1 to 3."), QStringLiteral("N")),
        option(QStringLiteral("on"), QStringLiteral("Switch the relay on.")),
        option(QStringLiteral("off"), QStringLiteral("Switch the relay off.")),
        option(QStringLiteral("pulse"), QStringLiteral("Switch it on for S seconds."), QStringLiteral("S")),
        option(QStringLiteral("script"), QStringLiteral("Run relay script SLOT."), QStringLiteral("SLOT")),
        option(QStringLiteral("at"), QStringLiteral("Local time of day."), QStringLiteral("HH:MM")),
        option(QStringLiteral("sunrise"), QStringLiteral("At sunrise ± minutes."), QStringLiteral("MIN")),
        option(QStringLiteral("sunset"), QStringLiteral("At sunset ± minutes."), QStringLiteral("MIN")),
        option(QStringLiteral("dawn"), QStringLiteral("At civil dawn ± minutes."), QStringLiteral("MIN")),
        option(QStringLiteral("dusk"), QStringLiteral("At civil dusk ± minutes."), QStringLiteral("MIN")),
        option(QStringLiteral("days"), QStringLiteral("Weekdays (add) or days ahead (next)."),
               QStringLiteral("LIST")),
        option(QStringLiteral("from"), QStringLiteral("First date."), QStringLiteral("DATE")),
        option(QStringLiteral("until"), QStringLiteral("Last date."), QStringLiteral("DATE")),
        option(QStringLiteral("except"), QStringLiteral("Dates to leave out."), QStringLiteral("DATES"))};
    for (const QString& name : kAnchorOptions)
        definition.optionalValues.insert(name, QStringLiteral("0"));
    definition.csvKinds = {CommandKind::ScheduleList, CommandKind::ScheduleNext};
    definition.parse = parse;
    definition.run = runScheduleCommand;
    return definition;
}

} // namespace kestavo::cli
