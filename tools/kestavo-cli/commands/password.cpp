#include "clicommand.h"

namespace kestavo::cli {

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser&, Command* c)
{
    c->kind = CommandKind::Password;
    if (auto e = r.unit(1, c))
        return e;
    if (!r.has(2))
        return r.missing(QStringLiteral("NEW_PASSWORD"));
    if (const QString problem = passwordProblem(r.at(2), QStringLiteral("NEW_PASSWORD"), false);
        !problem.isEmpty())
        return r.error(problem);
    c->newPassword = r.at(2);
    return r.noMoreThan(3);
}

} // namespace

CommandDefinition passwordCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("password");
    definition.synopsis = QStringLiteral("password UNIT NEW_PASSWORD");
    definition.details =
        QStringLiteral("Change the unit's remote password (1 to 10 characters, no space or '*'). When\n"
                       "the unit accepts it, the station record is updated so that later commands use\n"
                       "the new password.\n"
                       "Example:\n"
                       "  kestavo-cli password 127.0.0.1 n3wpass");
    definition.secretArguments = true;
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
