#pragma once

// `alarms shelve ID --for 2h --reason TEXT` and `alarms unshelve ID`: the console's Shelve and
// Unshelve from a shell, with the same longest shelving and the reason required; `alarms settings
// [--max-shelve DURATION]` shows or sets that longest shelving for everyone on the history file.

#include <QCommandLineOption>
#include <QList>
#include <QStringList>
#include <QTextStream>

#include "cli.h"

namespace kestavo::cli {

int runAlarmShelve(const QStringList& arguments, QTextStream& out, QTextStream& err,
                   const CliEnvironment& environment);
QList<QCommandLineOption> alarmShelveOptions();

} // namespace kestavo::cli
