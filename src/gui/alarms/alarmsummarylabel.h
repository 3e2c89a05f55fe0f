#pragma once

#include <functional>

#include <QLabel>

namespace kestavo::alarms {
class AlarmEngine;
}

namespace kestavo::alarmwindows {

/// The main window's status-bar summary of open alarms: how many stations are in alarm and the
/// highest priority among them, in a bounded width (elided if need be); every station's count and
/// highest priority in its tooltip. A click opens the Alarms window (clicked()).
class AlarmSummaryLabel final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlarmSummaryLabel)

public:
    /// The widest the summary grows, however many stations are in alarm.
    static constexpr int kMaximumWidth = 320;

    explicit AlarmSummaryLabel(alarms::AlarmEngine& engine, QWidget* parent = nullptr);

    void refresh();
    /// Stations whose alarms are suppressed (in maintenance): listed in the tooltip as such, but
    /// neither counted as in alarm nor coloured.
    void setSuppressed(std::function<bool(const QString& address)> suppressed);
    /// The summary in full, before eliding ("3 stations in alarm · highest: high").
    QString summary() const { return m_summary; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void clicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void elide();

    alarms::AlarmEngine& m_engine;
    std::function<bool(const QString&)> m_suppressed;
    QString m_summary;
};

} // namespace kestavo::alarmwindows
