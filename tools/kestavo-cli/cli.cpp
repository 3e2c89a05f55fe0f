#include "cli.h"

#include <variant>

#include "commandline.h"
#include "commandrunner.h"
#include "helptext.h"
#include "historycommand.h"
#include "historycommands.h"
#include "notifycommand.h"

namespace kestavo::cli {

namespace {

// The command word: the first argument that is neither an option nor an option's value. The
// history, alarms and audit commands read the history file and parse their own options.
QString commandWord(const QStringList& arguments, int nth = 0)
{
    static const QStringList valueOptions = {
        QStringLiteral("--db"),         QStringLiteral("--port"),
        QStringLiteral("--timeout"),    QStringLiteral("--format"),
        QStringLiteral("--password"),   QStringLiteral("--count"),
        QStringLiteral("--interval"),   QStringLiteral("--history"),
        QStringLiteral("--from"),       QStringLiteral("--to"),
        QStringLiteral("--step"),       QStringLiteral("--since"),
        QStringLiteral("--station"),    QStringLiteral("--kind"),
        QStringLiteral("--url"),        QStringLiteral("--smtp"),
        QStringLiteral("--smtp-user"),  QStringLiteral("--smtp-password-file"),
        QStringLiteral("--priority"),   QStringLiteral("--tag"),
        QStringLiteral("--cooldown"),   QStringLiteral("--max-per-hour"),
        QStringLiteral("--repeat-min"), QStringLiteral("--header-file"),
        QStringLiteral("--preset"),     QStringLiteral("--send"),
        QStringLiteral("--for"),        QStringLiteral("--reason")};
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == u"--")
            return arguments.value(i + 1 + nth);
        if (!a.startsWith(u'-') && nth-- == 0)
            return a;
        if (valueOptions.contains(a))
            ++i;
    }
    return {};
}

} // namespace

int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err,
           const CliEnvironment& environment)
{
    const QString word = commandWord(arguments);
    if (word == u"history")
        return runHistoryCommand(arguments, out, err, environment);
    if (word == u"notify")
        return runNotifyCommand(arguments, out, err, environment);
    if (word == u"stations" && commandWord(arguments, 1) == u"maintenance")
        return runMaintenanceCommand(arguments, out, err, environment);
    if (word == u"alarms" && commandWord(arguments, 1) == u"report")
        return runAlarmsReport(arguments, out, err, environment);
    const std::variant<Command, UsageError> parsed = parseArguments(arguments);
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        const QString where = error->command.isEmpty() ? QString() : error->command + QStringLiteral(": ");
        err << "kestavo-cli: " << where << error->message << '\n';
        err << "Try 'kestavo-cli " << (error->command.isEmpty() ? QString() : error->command + u' ')
            << "--help'.\n";
        err.flush();
        return ExitUsage;
    }
    const Command& command = std::get<Command>(parsed);
    if (command.kind == CommandKind::Help) {
        out << (command.helpTopic.isEmpty() ? toolHelp() : commandHelp(command.helpTopic));
        out.flush();
        return ExitDone;
    }
    if (command.kind == CommandKind::Version) {
        out << versionText();
        out.flush();
        return ExitDone;
    }
    if (command.kind == CommandKind::Alarms || command.kind == CommandKind::AlarmsAck) {
        HistoryCommandContext context{command, out, err, environment};
        return runAlarms(context);
    }
    if (command.kind == CommandKind::Audit) {
        HistoryCommandContext context{command, out, err, environment};
        return runAudit(context);
    }
    CommandRunner runner(command, out, err, environment);
    return runner.run();
}

} // namespace kestavo::cli
