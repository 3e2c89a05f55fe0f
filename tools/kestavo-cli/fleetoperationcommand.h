#pragma once

// The commands that act on many stations at once: `relay --tag`, `script run --tag` and
// `rollout`. They pick the stations from the database, ask once, and hand the work to the fleet
// library's operation runner, printing one line per unit as its outcome comes in and a summary.

#include <QTextStream>

#include "cli.h"
#include "commandline.h"

namespace kestavo::stations {
class StationStore;
}

namespace kestavo::cli {

/// Exit 0 when every unit is done (or already equal), 1 when any failed or was not started, 2
/// when refused before anything was sent (no stations, no answer to the question, a bad file).
int runFleetOperation(const Command& command, stations::StationStore& store, QTextStream& out,
                      QTextStream& err, const CliEnvironment& environment);

} // namespace kestavo::cli
