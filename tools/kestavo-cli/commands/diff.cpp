#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "backup/configdiff.h"
#include "backup/configrestore.h"
#include "clicommand.h"
#include "configcommands.h"

namespace kestavo::cli {

// Like diff(1): 0 the same, 1 different, 2 trouble (a bad file, or a unit that could not be read).
int runDiff(ConfigCommandContext& context)
{
    const std::optional<backup::UnitConfig> file = loadDocument(context);
    if (!file)
        return ExitUsage;
    auto read = backup::readUnit(context.exchange);
    if (const auto* error = std::get_if<QString>(&read)) {
        configNote(context, QStringLiteral("%1: %2").arg(context.unitDescription, *error));
        return ExitUsage;
    }
    const backup::UnitConfig unit =
        backup::configFromUnit(std::get<backup::UnitReadings>(read), context.command.unit, {}, {});
    const QList<backup::Change> changes = backup::compareConfigs(unit, *file);
    if (context.command.options.format == OutputFormat::Json) {
        QJsonArray list;
        for (const backup::Change& c : changes)
            list.append(QJsonObject{{QStringLiteral("item"), c.label()},
                                    {QStringLiteral("group"), backup::groupName(c.group())},
                                    {QStringLiteral("text"), c.text}});
        context.out << QString::fromUtf8(
                           QJsonDocument(QJsonObject{{QStringLiteral("command"), QStringLiteral("diff")},
                                                     {QStringLiteral("unit"), context.command.unit},
                                                     {QStringLiteral("file"), context.command.file},
                                                     {QStringLiteral("equal"), changes.isEmpty()},
                                                     {QStringLiteral("changes"), list}})
                               .toJson(QJsonDocument::Compact))
                    << '\n';
    } else if (changes.isEmpty()) {
        context.out << QStringLiteral("%1 matches %2\n").arg(context.command.unit, context.command.file);
    } else {
        for (const backup::Change& c : changes)
            context.out << c.text << '\n';
    }
    context.out.flush();
    return changes.isEmpty() ? ExitDone : ExitRefused;
}

std::optional<UsageError> parseUnitAndFile(const Reader& r, CommandKind kind, Command* c)
{
    c->kind = kind;
    if (auto e = r.unit(1, c))
        return e;
    if (!r.has(2) || r.at(2).isEmpty())
        return r.missing(QStringLiteral("FILE"));
    c->file = r.at(2);
    return r.noMoreThan(3);
}

CommandDefinition diffCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("diff");
    definition.synopsis = QStringLiteral("diff UNIT FILE");
    definition.details =
        QStringLiteral("Compare the unit with a backup document, item by item, in words. Exit code 0\n"
                       "when they match, 1 when they differ, 2 when FILE is refused or the unit could\n"
                       "not be read. No history file is created.\n"
                       "Example:\n"
                       "  kestavo-cli diff 127.0.0.1 pumphouse.json");
    definition.parse = [](const Reader& r, const QCommandLineParser&, Command* c) {
        return parseUnitAndFile(r, CommandKind::Diff, c);
    };
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
