#pragma once

// `alarms` and `audit`: read (and, for `alarms ack`, write) the history file the console and the
// agent share. One file each; they never talk to a unit.

#include <QString>
#include <QTextStream>

#include "cli.h"
#include "commandline.h"

namespace kestavo::cli {

struct HistoryCommandContext
{
    const Command& command;
    QTextStream& out;
    QTextStream& err;
    const CliEnvironment& environment;
};

/// --history, or history.db beside the station database the command would use.
QString historyPath(const Command& command, const CliEnvironment& environment);

int runAlarms(HistoryCommandContext& context);
int runAudit(HistoryCommandContext& context);

} // namespace kestavo::cli
