#include "gui/trends/trendchartview.h"

#include <cmath>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QValueAxis>
#include <QWheelEvent>

namespace kestavo::trends {

TrendChartView::TrendChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent)
{
    setRenderHint(QPainter::Antialiasing, false);
    setRubberBand(QChartView::HorizontalRubberBand);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

double TrendChartView::timeAt(double x) const
{
    // From the time axis itself: mapping through a series fails while the chart has none (a range
    // still loading, a station without readings there) and put the centre of a zoom at 1970.
    const QRectF area = chart()->plotArea();
    const auto* axis = qobject_cast<const QValueAxis*>(chart()->axes(Qt::Horizontal).value(0));
    if (!axis || area.width() <= 0)
        return 0;
    return axis->min() + (x - area.left()) / area.width() * (axis->max() - axis->min());
}

void TrendChartView::wheelEvent(QWheelEvent* event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return;
    Q_EMIT zoomRequested(timeAt(event->position().x()), std::pow(0.8, steps));
    event->accept();
}

void TrendChartView::keyPressEvent(QKeyEvent* event)
{
    const QRectF area = chart()->plotArea();
    const double left = timeAt(area.left());
    const double right = timeAt(area.right());
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        Q_EMIT zoomRequested((left + right) / 2, 0.8);
        break;
    case Qt::Key_Minus:
        Q_EMIT zoomRequested((left + right) / 2, 1.25);
        break;
    case Qt::Key_Left:
        Q_EMIT panRequested(-(right - left) / 10);
        break;
    case Qt::Key_Right:
        Q_EMIT panRequested((right - left) / 10);
        break;
    default:
        QChartView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TrendChartView::mousePressEvent(QMouseEvent* event)
{
    const bool pan = event->button() == Qt::MiddleButton ||
                     (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    if (pan) {
        m_panning = true;
        m_panStartX = event->position().x();
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        m_banding = true;
        m_bandStartX = event->position().x();
    }
    QChartView::mousePressEvent(event);
}

void TrendChartView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_panning) {
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void TrendChartView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_panning) {
        m_panning = false;
        const double dx = event->position().x() - m_panStartX;
        if (dx != 0)
            Q_EMIT panRequested(timeAt(m_panStartX) - timeAt(event->position().x()));
        event->accept();
        return;
    }
    if (m_banding && event->button() == Qt::LeftButton) {
        m_banding = false;
        // Read the band's times before the view zooms; the window then loads that range itself.
        const double a = timeAt(m_bandStartX);
        const double b = timeAt(event->position().x());
        QChartView::mouseReleaseEvent(event);
        if (std::abs(event->position().x() - m_bandStartX) > 4)
            Q_EMIT rangeRequested(std::min(a, b), std::max(a, b));
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

} // namespace kestavo::trends
