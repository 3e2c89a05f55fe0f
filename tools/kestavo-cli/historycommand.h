#pragma once

#include <QStringList>
#include <QTextStream>

#include "cli.h"

namespace kestavo::cli {

/// The history file the CLI uses: --history, else "history.db" beside the station database.
QString historyPath(const QString& historyOption, const QString& dbOption, const QString& applicationDir);

} // namespace kestavo::cli
