#pragma once

#include <optional>

#include <QString>

#include "backup/configdiff.h"
#include "backup/configrestore.h"
#include "backup/unitconfig.h"
#include "backup/unitexchange.h"
#include "gui/main/consoledialog.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace kestavo::platform {
class FileChooser;
}

namespace kestavo::unitbackup {

class SessionTransport;

/// `UnitBackup`: backs up the session's unit to a file, compares it with one, and restores the
/// items the operator ticks in the list of differences. The main window stays usable.
class UnitBackupWindow final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UnitBackupWindow)

public:
    enum Action { BackUp = 0, Compare = 1, Restore = 2 };

    UnitBackupWindow(core::Context& context, platform::FileChooser& files, const backup::Timing& timing = {});
    ~UnitBackupWindow() override;

    /// What the menu entry asked for: back up at once, or choose a file and show the differences.
    void start(int action);

    void backUp();
    void compare();
    void restoreTicked();

    /// While the unit is being read or written the window cannot be closed: the conversation
    /// runs inside it.
    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool sessionReady();
    /// A message box of this window, which stays in front afterwards.
    void say(const QString& text, bool critical = false);
    /// The status line, read out by screen readers as it changes.
    void setStatus(const QString& text);
    std::optional<backup::UnitReadings> readUnit();
    void showChanges();
    void setBusy(bool busy);

    platform::FileChooser& m_files;
    backup::Timing m_timing;
    SessionTransport* m_transport;
    QLabel* m_unit;
    QLabel* m_status;
    QListWidget* m_changes;
    QPushButton* m_backUp;
    QPushButton* m_compare;
    QPushButton* m_restore;
    QPushButton* m_close;

    QString m_file;
    std::optional<backup::UnitConfig> m_document;
    std::optional<backup::UnitReadings> m_readings;
    QList<backup::Change> m_shown;
    bool m_busy = false;
};

} // namespace kestavo::unitbackup
