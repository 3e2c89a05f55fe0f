#pragma once

// `notify routes …`, `stations maintenance …` and `alarms report`: the notification tables and the
// alarm report of the history file. Each parses its own options; none talks to a unit.

#include <QCommandLineOption>
#include <QList>
#include <QStringList>
#include <QTextStream>

#include "cli.h"

namespace kestavo::cli {

int runNotifyCommand(const QStringList& arguments, QTextStream& out, QTextStream& err,
                     const CliEnvironment& environment);
int runMaintenanceCommand(const QStringList& arguments, QTextStream& out, QTextStream& err,
                          const CliEnvironment& environment);
int runAlarmsReport(const QStringList& arguments, QTextStream& out, QTextStream& err,
                    const CliEnvironment& environment);

/// Their own options, which the command table declares for them.
QList<QCommandLineOption> notifyOptions();
QList<QCommandLineOption> maintenanceOptions();
QList<QCommandLineOption> alarmsReportOptions();

/// "90s", "45m", "2h", "7d", "1w" (a bare number is seconds); empty when it is none of these.
std::optional<qint64> parsePeriod(const QString& text);

} // namespace kestavo::cli
