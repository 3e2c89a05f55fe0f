#include "stations/stationextras.h"
#include "stations/stationformat.h"

#include "clicommand.h"
#include "notifycommand.h"

namespace kestavo::cli {

namespace {

const QStringList kSiteOptions = {QStringLiteral("location"), QStringLiteral("lat"), QStringLiteral("lon"),
                                  QStringLiteral("zone")};

// Options of one form refused in the others, naming the form that takes them.
std::optional<UsageError> refuseOptions(const Reader& r, const QCommandLineParser& options, bool tagAllowed,
                                        bool siteAllowed)
{
    for (const QCommandLineOption& option : maintenanceOptions()) {
        const QString name = option.names().constFirst();
        if (options.isSet(name) && !(tagAllowed && name == QStringLiteral("tag")))
            return notHere(r, QStringLiteral("--") + name,
                           name == QStringLiteral("tag")
                               ? QStringLiteral("stations, fleet and stations maintenance")
                               : QStringLiteral("stations maintenance"));
    }
    for (const QString& name : kSiteOptions) {
        if (options.isSet(name) && !siteAllowed)
            return notHere(r, QStringLiteral("--") + name, QStringLiteral("stations set"));
    }
    return std::nullopt;
}

std::optional<UsageError> parseAddress(const Reader& r, Command* c)
{
    if (!r.has(2) || r.at(2).trimmed().isEmpty())
        return r.missing(QStringLiteral("ADDRESS"));
    const QString address = r.at(2).trimmed();
    if (const QString problem = stations::addressProblem(address); !problem.isEmpty())
        return r.bad(QStringLiteral("ADDRESS"), 2, problem);
    c->stationAddress = address;
    return std::nullopt;
}

std::optional<UsageError> parseSite(const Reader& r, const QCommandLineParser& options, Command* c)
{
    c->kind = CommandKind::StationsSet;
    if (auto e = parseAddress(r, c))
        return e;
    if (auto e = r.noMoreThan(3))
        return e;
    if (options.isSet(QStringLiteral("location"))) {
        const QString location = options.value(QStringLiteral("location")).trimmed();
        if (const QString problem = stations::locationProblem(location); !problem.isEmpty())
            return r.error(QStringLiteral("--location: %1").arg(problem));
        c->siteLocation = location;
    }
    const bool lat = options.isSet(QStringLiteral("lat"));
    const bool lon = options.isSet(QStringLiteral("lon"));
    if (lat != lon)
        return r.error(QStringLiteral("--lat and --lon go together (both empty to clear the position)"));
    if (lat) {
        const QString latText = options.value(QStringLiteral("lat")).trimmed();
        const QString lonText = options.value(QStringLiteral("lon")).trimmed();
        if (latText.isEmpty() && lonText.isEmpty()) {
            c->sitePosition = std::optional<std::pair<double, double>>();
        } else {
            bool latOk = false;
            bool lonOk = false;
            const double latitude = latText.toDouble(&latOk);
            const double longitude = lonText.toDouble(&lonOk);
            if (!latOk)
                return r.error(
                    QStringLiteral("--lat '%1' is no number (degrees, north positive)").arg(latText));
            if (!lonOk)
                return r.error(
                    QStringLiteral("--lon '%1' is no number (degrees, east positive)").arg(lonText));
            if (const QString problem = stations::latitudeProblem(latitude); !problem.isEmpty())
                return r.error(QStringLiteral("--lat: %1").arg(problem));
            if (const QString problem = stations::longitudeProblem(longitude); !problem.isEmpty())
                return r.error(QStringLiteral("--lon: %1").arg(problem));
            c->sitePosition = std::pair{latitude, longitude};
        }
    }
    if (options.isSet(QStringLiteral("zone"))) {
        const QString zone = options.value(QStringLiteral("zone")).trimmed();
        if (const QString problem = stations::zoneProblem(zone); !problem.isEmpty())
            return r.error(QStringLiteral("--zone: %1").arg(problem));
        c->siteZone = zone;
    }
    if (!c->siteLocation && !c->sitePosition && !c->siteZone)
        return r.error(QStringLiteral("say what to set: --location, --lat and --lon, --zone"));
    return std::nullopt;
}

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser& options, Command* c)
{
    if (!r.has(1)) {
        c->kind = CommandKind::StationsList;
        if (auto e = refuseOptions(r, options, true, false))
            return e;
        if (options.isSet(QStringLiteral("tag"))) {
            c->tagFilter = options.value(QStringLiteral("tag"));
            if (const QString problem = stations::tagProblem(c->tagFilter); !problem.isEmpty())
                return r.error(QStringLiteral("--tag: %1").arg(problem));
        }
        return std::nullopt;
    }
    const QString sub = r.at(1).toLower();
    if (sub == QStringLiteral("maintenance")) {
        c->kind = CommandKind::StationsMaintenance; // notifycommand.cpp reads the rest
        return std::nullopt;
    }
    if (auto e = refuseOptions(r, options, false, sub == QStringLiteral("set")))
        return e;
    if (sub == QStringLiteral("set"))
        return parseSite(r, options, c);
    if (sub == QStringLiteral("tag") || sub == QStringLiteral("untag")) {
        c->kind = sub == QStringLiteral("tag") ? CommandKind::StationsTag : CommandKind::StationsUntag;
        if (auto e = parseAddress(r, c))
            return e;
        if (!r.has(3))
            return r.missing(QStringLiteral("TAG"));
        for (qsizetype i = 3; i < r.size(); ++i) {
            if (const QString problem = stations::tagProblem(r.at(i)); !problem.isEmpty())
                return r.error(problem);
            if (!c->tags.contains(r.at(i)))
                c->tags << r.at(i);
        }
        return std::nullopt;
    }
    if (sub == QStringLiteral("add")) {
        c->kind = CommandKind::StationsAdd;
        // The checks and their order are the "Add IP" dialog's; a missing argument is an empty box.
        const QString address = r.at(2);
        const QString password = r.at(3);
        const QString description = r.at(4);
        if (address.isEmpty())
            return r.error(QStringLiteral("ADDRESS: Add an IP!"));
        if (password.isEmpty())
            return r.error(QStringLiteral("PASSWORD: Add a Password!"));
        if (description.isEmpty())
            return r.error(QStringLiteral("DESCRIPTION: Enter a Description!"));
        if (const auto extra = r.noMoreThan(5))
            return extra;
        for (const QChar ch : address) {
            if (ch != u'.' && (ch < u'0' || ch > u'9'))
                return r.bad(QStringLiteral("ADDRESS"), 2, QStringLiteral("may hold only digits and dots"));
        }
        if (address.size() > kMaxAddressText)
            return r.bad(QStringLiteral("ADDRESS"), 2,
                         QStringLiteral("is longer than %1 characters").arg(kMaxAddressText));
        if (const QString problem = stations::addressProblem(address); !problem.isEmpty())
            return r.bad(QStringLiteral("ADDRESS"), 2, problem);
        if (const QString problem = passwordProblem(password, QStringLiteral("PASSWORD"), false);
            !problem.isEmpty())
            return r.error(problem);
        if (description.size() > kMaxStationDescription)
            return r.bad(QStringLiteral("DESCRIPTION"), 4,
                         QStringLiteral("is longer than %1 characters").arg(kMaxStationDescription));
        c->stationAddress = address;
        c->stationPassword = password;
        c->stationDescription = description;
        return std::nullopt;
    }
    if (sub == QStringLiteral("import")) {
        c->kind = CommandKind::StationsImport;
        if (!r.has(2) || r.at(2).isEmpty())
            return r.missing(QStringLiteral("FILE"));
        c->file = r.at(2);
        return r.noMoreThan(3);
    }
    if (sub == QStringLiteral("export")) {
        c->kind = CommandKind::StationsExport;
        c->file = r.at(2);
        return r.noMoreThan(3);
    }
    if (sub == QStringLiteral("remove") || sub == QStringLiteral("default")) {
        c->kind =
            sub == QStringLiteral("remove") ? CommandKind::StationsRemove : CommandKind::StationsDefault;
        if (!r.has(2) || r.at(2).trimmed().isEmpty())
            return r.missing(QStringLiteral("ADDRESS"));
        if (const auto extra = r.noMoreThan(3))
            return extra;
        c->stationAddress = r.at(2).trimmed();
        return std::nullopt;
    }
    return r.bad(
        QStringLiteral("subcommand"), 1,
        QStringLiteral("must be add, remove, default, import, export, tag, untag, set or maintenance"));
}

} // namespace

