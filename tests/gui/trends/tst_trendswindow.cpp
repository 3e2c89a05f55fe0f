// The Trends window against a real history file, and the main window's double click that opens it.

#include <QAbstractItemView>
#include <QAccessible>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>

#include "gui/main/mainform.h"
#include "gui/trends/timeticks.h"
#include "gui/trends/trendchartview.h"
#include "gui/trends/trendswindow.h"
#include "history/historystore.h"
#include "support/consolefixture.h"

using namespace kestavo;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kNow = 1'767'225'600'000;

int linesNamed(const trends::TrendsWindow& w, const QString& name)
{
    int n = 0;
    for (auto* s : w.findChild<QChartView*>(u"TrendsChart"_s)->chart()->series())
        n += s->name() == name && qobject_cast<QLineSeries*>(s) ? 1 : 0;
    return n;
}

} // namespace

class TestTrendsWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void drawsGapsAndExportsTheShownRange();
    void doubleClickOpensTheChannelsTrend_data();
    void doubleClickOpensTheChannelsTrend();
    void keysZoomAndPan_data();
    void keysZoomAndPan();
    void ticksFallOnRoundTimes_data();
    void ticksFallOnRoundTimes();
    void longDescriptionsShowWhole();
};

void TestTrendsWindow::drawsGapsAndExportsTheShownRange()
{
    testsupport::ConsoleFixture f;
    const QString caption = u"Pump \"A\", north"_s;
    QVERIFY(f.store.writeCurrent({{u"Label1voltage"_s, caption}}));
    f.state.setSelectedAddress(u"127.0.0.1"_s);
    history::HistoryStore::Options options;
    options.clock = [] {
        return kNow;
    };
    history::HistoryStore store(options);
    QVERIFY(store.open(f.dir.filePath(u"history.db"_s)).ok);
    // Twenty minutes at 1 Hz with the link lost for ten of them in the middle.
    for (int i = 0; i < 1200; ++i) {
        if (i >= 400 && i < 1000)
            continue;
        history::Sample s;
        s.timeMs = kNow - 1200'000 + i * 1000LL;
        s.raw[0] = std::uint16_t(1000 + i % 50);
        s.temperatureC = 21.5;
        store.record(u"127.0.0.1"_s, u"00:0A:1B:2C:3D:4E"_s, s);
    }
    store.recordEvent(u"127.0.0.1"_s, kNow - 800'500, history::LinkEvent::LinkLost);
    QVERIFY(store.flush());

    trends::TrendsWindow w(f.context, store, 1);
    QSignalSpy shown(&w, &trends::TrendsWindow::rangeShown);
    w.show();
    QVERIFY(shown.wait(5000));
    QCOMPARE(w.station(), u"127.0.0.1"_s);
    QCOMPARE(w.findChild<QComboBox*>(u"TrendsStation"_s)->currentText(), u"Test unit (127.0.0.1)"_s);
    // Named by their labels, their choices as values.
    for (const auto& [box, label, value] :
         {std::tuple{u"TrendsRange"_s, u"Range"_s, u"1 h"_s},
          std::tuple{u"TrendsStation"_s, u"Station"_s, u"Test unit (127.0.0.1)"_s}}) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w.findChild<QComboBox*>(box));
        QVERIFY(a);
        QCOMPARE(a->text(QAccessible::Name), label);
        QCOMPARE(a->text(QAccessible::Value), value);
    }
    // A time sits at the same x in both charts: their plots start and end at the same place.
    const auto* chart = w.findChild<QChartView*>(u"TrendsChart"_s);
    const auto* lanes = w.findChild<QChartView*>(u"TrendsLaneChart"_s);
    for (const auto edge : {&QRectF::topLeft, &QRectF::topRight}) {
        const QPoint top = chart->mapToGlobal((chart->chart()->plotArea().*edge)().toPoint());
        const QPoint bottom = lanes->mapToGlobal((lanes->chart()->plotArea().*edge)().toPoint());
        QVERIFY2(qAbs(top.x() - bottom.x()) <= 1, qPrintable(u"%1 vs %2"_s.arg(top.x()).arg(bottom.x())));
    }
    QCOMPARE(chart->accessibleDescription(), caption + u", last hour, 7.33–7.68 V"_s);
    QCOMPARE(w.step(), history::Step::Raw);
    QCOMPARE(w.toMs() - w.fromMs(), 3600'000); // "1 h" is the first range
    QCOMPARE(w.loaded().series.rows.size(), 600);
    QCOMPARE(linesNamed(w, caption), 2);        // one line each side of the gap
    QCOMPARE(linesNamed(w, u"Voltage 2"_s), 0); // only the double-clicked channel is ticked
    w.findChild<QCheckBox*>(u"TrendsTemperature"_s)->setChecked(true);
    QCOMPARE(linesNamed(w, u"Temperature"_s), 2);

    const QString csv = f.dir.filePath(u"export.csv"_s);
    QVERIFY(w.exportCsv(csv));
    QVERIFY(w.findChild<QLabel*>(u"TrendsStatus"_s)->text().contains(QDir::toNativeSeparators(csv)));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 1 + 600 + 1); // header, rows, nothing after the last CRLF
    QVERIFY2(lines.first().startsWith("time,\"Pump \"\"A\"\", north (V)\",Voltage 2 (V),"),
             lines.first().constData());
    QVERIFY2(lines.at(1).startsWith("2025-12-31T23:40:00.000Z,"), lines.at(1).constData());
    QVERIFY(lines.at(1).endsWith("\r"));

    const QString png = f.dir.filePath(u"chart.png"_s);
    QVERIFY(w.saveImage(png));
    QVERIFY(QImage(png).width() > 100);
    QVERIFY(!w.exportCsv(f.dir.filePath(u"missing/dir/x.csv"_s)));
    QCOMPARE(f.prompter.calls().size(), 1);
}

