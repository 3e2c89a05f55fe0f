#include "gui/trends/trendswindow.h"

#include <algorithm>
#include <cmath>

#include <QAbstractItemView>
#include <QCategoryAxis>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QScatterSeries>
#include <QStyle>
#include <QTimeZone>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QtConcurrent/QtConcurrentRun>

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "session/consolestate.h"
#include "session/context.h"

#include "gui/main/readoutaccessible.h"
#include "gui/trends/timeticks.h"
#include "gui/trends/trendchartview.h"
#include "history/exportformat.h"
#include "history/historyreader.h"
#include "history/historystore.h"
#include "platform/prompter.h"

namespace kestavo::trends {

namespace {

QString qs(const char* text)
{
    return QString::fromUtf8(text);
}

constexpr qint64 kMinute = 60'000;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;

struct RangeChoice
{
    const char* text;
    qint64 span; // 0: custom
};
constexpr std::array<RangeChoice, 7> kRanges{{{"10 min", 10 * kMinute},
                                              {"1 h", kHour},
                                              {"24 h", kDay},
                                              {"7 d", 7 * kDay},
                                              {"30 d", 30 * kDay},
                                              {"1 y", 365 * kDay},
                                              {"Custom", 0}}};
constexpr int kCustom = 6;

// One colour per series, so the pieces of a broken line read as one.
constexpr std::array<QRgb, history::kSeries> kColours{0x1f77b4, 0xd62728, 0x2ca02c, 0x9467bd, 0x8c564b,
                                                      0xe377c2, 0x7f7f7f, 0xbcbd22, 0xff7f0e};
constexpr double kLaneHeight = 0.7;
// The station box grows with the descriptions up to this; the list and the tooltip show the rest.
constexpr int kStationBoxMaxWidth = 380;

// The finest step that keeps a range within some tens of thousands of rows and is still kept for it.
history::Step stepFor(qint64 from, qint64 to, qint64 now, const history::HistoryStore::Retention& kept)
{
    const qint64 span = to - from;
    if (span <= 6 * kHour && from >= now - kept.rawMs)
        return history::Step::Raw;
    if (span <= 60 * kDay && from >= now - kept.minuteMs)
        return history::Step::Minute;
    return history::Step::Hour;
}

TrendsWindow::Loaded load(const QString& path, const QString& address, qint64 from, qint64 to,
                          history::Step step, int columns)
{
    TrendsWindow::Loaded out;
    history::HistoryReader reader;
    if (!reader.open(path)) {
        out.error = reader.error();
        return out;
    }
    out.series = reader.read(address, from, to, step);
    const qint64 gap = history::gapThresholdMs(out.series);
    for (int s = 0; s < history::kSeries; ++s)
        out.lines[std::size_t(s)] = history::plotLines(out.series, s, from, to, columns, gap);
    const int lanes = history::kRelays + history::kIoPins;
    for (int l = 0; l < lanes; ++l)
        out.lanes[std::size_t(l)] = history::laneSteps(out.series, l, lanes - 1 - l, kLaneHeight, gap);
    return out;
}

} // namespace

TrendsWindow::TrendsWindow(core::Context& context, history::HistoryStore& history, int preselect)
    : ConsoleDialog(context, false), m_history(history)
{
    setObjectName(qs("Trends"));
    setWindowTitle(QCoreApplication::translate("kestavo::trends", "Trends"));
    setAccessibleName(QCoreApplication::translate("kestavo::trends", "Trends"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(1100, 720);
    buildUi(preselect);
    connect(&m_watcher, &QFutureWatcher<Loaded>::finished, this, [this] {
        if (m_watcher.future().resultCount() > 0)
            display(m_watcher.result());
        if (m_reloadPending) {
            m_reloadPending = false;
            reload();
        }
    });
    connect(&m_history, &history::HistoryStore::written, this, [this] {
        if (!m_follow->isChecked())
            return;
        const qint64 span = m_to - m_from;
        const qint64 now = m_history.now();
        setRange(now - span, now);
    });
    applyRangeChoice();
}

TrendsWindow::~TrendsWindow()
{
    m_watcher.waitForFinished();
}

void TrendsWindow::buildUi(int preselect)
{
    auto* top = new QHBoxLayout;
    const auto label = [this, top](const char* text, QWidget* buddy) {
        auto* l = new QLabel(qs(text), this);
        l->setBuddy(buddy);
        top->addWidget(l);
        top->addWidget(buddy);
    };
    m_stationBox = new QComboBox(this);
    m_stationBox->setObjectName(qs("TrendsStation"));
    m_stationBox->setAccessibleName(tr("Station"));
    // Sites are told apart by their descriptions: the box grows with them (within reason, the
    // other controls share the row), the list opens as wide as its longest entry, and whatever the
    // closed box cannot hold is in its tooltip.
    m_stationBox->setMinimumContentsLength(15);
    m_stationBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_stationBox->setMaximumWidth(kStationBoxMaxWidth);
    m_stationBox->view()->setTextElideMode(Qt::ElideNone);
    label("&Station:", m_stationBox);
    m_rangeBox = new QComboBox(this);
    m_rangeBox->setObjectName(qs("TrendsRange"));
    m_rangeBox->setAccessibleName(tr("Range"));
    for (const auto& r : kRanges)
        m_rangeBox->addItem(qs(r.text));
    m_rangeBox->setCurrentIndex(1);
    label("&Range:", m_rangeBox);
    m_fromEdit = new QDateTimeEdit(this);
    m_fromEdit->setObjectName(qs("TrendsFrom"));
    m_fromEdit->setAccessibleName(tr("From"));
    m_toEdit = new QDateTimeEdit(this);
    m_toEdit->setObjectName(qs("TrendsTo"));
    m_toEdit->setAccessibleName(tr("To"));
    for (auto* e : {m_fromEdit, m_toEdit}) {
        e->setDisplayFormat(qs("yyyy-MM-dd HH:mm:ss"));
        e->setTimeSpec(Qt::LocalTime);
        e->setEnabled(false);
    }
    label("&From:", m_fromEdit);
    label("&To:", m_toEdit);
    m_follow = new QCheckBox(tr("Follow &live"), this);
    m_follow->setObjectName(qs("TrendsFollow"));
    m_follow->setAccessibleName(tr("Follow live"));
    m_follow->setChecked(true);
    top->addWidget(m_follow);
    top->addStretch(1);
    auto* exportButton = new QPushButton(tr("Export CSV…"), this);
    exportButton->setObjectName(qs("TrendsExportCsv"));
    exportButton->setAccessibleName(tr("Export CSV"));
    auto* imageButton = new QPushButton(tr("Save image…"), this);
    imageButton->setObjectName(qs("TrendsSaveImage"));
    imageButton->setAccessibleName(tr("Save image"));

    auto* boxes = new QVBoxLayout;
    const QStringList names = captions();
    for (int s = 0; s < history::kSeries; ++s) {
        auto* box = new QCheckBox(names.at(s), this);
        box->setObjectName(s < history::kChannels ? QStringLiteral("TrendsChannel%1").arg(s + 1)
                                                  : qs("TrendsTemperature"));
        box->setAccessibleName(names.at(s));
        box->setChecked(preselect == 0 ? s < history::kChannels : preselect == s + 1);
        QPalette p = box->palette();
        p.setColor(QPalette::WindowText, QColor(kColours[std::size_t(s)]));
        box->setPalette(p);
        m_seriesBoxes[std::size_t(s)] = box;
        boxes->addWidget(box);
        connect(box, &QCheckBox::toggled, this, [this] { display(m_loaded); });
    }
    m_lanesBox = new QCheckBox(tr("Relays and I/O"), this);
    m_lanesBox->setObjectName(qs("TrendsLanes"));
    m_lanesBox->setAccessibleName(tr("Relays and I/O"));
    m_lanesBox->setChecked(true);
    boxes->addWidget(m_lanesBox);
    boxes->addStretch(1);

    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    // A caption too long for its place in the legend is elided there; the pointer shows it whole.
    m_chart->legend()->setShowToolTips(true);
    m_timeAxis = new QCategoryAxis(m_chart);
    m_voltAxis = new QValueAxis(m_chart);
    m_voltAxis->setTitleText(qs("V"));
    m_tempAxis = new QValueAxis(m_chart);
    m_tempAxis->setTitleText(qs("°C"));
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_voltAxis, Qt::AlignLeft);
    m_chart->addAxis(m_tempAxis, Qt::AlignRight);
    m_view = new TrendChartView(m_chart, this);
    m_view->setObjectName(qs("TrendsChart"));
    m_view->setAccessibleName(tr("Readings chart"));

    m_laneChart = new QChart;
    m_laneChart->legend()->hide();
    m_laneTimeAxis = new QCategoryAxis(m_laneChart);
    auto* lanes = new QCategoryAxis(m_laneChart);
    lanes->setRange(-0.2, 8.8);
    lanes->setGridLineVisible(false);
    lanes->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    // Lane l sits between 7 - l and 7 - l + kLaneHeight; relays on top, the link marks above them.
    const std::array<const char*, 8> laneNames{"Relay 1", "Relay 2", "Relay 3", "I/O 1",
                                               "I/O 2",   "I/O 3",   "I/O 4",   "I/O 5"};
    for (int l = 7; l >= 0; --l)
        lanes->append(qs(laneNames[std::size_t(l)]), 7 - l + kLaneHeight / 2);
    lanes->append(qs("Link"), 8.4);
    QFont small = lanes->labelsFont();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    lanes->setLabelsFont(small);
    m_laneAxis = lanes;
    m_laneChart->addAxis(m_laneTimeAxis, Qt::AlignBottom);
    m_laneChart->addAxis(m_laneAxis, Qt::AlignLeft);
    m_laneView = new TrendChartView(m_laneChart, this);
    m_laneView->setObjectName(qs("TrendsLaneChart"));
    m_laneView->setAccessibleName(tr("Relays and I/O pins chart"));
    m_laneView->setMinimumHeight(250);
    m_laneView->setMaximumHeight(280);

    m_status = new QLabel(this);
    m_status->setObjectName(qs("TrendsStatus"));
    core::markReadout(m_status, tr("Trends status"));

    auto* charts = new QVBoxLayout;
    charts->addWidget(m_view, 1);
    charts->addWidget(m_laneView);
    auto* middle = new QHBoxLayout;
    middle->addLayout(boxes);
    middle->addLayout(charts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    // The exports sit beside the status line, which says where they wrote, and leave the top
    // row to the station's description and the range.
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(exportButton);
    bottom->addWidget(imageButton);
    layout->addLayout(bottom);

    fillStations();
    connect(m_stationBox, &QComboBox::currentIndexChanged, this, [this] {
        m_stationBox->setToolTip(m_stationBox->currentText());
        const QStringList names = captions();
        for (int s = 0; s < history::kSeries; ++s) {
            m_seriesBoxes[std::size_t(s)]->setText(names.at(s));
            m_seriesBoxes[std::size_t(s)]->setAccessibleName(names.at(s));
        }
        reload();
    });
    connect(m_rangeBox, &QComboBox::currentIndexChanged, this, [this] { applyRangeChoice(); });
    for (auto* e : {m_fromEdit, m_toEdit}) {
        connect(e, &QDateTimeEdit::editingFinished, this, [this] {
            if (m_rangeBox->currentIndex() == kCustom)
                setRange(m_fromEdit->dateTime().toMSecsSinceEpoch(),
                         m_toEdit->dateTime().toMSecsSinceEpoch());
        });
    }
    connect(m_lanesBox, &QCheckBox::toggled, m_laneView, &QWidget::setVisible);
    connect(exportButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Export CSV"), station() + qs(".csv"),
                                                          tr("CSV files (*.csv)"));
        if (!path.isEmpty())
            exportCsv(path);
    });
    connect(imageButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Save image"), station() + qs(".png"),
                                                          qs("PNG images (*.png)"));
        if (!path.isEmpty())
            saveImage(path);
    });
    const auto toCustom = [this](qint64 from, qint64 to) {
        m_follow->setChecked(false);
        {
            const QSignalBlocker block(m_rangeBox);
            m_rangeBox->setCurrentIndex(kCustom);
        }
        m_fromEdit->setEnabled(true);
        m_toEdit->setEnabled(true);
        setRange(from, std::max(to, from + 1000));
    };
    for (auto* view : {m_view, m_laneView}) {
        connect(view, &TrendChartView::zoomRequested, this, [this, toCustom](double centre, double factor) {
            const double from = centre - (centre - double(m_from)) * factor;
            const double to = centre + (double(m_to) - centre) * factor;
            toCustom(qint64(from), qint64(to));
        });
        connect(view, &TrendChartView::panRequested, this,
                [this, toCustom](double delta) { toCustom(m_from + qint64(delta), m_to + qint64(delta)); });
        connect(view, &TrendChartView::rangeRequested, this,
                [toCustom](double from, double to) { toCustom(qint64(from), qint64(to)); });
    }
}

