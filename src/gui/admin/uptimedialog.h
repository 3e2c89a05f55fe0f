#pragma once

#include <QTimer>

#include "gui/main/consoledialog.h"

class QLabel;

namespace kestavo::admin {

/// `uptime` ("UPTIME"): how long the unit has been running, as the whole count in seconds,
/// minutes, hours, days, weeks, months and years, re-read from the latest status report on every
/// tick. The main window stays usable while it is open.
class UptimeDialog final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UptimeDialog)

public:
    static constexpr int kRefreshMs = 1000;

    explicit UptimeDialog(core::Context& context, int refreshMs = kRefreshMs);

    const QTimer& refreshTimer() const { return m_timer; }

private:
    void refresh();

    QTimer m_timer;
    QLabel* m_seconds;
    QLabel* m_minutes;
    QLabel* m_hours;
    QLabel* m_days;
    QLabel* m_weeks;
    QLabel* m_months;
    QLabel* m_years;
    QLabel* m_hex;
};

} // namespace kestavo::admin
