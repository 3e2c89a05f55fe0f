#pragma once

#include <QLabel>

namespace kestavo::alarms {
class AlarmEngine;

/// The main window's status-bar summary: each station's open alarm count and highest priority.
class AlarmSummaryLabel final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlarmSummaryLabel)

public:
    explicit AlarmSummaryLabel(AlarmEngine& engine, QWidget* parent = nullptr);

    void refresh();

private:
    AlarmEngine& m_engine;
};

} // namespace kestavo::alarms
