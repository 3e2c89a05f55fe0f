#include "clicommand.h"

namespace kestavo::cli {

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser&, Command* c)
{
    c->kind = CommandKind::Relay;
    if (auto e = r.unit(1, c))
        return e;
    if (auto e = r.integer(2, QStringLiteral("RELAY"), 1, 3, &c->relay))
        return e;
    QString action;
    const QStringList actions = {QStringLiteral("on"), QStringLiteral("off"), QStringLiteral("cycle")};
    if (auto e = r.word(3, QStringLiteral("ACTION"), actions, &action))
        return e;
    if (action == QStringLiteral("cycle")) {
        c->relayAction = protocol::RelayCycle;
        if (auto e = r.integer(4, QStringLiteral("SECONDS"), 1, kMaxRelayDelay, &c->seconds))
            return e;
        return r.noMoreThan(5);
    }
    c->relayAction = action == QStringLiteral("on") ? protocol::RelayOn : protocol::RelayOff;
    return r.noMoreThan(4);
}

} // namespace

CommandDefinition relayCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("relay");
    definition.synopsis = QStringLiteral("relay UNIT 1|2|3 on|off|cycle SECONDS");
    definition.details =
        QStringLiteral("Switch one of the unit's three relays on, off, or off and back on after SECONDS\n"
                       "(1 to 60). The next status report must show the change (\"relay 1 is ON\");\n"
                       "--no-verify sends the frame and returns at once (audited as \"sent, not\n"
                       "verified\").\n"
                       "Example:\n"
                       "  kestavo-cli relay 127.0.0.1 2 cycle 5");
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
