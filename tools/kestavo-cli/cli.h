#pragma once

// The whole command-line client as one call: arguments in, text on two streams out, an exit code
// back. main() passes the process's arguments and standard streams; tests pass their own streams
// and shorten the timings.

#include <functional>

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace kestavo::cli {

enum ExitCode : int {
    ExitDone = 0,
    ExitRefused = 1,  // the unit refused, rejected the password, or did not answer in time
    ExitUsage = 2,    // a bad argument; nothing was sent and nothing written
    ExitDatabase = 3, // the station database could not be used
};

struct CliEnvironment
{
    /// Where a "ksv.dat" beside the executable is looked for (the console's portable install).
    QString applicationDir;
    /// `watch` gives up after this long without a status report, like the console's watchdog.
    int watchdogMs = 60000;
    /// While a change is being verified, the unit is asked again this often.
    int verifyPollMs = 250;
    /// The time stamped on each report of `watch` and `status --format csv`.
    std::function<QDateTime()> now = [] {
        return QDateTime::currentDateTimeUtc();
    };
    /// Asks `question` once (restore, before writing) and returns whether the answer was yes. When
    /// empty there is nobody to ask and the answer is no.
    std::function<bool(const QString& question)> confirm;
};

/// Runs kestavo-cli with `arguments` (without the program name).
int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err,
           const CliEnvironment& environment);

} // namespace kestavo::cli
