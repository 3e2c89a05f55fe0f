#include "clicommand.h"
#include "valueparsers.h"

namespace kestavo::cli {

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser&, Command* c)
{
    if (auto e = r.unit(1, c))
        return e;
    QString sub;
    if (auto e =
            r.word(2, QStringLiteral("subcommand"), {QStringLiteral("upload"), QStringLiteral("run")}, &sub))
        return e;
    if (auto e = r.integer(3, QStringLiteral("SLOT"), 1, protocol::kBoardSlots, &c->slot))
        return e;
    if (sub == QStringLiteral("run")) {
        c->kind = CommandKind::BoardScriptRun;
        return r.noMoreThan(4);
    }
    c->kind = CommandKind::BoardScriptUpload;
    if (auto e = parseDescription(r, 4, kMaxBoardDescription, QStringLiteral("Enter a Script Description!"),
                                  &c->description))
        return e;
    for (qsizetype i = 5; i < r.size(); ++i) {
        const int number = static_cast<int>(i - 4);
        if (number > protocol::kMaxBoardSteps)
            return r.bad(QStringLiteral("STEP %1").arg(number), i,
                         QStringLiteral("is one too many: Script Full ! (at most 16 steps)"));
        const Parsed<std::uint8_t> step = parseBoardStep(r.at(i));
        if (!step)
            return r.bad(QStringLiteral("STEP %1").arg(number), i, step.error);
        c->boardCodes[static_cast<std::size_t>(number - 1)] = *step;
        c->stepCount = number;
    }
    return std::nullopt;
}

} // namespace

CommandDefinition boardScriptCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("board-script");
    definition.synopsis = QStringLiteral("board-script UNIT upload SLOT DESCRIPTION STEP…\n"
                                         "board-script UNIT run SLOT");
    definition.details =
        QStringLiteral("Upload a daughter-board script into SLOT (1 to 16) or run it. DESCRIPTION: 1 to\n"
                       "16 characters. STEP: a palette text (\"RDB1 Relay 1 NC\", \"RDB2 Output OFF\",\n"
                       "\"RDB6 Light ON\", \"Wait 1 Second\" … \"Wait 10 Seconds\") or its code (0x20);\n"
                       "at most 16 steps. An upload is read back; a run first checks that the slot\n"
                       "holds steps (--no-verify skips both).\n"
                       "Examples:\n"
                       "  kestavo-cli board-script 127.0.0.1 upload 3 Blink \"RDB2 Light OFF\" \"Wait 3 "
                       "Seconds\" \"RDB2 Light ON\"\n"
                       "  kestavo-cli board-script 127.0.0.1 run 3");
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
