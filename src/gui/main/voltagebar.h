#pragma once

#include <QWidget>

namespace kestavo::core {

/// One channel's bar gauge (`Picture2`…`Picture9`): a filled box from 0 to the value on a scale
/// of the channel's full scale, and the value printed as "15.00 V".
class VoltageBar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VoltageBar)

public:
    explicit VoltageBar(int channel, QWidget* parent = nullptr);

    /// Redraws with the given value (already cut to ≥ 0), scale width and label.
    void draw(int value, double scaleWidth, const QString& label);
    int value() const { return m_value; }
    double scaleWidth() const { return m_scaleWidth; }
    QString label() const { return m_label; }

    QSize sizeHint() const override { return {160, 22}; }

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int m_channel;
    int m_value = 0;
    double m_scaleWidth = 30;
    QString m_label = QStringLiteral("0.00 V");
};

} // namespace kestavo::core
