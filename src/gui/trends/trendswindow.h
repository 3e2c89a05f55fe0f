#pragma once

#include <array>

#include <QFutureWatcher>
#include <QList>
#include <QPointer>
#include <QString>

#include "gui/main/consoledialog.h"
#include "history/plotdata.h"

class QAbstractAxis;
class QCheckBox;
class QChart;
class QComboBox;
class QCategoryAxis;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QValueAxis;

namespace kestavo::history {
class HistoryStore;
}

namespace kestavo::trends {

class TrendChartView;

/// The `Trends` window: a station's channels, temperature, relays and I/O pins over a chosen time
/// range, from the history file. Ranges load on a worker thread with a connection of their own, so
/// the console's event loop goes on while a year is read.
class TrendsWindow final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrendsWindow)

public:
    /// `preselect`: channel 1..8 or 9 (temperature) shown alone; 0 shows every channel.
    TrendsWindow(core::Context& context, history::HistoryStore& history, int preselect);
    ~TrendsWindow() override;

    /// What a load produces: the rows for export and what the charts draw.
    struct Loaded
    {
        history::Series series;
        std::array<QList<history::Segment>, history::kSeries> lines;
        std::array<QList<history::Segment>, history::kRelays + history::kIoPins> lanes;
        QString error;
    };

    qint64 fromMs() const { return m_from; }
    qint64 toMs() const { return m_to; }
    void setRange(qint64 fromMs, qint64 toMs);
    /// The address of the station shown.
    QString station() const;
    /// The step the shown range is read at (raw, 1 min or 1 h).
    history::Step step() const { return m_step; }
    const Loaded& loaded() const { return m_loaded; }

    /// Writes the shown range as CSV; false (and a message) when the file cannot be written.
    bool exportCsv(const QString& path);
    bool saveImage(const QString& path);

Q_SIGNALS:
    /// A range finished loading and the charts show it.
    void rangeShown();

private:
    void buildUi(int preselect);
    void fillStations();
    void applyRangeChoice();
    void reload();
    void display(const Loaded& loaded);
    QStringList captions() const;
    void onHovered(int series, const QPointF& point, bool state);
    void setStatus(const QString& text);
    /// The shown range in words ("last hour").
    QString rangeWords() const;
    void placeTimeTicks();
    /// Gives both charts the same plot left and right edges, so a time sits at one x in both.
    void alignTimeAxes();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    history::HistoryStore& m_history;
    QComboBox* m_stationBox = nullptr;
    QComboBox* m_rangeBox = nullptr;
    QDateTimeEdit* m_fromEdit = nullptr;
    QDateTimeEdit* m_toEdit = nullptr;
    QCheckBox* m_follow = nullptr;
    std::array<QCheckBox*, history::kSeries> m_seriesBoxes{};
    QCheckBox* m_lanesBox = nullptr;
    QLabel* m_status = nullptr;
    QChart* m_chart = nullptr;
    QChart* m_laneChart = nullptr;
    TrendChartView* m_view = nullptr;
    TrendChartView* m_laneView = nullptr;
    QCategoryAxis* m_timeAxis = nullptr;
    QCategoryAxis* m_laneTimeAxis = nullptr;
    QValueAxis* m_voltAxis = nullptr;
    QValueAxis* m_tempAxis = nullptr;
    QAbstractAxis* m_laneAxis = nullptr;
    qint64 m_from = 0;
    qint64 m_to = 0;
    history::Step m_step = history::Step::Raw;
    Loaded m_loaded;
    QFutureWatcher<Loaded> m_watcher;
    int m_generation = 0;
    bool m_reloadPending = false;
};

} // namespace kestavo::trends
