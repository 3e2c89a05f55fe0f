#pragma once

namespace kestavo::platform {
class Prompter;
}

namespace kestavo::alarms {
class AlarmEngine;
}

namespace kestavo::alarmwindows {

/// Asked before the console exits: with alarms nobody has acknowledged, asks once whether to exit
/// all the same ("3 alarms are not acknowledged. Exit anyway?"); without any, says nothing.
/// True when the console may exit.
bool mayExitWithAlarms(const alarms::AlarmEngine& engine, platform::Prompter& prompter);

} // namespace kestavo::alarmwindows
