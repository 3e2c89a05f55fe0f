#include "stations/stationformat.h"

#include "clicommand.h"
#include "notifycommand.h"

namespace kestavo::cli {

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser& options, Command* c)
{
    if (!r.has(1)) {
        c->kind = CommandKind::StationsList;
        for (const QCommandLineOption& option : maintenanceOptions()) {
            if (options.isSet(option.names().constFirst()))
                return notHere(r, QStringLiteral("--") + option.names().constFirst(),
                               QStringLiteral("stations maintenance"));
        }
        return std::nullopt;
    }
    const QString sub = r.at(1).toLower();
    if (sub == QStringLiteral("maintenance")) {
        c->kind = CommandKind::StationsMaintenance; // notifycommand.cpp reads the rest
        return std::nullopt;
    }
    for (const QCommandLineOption& option : maintenanceOptions()) {
        if (options.isSet(option.names().constFirst()))
            return notHere(r, QStringLiteral("--") + option.names().constFirst(),
                           QStringLiteral("stations maintenance"));
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
    return r.bad(QStringLiteral("subcommand"), 1,
                 QStringLiteral("must be add, remove, default, import or export"));
}

} // namespace

CommandSpec stationsCommand()
{
    CommandSpec spec;
    spec.word = QStringLiteral("stations");
    spec.synopsis = QStringLiteral("stations\n"
                                   "stations add ADDRESS PASSWORD DESCRIPTION\n"
                                   "stations remove ADDRESS\n"
                                   "stations default ADDRESS\n"
                                   "stations import FILE.csv\n"
                                   "stations export [FILE.csv]\n"
                                   "stations maintenance [ADDRESS --for 2h --reason TEXT | ADDRESS --end]");
    spec.details = QStringLiteral(
        "The station database the console uses; `stations maintenance` takes a station out of\n"
        "service for a time (its alarms are not notified; history file, audited).\n"
        "  stations                 list every station: address, description, default flag\n"
        "                           (--format text, json or csv); passwords are never shown\n"
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
        "  stations export          write the same columns (standard output or FILE.csv), the\n"
        "                           password column always empty\n"
        "Example:\n"
        "  kestavo-cli stations add 127.0.0.1 secret \"Bench simulator\"");
    spec.csvKinds = {CommandKind::StationsList};
    spec.secretArguments = true;
    spec.options = maintenanceOptions();
    spec.parse = parse;
    spec.run = [](const Command& c, QTextStream& out, QTextStream& err, const CliEnvironment& env) {
        if (c.kind == CommandKind::StationsMaintenance)
            return runMaintenanceCommand(c.arguments, out, err, env);
        return runWithRunner(c, out, err, env);
    };
    return spec;
}

} // namespace kestavo::cli
