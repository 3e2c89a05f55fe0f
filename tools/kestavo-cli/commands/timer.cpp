#include "clicommand.h"
#include "valueparsers.h"

namespace kestavo::cli {

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser& options, Command* c)
{
    if (auto e = r.unit(1, c))
        return e;
    QString sub;
    const QStringList subs = {QStringLiteral("set"), QStringLiteral("stop")};
    if (auto e = r.word(2, QStringLiteral("subcommand"), subs, &sub))
        return e;
    if (sub == QStringLiteral("stop")) {
        c->kind = CommandKind::TimerStop;
        if (auto e = r.noMoreThan(3))
            return e;
        if (options.isSet(QStringLiteral("continuous")))
            return notHere(r, QStringLiteral("--continuous"), QStringLiteral("timer set"));
        return std::nullopt;
    }
    c->kind = CommandKind::TimerSet;
    if (auto e = r.integer(3, QStringLiteral("SLOT"), 1, protocol::kScriptSlots, &c->slot))
        return e;
    if (!r.has(4))
        return r.missing(QStringLiteral("DURATION"));
    const Parsed<std::uint32_t> duration = parseDuration(r.at(4));
    if (!duration)
        return r.bad(QStringLiteral("DURATION"), 4, duration.error);
    if (*duration == 0)
        return r.bad(QStringLiteral("DURATION"), 4, QStringLiteral("is zero: Choose a delay time!"));
    if (*duration > kMaxTimerSeconds)
        return r.bad(QStringLiteral("DURATION"), 4,
                     QStringLiteral("is %1 s; the longest is 30d24h60m60s (%2 s)")
                         .arg(*duration)
                         .arg(kMaxTimerSeconds));
    c->durationSeconds = *duration;
    c->continuous = options.isSet(QStringLiteral("continuous"));
    return r.noMoreThan(5);
}

} // namespace

CommandDefinition timerCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("timer");
    definition.synopsis = QStringLiteral("timer UNIT set SLOT DURATION [--continuous]\n"
                                         "timer UNIT stop");
    definition.details =
        QStringLiteral("Set the relay timer to run the script in SLOT after DURATION (seconds, or units\n"
                       "such as 1d2h3m4s; at most 30d24h60m60s), once or, with --continuous, over and\n"
                       "over; or stop it. Waits for \"Timer Data Received !\" / \"Timer Stopped\n"
                       "Forcefully !\".\n"
                       "Examples:\n"
                       "  kestavo-cli timer 127.0.0.1 set 3 1h30m --continuous\n"
                       "  kestavo-cli timer 127.0.0.1 stop");
    definition.options = {QCommandLineOption(
        QStringLiteral("continuous"), QStringLiteral("run the script again each time the timer runs out"))};
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
