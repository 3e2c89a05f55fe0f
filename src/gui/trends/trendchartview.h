#pragma once

#include <QChartView>

namespace kestavo::trends {

/// A chart view that turns the mouse into time-range requests: the wheel zooms around the pointer,
/// a drag with the middle button (or Shift and the left button) pans, a plain left drag draws the
/// rubber band. By keyboard, + and - zoom around the middle and the left and right arrows pan by a
/// tenth of the range. The window answers each request by loading the new range.
class TrendChartView final : public QChartView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrendChartView)

public:
    explicit TrendChartView(QChart* chart, QWidget* parent = nullptr);

Q_SIGNALS:
    /// Zoom by `factor` (< 1 zooms in) keeping the time under the pointer in place.
    void zoomRequested(double centreMs, double factor);
    /// Move the range by `deltaMs`.
    void panRequested(double deltaMs);
    /// The rubber band chose [fromMs, toMs).
    void rangeRequested(double fromMs, double toMs);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    double timeAt(double x) const;

    bool m_panning = false;
    double m_panStartX = 0;
    bool m_banding = false;
    double m_bandStartX = 0;
};

} // namespace kestavo::trends
