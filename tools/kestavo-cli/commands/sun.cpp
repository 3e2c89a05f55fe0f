#include "stations/stationextras.h"

#include "clicommand.h"
#include "schedulecommand.h"
#include "schedules/scheduleentry.h"

namespace kestavo::cli {

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser& o, Command* c)
{
    c->kind = CommandKind::Sun;
    if (auto e = r.noMoreThan(1))
        return e;
    for (const QString& name : {QStringLiteral("lat"), QStringLiteral("lon"), QStringLiteral("date")})
        if (!o.isSet(name))
            return r.missing(QStringLiteral("--") + name);
    bool ok = false;
    c->latitude = o.value(QStringLiteral("lat")).toDouble(&ok);
    if (!ok)
        return r.error(QStringLiteral("--lat '%1' is no number").arg(o.value(QStringLiteral("lat"))));
    if (const QString problem = stations::latitudeProblem(c->latitude); !problem.isEmpty())
        return r.error(QStringLiteral("--lat: %1").arg(problem));
    c->longitude = o.value(QStringLiteral("lon")).toDouble(&ok);
    if (!ok)
        return r.error(QStringLiteral("--lon '%1' is no number").arg(o.value(QStringLiteral("lon"))));
    if (const QString problem = stations::longitudeProblem(c->longitude); !problem.isEmpty())
        return r.error(QStringLiteral("--lon: %1").arg(problem));
    const std::optional<QDate> date = schedules::parseDate(o.value(QStringLiteral("date")));
    if (!date)
        return r.error(
            QStringLiteral("--date '%1' is no date (YYYY-MM-DD)").arg(o.value(QStringLiteral("date"))));
    c->date = *date;
    c->zone = o.value(QStringLiteral("zone")).trimmed();
    if (const QString problem = stations::zoneProblem(c->zone); !problem.isEmpty())
        return r.error(QStringLiteral("--zone: %1").arg(problem));
    return std::nullopt;
}

} // namespace

CommandDefinition sunCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("sun");
    definition.synopsis = QStringLiteral("sun --lat DEG --lon DEG --date YYYY-MM-DD [--zone ZONE]");
    definition.details = QStringLiteral(
        "Civil dawn, sunrise, sunset and civil dusk at a place on a date, as HH:MM in ZONE\n"
        "(default: this machine's zone), computed as schedules compute them. Latitude north and\n"
        "longitude east are positive. Where the event does not happen that date the line says\n"
        "so: polar day, polar night, white night (the sun never 6° below) or no twilight.\n"
        "Example:\n"
        "  kestavo-cli sun --lat 69.65 --lon 18.96 --date 2026-06-21 --zone Europe/Oslo");
    definition.options = {
        QCommandLineOption(QStringLiteral("lat"), QStringLiteral("Latitude, degrees north."),
                           QStringLiteral("DEG")),
        QCommandLineOption(QStringLiteral("lon"), QStringLiteral("Longitude, degrees east."),
                           QStringLiteral("DEG")),
        QCommandLineOption(QStringLiteral("date"), QStringLiteral("The date."), QStringLiteral("DATE")),
        QCommandLineOption(QStringLiteral("zone"), QStringLiteral("IANA time zone."),
                           QStringLiteral("ZONE"))};
    definition.parse = parse;
    definition.run = runSunCommand;
    return definition;
}

} // namespace kestavo::cli
