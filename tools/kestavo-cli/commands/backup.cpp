#include <QSaveFile>

#include "backup/configrestore.h"
#include "backup/unitconfig.h"
#include "clicommand.h"
#include "configcommands.h"
#include "text/boundedfile.h"

namespace kestavo::cli {

void configNote(ConfigCommandContext& context, const QString& message)
{
    context.err << "kestavo-cli: " << message << '\n';
    context.err.flush();
}

std::optional<backup::UnitConfig> loadDocument(ConfigCommandContext& context)
{
    const QString& path = context.command.file;
    const text::BoundedRead file = text::readBoundedFile(path, backup::kMaxDocumentBytes);
    if (!file.ok) {
        configNote(context, QStringLiteral("%1 Nothing was sent.").arg(file.error));
        return std::nullopt;
    }
    auto parsed = backup::fromDocument(file.bytes);
    if (const auto* error = std::get_if<QString>(&parsed)) {
        configNote(context, QStringLiteral("\"%1\" is refused: %2; nothing was sent").arg(path, *error));
        return std::nullopt;
    }
    return std::get<backup::UnitConfig>(std::move(parsed));
}

int runBackup(ConfigCommandContext& context)
{
    auto read = backup::readUnit(context.exchange);
    if (const auto* error = std::get_if<QString>(&read)) {
        configNote(context, QStringLiteral("%1: %2").arg(context.unitDescription, *error));
        return ExitRefused;
    }
    const backup::UnitConfig config = backup::configFromUnit(
        std::get<backup::UnitReadings>(read), context.command.unit, context.environment.now(),
        QStringLiteral("kestavo-cli %1").arg(QStringLiteral(KESTAVO_VERSION)));
    const QByteArray document = backup::toDocument(config);
    if (context.command.file.isEmpty()) {
        context.out << QString::fromUtf8(document);
        context.out.flush();
        return ExitDone;
    }
    QSaveFile file(context.command.file);
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size() || !file.commit()) {
        configNote(context,
                   QStringLiteral("cannot write \"%1\": %2").arg(context.command.file, file.errorString()));
        return ExitRefused;
    }
    context.out << QStringLiteral("configuration of %1 written to %2\n")
                       .arg(context.command.unit, context.command.file);
    context.out.flush();
    return ExitDone;
}

CommandDefinition backupCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("backup");
    definition.synopsis = QStringLiteral("backup UNIT [-o FILE]");
    definition.details =
        QStringLiteral("Read the unit's configuration (station name, relay delays, allowed IP numbers,\n"
                       "HTTP and SNMP switches, triggers, relay and board scripts) with read requests\n"
                       "only, and write it as a JSON document (docs/backup.md) to standard output or\n"
                       "FILE. The password is never part of it, and no history file is created.\n"
                       "Example:\n"
                       "  kestavo-cli backup 127.0.0.1 -o pumphouse.json");
    definition.options = {QCommandLineOption({QStringLiteral("o"), QStringLiteral("output")},
                                             QStringLiteral("write the document to FILE"),
                                             QStringLiteral("FILE"))};
    definition.parse = [](const Reader& r, const QCommandLineParser& options,
                          Command* c) -> std::optional<UsageError> {
        if (auto e = parseUnitOnly(r, CommandKind::Backup, c))
            return e;
        if (options.isSet(QStringLiteral("output"))) {
            c->file = options.value(QStringLiteral("output"));
            if (c->file.isEmpty())
                return r.error(QStringLiteral("-o needs a file name"));
        }
        return std::nullopt;
    };
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
