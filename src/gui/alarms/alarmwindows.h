#pragma once

namespace kestavo::core {
class DialogRegistry;
}
namespace kestavo::history {
class AlarmJournal;
class AuditLog;
} // namespace kestavo::history
namespace kestavo::platform {
class FileChooser;
}

namespace kestavo::alarms {
class AlarmEngine;
class AuditRecorder;
} // namespace kestavo::alarms

namespace kestavo::alarmwindows {
class AlarmSounder;

/// What the two windows work on; owned by the application for the whole run.
struct AlarmServices
{
    alarms::AlarmEngine& engine;
    history::AlarmJournal& journal;
    AlarmSounder& sounder;
    history::AuditLog& audit;
    alarms::AuditRecorder& recorder;
    platform::FileChooser& files;
};

/// Registers the `Alarms` and `Audit` windows for the Monitor menu.
void registerAlarmWindows(core::DialogRegistry& registry, AlarmServices& services);

} // namespace kestavo::alarmwindows
