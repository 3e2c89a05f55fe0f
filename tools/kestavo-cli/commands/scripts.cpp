#include "clicommand.h"

namespace kestavo::cli {

CommandSpec scriptsCommand()
{
    CommandSpec spec;
    spec.word = QStringLiteral("scripts");
    spec.synopsis = QStringLiteral("scripts UNIT");
    spec.details = QStringLiteral("Read the eight relay-script slots: description, code field and steps.\n"
                                  "Example:\n"
                                  "  kestavo-cli scripts 127.0.0.1 --format json");
    spec.csvKinds = {CommandKind::Scripts};
    spec.parse = [](const Reader& r, const QCommandLineParser&, Command* c) {
        return parseUnitOnly(r, CommandKind::Scripts, c);
    };
    spec.run = runWithRunner;
    return spec;
}

} // namespace kestavo::cli
