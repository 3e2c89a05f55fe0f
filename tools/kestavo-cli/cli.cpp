#include "cli.h"

#include <variant>

#include "commandline.h"
#include "commands/clicommand.h"
#include "helptext.h"

namespace kestavo::cli {

int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err,
           const CliEnvironment& environment)
{
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
    for (const CommandDefinition& definition : commandTable()) {
        if (definition.word == command.word)
            return definition.run(command, out, err, environment);
    }
    return ExitUsage; // parseArguments only returns words of the table
}

} // namespace kestavo::cli
