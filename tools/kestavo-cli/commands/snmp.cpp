#include "clicommand.h"

namespace kestavo::cli {

CommandDefinition snmpCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("snmp");
    definition.synopsis = QStringLiteral("snmp UNIT on|off");
    definition.details =
        QStringLiteral("Allow or refuse SNMP access (firmware above 1.7.0). Waits for \"SNMP Access\n"
                       "Changed !\".\n"
                       "Example:\n"
                       "  kestavo-cli snmp 127.0.0.1 on");
    definition.parse = [](const Reader& r, const QCommandLineParser&, Command* c) {
        return parseOnOffCommand(r, CommandKind::Snmp, c);
    };
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
