#include "clicommand.h"

namespace kestavo::cli {

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser&, Command* c)
{
    if (auto e = r.unit(1, c))
        return e;
    if (auto e = r.integer(2, QStringLiteral("BOX"), 1, 5, &c->box))
        return e;
    QString action;
    if (auto e = r.word(3, QStringLiteral("ACTION"), {QStringLiteral("off"), QStringLiteral("on")}, &action))
        return e;
    if (action == QStringLiteral("off")) {
        c->kind = CommandKind::IoOff;
        return r.noMoreThan(4);
    }
    c->kind = CommandKind::IoOn;
    if (auto e = r.integer(4, QStringLiteral("SLOT_FOR_0"), 1, protocol::kScriptSlots, &c->slotFor0))
        return e;
    if (auto e = r.integer(5, QStringLiteral("SLOT_FOR_1"), 1, protocol::kScriptSlots, &c->slotFor1))
        return e;
    return r.noMoreThan(6);
}

} // namespace

CommandDefinition ioCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("io");
    definition.synopsis = QStringLiteral("io UNIT BOX off\n"
                                         "io UNIT BOX on SLOT_FOR_0 SLOT_FOR_1");
    definition.details =
        QStringLiteral("Set what I/O box BOX (1 to 5) does when its pin changes: nothing, or run the\n"
                       "script in SLOT_FOR_0 on a change to 0 and SLOT_FOR_1 on a change to 1. Waits\n"
                       "for \"I/O Data Received !\".\n"
                       "Example:\n"
                       "  kestavo-cli io 127.0.0.1 5 on 1 8");
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
