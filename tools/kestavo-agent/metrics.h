#pragma once

// What the agent exports about the fleet: the Prometheus text exposition format for /metrics and
// the JSON of /api/v1/stations and of each unit's MQTT state. Pure functions of the poller's view.

#include <array>

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>

#include "fleet/fleetpoller.h"
#include "history/alarmjournal.h"

namespace kestavo::alarms {
class AlarmEngine;
}

namespace kestavo::agent {

/// The kinds of problem /healthz reports, in the order of Agent::Problem.
inline constexpr int kProblemKinds = 5;
inline constexpr const char* kProblemNames[kProblemKinds] = {
    "history_write", "history_locked", "history_replaced", "history_damaged", "stations"};

/// The agent's own figures, exported as kestavo_agent_*.
struct AgentFigures
{
    quint64 scrapes = 0;
    bool mqttConnected = false;
    quint64 mqttMessages = 0;
    // Relay commands over MQTT by what became of them.
    quint64 commandsSent = 0;
    quint64 commandsRetained = 0;                       // left on the broker: never carried out, cleared
    quint64 commandsRateLimited = 0;                    // over the per-unit allowance
    quint64 commandsInvalid = 0;                        // topic, relay, payload or unit not recognised
    double startedAtSeconds = 0;                        // UTC
    std::array<bool, kProblemKinds> problems{};         // present now
    std::array<quint64, kProblemKinds> problemOnsets{}; // how often each began
    std::array<quint64, 3> alarmsRaised{};              // high, medium, low, since the agent started
    bool alarmFlood = false;                            // 10 or more alarms raised within 10 minutes
};

/// `alarms` (may be null): its open alarms are exported as kestavo_alarm_active.
QByteArray prometheusText(const fleet::FleetPoller& poller, const AgentFigures& figures,
                          const alarms::AlarmEngine* alarms = nullptr);

/// One unit: readings, link state, age, its open alarms; the MQTT state payload and an element of
/// /api/v1/stations.
QJsonObject unitJson(const fleet::FleetPoller::Unit& unit, qint64 nowMs,
                     const QList<history::AlarmRecord>& alarms = {});
QJsonArray stationsJson(const fleet::FleetPoller& poller, const alarms::AlarmEngine* alarms = nullptr);

/// The open alarms of every station, by address (shelved ones left out).
QHash<QString, QList<history::AlarmRecord>> alarmsByStation(const alarms::AlarmEngine* alarms);

/// "Voltage N" when the station record has no title for the input.
QString captionOf(const fleet::FleetStation& station, int channel);

} // namespace kestavo::agent
