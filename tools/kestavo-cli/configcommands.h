#pragma once

// `backup`, `diff` and `restore`: one file each. They read and write the unit through the backup
// library's exchange, whose transport sends on the command runner's own path.

#include <optional>

#include <QString>
#include <QTextStream>

#include "backup/unitconfig.h"
#include "backup/unitexchange.h"
#include "cli.h"
#include "commandline.h"

namespace kestavo::cli {

struct ConfigCommandContext
{
    const Command& command;
    QTextStream& out;
    QTextStream& err;
    const CliEnvironment& environment;
    backup::UnitExchange& exchange;
    QString unitDescription; // "127.0.0.1 port 7"
};

int runBackup(ConfigCommandContext& context);
int runDiff(ConfigCommandContext& context);
int runRestore(ConfigCommandContext& context);

/// Reads FILE as a configuration document; on failure writes the reason (naming the file and the
/// field) to err and returns nothing.
std::optional<backup::UnitConfig> loadDocument(ConfigCommandContext& context);
/// Writes "kestavo-cli: message" to err.
void configNote(ConfigCommandContext& context, const QString& message);

} // namespace kestavo::cli
