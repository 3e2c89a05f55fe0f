#include "clicommand.h"

namespace kestavo::cli {

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser& options, Command* c)
{
    // relay UNIT N ACTION, or relay --tag TAG N ACTION: the relay number follows the unit, if any.
    qsizetype at = 1;
    if (options.isSet(QStringLiteral("tag"))) {
        c->kind = CommandKind::RelayTag;
        if (auto e = parseTagOption(r, options, c))
            return e;
        c->yes = options.isSet(QStringLiteral("yes"));
    } else {
        c->kind = CommandKind::Relay;
        if (options.isSet(QStringLiteral("yes")))
            return notHere(r, QStringLiteral("--yes"), QStringLiteral("relay --tag"));
        if (auto e = r.unit(at++, c))
            return e;
    }
    if (auto e = r.integer(at++, QStringLiteral("RELAY"), 1, 3, &c->relay))
        return e;
    QString action;
    const QStringList actions = {QStringLiteral("on"), QStringLiteral("off"), QStringLiteral("cycle")};
    if (auto e = r.word(at++, QStringLiteral("ACTION"), actions, &action))
        return e;
    if (action == QStringLiteral("cycle")) {
        c->relayAction = protocol::RelayCycle;
        if (auto e = r.integer(at++, QStringLiteral("SECONDS"), 1, kMaxRelayDelay, &c->seconds))
            return e;
        return r.noMoreThan(at);
    }
    c->relayAction = action == QStringLiteral("on") ? protocol::RelayOn : protocol::RelayOff;
    return r.noMoreThan(at);
}

} // namespace

CommandDefinition relayCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("relay");
    definition.synopsis = QStringLiteral("relay UNIT 1|2|3 on|off|cycle SECONDS\n"
                                         "relay --tag TAG 1|2|3 on|off|cycle SECONDS [--yes] [--parallel N]");
    definition.details =
        QStringLiteral("Switch one of the unit's three relays on, off, or off and back on after SECONDS\n"
                       "(1 to 60). The next status report must show the change (\"relay 1 is ON\");\n"
                       "--no-verify sends the frame and returns at once (audited as \"sent, not\n"
                       "verified\").\n"
                       "--tag TAG switches the relay at every station with TAG (or a tag below it):\n"
                       "one question naming the count and the tag (--yes answers it; with nobody to\n"
                       "ask nothing is sent, exit 2), a few units at a time (--parallel, default 4),\n"
                       "each checked through its next status report, one line per unit and a\n"
                       "summary. After --max-failures failed units (default 1; 0: never) no further\n"
                       "unit is started; Ctrl-C lets the units in flight finish and starts no more.\n"
                       "Exit 0 when every unit switched, 1 when any did not or was not started.\n"
                       "Examples:\n"
                       "  kestavo-cli relay 127.0.0.1 2 cycle 5\n"
                       "  kestavo-cli relay --tag north/pumps 2 on");
    definition.options = fleetOperationOptions(false);
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