void TestTrendsWindow::doubleClickOpensTheChannelsTrend_data()
{
    QTest::addColumn<QString>("readout");
    QTest::addColumn<int>("argument");
    QTest::newRow("voltage box 3") << u"Text2"_s << 3;
    QTest::newRow("voltage box 1") << u"Text16"_s << 1;
    QTest::newRow("temperature") << u"Text57"_s << 9;
}

void TestTrendsWindow::doubleClickOpensTheChannelsTrend()
{
    QFETCH(QString, readout);
    QFETCH(int, argument);
    testsupport::ConsoleFixture f;
    QList<int> opened;
    f.dialogs.add(core::DialogId::Trends, [&opened](core::Context&, int a) -> QWidget* {
        opened.append(a);
        return nullptr;
    });
    core::MainForm form(f.context, f.dialogs);
    form.loadStations();
    form.show();
    auto* box = form.findChild<QLineEdit*>(readout);
    QVERIFY(box);
    QTest::mouseDClick(box, Qt::LeftButton);
    QCOMPARE(opened, QList<int>{argument});
    QVERIFY(box->isVisible()); // the box shows as before, not its gauge
    core::MainForm::unloadAllForms(&form);
}

void TestTrendsWindow::keysZoomAndPan_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<double>("zoom"); // 0: no zoom asked
    QTest::addColumn<int>("pan");     // sign of the pan asked, 0: none
    QTest::addColumn<bool>("empty");  // the chart has its axes but no series (loading, no readings)
    QTest::newRow("+ zooms in") << int(Qt::Key_Plus) << 0.8 << 0 << false;
    QTest::newRow("- zooms out") << int(Qt::Key_Minus) << 1.25 << 0 << false;
    QTest::newRow("left pans back") << int(Qt::Key_Left) << 0.0 << -1 << false;
    QTest::newRow("right pans on") << int(Qt::Key_Right) << 0.0 << 1 << false;
    QTest::newRow("- on an empty chart") << int(Qt::Key_Minus) << 1.25 << 0 << true;
    QTest::newRow("right on an empty chart") << int(Qt::Key_Right) << 0.0 << 1 << true;
}

void TestTrendsWindow::keysZoomAndPan()
{
    QFETCH(int, key);
    QFETCH(double, zoom);
    QFETCH(int, pan);
    QFETCH(bool, empty);
    auto* chart = new QChart;
    auto* series = new QLineSeries;
    series->append(0, 0);
    series->append(1000, 1);
    chart->addSeries(series);
    chart->createDefaultAxes();
    chart->axes(Qt::Horizontal).first()->setRange(0, 1000);
    if (empty) {
        chart->removeSeries(series); // the window clears the chart while it loads
        delete series;
    }
    trends::TrendChartView view(chart);
    view.resize(600, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.focusPolicy(), Qt::StrongFocus);
    QSignalSpy zoomed(&view, &trends::TrendChartView::zoomRequested);
    QSignalSpy panned(&view, &trends::TrendChartView::panRequested);
    QTest::keyClick(&view, Qt::Key(key));
    QCOMPARE(zoomed.size(), zoom > 0 ? 1 : 0);
    QCOMPARE(panned.size(), pan != 0 ? 1 : 0);
    if (zoom > 0) {
        QCOMPARE(zoomed.first().at(1).toDouble(), zoom);
        QVERIFY(qAbs(zoomed.first().at(0).toDouble() - 500) < 20); // around the middle
    } else {
        QVERIFY(qAbs(panned.first().at(0).toDouble() - pan * 100) < 10); // a tenth of the range
    }
}

