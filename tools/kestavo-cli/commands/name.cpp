#include "clicommand.h"

namespace kestavo::cli {

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser&, Command* c)
{
    c->kind = CommandKind::Name;
    if (auto e = r.unit(1, c))
        return e;
    if (!r.has(2) || r.at(2).isEmpty())
        return r.error(QStringLiteral("NAME: Please Enter a Station Name !"));
    if (r.at(2).size() > kMaxStationName)
        return r.bad(QStringLiteral("NAME"), 2,
                     QStringLiteral("is longer than %1 characters").arg(kMaxStationName));
    if (!isLatin1(r.at(2)))
        return r.bad(QStringLiteral("NAME"), 2, QStringLiteral("holds characters the unit cannot store"));
    c->stationName = r.at(2);
    return r.noMoreThan(3);
}

} // namespace

CommandDefinition nameCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("name");
    definition.synopsis = QStringLiteral("name UNIT NAME");
    definition.details =
        QStringLiteral("Give the unit a station name of 1 to 20 characters; the next status report must\n"
                       "show it (--no-verify skips that).\n"
                       "Example:\n"
                       "  kestavo-cli name 127.0.0.1 \"Pump house\"");
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