CommandDefinition stationsCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("stations");
    definition.synopsis =
        QStringLiteral("stations [--tag TAG]\n"
                       "stations add ADDRESS PASSWORD DESCRIPTION\n"
                       "stations remove ADDRESS\n"
                       "stations default ADDRESS\n"
                       "stations import FILE.csv\n"
                       "stations export [FILE.csv]\n"
                       "stations tag ADDRESS TAG…\n"
                       "stations untag ADDRESS TAG…\n"
                       "stations set ADDRESS [--location TEXT] [--lat DEG --lon DEG] [--zone ZONE]\n"
                       "stations maintenance [ADDRESS|--tag TAG] [--for 2h --reason TEXT | --end]");
    definition.details = QStringLiteral(
        "The station database the console uses; `stations maintenance` takes a station out of\n"
        "service for a time (its alarms are not notified; history file, audited); with --tag TAG\n"
        "every station that carries TAG (or a tag below it) while the window lasts.\n"
        "  stations                 list every station: address, description, default flag\n"
        "                           (--format text, json or csv); passwords are never shown;\n"
        "                           --tag TAG only the stations with TAG or a tag below it\n"
        "                           (north takes in north/pumps)\n"
        "  stations add             append a station, with the rules of the console's \"Add IP\":\n"
        "                           ADDRESS an IPv4 address (four numbers 0-255, no leading zeros);\n"
        "                           PASSWORD at most 10 characters, no space or '*' (padded with '*'\n"
        "                           to 10); DESCRIPTION at most 30 characters\n"
        "  stations remove          delete the first station with ADDRESS (never the first record)\n"
        "  stations default         make the first station with ADDRESS the default one\n"
        "  stations import          add or update stations from CSV with the columns\n"
        "                           address,password,description (header row optional). Every\n"
        "                           row is checked first with the rules of \"add\"; one bad row is\n"
        "                           reported with its line number and nothing is written. An\n"
        "                           address already listed updates that station; an empty\n"
        "                           password keeps its password\n"
        "                           A fourth column, tags (separated by ';'), sets the station's\n"
        "                           tags; without it the tags stay as they are\n"
        "  stations export          write the columns address,password,description,tags (standard\n"
        "                           output or FILE.csv), the password column always empty\n"
        "  stations tag, untag      add or remove tags: letters, digits, '-', '_', '/' for levels\n"
        "  stations set             where the station is: free text, latitude and longitude in\n"
        "                           degrees (north and east positive; both empty to clear) and\n"
        "                           its IANA time zone (empty: the zone of the machine running\n"
        "                           its schedules)\n"
        "Examples:\n"
        "  kestavo-cli stations add 127.0.0.1 secret \"Bench simulator\"\n"
        "  kestavo-cli stations tag 127.0.0.1 north/pumps night-tariff\n"
        "  kestavo-cli stations set 127.0.0.1 --location \"Pump house\" --lat 69.65 --lon 18.96 "
        "--zone Europe/Oslo");
    definition.csvKinds = {CommandKind::StationsList};
    definition.secretArguments = true;
    definition.options = maintenanceOptions();
    definition.options << QCommandLineOption(QStringLiteral("location"),
                                             QStringLiteral("Where the station is."), QStringLiteral("TEXT"))
                       << QCommandLineOption(QStringLiteral("lat"),
                                             QStringLiteral("Latitude, degrees north."),
                                             QStringLiteral("DEG"))
                       << QCommandLineOption(QStringLiteral("lon"),
                                             QStringLiteral("Longitude, degrees east."),
                                             QStringLiteral("DEG"))
                       << QCommandLineOption(QStringLiteral("zone"), QStringLiteral("IANA time zone."),
                                             QStringLiteral("ZONE"));
    definition.parse = parse;
    definition.run = [](const Command& c, QTextStream& out, QTextStream& err, const CliEnvironment& env) {
        if (c.kind == CommandKind::StationsMaintenance)
            return runMaintenanceCommand(c.arguments, out, err, env);
        return runWithRunner(c, out, err, env);
    };
    return definition;
}

} // namespace kestavo::cli
