#pragma once

#include <array>
#include <functional>

#include <QDateTime>
#include <QGroupBox>

#include "protocol/reply.h"

#include "session/context.h"

#include "gui/main/dialogid.h"

class QLabel;
class QLineEdit;

namespace kestavo::core {

class VoltageBar;

/// "Voltage inputs": the eight channels, each a title, a numeric box and a bar gauge sharing one
/// cell (exactly one of them shown), and its options button. A click on the box shows the gauge,
/// a click on the gauge the box; a double click on either opens the channel's trend.
class ReadoutPanel final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReadoutPanel)

public:
    explicit ReadoutPanel(Context& context, QWidget* parent = nullptr);

    /// The channel texts the report carries; a channel it says nothing of keeps its text.
    void showReport(const protocol::StatusReport& report);
    /// Every box back to "0.00".
    void reset();
    /// Redraws the gauges from the boxes' texts (`Timer8` tick).
    void drawBars();
    /// The selected station's view flags (box or gauge) and channel titles.
    void applyStationDisplay();

    /// Local wall-clock time; tests inject their own.
    using Clock = std::function<QDateTime()>;
    void setClock(Clock clock) { m_clock = std::move(clock); }
    /// How long a session may go without a report before the values shown are called old.
    void setStaleAfter(qint64 ms) { m_staleAfterMs = ms; }
    /// Dims the values and says their age once the unit has been silent for too long (the
    /// `Timer8` tick calls it through drawBars).
    void refreshAge();

Q_SIGNALS:
    void openRequested(kestavo::core::DialogId id, int argument);
    /// The other readouts of the window follow the voltages: `asOf` is the time of the last report
    /// once the values shown are old ("40 s old" in `age`), invalid while they are live.
    void ageChanged(const QDateTime& asOf, const QString& age);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void toggleChannel(int index, bool showBar);
    int rangeFlag(int channel) const;
    void showFresh();
    QString baseName(int channel) const;

    Context& m_ctx;
    std::array<QLineEdit*, 8> m_boxes{};
    std::array<VoltageBar*, 8> m_bars{};
    std::array<QLabel*, 8> m_titles{};
    Clock m_clock = [] {
        return QDateTime::currentDateTime();
    };
    qint64 m_staleAfterMs = 5000;
    QDateTime m_lastReport; // invalid until a report arrives after a reset
    bool m_stale = false;
};

} // namespace kestavo::core
