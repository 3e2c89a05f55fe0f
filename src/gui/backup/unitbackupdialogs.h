#pragma once

namespace kestavo::core {
class DialogRegistry;
}

namespace kestavo::platform {
class FileChooser;
}

namespace kestavo::unitbackup {

/// Registers `UnitBackup` for DialogId::UnitBackup (argument 0 back up, 1 compare, 2 restore).
/// `files` must outlive the registry.
void registerUnitBackupWindow(core::DialogRegistry& registry, platform::FileChooser& files);

} // namespace kestavo::unitbackup
