#pragma once

namespace kestavo::core {
class DialogRegistry;
}
namespace kestavo::history {
class AlarmJournal;
class AuditLog;
} // namespace kestavo::history
namespace kestavo::unitbackup {
class FileChooser;
}

namespace kestavo::alarms {
class AlarmEngine;
class AlarmSounder;
class AuditRecorder;

/// What the two windows work on; owned by the application for the whole run.
struct AlarmServices
{
    AlarmEngine& engine;
    history::AlarmJournal& journal;
    AlarmSounder& sounder;
    history::AuditLog& audit;
    AuditRecorder& recorder;
    unitbackup::FileChooser& files;
};

/// Registers the `Alarms` and `Audit` windows for the Monitor menu.
void registerAlarmWindows(core::DialogRegistry& registry, AlarmServices& services);

} // namespace kestavo::alarms
