#include "clicommand.h"
#include "notifycommand.h"

namespace kestavo::cli {

CommandDefinition notifyCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("notify");
    definition.synopsis =
        QStringLiteral("notify routes\nnotify routes add --kind webhook|email …\nnotify routes remove ID\n"
                       "notify routes test ID");
    definition.details = QStringLiteral(
        "List, add, remove or test the notification routes kept in the history file:\n"
        "where alarm messages go (a webhook URL or a mailbox) and how often. The\n"
        "program evaluating a station's alarms sends them (docs/alarms.md).\n"
        "Examples:\n"
        "  kestavo-cli notify routes add --kind webhook --url https://push.example/alarms --preset text\n"
        "  kestavo-cli notify routes add --kind email --to oncall@example.org \\\n"
        "      --smtp smtp://mail.example.org:587 --smtp-user kestavo --smtp-password-file pw\n"
        "  kestavo-cli notify routes test 1");
    definition.options = notifyOptions();
    definition.csvKinds = {CommandKind::Notify};
    // notifycommand.cpp reads the line with its own parser, from the same option list.
    definition.parse = [](const Reader&, const QCommandLineParser&, Command* c) -> std::optional<UsageError> {
        c->kind = CommandKind::Notify;
        return std::nullopt;
    };
    definition.run = [](const Command& c, QTextStream& out, QTextStream& err, const CliEnvironment& env) {
        return runNotifyCommand(c.arguments, out, err, env);
    };
    return definition;
}

} // namespace kestavo::cli
