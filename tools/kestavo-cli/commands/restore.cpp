#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "backup/configdiff.h"
#include "backup/configrestore.h"
#include "clicommand.h"
#include "configcommands.h"

namespace kestavo::cli {

namespace {

QList<backup::Group> chosenGroups(const QStringList& names)
{
    if (names.isEmpty())
        return backup::defaultGroups();
    QList<backup::Group> groups;
    for (const QString& name : names) {
        if (const auto group = backup::groupFromName(name))
            groups << *group;
    }
    return groups;
}

} // namespace

int runRestore(ConfigCommandContext& context)
{
    const Command& command = context.command;
    const std::optional<backup::UnitConfig> file = loadDocument(context);
    if (!file)
        return ExitUsage;
    auto read = backup::readUnit(context.exchange);
    if (const auto* error = std::get_if<QString>(&read)) {
        configNote(context,
                   QStringLiteral("%1: %2; nothing was written").arg(context.unitDescription, *error));
        return ExitRefused;
    }
    const backup::UnitReadings& readings = std::get<backup::UnitReadings>(read);
    const backup::UnitConfig unit = backup::configFromUnit(readings, command.unit, {}, {});
    const QList<backup::Change> all = backup::compareConfigs(unit, *file);
    const QList<backup::Change> chosen = backup::changesIn(all, chosenGroups(command.only));
    const bool json = command.options.format == OutputFormat::Json;

    if (chosen.isEmpty()) {
        const QString message = QStringLiteral("nothing to restore: %1 already matches %2%3")
                                    .arg(command.unit, command.file,
                                         all.isEmpty() ? QString() : QStringLiteral(" in the parts chosen"));
        if (json)
            context.out << QString::fromUtf8(
                               QJsonDocument(
                                   QJsonObject{{QStringLiteral("command"), QStringLiteral("restore")},
                                               {QStringLiteral("ok"), true},
                                               {QStringLiteral("message"), message},
                                               {QStringLiteral("written"), QJsonArray()}})
                                   .toJson(QJsonDocument::Compact))
                        << '\n';
        else
            context.out << message << '\n';
        context.out.flush();
        return ExitDone;
    }
    const backup::Preflight checked =
        backup::preflight(readings, *file, chosen, context.exchange.transport().localIpv4());
    if (!checked.refusal.isEmpty()) {
        configNote(context, QStringLiteral("%1; nothing was written").arg(checked.refusal));
        return ExitRefused;
    }
    for (const QString& warning : checked.warnings)
        configNote(context, QStringLiteral("warning: %1").arg(warning));

    QString question = QStringLiteral("%1 differs from %2 in:\n").arg(command.unit, command.file);
    for (const backup::Change& c : chosen)
        question += QStringLiteral("  %1\n").arg(c.text);
    question += QStringLiteral("Write these %1 item(s) to %2? [y/N] ").arg(chosen.size()).arg(command.unit);
    if (!command.yes) {
        const bool agreed = context.environment.confirm ? context.environment.confirm(question) : false;
        if (!agreed) {
            configNote(context, QStringLiteral("restore cancelled; nothing was written"));
            return ExitRefused;
        }
    } else if (!json) {
        context.err << question.section(u'\n', 0, -2) << '\n';
        context.err.flush();
    }

    const backup::RestoreResult result =
        backup::restoreChanges(context.exchange, readings, *file, chosen, [&](const QString& line) {
            if (!json) {
                context.out << line << '\n';
                context.out.flush();
            }
        });
    if (json) {
        context.out << QString::fromUtf8(
                           QJsonDocument(
                               QJsonObject{
                                   {QStringLiteral("command"), QStringLiteral("restore")},
                                   {QStringLiteral("unit"), command.unit},
                                   {QStringLiteral("ok"), result.ok()},
                                   {QStringLiteral("message"), result.summary()},
                                   {QStringLiteral("written"), QJsonArray::fromStringList(result.written)},
                                   {QStringLiteral("skipped"), QJsonArray::fromStringList(result.skipped)},
                                   {QStringLiteral("not_written"),
                                    QJsonArray::fromStringList(result.notWritten)}})
                               .toJson(QJsonDocument::Compact))
                    << '\n';
        context.out.flush();
    }
    if (!result.ok()) {
        configNote(context, result.summary());
        return ExitRefused;
    }
    if (!json) {
        context.out
            << QStringLiteral("restored %1 item(s) to %2\n").arg(result.written.size()).arg(command.unit);
        context.out.flush();
    }
    return ExitDone;
}

CommandDefinition restoreCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("restore");
    definition.synopsis =
        QStringLiteral("restore UNIT FILE [--only name,scripts,boards,triggers,security,delays] [--yes]");
    definition.details =
        QStringLiteral("Show what differs, ask once (unless --yes), then write only what differs, in a\n"
                       "safe order (scripts before the triggers that run them, the allowed-IP list\n"
                       "last), each item checked through the unit's next report or table. Stops at\n"
                       "the first refusal and names what was and was not written. A list that would\n"
                       "shut out this computer is refused, and a firmware too old for an item skips\n"
                       "it. Relay delays are written only with --only delays: setting one switches\n"
                       "the relay off and on again.\n"
                       "Example:\n"
                       "  kestavo-cli restore 127.0.0.1 pumphouse.json --only scripts,triggers");
    definition.options = {QCommandLineOption(QStringLiteral("only"), QStringLiteral("only these parts"),
                                             QStringLiteral("LIST")),
                          yesOption()};
    definition.parse = [](const Reader& r, const QCommandLineParser& options,
                          Command* c) -> std::optional<UsageError> {
        if (auto e = parseUnitAndFile(r, CommandKind::Restore, c))
            return e;
        if (options.isSet(QStringLiteral("only"))) {
            for (const QString& group : options.value(QStringLiteral("only")).split(u',')) {
                const QString name = group.trimmed().toLower();
                if (!backup::groupFromName(name))
                    return r.error(QStringLiteral("--only '%1' must be a list of name, scripts, boards, "
                                                  "triggers, security and delays")
                                       .arg(group));
                if (!c->only.contains(name))
                    c->only << name;
            }
        }
        c->yes = options.isSet(QStringLiteral("yes"));
        return std::nullopt;
    };
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