QString TrendsWindow::station() const
{
    return m_stationBox->currentData().toString();
}

void TrendsWindow::fillStations()
{
    QStringList addresses = m_history.reader().stations();
    const QString selected = context().state.selectedAddress();
    if (!selected.isEmpty() && !addresses.contains(selected))
        addresses.prepend(selected);
    // Sites are known by their description; the address tells two alike apart.
    const auto& store = context().store;
    for (const QString& address : std::as_const(addresses)) {
        QString description;
        for (int i = 0; i < store.count() && description.isEmpty(); ++i)
            if (stations::addressOf(store.entryAt(i)) == address)
                description = stations::descriptionOf(store.entryAt(i)).trimmed();
        const QString text = description.isEmpty() ? address : tr("%1 (%2)").arg(description, address);
        m_stationBox->addItem(text, address);
        m_stationBox->setItemData(m_stationBox->count() - 1, text, Qt::ToolTipRole);
    }
    if (!selected.isEmpty())
        m_stationBox->setCurrentIndex(m_stationBox->findData(selected));
    QAbstractItemView* list = m_stationBox->view();
    const QFontMetrics metrics(list->font());
    int widest = 0;
    for (int i = 0; i < m_stationBox->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(m_stationBox->itemText(i)));
    // Room for the item's margins and a scroll bar beside the longest text.
    list->setMinimumWidth(widest + 2 * list->frameWidth() +
                          list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                          4 * list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 16);
    m_stationBox->setToolTip(m_stationBox->currentText());
}

