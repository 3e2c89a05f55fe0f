#include "clicommand.h"

namespace kestavo::cli {

CommandDefinition scriptsCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("scripts");
    definition.synopsis = QStringLiteral("scripts UNIT");
    definition.details =
        QStringLiteral("Read the eight relay-script slots: description, code field and steps.\n"
                       "Example:\n"
                       "  kestavo-cli scripts 127.0.0.1 --format json");
    definition.csvKinds = {CommandKind::Scripts};
    definition.parse = [](const Reader& r, const QCommandLineParser&, Command* c) {
        return parseUnitOnly(r, CommandKind::Scripts, c);
    };
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
