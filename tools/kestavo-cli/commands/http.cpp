#include "clicommand.h"
#include "valueparsers.h"

namespace kestavo::cli {

std::optional<UsageError> parseOnOffCommand(const Reader& r, CommandKind kind, Command* c)
{
    c->kind = kind;
    if (auto e = r.unit(1, c))
        return e;
    if (!r.has(2))
        return r.missing(QStringLiteral("on|off"));
    const Parsed<bool> on = parseOnOff(r.at(2));
    if (!on)
        return r.bad(QStringLiteral("SETTING"), 2, on.error);
    c->on = *on;
    return r.noMoreThan(3);
}

CommandDefinition httpCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("http");
    definition.synopsis = QStringLiteral("http UNIT on|off");
    definition.details =
        QStringLiteral("Switch the unit's status web page on or off (firmware above 1.6.7). Waits for\n"
                       "\"HTTP Server Status Changed !\".\n"
                       "Example:\n"
                       "  kestavo-cli http 127.0.0.1 off");
    definition.parse = [](const Reader& r, const QCommandLineParser&, Command* c) {
        return parseOnOffCommand(r, CommandKind::Http, c);
    };
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
