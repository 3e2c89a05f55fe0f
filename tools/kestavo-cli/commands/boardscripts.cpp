#include "clicommand.h"

namespace kestavo::cli {

CommandDefinition boardScriptsCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("board-scripts");
    definition.synopsis = QStringLiteral("board-scripts UNIT");
    definition.details =
        QStringLiteral("Read the sixteen daughter-board script slots: description and steps.\n"
                       "Example:\n"
                       "  kestavo-cli board-scripts 127.0.0.1");
    definition.csvKinds = {CommandKind::BoardScripts};
    definition.parse = [](const Reader& r, const QCommandLineParser&, Command* c) {
        return parseUnitOnly(r, CommandKind::BoardScripts, c);
    };
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
