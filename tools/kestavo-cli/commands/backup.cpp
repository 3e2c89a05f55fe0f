#include <QFile>
#include <QSaveFile>

#include "backup/configrestore.h"
#include "configcommands.h"

namespace kestavo::cli {

void configNote(ConfigCommandContext& context, const QString& message)
{
    context.err << "kestavo-cli: " << message << '\n';
    context.err.flush();
}

std::optional<backup::UnitConfig> loadDocument(ConfigCommandContext& context)
{
    const QString& path = context.command.file;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        configNote(context,
                   QStringLiteral("cannot read \"%1\": %2; nothing was sent").arg(path, file.errorString()));
        return std::nullopt;
    }
    auto parsed = backup::fromDocument(file.readAll());
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

} // namespace kestavo::cli
