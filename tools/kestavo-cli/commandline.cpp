#include "commandline.h"

#include <algorithm>
#include <tuple>

#include <QCommandLineParser>
#include <QHash>
#include <QRegularExpression>

#include "commands/clicommand.h"
#include "storelink/storeurl.h"
#include "valueparsers.h"

namespace kestavo::cli {

bool isLatin1(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

// The console's password box: no space or '*' can be typed. A password given to talk to a unit may
// also be written in its stored form, with the '*' padding.
QString passwordProblem(const QString& typed, const QString& name, bool storedFormAllowed)
{
    if (typed.isEmpty())
        return QStringLiteral("%1 is empty").arg(name);
    if (typed.size() > kMaxPassword)
        return QStringLiteral("%1 is longer than %2 characters").arg(name).arg(kMaxPassword);
    if (typed.contains(u' '))
        return QStringLiteral("%1 may not contain a space").arg(name);
    QString unpadded = typed;
    while (storedFormAllowed && unpadded.endsWith(u'*'))
        unpadded.chop(1);
    if (unpadded.isEmpty() || unpadded.contains(u'*'))
        return QStringLiteral("%1 may not contain '*' (it pads passwords to 10 characters)").arg(name);
    if (!isLatin1(typed))
        return QStringLiteral("%1 holds characters the unit cannot store").arg(name);
    return QString();
}

namespace {

QString dashed(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// QCommandLineParser's first complaint in our words: it names the option as typed.
QString parserProblem(const QCommandLineParser& parser)
{
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("unknown option %1").arg(dashed(parser.unknownOptionNames().constFirst()));
    static const QRegularExpression after(QStringLiteral("^(Missing|Unexpected) value after '(.+)'\\.$"));
    const QRegularExpressionMatch match = after.match(parser.errorText());
    if (!match.hasMatch())
        return parser.errorText();
    return match.captured(1) == u"Missing" ? QStringLiteral("%1 needs a value").arg(match.captured(2))
                                           : QStringLiteral("%1 takes no value").arg(match.captured(2));
}

// Every option any command takes, once, so that the command word is found whichever options
// come before it: a value option's value is never taken for the command word.
QList<QCommandLineOption> allOptions(const QList<CommandDefinition>& table)
{
    QList<QCommandLineOption> options = globalOptions();
    QStringList seen;
    for (const QCommandLineOption& option : options)
        seen << option.names();
    for (const CommandDefinition& definition : table) {
        for (const QCommandLineOption& option : definition.options) {
            if (seen.contains(option.names().constFirst()))
                continue;
            seen << option.names();
            options << option;
        }
    }
    return options;
}

void prepare(QCommandLineParser& parser, const QList<QCommandLineOption>& options)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOptions(options);
}

// "watch and fleet" for an option, from the commands that declare it.
QString owners(const QList<CommandDefinition>& table, const QString& name)
{
    QStringList words;
    for (const CommandDefinition& definition : table) {
        for (const QCommandLineOption& option : definition.options) {
            if (option.names().contains(name))
                words << definition.word;
        }
    }
    if (words.size() < 2)
        return words.join(QString());
    const QString last = words.takeLast();
    return words.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

std::optional<UsageError> parseGlobalOptions(const QCommandLineParser& parser, const QString& word,
                                             GlobalOptions* options)
{
    const auto optionError = [&word](const QString& message) {
        return UsageError{word, message};
    };
    if (parser.isSet(QStringLiteral("db"))) {
        options->db = parser.value(QStringLiteral("db"));
        if (options->db.isEmpty())
            return optionError(QStringLiteral("--db is empty"));
    }
    for (const auto& [name, min, max, target] :
         {std::tuple{QStringLiteral("port"), 1, 65535, &options->port},
          std::tuple{QStringLiteral("timeout"), 1, 600000, &options->timeoutMs}}) {
        if (!parser.isSet(name))
            continue;
        const QString text = parser.value(name);
        const Parsed<int> value = parseInteger(text, min, max);
        if (!value)
            return optionError(QStringLiteral("--%1 '%2' %3").arg(name, text, value.error));
        *target = *value;
    }
    if (parser.isSet(QStringLiteral("password"))) {
        const QString password = parser.value(QStringLiteral("password"));
        if (const QString problem = passwordProblem(password, QStringLiteral("--password"), true);
            !problem.isEmpty())
            return optionError(problem);
        options->password = password;
    }
    options->noVerify = parser.isSet(QStringLiteral("no-verify"));
    return std::nullopt;
}

std::optional<UsageError> parseFormat(const QCommandLineParser& parser, const QList<CommandDefinition>& table,
                                      const CommandDefinition& definition, Command* command)
{
    if (!parser.isSet(QStringLiteral("format")))
        return std::nullopt;
    const QString typed = parser.value(QStringLiteral("format"));
    const QString format = typed.toLower();
    if (format == QStringLiteral("text")) {
        command->options.format = OutputFormat::Text;
    } else if (format == QStringLiteral("json")) {
        command->options.format = OutputFormat::Json;
    } else if (format == QStringLiteral("csv")) {
        if (!definition.csvKinds.contains(command->kind)) {
            QStringList words;
            for (const CommandDefinition& other : table) {
                if (!other.csvKinds.isEmpty())
                    words << other.word;
            }
            const QString last = words.takeLast();
            return UsageError{definition.word,
                              QStringLiteral("--format csv is for %1 and %2; use text or json with %3")
                                  .arg(words.join(QStringLiteral(", ")), last, commandLabel(command->kind))};
        }
        command->options.format = OutputFormat::Csv;
    } else {
        return UsageError{definition.word,
                          QStringLiteral("--format '%1' must be text, json or csv").arg(typed)};
    }
    return std::nullopt;
}

} // namespace

const QStringList& commandWords()
{
    static const QStringList words = [] {
        QStringList list;
        for (const CommandDefinition& definition : commandTable())
            list << definition.word;
        return list;
    }();
    return words;
}

QString commandLabel(CommandKind kind)
{
    switch (kind) {
    case CommandKind::Help:
        return QStringLiteral("help");
    case CommandKind::Version:
        return QStringLiteral("version");
    case CommandKind::StationsList:
        return QStringLiteral("stations");
    case CommandKind::StationsAdd:
        return QStringLiteral("stations add");
    case CommandKind::StationsRemove:
        return QStringLiteral("stations remove");
    case CommandKind::StationsDefault:
        return QStringLiteral("stations default");
    case CommandKind::StationsImport:
        return QStringLiteral("stations import");
    case CommandKind::StationsExport:
        return QStringLiteral("stations export");
    case CommandKind::Fleet:
        return QStringLiteral("fleet");
    case CommandKind::Status:
        return QStringLiteral("status");
    case CommandKind::Watch:
        return QStringLiteral("watch");
    case CommandKind::Relay:
        return QStringLiteral("relay");
    case CommandKind::Scripts:
        return QStringLiteral("scripts");
    case CommandKind::ScriptUpload:
        return QStringLiteral("script upload");
    case CommandKind::ScriptRun:
        return QStringLiteral("script run");
    case CommandKind::TimerSet:
        return QStringLiteral("timer set");
    case CommandKind::TimerStop:
        return QStringLiteral("timer stop");
    case CommandKind::IoOff:
        return QStringLiteral("io off");
    case CommandKind::IoOn:
        return QStringLiteral("io on");
    case CommandKind::TemperatureOff:
        return QStringLiteral("temp off");
    case CommandKind::TemperatureOn:
        return QStringLiteral("temp on");
    case CommandKind::Name:
        return QStringLiteral("name");
    case CommandKind::Password:
        return QStringLiteral("password");
    case CommandKind::AllowAll:
        return QStringLiteral("allow all");
    case CommandKind::AllowOnly:
        return QStringLiteral("allow only");
    case CommandKind::Http:
        return QStringLiteral("http");
    case CommandKind::Snmp:
        return QStringLiteral("snmp");
    case CommandKind::SetIp:
        return QStringLiteral("set-ip");
    case CommandKind::SetMac:
        return QStringLiteral("set-mac");
    case CommandKind::Board:
        return QStringLiteral("board");
    case CommandKind::BoardScripts:
        return QStringLiteral("board-scripts");
    case CommandKind::BoardScriptUpload:
        return QStringLiteral("board-script upload");
    case CommandKind::BoardScriptRun:
        return QStringLiteral("board-script run");
    case CommandKind::Backup:
        return QStringLiteral("backup");
    case CommandKind::Diff:
        return QStringLiteral("diff");
    case CommandKind::Restore:
        return QStringLiteral("restore");
    case CommandKind::Alarms:
        return QStringLiteral("alarms");
    case CommandKind::AlarmsAck:
        return QStringLiteral("alarms ack");
    case CommandKind::Audit:
        return QStringLiteral("audit");
    case CommandKind::History:
        return QStringLiteral("history");
    case CommandKind::Notify:
        return QStringLiteral("notify");
    case CommandKind::StationsMaintenance:
        return QStringLiteral("stations maintenance");
    case CommandKind::AlarmsReport:
        return QStringLiteral("alarms report");
    case CommandKind::AlarmsRules:
        return QStringLiteral("alarms rules");
    case CommandKind::AlarmsShelve:
        return QStringLiteral("alarms shelve");
    case CommandKind::StationsTag:
        return QStringLiteral("stations tag");
    case CommandKind::StationsUntag:
        return QStringLiteral("stations untag");
    case CommandKind::StationsSet:
        return QStringLiteral("stations set");
    case CommandKind::ScheduleList:
        return QStringLiteral("schedule list");
    case CommandKind::ScheduleAdd:
        return QStringLiteral("schedule add");
    case CommandKind::ScheduleRemove:
        return QStringLiteral("schedule remove");
    case CommandKind::ScheduleEnable:
        return QStringLiteral("schedule enable");
    case CommandKind::ScheduleDisable:
        return QStringLiteral("schedule disable");
    case CommandKind::ScheduleNext:
        return QStringLiteral("schedule next");
    case CommandKind::Sun:
        return QStringLiteral("sun");
    case CommandKind::RelayTag:
        return QStringLiteral("relay");
    case CommandKind::ScriptRunTag:
        return QStringLiteral("script run");
    case CommandKind::Rollout:
        return QStringLiteral("rollout");
    case CommandKind::StoreInit:
        return QStringLiteral("store init");
    case CommandKind::StoreGrant:
        return QStringLiteral("store grant");
    case CommandKind::StoreRevoke:
        return QStringLiteral("store revoke");
    case CommandKind::StoreImport:
        return QStringLiteral("store import");
    case CommandKind::StoreStatus:
        return QStringLiteral("store status");
    }
    return QString();
}

bool talksToUnit(CommandKind kind)
{
    switch (kind) {
    case CommandKind::Help:
    case CommandKind::Version:
    case CommandKind::StationsList:
    case CommandKind::StationsAdd:
    case CommandKind::StationsRemove:
    case CommandKind::StationsDefault:
    case CommandKind::Alarms:
    case CommandKind::AlarmsAck:
    case CommandKind::Audit:
    case CommandKind::History:
    case CommandKind::Notify:
    case CommandKind::StationsMaintenance:
    case CommandKind::AlarmsReport:
    case CommandKind::AlarmsRules:
    case CommandKind::AlarmsShelve:
    case CommandKind::StationsImport:
    case CommandKind::StationsExport:
    case CommandKind::StationsTag:
    case CommandKind::StationsUntag:
    case CommandKind::StationsSet:
    case CommandKind::ScheduleList:
    case CommandKind::ScheduleAdd:
    case CommandKind::ScheduleRemove:
    case CommandKind::ScheduleEnable:
    case CommandKind::ScheduleDisable:
    case CommandKind::ScheduleNext:
    case CommandKind::Sun:
    case CommandKind::Fleet:
    case CommandKind::StoreInit:
    case CommandKind::StoreGrant:
    case CommandKind::StoreRevoke:
    case CommandKind::StoreImport:
    case CommandKind::StoreStatus:
        return false;
    default:
        return true;
    }
}

namespace {

// QCommandLineParser has no option whose value may be left out, so "--sunrise" alone is written as
// "--sunrise=DEFAULT" before parsing, and "--sunrise -30" as "--sunrise=-30" (a signed number after
// it can only be its value).
QStringList withOptionalValues(const QStringList& arguments, const QList<CommandDefinition>& table)
{
    QHash<QString, QString> defaults;
    for (const CommandDefinition& definition : table)
        for (auto it = definition.optionalValues.cbegin(); it != definition.optionalValues.cend(); ++it)
            defaults.insert(QStringLiteral("--") + it.key(), it.value());
    if (defaults.isEmpty())
        return arguments;
    static const QRegularExpression signedNumber(QStringLiteral("^[+-]\\d+$"));
    QStringList result;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QStringLiteral("--")) {
            result += arguments.mid(i);
            break;
        }
        const auto found = defaults.constFind(argument);
        if (found == defaults.cend()) {
            result << argument;
        } else if (i + 1 < arguments.size() && signedNumber.match(arguments.at(i + 1)).hasMatch()) {
            result << argument + u'=' + arguments.at(++i);
        } else {
            result << argument + u'=' + *found;
        }
    }
    return result;
}

} // namespace

std::variant<Command, UsageError> parseArguments(const QStringList& givenArguments)
{
    const QList<CommandDefinition> table = commandTable();
    const QStringList arguments = withOptionalValues(givenArguments, table);
    const QStringList line = QStringList{QStringLiteral("kestavo-cli")} + arguments;

    // First the command word, with every option known.
    QCommandLineParser any;
    prepare(any, allOptions(table));
    if (!any.parse(line))
        return UsageError{QString(), parserProblem(any)};
    const QStringList positional = any.positionalArguments();
    Command command;
    const QString word = positional.value(0).toLower();
    const bool helpWord = word == QStringLiteral("help");
    if (any.isSet(QStringLiteral("help")) || helpWord) {
        command.kind = CommandKind::Help;
        command.helpTopic = helpWord ? positional.value(1).toLower() : word;
        if (!command.helpTopic.isEmpty() && !commandWords().contains(command.helpTopic))
            return UsageError{QString(), QStringLiteral("unknown command '%1'").arg(command.helpTopic)};
        return command;
    }
    if (any.isSet(QStringLiteral("version"))) {
        command.kind = CommandKind::Version;
        return command;
    }
    if (word.isEmpty())
        return UsageError{QString(), QStringLiteral("no command given (kestavo-cli --help lists them)")};
    const auto definition = std::find_if(table.cbegin(), table.cend(),
                                         [&](const CommandDefinition& s) { return s.word == word; });
    if (definition == table.cend())
        return UsageError{QString(), QStringLiteral("unknown command '%1'").arg(positional.value(0))};

    // Then the line again with only the options this command takes.
    QCommandLineParser own;
    prepare(own, globalOptions() + definition->options);
    if (!own.parse(line)) {
        const QStringList unknown = own.unknownOptionNames();
        if (!unknown.isEmpty())
            return notHere(Reader(word, positional, definition->secretArguments),
                           dashed(unknown.constFirst()), owners(table, unknown.constFirst()));
        return UsageError{word, parserProblem(own)};
    }
    command.word = word;
    command.arguments = arguments;
    if (auto error = parseGlobalOptions(own, word, &command.options))
        return *error;
    if (own.isSet(QStringLiteral("history"))) {
        command.historyFile = own.value(QStringLiteral("history"));
        if (command.historyFile.isEmpty())
            return UsageError{word, QStringLiteral("--history is empty")};
    }
    const Reader reader(word, positional, definition->secretArguments);
    if (auto error = definition->parse(reader, own, &command))
        return *error;
    if (auto error = parseFormat(own, table, *definition, &command))
        return *error;
    if (own.isSet(QStringLiteral("store"))) {
        // A command that would quietly use the desk's files instead would look like it used the
        // team's store: it is refused until it can use the store.
        const bool takesStore =
            (talksToUnit(command.kind) && command.kind != CommandKind::RelayTag &&
             command.kind != CommandKind::ScriptRunTag && command.kind != CommandKind::Rollout) ||
            (command.kind >= CommandKind::StoreInit && command.kind <= CommandKind::StoreStatus) ||
            command.kind == CommandKind::StationsList || command.kind == CommandKind::StationsAdd ||
            command.kind == CommandKind::StationsRemove || command.kind == CommandKind::StationsDefault ||
            command.kind == CommandKind::StationsTag || command.kind == CommandKind::StationsUntag ||
            command.kind == CommandKind::StationsSet || command.kind == CommandKind::StationsImport ||
            command.kind == CommandKind::StationsExport || command.kind == CommandKind::Alarms ||
            command.kind == CommandKind::AlarmsAck || command.kind == CommandKind::AlarmsReport ||
            command.kind == CommandKind::AlarmsRules || command.kind == CommandKind::AlarmsShelve ||
            command.kind == CommandKind::Audit;
        if (!takesStore)
            return UsageError{word,
                              QStringLiteral("--store is not taken by %1 yet; it works on the desk's files "
                                             "only")
                                  .arg(commandLabel(command.kind))};
        // The alarms and the audit log are either the store's or a history file's.
        if (!command.historyFile.isEmpty() && command.kind != CommandKind::StoreImport)
            return UsageError{word, QStringLiteral("--history FILE and --store URL name two places for the "
                                                   "alarms and the audit log; give one")};
        command.storeUrl = own.value(QStringLiteral("store"));
        if (const store::StoreUrlParse parsed = store::parseStoreUrl(command.storeUrl); !parsed.ok())
            return UsageError{word, parsed.error};
    }
    return command;
}

} // namespace kestavo::cli
