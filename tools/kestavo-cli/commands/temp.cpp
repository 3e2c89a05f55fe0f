#include "clicommand.h"

namespace kestavo::cli {

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser&, Command* c)
{
    if (auto e = r.unit(1, c))
        return e;
    QString action;
    if (auto e = r.word(2, QStringLiteral("ACTION"), {QStringLiteral("off"), QStringLiteral("on")}, &action))
        return e;
    qsizetype next = 3;
    if (action == QStringLiteral("on")) {
        c->kind = CommandKind::TemperatureOn;
        if (auto e = r.integer(3, QStringLiteral("UPPER_SLOT"), 1, protocol::kScriptSlots, &c->upperSlot))
            return e;
        if (auto e = r.integer(4, QStringLiteral("LOWER_SLOT"), 1, protocol::kScriptSlots, &c->lowerSlot))
            return e;
        next = 5;
    } else {
        c->kind = CommandKind::TemperatureOff;
    }
    if (auto e = r.integer(next, QStringLiteral("UPPER"), 0, kMaxThreshold, &c->upper))
        return e;
    if (auto e = r.integer(next + 1, QStringLiteral("LOWER"), 0, kMaxThreshold, &c->lower))
        return e;
    if (auto e = r.noMoreThan(next + 2))
        return e;
    // With the triggers off the console sends whatever the sliders hold, unchecked.
    if (c->kind == CommandKind::TemperatureOn) {
        if (c->upper == c->lower) {
            return r.error(
                QStringLiteral("UPPER %1 and LOWER %2: There should be at least one degree difference "
                               "between the two temperature thresholds !")
                    .arg(c->upper)
                    .arg(c->lower));
        }
        if (c->upper < c->lower) {
            return r.error(
                QStringLiteral("UPPER %1 is below LOWER %2: the upper threshold must be GREATER than "
                               "the lower one")
                    .arg(c->upper)
                    .arg(c->lower));
        }
    }
    return std::nullopt;
}

} // namespace

CommandDefinition tempCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("temp");
    definition.synopsis = QStringLiteral("temp UNIT off UPPER LOWER\n"
                                         "temp UNIT on UPPER_SLOT LOWER_SLOT UPPER LOWER");
    definition.details =
        QStringLiteral("Set the temperature triggers: run UPPER_SLOT when the unit gets warmer than\n"
                       "UPPER °C and LOWER_SLOT when it gets colder than LOWER °C (0 to 49, UPPER above\n"
                       "LOWER), or switch them off. Waits for \"Temperature Data Received !\".\n"
                       "Example:\n"
                       "  kestavo-cli temp 127.0.0.1 on 2 3 30 29");
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
