#include "clicommand.h"
#include "valueparsers.h"

namespace kestavo::cli {

std::optional<UsageError> parseDescription(const Reader& r, qsizetype index, int maxLength,
                                           const QString& emptyMessage, QString* out)
{
    if (!r.has(index) || r.at(index).isEmpty())
        return r.error(QStringLiteral("DESCRIPTION: %1").arg(emptyMessage));
    if (r.at(index).size() > maxLength)
        return r.bad(QStringLiteral("DESCRIPTION"), index,
                     QStringLiteral("is longer than %1 characters").arg(maxLength));
    if (!isLatin1(r.at(index)))
        return r.bad(QStringLiteral("DESCRIPTION"), index,
                     QStringLiteral("holds characters the unit cannot store"));
    *out = r.at(index);
    return std::nullopt;
}

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser& options, Command* c)
{
    if (options.isSet(QStringLiteral("tag"))) {
        // script run --tag TAG SLOT
        c->kind = CommandKind::ScriptRunTag;
        if (r.at(1).toLower() != QStringLiteral("run"))
            return r.error(QStringLiteral("--tag goes with script run only (usage: kestavo-cli script run "
                                          "--tag TAG SLOT)"));
        if (auto e = parseTagOption(r, options, c))
            return e;
        c->yes = options.isSet(QStringLiteral("yes"));
        if (auto e = r.integer(2, QStringLiteral("SLOT"), 1, protocol::kScriptSlots, &c->slot))
            return e;
        return r.noMoreThan(3);
    }
    if (options.isSet(QStringLiteral("yes")))
        return notHere(r, QStringLiteral("--yes"), QStringLiteral("script run --tag"));
    if (auto e = r.unit(1, c))
        return e;
    QString sub;
    const QStringList subs = {QStringLiteral("upload"), QStringLiteral("run")};
    if (auto e = r.word(2, QStringLiteral("subcommand"), subs, &sub))
        return e;
    if (auto e = r.integer(3, QStringLiteral("SLOT"), 1, protocol::kScriptSlots, &c->slot))
        return e;
    if (sub == QStringLiteral("run")) {
        c->kind = CommandKind::ScriptRun;
        return r.noMoreThan(4);
    }
    c->kind = CommandKind::ScriptUpload;
    if (auto e = parseDescription(r, 4, kMaxScriptDescription, QStringLiteral("No Description !"),
                                  &c->description))
        return e;
    if (!r.has(5))
        return r.error(QStringLiteral("STEP: Make a Script first !"));
    for (qsizetype i = 5; i < r.size(); ++i) {
        const int number = static_cast<int>(i - 4);
        if (number > protocol::kMaxScriptSteps)
            return r.bad(QStringLiteral("STEP %1").arg(number), i,
                         QStringLiteral("is one too many: Script FULL ! (at most 16 steps)"));
        const Parsed<char> step = parseStep(r.at(i));
        if (!step)
            return r.bad(QStringLiteral("STEP %1").arg(number), i, step.error);
        c->codeField.push_back(*step);
    }
    c->stepCount = static_cast<int>(c->codeField.size());
    return std::nullopt;
}

} // namespace

CommandDefinition scriptCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("script");
    definition.synopsis = QStringLiteral("script UNIT upload SLOT DESCRIPTION STEP…\n"
                                         "script UNIT run SLOT\n"
                                         "script run --tag TAG SLOT [--yes] [--parallel N]");
    definition.details =
        QStringLiteral("Upload a relay script into SLOT (1 to 8) or run the script stored there.\n"
                       "DESCRIPTION: 1 to 15 characters. STEP: a step text (\"Relay 1 ON\",\n"
                       "\"Wait 2 Seconds\", …) or its code (1 to 9, A, B); 1 to 16 steps.\n"
                       "  Relay 1 ON 1    Relay 1 OFF 2    Relay 2 ON 3    Relay 2 OFF 4\n"
                       "  Relay 3 ON 5    Relay 3 OFF 6    Wait 1 Second 7 Wait 2 Seconds 8\n"
                       "  Wait 3 Seconds 9  Wait 4 Seconds A  Wait 5 Seconds B\n"
                       "An upload is read back from the unit; a run first checks that the slot holds\n"
                       "a script, then waits for \"Relay Script Executed !\". --no-verify skips the\n"
                       "read-back and the check.\n"
                       "script run --tag TAG SLOT runs it at every station with TAG, as relay --tag\n"
                       "switches a relay (one question, a few at a time, one line per unit).\n"
                       "Examples:\n"
                       "  kestavo-cli script 127.0.0.1 upload 3 \"Pump cycle\" \"Relay 1 ON\" B 2\n"
                       "  kestavo-cli script 127.0.0.1 run 3");
    definition.options = fleetOperationOptions(false);
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
