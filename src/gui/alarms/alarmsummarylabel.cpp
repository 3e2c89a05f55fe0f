#include "gui/alarms/alarmsummarylabel.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "alarms/alarmengine.h"
#include "gui/main/readoutaccessible.h"

namespace kestavo::alarmwindows {

AlarmSummaryLabel::AlarmSummaryLabel(alarms::AlarmEngine& engine, QWidget* parent)
    : QLabel(parent), m_engine(engine)
{
    setObjectName(QStringLiteral("AlarmSummary"));
    core::markReadout(this, QCoreApplication::translate("kestavo::alarms", "Alarms per station"));
    // However many stations are in alarm, the status bar keeps its width; the whole list is in
    // the tooltip and the Alarms window.
    setMaximumWidth(kMaximumWidth);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    connect(&engine, &alarms::AlarmEngine::alarmChanged, this, &AlarmSummaryLabel::refresh);
    refresh();
}

void AlarmSummaryLabel::refresh()
{
    QStringList lines;
    QStringList quiet;
    std::optional<history::AlarmPriority> highest;
    for (const QString& address : m_engine.stations()) {
        const alarms::AlarmEngine::Summary s = m_engine.summary(address);
        if (s.count == 0 || !s.highest)
            continue;
        if (m_suppressed && m_suppressed(address)) {
            quiet.append(tr("%1: %2 open, in maintenance").arg(address).arg(s.count));
            continue;
        }
        lines.append(
            tr("%1: %2 open, highest %3").arg(address).arg(s.count).arg(history::priorityText(*s.highest)));
        // Priorities count down from High: the smallest is the most urgent.
        if (!highest || int(*s.highest) < int(*highest))
            highest = s.highest;
    }
    if (lines.isEmpty() && !quiet.isEmpty())
        m_summary = tr("Alarms: none outside maintenance");
    else if (lines.isEmpty())
        m_summary = tr("Alarms: none");
    else if (lines.size() == 1)
        m_summary = tr("1 station in alarm · highest: %1").arg(history::priorityText(*highest));
    else
        m_summary =
            tr("%1 stations in alarm · highest: %2").arg(lines.size()).arg(history::priorityText(*highest));
    const QStringList tip = lines + quiet;
    setToolTip(tip.isEmpty() ? m_summary : tip.join(QLatin1Char('\n')));
    setStyleSheet(highest == history::AlarmPriority::High
                      ? QStringLiteral("color: #FF0000; font-weight: bold")
                      : QString());
    elide();
}

void AlarmSummaryLabel::setSuppressed(std::function<bool(const QString& address)> suppressed)
{
    m_suppressed = std::move(suppressed);
    refresh();
}

// Sized by the whole summary, not by the elided text on show, so that the label grows back.
QSize AlarmSummaryLabel::sizeHint() const
{
    const int wanted = fontMetrics().horizontalAdvance(m_summary) + 2 * margin() + 8;
    return {std::min(wanted, kMaximumWidth), QLabel::sizeHint().height()};
}

QSize AlarmSummaryLabel::minimumSizeHint() const
{
    return {fontMetrics().horizontalAdvance(QStringLiteral("0 stations…")),
            QLabel::minimumSizeHint().height()};
}

void AlarmSummaryLabel::elide()
{
    const int room = std::max(0, std::min(width(), kMaximumWidth) - 2 * margin() - 8);
    const int wanted = fontMetrics().horizontalAdvance(m_summary);
    setText(wanted > room ? fontMetrics().elidedText(m_summary, Qt::ElideRight, room) : m_summary);
}

void AlarmSummaryLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    elide();
}

void AlarmSummaryLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
    QLabel::mouseReleaseEvent(event);
}

void AlarmSummaryLabel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
        Q_EMIT clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

} // namespace kestavo::alarmwindows
