#pragma once

// `kestavo-cli fleet`: every station of the database polled at once by the fleet poller, one
// line, JSON object or CSV row per station.

#include <QJsonObject>
#include <QStringList>
#include <QTextStream>

#include "cli.h"
#include "commandline.h"
#include "fleet/fleetpoller.h"

namespace kestavo::stations {
class StationStore;
}

namespace kestavo::cli {

class FleetCommand final
{
    Q_DISABLE_COPY_MOVE(FleetCommand)

public:
    FleetCommand(const Command& command, QTextStream& out, QTextStream& err,
                 const CliEnvironment& environment);

    int run(const stations::StationStore& store);

    /// One station as the command prints it; nowMs is the poller's clock.
    static QJsonObject unitJson(const fleet::FleetPoller::Unit& unit, qint64 nowMs);
    static QString unitLine(const fleet::FleetPoller::Unit& unit, qint64 nowMs);
    static QStringList csvHeader();
    static QStringList csvRow(const fleet::FleetPoller::Unit& unit, qint64 nowMs);

private:
    // Polls every unit once and waits until each has answered or the timeout is over.
    bool round();
    int print();

    const Command& m_command;
    QTextStream& m_out;
    QTextStream& m_err;
    const CliEnvironment& m_env;
    fleet::FleetPoller m_poller;
};

} // namespace kestavo::cli
