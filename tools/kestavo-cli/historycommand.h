#pragma once

#include <QStringList>
#include <QTextStream>

#include "cli.h"

namespace kestavo::cli {

/// `kestavo-cli history UNIT [--from TIME] [--to TIME] [--step raw|1m|1h] [--format text|json|csv]`:
/// the readings of UNIT from the history file, in the Trends window's export columns.
int runHistoryCommand(const QStringList& arguments, QTextStream& out, QTextStream& err,
                      const CliEnvironment& environment);

/// Reads TIME: ISO 8601 (UTC unless a zone is given), "now", or "-N" with s, m, h, d or w before
/// `now`. Empty when it is none of these.
std::optional<qint64> parseTime(const QString& text, qint64 nowMs);

/// The history file the CLI uses: --history, else "history.db" beside the station database.
QString historyPath(const QString& historyOption, const QString& dbOption, const QString& applicationDir);

} // namespace kestavo::cli
