#include "gui/main/voltagebar.h"

#include <QMouseEvent>
#include <QPainter>

namespace kestavo::core {

VoltageBar::VoltageBar(int channel, QWidget* parent) : QWidget(parent), m_channel(channel)
{
    setMinimumSize(120, 20);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void VoltageBar::draw(int value, double scaleWidth, const QString& label)
{
    m_value = value;
    m_scaleWidth = scaleWidth > 0 ? scaleWidth : m_scaleWidth;
    m_label = label;
    setProperty("readoutValue", label); // what a screen reader reads (markReadout)
    update();
}

void VoltageBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    // User coordinates: width = full scale, height = 10, as the readout was designed.
    const double sx = width() / m_scaleWidth;
    const double sy = height() / 10.0;
    p.fillRect(QRectF(0, 0, m_value * sx, 10 * sy), QColor(0x30, 0x90, 0xE0));
    p.setPen(palette().text().color());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    QFont f = font();
    f.setPointSize(8);
    p.setFont(f);
    const double x = m_channel <= 4 ? 11 : (m_channel == 5 ? 12 : 2);
    p.drawText(QPointF(x * sx, 0) + QPointF(0, QFontMetricsF(f).ascent()), m_label);
}

void VoltageBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Q_EMIT clicked();
}

} // namespace kestavo::core
