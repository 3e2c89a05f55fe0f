#include "clicommand.h"
#include "valueparsers.h"

namespace kestavo::cli {

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser&, Command* c)
{
    c->kind = CommandKind::Board;
    if (auto e = r.unit(1, c))
        return e;
    if (auto e = r.integer(2, QStringLiteral("BOARD"), 1, protocol::kBoards, &c->board))
        return e;
    if (!r.has(3))
        return r.missing(QStringLiteral("ITEM"));
    const Parsed<protocol::BoardItem> item = parseBoardItem(r.at(3));
    if (!item)
        return r.bad(QStringLiteral("ITEM"), 3, item.error);
    c->item = *item;
    QString action;
    if (auto e = r.word(4, QStringLiteral("ACTION"), {QStringLiteral("switch"), QStringLiteral("toggle")},
                        &action))
        return e;
    c->toggle = action == QStringLiteral("toggle");
    if (!c->toggle)
        return r.noMoreThan(5);
    if (c->item == protocol::BoardItem::Light)
        return r.bad(QStringLiteral("ITEM"), 3,
                     QStringLiteral("has no toggle (only relays and the output do)"));
    if (auto e = r.integer(5, QStringLiteral("SECONDS"), 1, kMaxRelayDelay, &c->seconds))
        return e;
    return r.noMoreThan(6);
}

} // namespace

CommandDefinition boardCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("board");
    definition.synopsis = QStringLiteral("board UNIT BOARD ITEM switch\n"
                                         "board UNIT BOARD ITEM toggle SECONDS");
    definition.details =
        QStringLiteral("Change over ITEM (relay1 … relay6, output, light) of daughter board BOARD (1 to\n"
                       "6), or change it over and back after SECONDS (1 to 60; not the light). Waits\n"
                       "for \"RDB Command Success !\", then for a status report that shows the change\n"
                       "(--no-verify skips the status reports before and after).\n"
                       "Example:\n"
                       "  kestavo-cli board 127.0.0.1 1 relay2 toggle 15");
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
