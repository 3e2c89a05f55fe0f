#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "backup/configdiff.h"
#include "backup/configrestore.h"
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
    if (const QString problem =
            backup::preflight(readings, *file, chosen, context.exchange.transport().localIpv4());
        !problem.isEmpty()) {
        configNote(context, QStringLiteral("%1; nothing was written").arg(problem));
        return ExitRefused;
    }

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

} // namespace kestavo::cli
