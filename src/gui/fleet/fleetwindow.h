#pragma once

// The Fleet window: every station of the directory with its link state, the age of its last
// report and its readings, grouped by tag or by state under header rows that count their
// members, or as one flat list. It shows what the fleet poller knows; whoever opens it decides
// what a chosen row does and what "Watch all stations" switches. With a prompter it also sends
// bulk commands (relays, relay scripts) to the selected stations or groups.

#include <QSet>
#include <QWidget>

#include "fleet/fleetoperation.h"

namespace kestavo::fleet {
class FleetPoller;
}
namespace kestavo::platform {
class Prompter;
}
namespace kestavo::alarms {
class AuditRecorder;
}

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeView;

namespace kestavo::fleetui {

class FleetBulkCommand;
class FleetGroupModel;
class FleetModel;
class FleetSortProxy;

class FleetWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FleetWindow)

public:
    explicit FleetWindow(const fleet::FleetPoller& poller, QWidget* parent = nullptr);
    ~FleetWindow() override;

    FleetModel& model() { return *m_model; }
    FleetGroupModel& groups() { return *m_groups; }
    QTreeView& table() { return *m_table; }
    void setWatchAll(bool on);

    /// Enables the bulk commands: their one question goes through `prompter`, every frame that
    /// changes a unit to `recorder` (may be null).
    void setCommandServices(platform::Prompter& prompter, alarms::AuditRecorder* recorder,
                            const fleet::FleetOperation::Options& options = {});
    FleetBulkCommand* bulkCommand() { return m_bulk; }

    /// Rows in problems-first order: offline, bad password, stale, invalid, online.
    void sortProblemsFirst();

Q_SIGNALS:
    /// A station row was double-clicked or Enter was pressed on it.
    void stationChosen(const QString& address);
    void watchAllToggled(bool on);

private:
    void updateSummary();
    void refillTags();
    void spanHeaders(int first, int last);
    void sendBulk(int kind);
    void updateBulkButtons();

    const fleet::FleetPoller& m_poller;
    FleetModel* m_model = nullptr;
    FleetGroupModel* m_groups = nullptr;
    FleetSortProxy* m_proxy = nullptr;
    QTreeView* m_table = nullptr;
    QLineEdit* m_filter = nullptr;
    QComboBox* m_groupBy = nullptr;
    QComboBox* m_tagFilter = nullptr;
    QPushButton* m_problemsFirst = nullptr;
    QCheckBox* m_watchAll = nullptr;
    QLabel* m_summary = nullptr;
    FleetBulkCommand* m_bulk = nullptr;
    QWidget* m_bulkBar = nullptr;
    QComboBox* m_relay = nullptr;
    QSpinBox* m_pulseSeconds = nullptr;
    QSpinBox* m_slot = nullptr;
    QPushButton* m_stop = nullptr;
    QLabel* m_bulkProgress = nullptr;
    QSet<QString> m_collapsed;     // the keys of the groups the operator closed
    bool m_groupingChosen = false; // by the operator; until then: by tag when any station has one
};

} // namespace kestavo::fleetui
