#pragma once

// `schedule …` and `sun`: the schedule entries of the history file, their upcoming occurrences
// at each station's own time, and the sun times schedules use. None talks to a unit.

#include <QTextStream>

#include "cli.h"
#include "commandline.h"

namespace kestavo::cli {

int runScheduleCommand(const Command& command, QTextStream& out, QTextStream& err, const CliEnvironment& env);
int runSunCommand(const Command& command, QTextStream& out, QTextStream& err, const CliEnvironment& env);

} // namespace kestavo::cli