void TestTrendsWindow::ticksFallOnRoundTimes_data()
{
    QTest::addColumn<QString>("from"); // UTC
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("maxTicks");
    QTest::addColumn<int>("zoneOffset"); // seconds east of UTC
    QTest::addColumn<QString>("first");  // UTC time of the first mark
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("15 min at 2 min") << u"2026-12-08T02:54:17Z"_s << u"2026-12-08T03:09:17Z"_s << 8 << 0
                                     << u"2026-12-08T02:56:00Z"_s
                                     << QStringList{u"02:56"_s, u"02:58"_s, u"03:00"_s, u"03:02"_s,
                                                    u"03:04"_s, u"03:06"_s, u"03:08"_s};
    QTest::newRow("1 h at 15 min") << u"2026-12-08T02:54:17Z"_s << u"2026-12-08T03:54:17Z"_s << 6 << 0
                                   << u"2026-12-08T03:00:00Z"_s
                                   << QStringList{u"03:00"_s, u"03:15"_s, u"03:30"_s, u"03:45"_s};
    QTest::newRow("half-hour zone rounds in local time")
        << u"2026-12-08T02:54:17Z"_s << u"2026-12-08T03:54:17Z"_s << 6 << 19800 << u"2026-12-08T03:00:00Z"_s
        << QStringList{u"08:30"_s, u"08:45"_s, u"09:00"_s, u"09:15"_s};
    QTest::newRow("30 s with seconds")
        << u"2026-12-08T03:00:07Z"_s << u"2026-12-08T03:00:37Z"_s << 4 << 0 << u"2026-12-08T03:00:10Z"_s
        << QStringList{u"03:00:10"_s, u"03:00:20"_s, u"03:00:30"_s};
    QTest::newRow("24 h carries dates")
        << u"2026-12-07T03:56:03Z"_s << u"2026-12-08T03:56:03Z"_s << 8 << 0 << u"2026-12-07T06:00:00Z"_s
        << QStringList{u"12-07 06:00"_s, u"12-07 12:00"_s, u"12-07 18:00"_s, u"12-08 00:00"_s};
    QTest::newRow("7 days at local midnights")
        << u"2026-12-01T10:00:00Z"_s << u"2026-12-08T10:00:00Z"_s << 8 << 3600 << u"2026-12-01T23:00:00Z"_s
        << QStringList{u"2026-12-02"_s, u"2026-12-03"_s, u"2026-12-04"_s, u"2026-12-05"_s,
                       u"2026-12-06"_s, u"2026-12-07"_s, u"2026-12-08"_s};
    QTest::newRow("a year in quarters")
        << u"2026-01-01T00:00:00Z"_s << u"2027-01-01T00:00:00Z"_s << 6 << 0 << u"2026-01-09T00:00:00Z"_s
        << QStringList{u"2026-01-09"_s, u"2026-04-09"_s, u"2026-07-08"_s, u"2026-10-06"_s};
    QTest::newRow("empty range") << u"2026-12-08T03:00:00Z"_s << u"2026-12-08T03:00:00Z"_s << 8 << 0 << u""_s
                                 << QStringList{};
}

void TestTrendsWindow::ticksFallOnRoundTimes()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, maxTicks);
    QFETCH(int, zoneOffset);
    QFETCH(QString, first);
    QFETCH(QStringList, labels);
    const auto ms = [](const QString& iso) {
        return QDateTime::fromString(iso, Qt::ISODate).toMSecsSinceEpoch();
    };
    const QList<trends::TimeTick> ticks =
        trends::timeTicks(ms(from), ms(to), maxTicks, QTimeZone(zoneOffset));
    QStringList shown;
    for (const auto& t : ticks)
        shown.append(t.label);
    QCOMPARE(shown, labels);
    if (!ticks.isEmpty())
        QCOMPARE(ticks.first().ms, ms(first));
    for (qsizetype i = 1; i < ticks.size(); ++i) // evenly spaced
        QCOMPARE(ticks.at(i).ms - ticks.at(i - 1).ms, ticks.at(1).ms - ticks.at(0).ms);
}

void TestTrendsWindow::longDescriptionsShowWhole()
{
    testsupport::ConsoleFixture f;
    const QString description = u"Battery bank, north shelter 12"_s; // as long as Add IP takes
    QVERIFY(f.store.add(u"127.0.0.2"_s, u"secret"_s, description));
    f.state.setSelectedAddress(u"127.0.0.2"_s);
    history::HistoryStore store;
    QVERIFY(store.open(f.dir.filePath(u"history.db"_s)).ok);
    trends::TrendsWindow w(f.context, store, 1);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* box = w.findChild<QComboBox*>(u"TrendsStation"_s);
    const QString whole = description + u" (127.0.0.2)"_s;
    QCOMPARE(box->currentText(), whole);
    QCOMPARE(box->toolTip(), whole);
    QCOMPARE(box->itemData(box->currentIndex(), Qt::ToolTipRole).toString(), whole);
    // Whole in the closed box and in the open list, address included.
    const int needed = QFontMetrics(box->font()).horizontalAdvance(whole);
    QStyleOptionComboBox option;
    option.initFrom(box);
    const QRect field =
        box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
    QVERIFY2(field.width() >= needed, qPrintable(u"%1 < %2"_s.arg(field.width()).arg(needed)));
    box->showPopup();
    QVERIFY(QTest::qWaitForWindowExposed(box->view()->window()));
    QVERIFY2(box->view()->viewport()->width() >= needed,
             qPrintable(u"%1 < %2"_s.arg(box->view()->viewport()->width()).arg(needed)));
    box->hidePopup();
}

QTEST_MAIN(TestTrendsWindow)
#include "tst_trendswindow.moc"
