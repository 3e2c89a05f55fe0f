#pragma once

#include <memory>

#include <QList>
#include <QString>

#include "backup/configdiff.h"
#include "backup/unitexchange.h"
#include "fleet/fleetoperation.h"
#include "gui/main/consoledialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStringListModel;
class QTableView;

namespace kestavo::alarms {
class AuditRecorder;
}
namespace kestavo::platform {
class FileChooser;
}

namespace kestavo::unitbackup {

class RolloutTableModel;

/// `Rollout`: writes a unit backup (or the parts of it ticked) to the stations with a tag or to
/// the stations chosen from the list, a few at a time, with the fleet operation runner and the
/// rollout job `kestavo-cli rollout` uses. Each unit is compared first and skipped when equal.
/// The conversations run on the runner's worker threads; this window only shows their outcome.
class RolloutWindow final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RolloutWindow)

public:
    /// `recorder` receives every frame for the audit (may be null: nothing is recorded).
    RolloutWindow(core::Context& context, platform::FileChooser& files, alarms::AuditRecorder* recorder,
                  const backup::Timing& timing = {});
    ~RolloutWindow() override;

    void chooseFile();
    /// Checks the choices, asks once (not for a dry run) and starts the units.
    void start();
    /// Pause / Resume: no new unit is started while paused; the ones in flight finish.
    void togglePause();
    /// The units in flight finish; no more are started.
    void stop();
    bool isRunning() const;

    /// While units are being written the window cannot be closed: Stop first.
    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void say(const QString& text);
    void setStatus(const QString& text);
    void setRunning(bool running);
    void fillStations();
    QList<backup::Group> chosenGroups() const;
    void onUnitFinished(int index, const fleet::UnitOutcome& outcome);
    void onFinished(const fleet::FleetOperation::Summary& summary);

    platform::FileChooser& m_files;
    alarms::AuditRecorder* m_recorder;
    backup::Timing m_timing;

    QLineEdit* m_file;
    QPushButton* m_chooseFile;
    QList<QCheckBox*> m_groups; // in the order of backup::Group
    QRadioButton* m_byTag;
    QComboBox* m_tag;
    QRadioButton* m_byList;
    QListView* m_stations;
    QStringListModel* m_stationModel;
    QSpinBox* m_parallel;
    QSpinBox* m_maxFailures;
    QCheckBox* m_dryRun;
    QTableView* m_table;
    RolloutTableModel* m_units;
    QProgressBar* m_progress;
    QLabel* m_status;
    QPushButton* m_start;
    QPushButton* m_pause;
    QPushButton* m_stop;
    QPushButton* m_close;

    std::unique_ptr<fleet::FleetOperation> m_operation;
    QList<fleet::OperationTarget> m_targets;
    bool m_dryRunning = false;
};

} // namespace kestavo::unitbackup
