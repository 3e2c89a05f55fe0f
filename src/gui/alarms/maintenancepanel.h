#pragma once

#include <QList>
#include <QWidget>

#include "notify/notifystore.h"

class QLineEdit;
class QSpinBox;
class QTableWidget;

namespace kestavo::platform {
class Prompter;
}

namespace kestavo::alarmwindows {
struct AlarmServices;

/// The `Maintenance` tab of the Alarms window: stations out of service (their alarms recorded,
/// not notified) until when and why, started and ended here as with `kestavo-cli stations
/// maintenance`; every start and end is an audit record.
class MaintenancePanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MaintenancePanel)

public:
    MaintenancePanel(AlarmServices& services, platform::Prompter& prompter, QWidget* parent = nullptr);

    void refresh();

private:
    void start();
    void end();
    void say(const QString& text);

    AlarmServices& m_services;
    platform::Prompter& m_prompter;
    QList<notify::MaintenanceWindow> m_windows;
    QTableWidget* m_list = nullptr;
    QLineEdit* m_station = nullptr;
    QLineEdit* m_tag = nullptr;
    QSpinBox* m_hours = nullptr;
    QLineEdit* m_reason = nullptr;
};

} // namespace kestavo::alarmwindows
