#include "clicommand.h"
#include "commandrunner.h"
#include "helptext.h"
#include "valueparsers.h"

namespace kestavo::cli {

QList<CommandDefinition> commandTable()
{
    return {stationsCommand(),     fleetCommandDefinition(),
            statusCommand(),       watchCommand(),
            relayCommand(),        scriptsCommand(),
            scriptCommand(),       timerCommand(),
            ioCommand(),           tempCommand(),
            nameCommand(),         passwordCommand(),
            allowCommand(),        httpCommand(),
            snmpCommand(),         setIpCommand(),
            setMacCommand(),       boardCommand(),
            boardScriptsCommand(), boardScriptCommand(),
            backupCommand(),       diffCommand(),
            restoreCommand(),      rolloutCommand(),
            historyCommand(),      notifyCommand(),
            alarmsCommand(),       auditCommand(),
            scheduleCommand(),     sunCommand(),
            storeCommand()};
}

QList<QCommandLineOption> globalOptions()
{
    const auto option = [](const QStringList& names, const QString& description, const QString& value = {}) {
        return QCommandLineOption(names, description, value);
    };
    return {
        option({QStringLiteral("db")},
               QStringLiteral("station database (default: the file the console opens)"),
               QStringLiteral("FILE")),
        option({QStringLiteral("history")},
               QStringLiteral("history file with the readings, the alarms and the audit log (default: "
                              "history.db beside the station database); fleet records into it"),
               QStringLiteral("FILE")),
        option({QStringLiteral("store")},
               QStringLiteral("a team's store, postgresql://USER@HOST[:PORT]/DBNAME: the stations, their "
                              "passwords, the alarms and the audit log come from it instead of the files"),
               QStringLiteral("URL")),
        option({QStringLiteral("port")}, QStringLiteral("the unit's UDP port (default 7)"),
               QStringLiteral("N")),
        option({QStringLiteral("timeout")}, QStringLiteral("how long to wait for each answer (default 2000)"),
               QStringLiteral("MS")),
        option({QStringLiteral("format")},
               QStringLiteral("text (default), json (one object per result, JSON Lines for watch) or csv"),
               QStringLiteral("F")),
        option({QStringLiteral("password")},
               QStringLiteral("the unit's password; overrides the station record and allows an address "
                              "that is not in the database"),
               QStringLiteral("P")),
        option({QStringLiteral("no-verify")},
               QStringLiteral("send the command without the checks before and after it")),
        option({QStringLiteral("h"), QStringLiteral("help")},
               QStringLiteral("this text, or a command's page (kestavo-cli relay --help)")),
        option({QStringLiteral("version")}, QStringLiteral("the program's version")),
    };
}

int runWithRunner(const Command& command, QTextStream& out, QTextStream& err, const CliEnvironment& env)
{
    CommandRunner runner(command, out, err, env);
    return runner.run();
}

std::optional<UsageError> optionInteger(const Reader& args, const QCommandLineParser& options,
                                        const QString& name, int min, int max, int* out)
{
    if (!options.isSet(name))
        return std::nullopt;
    const QString text = options.value(name);
    const Parsed<int> value = parseInteger(text, min, max);
    if (!value)
        return args.error(QStringLiteral("--%1 '%2' %3").arg(name, text, value.error));
    *out = *value;
    return std::nullopt;
}

std::optional<UsageError> parseUnitOnly(const Reader& args, CommandKind kind, Command* command)
{
    command->kind = kind;
    if (auto e = args.unit(1, command))
        return e;
    return args.noMoreThan(2);
}

UsageError notHere(const Reader& args, const QString& option, const QString& owners)
{
    return args.error(QStringLiteral("%1 belongs to %2").arg(option, owners));
}

// ---- Reader ------------------------------------------------------------------------------------

Reader::Reader(QString word, QStringList args, bool secretArguments)
    : m_word(std::move(word)), m_args(std::move(args)), m_secret(secretArguments)
{
}

UsageError Reader::missing(const QString& name) const
{
    return error(QStringLiteral("%1 is missing (usage: kestavo-cli %2)")
                     .arg(name, synopsis(m_word).replace(u'\n', QStringLiteral(" | "))));
}

UsageError Reader::bad(const QString& name, qsizetype index, const QString& why) const
{
    return error(QStringLiteral("%1 '%2' %3").arg(name, at(index), why));
}

std::optional<UsageError> Reader::noMoreThan(qsizetype count) const
{
    if (m_args.size() <= count)
        return std::nullopt;
    if (m_secret)
        return error(QStringLiteral("too many arguments (usage: kestavo-cli %1)").arg(synopsis(m_word)));
    return error(QStringLiteral("unexpected argument '%1' (usage: kestavo-cli %2)")
                     .arg(at(count), synopsis(m_word).replace(u'\n', QStringLiteral(" | "))));
}

std::optional<UsageError> Reader::integer(qsizetype index, const QString& name, int min, int max,
                                          int* out) const
{
    if (!has(index))
        return missing(name);
    const Parsed<int> value = parseInteger(at(index), min, max);
    if (!value)
        return bad(name, index, value.error);
    *out = *value;
    return std::nullopt;
}

std::optional<UsageError> Reader::unit(qsizetype index, Command* command) const
{
    if (!has(index))
        return missing(QStringLiteral("UNIT"));
    const Parsed<std::array<int, 4>> octets = parseIpv4(at(index));
    if (!octets)
        return bad(QStringLiteral("UNIT"), index, octets.error);
    command->unit = at(index);
    command->unitOctets = *octets;
    return std::nullopt;
}

std::optional<UsageError> Reader::word(qsizetype index, const QString& name, const QStringList& choices,
                                       QString* out) const
{
    if (!has(index))
        return missing(name);
    const QString lower = at(index).toLower();
    if (!choices.contains(lower))
        return bad(name, index, QStringLiteral("must be %1").arg(choices.join(QStringLiteral(" or "))));
    *out = lower;
    return std::nullopt;
}

} // namespace kestavo::cli
