#include "stations/stationextras.h"

#include "clicommand.h"

namespace kestavo::cli {

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser& options, Command* c)
{
    c->kind = CommandKind::Fleet;
    if (auto e = r.noMoreThan(1))
        return e;
    c->watch = options.isSet(QStringLiteral("watch"));
    if (options.isSet(QStringLiteral("tag"))) {
        c->tagFilter = options.value(QStringLiteral("tag"));
        if (const QString problem = stations::tagProblem(c->tagFilter); !problem.isEmpty())
            return r.error(QStringLiteral("--tag: %1").arg(problem));
    }
    return parseRepeatOptions(r, options, c->watch, QStringLiteral("watch and fleet --watch"), c);
}

} // namespace

CommandDefinition fleetCommandDefinition()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("fleet");
    definition.synopsis =
        QStringLiteral("fleet [--tag TAG] [--watch] [--count N] [--interval MS] [--history FILE]");
    definition.details =
        QStringLiteral("Poll every station of the database at once and print one line (text), object\n"
                       "(json) or row (csv) per station: address, description, state (online,\n"
                       "bad-password, offline, invalid), age_s, rtt_ms, relays, temperature_c,\n"
                       "voltages, io. A station whose stored address is no IPv4 address (four numbers\n"
                       "0-255 without leading zeros) is shown invalid and never polled. --tag TAG polls\n"
                       "only the stations with TAG or a tag below it. Waits up to\n"
                       "--timeout for the answers. --watch polls again every second (--interval MS) and\n"
                       "prints every round (JSON Lines with --format json) until interrupted or N rounds\n"
                       "(--count). --history FILE records every report into that history file as the\n"
                       "console does. Exit 0 when every station is online, 1 when any is not, 3 for a\n"
                       "database problem.\n"
                       "Example:\n"
                       "  kestavo-cli fleet --format json");
    definition.options = {QCommandLineOption(QStringLiteral("watch"), QStringLiteral("poll again and again")),
                          repeatCountOption(), repeatIntervalOption(),
                          QCommandLineOption(QStringLiteral("tag"),
                                             QStringLiteral("Only the stations with this tag."),
                                             QStringLiteral("TAG"))};
    definition.csvKinds = {CommandKind::Fleet};
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
