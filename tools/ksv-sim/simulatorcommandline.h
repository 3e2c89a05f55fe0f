#pragma once

// The ksv-sim command line: options to the configurations of one or more simulated units.
// Kept apart from main() so that tests can check every option without starting a process.

#include <vector>

#include <QString>
#include <QStringList>

#include "ksv-sim/simulatedunit.h"

namespace kestavo::sim {

class SimulatorCommandLine
{
public:
    struct Result
    {
        std::vector<SimulatedUnit::Config> units; // consecutive ports, one per --units
        bool addressPerUnit = false;              // consecutive addresses on one port instead
        bool verbose = false;
        bool showHelp = false;
        bool showVersion = false;
        QString error; // non-empty: the command line was refused, for the user to read
    };

    /// arguments[0] is the program name, as in QCoreApplication::arguments().
    static Result parse(const QStringList& arguments);
    static QString helpText();
};

} // namespace kestavo::sim
