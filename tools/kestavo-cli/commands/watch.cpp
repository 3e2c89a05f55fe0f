#include "clicommand.h"

namespace kestavo::cli {

QCommandLineOption repeatCountOption()
{
    return QCommandLineOption(QStringLiteral("count"), QStringLiteral("stop after N reports or rounds"),
                              QStringLiteral("N"));
}

QCommandLineOption repeatIntervalOption()
{
    return QCommandLineOption(QStringLiteral("interval"),
                              QStringLiteral("poll every MS milliseconds (default 1000)"),
                              QStringLiteral("MS"));
}

std::optional<UsageError> parseRepeatOptions(const Reader& r, const QCommandLineParser& options, bool repeats,
                                             const QString& owners, Command* c)
{
    for (const QString& name : {QStringLiteral("count"), QStringLiteral("interval")}) {
        if (options.isSet(name) && !repeats)
            return notHere(r, QStringLiteral("--") + name, owners);
    }
    if (auto e = optionInteger(r, options, QStringLiteral("count"), 1, 999999999, &c->count))
        return e;
    return optionInteger(r, options, QStringLiteral("interval"), 1, 3600000, &c->intervalMs);
}

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser& options, Command* c)
{
    c->kind = CommandKind::Watch;
    if (auto e = r.unit(1, c))
        return e;
    if (auto e = r.noMoreThan(2))
        return e;
    return parseRepeatOptions(r, options, true, QString(), c);
}

} // namespace

CommandDefinition watchCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("watch");
    definition.synopsis = QStringLiteral("watch UNIT [--count N] [--interval MS]");
    definition.details =
        QStringLiteral("Poll UNIT like the console does (every 1000 ms unless --interval says otherwise)\n"
                       "and print one line per status report: text, JSON Lines (--format json) or CSV\n"
                       "with a header row (--format csv). Stops after N reports with --count, when\n"
                       "interrupted, or when the unit has been silent for 60 s.\n"
                       "Example:\n"
                       "  kestavo-cli watch 127.0.0.1 --count 10 --format csv");
    definition.options = {repeatCountOption(), repeatIntervalOption()};
    definition.csvKinds = {CommandKind::Watch};
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