QStringList TrendsWindow::captions() const
{
    // Scanned by position: moving the station store's cursor would move the main window's.
    const auto& store = context().store;
    int position = -1;
    const QString address = m_stationBox ? station() : QString();
    for (int i = 0; i < store.count() && position < 0; ++i)
        if (stations::addressOf(store.entryAt(i)) == address)
            position = i;
    QStringList names;
    for (int c = 1; c <= history::kChannels; ++c) {
        const QString caption =
            position < 0
                ? QString()
                : store.valueAt(position, QStringLiteral("Label%1voltage").arg(c)).toString().trimmed();
        names.append(caption.isEmpty() ? QStringLiteral("Voltage %1").arg(c) : caption);
    }
    names.append(qs("Temperature"));
    return names;
}

void TrendsWindow::applyRangeChoice()
{
    const int index = m_rangeBox->currentIndex();
    const bool custom = index == kCustom;
    m_fromEdit->setEnabled(custom);
    m_toEdit->setEnabled(custom);
    if (custom) {
        m_follow->setChecked(false);
        return;
    }
    const qint64 now = m_history.now();
    setRange(now - kRanges[std::size_t(index)].span, now);
}

void TrendsWindow::setRange(qint64 fromMs, qint64 toMs)
{
    m_from = fromMs;
    m_to = toMs;
    {
        const QSignalBlocker a(m_fromEdit);
        const QSignalBlocker b(m_toEdit);
        m_fromEdit->setDateTime(QDateTime::fromMSecsSinceEpoch(fromMs));
        m_toEdit->setDateTime(QDateTime::fromMSecsSinceEpoch(toMs));
    }
    reload();
}

