#include "clicommand.h"

namespace kestavo::cli {

CommandDefinition statusCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("status");
    definition.synopsis = QStringLiteral("status UNIT");
    definition.details =
        QStringLiteral("Ask UNIT for one status report and print it decoded: MAC address, the eight\n"
                       "voltages, relays, I/O pins, temperature, firmware revision, uptime, station\n"
                       "name, relay timer, HTTP and SNMP switches, daughter boards. Reads only: no\n"
                       "history file is created.\n"
                       "Example:\n"
                       "  kestavo-cli --port 7007 --password secret status 127.0.0.1 --format json");
    definition.csvKinds = {CommandKind::Status};
    definition.parse = [](const Reader& r, const QCommandLineParser&, Command* c) {
        return parseUnitOnly(r, CommandKind::Status, c);
    };
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
