#pragma once

namespace kestavo::core {
class DialogRegistry;
}

namespace kestavo::platform {
class FileChooser;
}
namespace kestavo::alarms {
class AuditRecorder;
}

namespace kestavo::unitbackup {

/// Registers `UnitBackup` for DialogId::UnitBackup (argument 0 back up, 1 compare, 2 restore).
/// `files` must outlive the registry.
void registerUnitBackupWindow(core::DialogRegistry& registry, platform::FileChooser& files);

/// Registers `Rollout` for DialogId::Rollout. `recorder` (may be null) receives every frame for
/// the audit; it and `files` must outlive the registry.
void registerRolloutWindow(core::DialogRegistry& registry, platform::FileChooser& files,
                           alarms::AuditRecorder* recorder);

} // namespace kestavo::unitbackup
