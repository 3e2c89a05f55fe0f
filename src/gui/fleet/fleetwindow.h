#pragma once

// The Fleet window: every station of the directory in one table with its link state, the age of
// its last report and its readings. It shows what the fleet poller knows; whoever opens it
// decides what a chosen row does and what "Watch all stations" switches.

#include <QWidget>

namespace kestavo::fleet {
class FleetPoller;
}

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace kestavo::fleetui {

class FleetModel;

class FleetWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FleetWindow)

public:
    explicit FleetWindow(const fleet::FleetPoller& poller, QWidget* parent = nullptr);
    ~FleetWindow() override;

    FleetModel& model() { return *m_model; }
    QTableView& table() { return *m_table; }
    void setWatchAll(bool on);

    /// Rows in problems-first order: offline, bad password, stale, invalid, online.
    void sortProblemsFirst();

Q_SIGNALS:
    /// A row was double-clicked or Enter was pressed on it.
    void stationChosen(const QString& address);
    void watchAllToggled(bool on);

private:
    void updateSummary();

    const fleet::FleetPoller& m_poller;
    FleetModel* m_model = nullptr;
    QSortFilterProxyModel* m_proxy = nullptr;
    QTableView* m_table = nullptr;
    QLineEdit* m_filter = nullptr;
    QPushButton* m_problemsFirst = nullptr;
    QCheckBox* m_watchAll = nullptr;
    QLabel* m_summary = nullptr;
};

} // namespace kestavo::fleetui
