#pragma once

namespace kestavo::core {
class DialogRegistry;
}

namespace kestavo::unitbackup {

class FileChooser;

/// Registers `UnitBackup` for DialogId::UnitBackup (argument 0 back up, 1 compare, 2 restore).
/// `files` must outlive the registry.
void registerUnitBackupWindow(core::DialogRegistry& registry, FileChooser& files);

} // namespace kestavo::unitbackup
