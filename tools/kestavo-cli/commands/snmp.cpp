#include "clicommand.h"

namespace kestavo::cli {

CommandSpec snmpCommand()
{
    CommandSpec spec;
    spec.word = QStringLiteral("snmp");
    spec.synopsis = QStringLiteral("snmp UNIT on|off");
    spec.details =
        QStringLiteral("Allow or refuse SNMP access (firmware above 1.7.0). Waits for \"SNMP Access\n"
                       "Changed !\".\n"
                       "Example:\n"
                       "  kestavo-cli snmp 127.0.0.1 on");
    spec.parse = [](const Reader& r, const QCommandLineParser&, Command* c) {
        return parseOnOffCommand(r, CommandKind::Snmp, c);
    };
    spec.run = runWithRunner;
    return spec;
}

} // namespace kestavo::cli
