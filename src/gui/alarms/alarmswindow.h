#pragma once

#include "gui/main/consoledialog.h"
#include "history/alarmjournal.h"

class QCheckBox;
class QLabel;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace kestavo::alarmwindows {
struct AlarmServices;
class MaintenancePanel;
class ReportPanel;
class RoutesPanel;

/// `Alarms`: the open alarms (waiting for acknowledgement first, then by priority and time) with
/// Acknowledge, Acknowledge all, Shelve (for a time, with a reason), Unshelve and the mute switch; the event
/// log with a filter and "Export CSV…"; the rules editor; with a history file the notification routes and
/// their delivery log, maintenance windows and the alarm report; and a banner while alarms flood in. Stays
/// open beside the main window.
class AlarmsWindow final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlarmsWindow)

public:
    AlarmsWindow(core::Context& context, AlarmServices& services);

    void refresh();

private:
    void showFlood(bool flooding);
    QWidget* buildAlarms();
    QWidget* buildEvents();
    QWidget* buildRules();
    void refreshAlarms();
    void applyShelveLimit();
    void refreshEvents();
    void refreshRules();
    qint64 selectedAlarm() const;
    void acknowledgeSelected();
    void acknowledgeAll();
    void shelveSelected();
    void unshelveSelected();
    void exportEvents();
    void showRule(int row);
    std::optional<history::AlarmRule> ruleFromForm(QString* problem) const;
    void saveRule(bool asNew);
    void removeRule();
    QString operatorName() const;

    AlarmServices& m_services;
    QTableWidget* m_alarms = nullptr;
    QPushButton* m_ack = nullptr;
    QPushButton* m_ackAll = nullptr;
    QSpinBox* m_shelveMinutes = nullptr;
    QLineEdit* m_shelveReason = nullptr;
    QPushButton* m_shelve = nullptr;
    QPushButton* m_unshelve = nullptr;
    QCheckBox* m_mute = nullptr;
    QLineEdit* m_eventFilter = nullptr;
    QTableWidget* m_events = nullptr;
    QList<QStringList> m_eventRows;
    QList<qint64> m_eventTimes; // UTC ms of each row, for the export's ISO 8601 time column
    QTableWidget* m_rules = nullptr;
    QList<history::AlarmRule> m_ruleList;
    QLineEdit* m_ruleStation = nullptr;
    QComboBox* m_ruleKind = nullptr;
    QLineEdit* m_ruleChannel = nullptr;
    QLineEdit* m_ruleLimit = nullptr;
    QLineEdit* m_ruleDeadband = nullptr;
    QLineEdit* m_ruleOnDelay = nullptr;
    QLineEdit* m_ruleOffDelay = nullptr;
    QComboBox* m_rulePriority = nullptr;
    QLineEdit* m_ruleText = nullptr;
    QLabel* m_floodBanner = nullptr;
    RoutesPanel* m_routesPanel = nullptr;
    MaintenancePanel* m_maintenancePanel = nullptr;
    ReportPanel* m_reportPanel = nullptr;
};

} // namespace kestavo::alarmwindows
