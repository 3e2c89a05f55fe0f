#include "gui/backup/unitbackupdialogs.h"

#include <QTimer>

#include "gui/backup/rolloutwindow.h"
#include "gui/backup/unitbackupwindow.h"
#include "gui/main/dialogregistry.h"

namespace kestavo::unitbackup {

void registerUnitBackupWindow(core::DialogRegistry& registry, platform::FileChooser& files)
{
    registry.add(core::DialogId::UnitBackup, [&files](core::Context& context, int argument) -> QWidget* {
        auto* window = new UnitBackupWindow(context, files);
        // After the registry has shown it, so that file dialogs and messages sit on top of it.
        QTimer::singleShot(0, window, [window, argument] { window->start(argument); });
        return window;
    });
}

void registerRolloutWindow(core::DialogRegistry& registry, platform::FileChooser& files,
                           alarms::AuditRecorder* recorder)
{
    registry.add(core::DialogId::Rollout, [&files, recorder](core::Context& context, int) -> QWidget* {
        return new RolloutWindow(context, files, recorder);
    });
}

} // namespace kestavo::unitbackup