void TrendsWindow::reload()
{
    if (m_watcher.isRunning()) {
        m_reloadPending = true; // the newest request wins once the running load is done
        return;
    }
    m_step = stepFor(m_from, m_to, m_history.now(), m_history.retentionSettings());
    setStatus(tr("Loading…"));
    const int columns = std::max(200, m_view->width());
    m_watcher.setFuture(QtConcurrent::run(load, m_history.path(), station(), m_from, m_to, m_step, columns));
}

void TrendsWindow::display(const Loaded& loaded)
{
    m_loaded = loaded;
    m_chart->removeAllSeries();
    m_laneChart->removeAllSeries();
    const QStringList names = captions();
    double low = INFINITY;
    double high = -INFINITY;
    double tLow = INFINITY;
    double tHigh = -INFINITY;
    QStringList summary;
    for (int s = 0; s < history::kSeries; ++s) {
        if (!m_seriesBoxes[std::size_t(s)]->isChecked())
            continue;
        const bool temperature = s == history::kTemperatureSeries;
        double sLow = INFINITY;
        double sHigh = -INFINITY;
        bool first = true;
        for (const history::Segment& segment : loaded.lines[std::size_t(s)]) {
            auto* line = new QLineSeries;
            line->setName(names.at(s));
            line->setColor(QColor(kColours[std::size_t(s)]));
            line->replace(segment);
            m_chart->addSeries(line);
            line->attachAxis(m_timeAxis);
            line->attachAxis(temperature ? m_tempAxis : m_voltAxis);
            if (!first)
                m_chart->legend()->markers(line).value(0)->setVisible(false);
            first = false;
            connect(line, &QLineSeries::hovered, this,
                    [this, s](const QPointF& p, bool state) { onHovered(s, p, state); });
            for (const QPointF& p : segment) {
                sLow = std::min(sLow, p.y());
                sHigh = std::max(sHigh, p.y());
            }
        }
        if (std::isfinite(sLow)) {
            (temperature ? tLow : low) = std::min(temperature ? tLow : low, sLow);
            (temperature ? tHigh : high) = std::max(temperature ? tHigh : high, sHigh);
            const int decimals = temperature ? 1 : 2;
            summary.append(tr("%1, %2, %3–%4 %5")
                               .arg(names.at(s), rangeWords())
                               .arg(sLow, 0, 'f', decimals)
                               .arg(sHigh, 0, 'f', decimals)
                               .arg(temperature ? qs("°C") : qs("V")));
        } else {
            summary.append(tr("%1, %2, no readings").arg(names.at(s), rangeWords()));
        }
    }
    // What a sighted user takes in at a glance, for a screen reader.
    m_view->setAccessibleDescription(summary.isEmpty() ? tr("No channel chosen") : summary.join(qs("; ")));
    const auto fit = [](QValueAxis* axis, double a, double b, double fallbackLow, double fallbackHigh) {
        if (!std::isfinite(a) || !std::isfinite(b)) {
            axis->setRange(fallbackLow, fallbackHigh);
            return;
        }
        const double margin = std::max(0.05 * (b - a), 0.1);
        axis->setRange(a - margin, b + margin);
    };
    fit(m_voltAxis, low, high, 0, 30);
    fit(m_tempAxis, tLow, tHigh, 0, 40);

    for (std::size_t l = 0; l < loaded.lanes.size(); ++l) {
        for (const history::Segment& segment : loaded.lanes[l]) {
            auto* lane = new QLineSeries;
            lane->setColor(QColor(l < 3 ? 0xd62728 : 0x1f77b4));
            lane->replace(segment);
            m_laneChart->addSeries(lane);
            lane->attachAxis(m_laneTimeAxis);
            lane->attachAxis(m_laneAxis);
        }
    }
    auto* marks = new QScatterSeries;
    marks->setMarkerSize(9);
    marks->setColor(Qt::black);
    for (const history::Event& e : loaded.series.events)
        marks->append(double(e.timeMs), 8.4);
    m_laneChart->addSeries(marks);
    marks->attachAxis(m_laneTimeAxis);
    marks->attachAxis(m_laneAxis);
    connect(marks, &QScatterSeries::hovered, this, [this](const QPointF& p, bool state) {
        if (!state)
            return;
        for (const history::Event& e : m_loaded.series.events)
            if (double(e.timeMs) == p.x())
                setStatus(QDateTime::fromMSecsSinceEpoch(e.timeMs).toString(qs("yyyy-MM-dd HH:mm:ss")) +
                          qs("  ") + history::linkEventText(e.kind) +
                          (e.detail.isEmpty() ? QString() : qs(": ") + e.detail));
    });

    placeTimeTicks();
    setStatus(loaded.error.isEmpty()
                  ? tr("%1 rows at step %2").arg(loaded.series.rows.size()).arg(history::stepName(m_step))
                  : loaded.error);
    Q_EMIT rangeShown();
}

