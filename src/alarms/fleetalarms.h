#pragma once

// The fleet poller as a producer for the alarm engine: every report and link state of every
// unit it watches. A wiring helper for the console and the agent; the engine knows no poller.

namespace kestavo::fleet {
class FleetPoller;
enum class LinkState;
} // namespace kestavo::fleet

namespace kestavo::alarms {
class AlarmEngine;
enum class LinkState;

LinkState linkStateOf(fleet::LinkState state);
void feedFromFleet(AlarmEngine& engine, fleet::FleetPoller& poller);

} // namespace kestavo::alarms
