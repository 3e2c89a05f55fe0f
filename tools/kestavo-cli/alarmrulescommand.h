#pragma once

// `alarms rules …`: the alarm rules of the history file as code — list, add, remove, export to
// JSON and import from it. Checked exactly as the rules editor checks them.

#include <QCommandLineOption>
#include <QList>
#include <QStringList>
#include <QTextStream>

#include "cli.h"

namespace kestavo::cli {

int runAlarmRules(const QStringList& arguments, QTextStream& out, QTextStream& err,
                  const CliEnvironment& environment);
QList<QCommandLineOption> alarmRulesOptions();

} // namespace kestavo::cli