void TrendsWindow::onHovered(int series, const QPointF& point, bool state)
{
    if (!state)
        return;
    const QString unit = series == history::kTemperatureSeries ? qs(" °C") : qs(" V");
    const QString text =
        QDateTime::fromMSecsSinceEpoch(qint64(point.x())).toString(qs("yyyy-MM-dd HH:mm:ss")) + qs("  ") +
        captions().at(series) + qs(": ") + QString::number(point.y(), 'f', 3) + unit;
    setStatus(text);
    // Beside the pointer, where the eye is, and in the status line for screen readers.
    QToolTip::showText(QCursor::pos(), text, m_view);
}

QString TrendsWindow::rangeWords() const
{
    static const std::array<const char*, kCustom> words{
        QT_TR_NOOP("last 10 minutes"), QT_TR_NOOP("last hour"),    QT_TR_NOOP("last 24 hours"),
        QT_TR_NOOP("last 7 days"),     QT_TR_NOOP("last 30 days"), QT_TR_NOOP("last year")};
    const int index = m_rangeBox->currentIndex();
    if (index >= 0 && index < kCustom)
        return tr(words[std::size_t(index)]);
    const QString format = qs("yyyy-MM-dd HH:mm");
    return tr("%1 to %2")
        .arg(QDateTime::fromMSecsSinceEpoch(m_from).toString(format),
             QDateTime::fromMSecsSinceEpoch(m_to).toString(format));
}

