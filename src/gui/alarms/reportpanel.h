#pragma once

#include <QWidget>

class QComboBox;
class QPlainTextEdit;

namespace kestavo::alarmwindows {
struct AlarmServices;

/// The `Report` tab of the Alarms window: the alarm report of the chosen period, the same figures
/// as `kestavo-cli alarms report` (alarms per day, the busiest 10 minutes, time in flood,
/// standing and chattering alarms, the most frequent rules and stations, time to acknowledge).
class ReportPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReportPanel)

public:
    explicit ReportPanel(AlarmServices& services, QWidget* parent = nullptr);

    void refresh();

private:
    AlarmServices& m_services;
    QComboBox* m_period = nullptr;
    QPlainTextEdit* m_text = nullptr;
};

} // namespace kestavo::alarmwindows
