#pragma once

#include <QWidget>

#include "notify/route.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace kestavo::platform {
class Prompter;
}

namespace kestavo::alarmwindows {
struct AlarmServices;

/// The `Routes` tab of the Alarms window: the notification routes of the history file (added,
/// edited and removed with the checks `kestavo-cli notify routes add` makes), "Send test" with its
/// outcome, and the delivery log, newest first.
class RoutesPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RoutesPanel)

public:
    RoutesPanel(AlarmServices& services, platform::Prompter& prompter, QWidget* parent = nullptr);

    void refresh();
    void refreshDeliveries();

    /// Empty when the route may be stored; otherwise one sentence naming the field.
    static QString problem(const notify::Route& route);

private:
    QWidget* buildForm();
    void showRoute(int row);
    notify::Route routeFromForm() const;
    void saveRoute(bool asNew);
    void removeRoute();
    void sendTest();
    void kindChanged();
    void say(const QString& text);

    AlarmServices& m_services;
    platform::Prompter& m_prompter;
    QList<notify::Route> m_routeList;
    QTableWidget* m_routes = nullptr;
    QComboBox* m_kind = nullptr;
    QLineEdit* m_target = nullptr;
    QComboBox* m_preset = nullptr;
    QLineEdit* m_headerFile = nullptr;
    QLineEdit* m_smtp = nullptr;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_smtpUser = nullptr;
    QLineEdit* m_passwordFile = nullptr;
    QCheckBox* m_high = nullptr;
    QCheckBox* m_medium = nullptr;
    QCheckBox* m_low = nullptr;
    QLineEdit* m_station = nullptr;
    QLineEdit* m_tag = nullptr;
    QSpinBox* m_cooldown = nullptr;
    QSpinBox* m_maxPerHour = nullptr;
    QSpinBox* m_repeat = nullptr;
    QCheckBox* m_sendCleared = nullptr;
    QCheckBox* m_sendAcknowledged = nullptr;
    QPushButton* m_test = nullptr;
    QLabel* m_testOutcome = nullptr;
    QTableWidget* m_deliveries = nullptr;
};

} // namespace kestavo::alarmwindows