void TrendsWindow::setStatus(const QString& text)
{
    m_status->setText(text);
    m_status->setAccessibleDescription(text);
}

void TrendsWindow::placeTimeTicks()
{
    // Room for one label per hundred pixels or so; the dated labels are wider.
    const int width = std::max(200, m_view->width());
    const int maxTicks = std::max(2, width / (m_to - m_from >= kDay ? 130 : 90));
    const QList<TimeTick> ticks = timeTicks(m_from, m_to, maxTicks, QTimeZone::systemTimeZone());
    for (QCategoryAxis* axis : {m_timeAxis, m_laneTimeAxis}) {
        for (const QString& label : axis->categoriesLabels())
            axis->remove(label);
        axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        axis->setStartValue(double(m_from));
        axis->setRange(double(m_from), double(m_to));
        for (const TimeTick& tick : ticks)
            axis->append(tick.label, double(tick.ms));
    }
    alignTimeAxes();
}

void TrendsWindow::alignTimeAxes()
{
    // Each chart lays its plot out by its own axis labels (the readings have a °C axis on the
    // right, the lanes none): let both lay out freely, then give both the wider margins.
    m_chart->setPlotArea(QRectF());
    m_laneChart->setPlotArea(QRectF());
    const QRectF a = m_chart->plotArea();
    const QRectF b = m_laneChart->plotArea();
    if (a.isEmpty() || b.isEmpty())
        return;
    const qreal left = std::max(a.left(), b.left());
    const qreal rightMargin =
        std::max(m_chart->size().width() - a.right(), m_laneChart->size().width() - b.right());
    m_chart->setPlotArea(
        QRectF(QPointF(left, a.top()), QPointF(m_chart->size().width() - rightMargin, a.bottom())));
    m_laneChart->setPlotArea(
        QRectF(QPointF(left, b.top()), QPointF(m_laneChart->size().width() - rightMargin, b.bottom())));
}

void TrendsWindow::resizeEvent(QResizeEvent* event)
{
    ConsoleDialog::resizeEvent(event);
    placeTimeTicks();
}

bool TrendsWindow::exportCsv(const QString& path)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        const auto line = [&file](const QStringList& fields) {
            file.write(history::csvRecord(fields).toUtf8());
            file.write("\r\n");
        };
        line(history::exportHeader(m_loaded.series.step, captions()));
        for (const history::Row& row : std::as_const(m_loaded.series.rows))
            line(history::exportValues(row, m_loaded.series.step));
        if (file.commit()) {
            setStatus(tr("Exported %1 rows to %2")
                          .arg(m_loaded.series.rows.size())
                          .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())));
            return true;
        }
    }
    context().prompter.tell(tr("The CSV file \"%1\" cannot be written: %2.")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
    return false;
}

bool TrendsWindow::saveImage(const QString& path)
{
    QImage image(m_view->width(), m_view->height() + (m_laneView->isVisible() ? m_laneView->height() : 0),
                 QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.drawPixmap(0, 0, m_view->grab());
        if (m_laneView->isVisible())
            painter.drawPixmap(0, m_view->height(), m_laneView->grab());
    }
    if (image.save(path, "PNG")) {
        setStatus(
            tr("Saved the chart to %1").arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())));
        return true;
    }
    context().prompter.tell(
        tr("The image \"%1\" cannot be written; choose another folder.").arg(QDir::toNativeSeparators(path)));
    return false;
}

} // namespace kestavo::trends
