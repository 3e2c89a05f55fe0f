#include "clicommand.h"

namespace kestavo::cli {

CommandSpec boardScriptsCommand()
{
    CommandSpec spec;
    spec.word = QStringLiteral("board-scripts");
    spec.synopsis = QStringLiteral("board-scripts UNIT");
    spec.details = QStringLiteral("Read the sixteen daughter-board script slots: description and steps.\n"
                                  "Example:\n"
                                  "  kestavo-cli board-scripts 127.0.0.1");
    spec.csvKinds = {CommandKind::BoardScripts};
    spec.parse = [](const Reader& r, const QCommandLineParser&, Command* c) {
        return parseUnitOnly(r, CommandKind::BoardScripts, c);
    };
    spec.run = runWithRunner;
    return spec;
}

} // namespace kestavo::cli
