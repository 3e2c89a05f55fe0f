#pragma once

// One command word of kestavo-cli: its help page, its own options, how it reads its arguments
// into a Command and how it is carried out. Each word lives in a file of its own under commands/;
// commandTable() lists them. The command line is parsed with QCommandLineParser from these
// option lists, and --help is written from them, so an option is declared in one place only.

#include <functional>
#include <optional>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include "cli.h"
#include "commandline.h"

namespace kestavo::cli {

// The positional arguments of one command word (the word itself at index 0), read one by one; a
// failure names the argument.
class Reader
{
public:
    Reader(QString word, QStringList args, bool secretArguments);

    qsizetype size() const { return m_args.size(); }
    bool has(qsizetype index) const { return index < m_args.size(); }
    QString at(qsizetype index) const { return m_args.value(index); }
    const QString& word() const { return m_word; }

    UsageError error(const QString& message) const { return UsageError{m_word, message}; }
    UsageError missing(const QString& name) const;
    UsageError bad(const QString& name, qsizetype index, const QString& why) const;
    // Too many arguments. The extra text is not echoed for commands that carry a password, in
    // case the extra word is part of one.
    std::optional<UsageError> noMoreThan(qsizetype count) const;
    std::optional<UsageError> integer(qsizetype index, const QString& name, int min, int max, int* out) const;
    std::optional<UsageError> unit(qsizetype index, Command* command) const;
    std::optional<UsageError> word(qsizetype index, const QString& name, const QStringList& choices,
                                   QString* out) const;

private:
    QString m_word;
    QStringList m_args;
    bool m_secret;
};

struct CommandDefinition
{
    using Parse = std::function<std::optional<UsageError>(const Reader& args,
                                                          const QCommandLineParser& options, Command*)>;
    using Run = std::function<int(const Command&, QTextStream& out, QTextStream& err, const CliEnvironment&)>;

    QString word;
    QString synopsis;                       // one usage line per form, without "kestavo-cli "
    QString details;                        // the help page under the usage lines
    QList<QCommandLineOption> options;      // besides the global ones
    QList<CommandKind> csvKinds;            // the forms that may print --format csv
    bool secretArguments = false;           // a positional argument may be a password
    QHash<QString, QString> optionalValues; // option name → the value it has when given bare
    Parse parse;
    Run run;
};

/// Every command word, in the order --help lists them.
QList<CommandDefinition> commandTable();

/// The options every command takes.
QList<QCommandLineOption> globalOptions();

/// Carries out a unit or station command with the command runner (most words do).
int runWithRunner(const Command& command, QTextStream& out, QTextStream& err, const CliEnvironment& env);

/// A value option's text, or the integer it must hold; names the option when it does not.
std::optional<UsageError> optionInteger(const Reader& args, const QCommandLineParser& options,
                                        const QString& name, int min, int max, int* out);
/// "--name belongs to WORDS" for an option another form of the command owns.
UsageError notHere(const Reader& args, const QString& option, const QString& owners);

/// --count and --interval of watch and fleet --watch.
QCommandLineOption repeatCountOption();
QCommandLineOption repeatIntervalOption();
std::optional<UsageError> parseRepeatOptions(const Reader& args, const QCommandLineParser& options,
                                             bool repeats, const QString& owners, Command* command);

/// --yes, and the refusal of set-ip and set-mac without it.
QCommandLineOption yesOption();
std::optional<UsageError> requireYes(const Reader& args, const QCommandLineParser& options, Command* command);
/// http and snmp: "WORD UNIT on|off".
std::optional<UsageError> parseOnOffCommand(const Reader& args, CommandKind kind, Command* command);
/// diff and restore: "WORD UNIT FILE".
std::optional<UsageError> parseUnitAndFile(const Reader& args, CommandKind kind, Command* command);
/// A description the unit stores: not empty, at most maxLength Latin-1 characters.
std::optional<UsageError> parseDescription(const Reader& args, qsizetype index, int maxLength,
                                           const QString& emptyMessage, QString* out);

/// --tag, --yes, --parallel and --max-failures of the commands that act on many stations (with
/// --stations, --only and --dry-run for rollout), and reading them.
QList<QCommandLineOption> fleetOperationOptions(bool rollout);
std::optional<UsageError> parseTagOption(const Reader& args, const QCommandLineParser& options,
                                         Command* command);

/// A command of the form "WORD UNIT" with nothing else.
std::optional<UsageError> parseUnitOnly(const Reader& args, CommandKind kind, Command* command);

// The command words (one file each).
CommandDefinition stationsCommand();
CommandDefinition fleetCommandDefinition();
CommandDefinition statusCommand();
CommandDefinition watchCommand();
CommandDefinition relayCommand();
CommandDefinition scriptsCommand();
CommandDefinition scriptCommand();
CommandDefinition timerCommand();
CommandDefinition ioCommand();
CommandDefinition tempCommand();
CommandDefinition nameCommand();
CommandDefinition passwordCommand();
CommandDefinition allowCommand();
CommandDefinition httpCommand();
CommandDefinition snmpCommand();
CommandDefinition setIpCommand();
CommandDefinition setMacCommand();
CommandDefinition boardCommand();
CommandDefinition boardScriptsCommand();
CommandDefinition boardScriptCommand();
CommandDefinition backupCommand();
CommandDefinition diffCommand();
CommandDefinition restoreCommand();
CommandDefinition rolloutCommand();
CommandDefinition historyCommand();
CommandDefinition notifyCommand();
CommandDefinition alarmsCommand();
CommandDefinition auditCommand();
CommandDefinition scheduleCommand();
CommandDefinition sunCommand();
CommandDefinition storeCommand();

} // namespace kestavo::cli
