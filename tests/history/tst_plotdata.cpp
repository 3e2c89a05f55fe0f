// What the Trends window draws and exports: lines broken where the link was down, per-pixel
// reduction, and CSV records.

#include <cmath>

#include <QTest>

#include "history/exportformat.h"
#include "history/plotdata.h"

using namespace kestavo::history;
using namespace Qt::StringLiterals;

namespace {

// "t=v" readings (seconds; v "-" for unknown) and "t:kind" events, as written in the table.
Series seriesOf(const QString& readings, const QString& events)
{
    Series s;
    for (const QString& item : readings.split(u' ', Qt::SkipEmptyParts)) {
        Row r;
        r.timeMs = item.section(u'=', 0, 0).toLongLong() * 1000;
        const QString v = item.section(u'=', 1);
        const double value = v == u"-" ? kUnknown : v.toDouble();
        r.mean.fill(value);
        r.min = r.mean;
        r.max = r.mean;
        r.relays[0] = qint8(v == u"-" ? -1 : int(value) % 2);
        s.rows.append(r);
    }
    for (const QString& item : events.split(u' ', Qt::SkipEmptyParts))
        s.events.append({item.section(u':', 0, 0).toLongLong() * 1000,
                         LinkEvent(item.section(u':', 1).toInt()), QString()});
    return s;
}

QStringList spans(const QList<Segment>& segments)
{
    QStringList out;
    for (const Segment& s : segments)
        out.append(u"%1-%2"_s.arg(s.first().x() / 1000).arg(s.last().x() / 1000));
    return out;
}

} // namespace

class TestPlotData : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void gaps_data();
    void gaps();
    void columnsKeepTheExtremes();
    void csvQuoting_data();
    void csvQuoting();
    void exportColumns();
};

void TestPlotData::gaps_data()
{
    QTest::addColumn<QString>("readings");
    QTest::addColumn<QString>("events");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("relayLane");
    QTest::newRow("continuous") << u"0=1 1=2 2=3 3=4"_s << QString() << QStringList{u"0-3"_s}
                                << QStringList{u"0-3"_s};
    QTest::newRow("link lost, restarted")
        << u"0=1 1=1 31=1 32=1"_s << u"2:4 30:1 31:2"_s << QStringList{u"0-1"_s, u"31-32"_s}
        << QStringList{u"0-1"_s, u"31-32"_s};
    QTest::newRow("stopped and started within a second")
        << u"0=1 1=1 3=1 4=1"_s << u"2:5 2:1"_s << QStringList{u"0-1"_s, u"3-4"_s}
        << QStringList{u"0-1"_s, u"3-4"_s};
    QTest::newRow("bad password") << u"0=1 5=1"_s << u"3:3"_s << QStringList{u"0-0"_s, u"5-5"_s}
                                  << QStringList{u"0-0"_s, u"5-5"_s};
    QTest::newRow("silent over a minute")
        << u"0=1 1=1 100=1 101=1"_s << QString() << QStringList{u"0-1"_s, u"100-101"_s}
        << QStringList{u"0-1"_s, u"100-101"_s};
    QTest::newRow("slow poller, every 5 min")
        << u"0=1 300=2 600=3"_s << QString() << QStringList{u"0-600"_s} << QStringList{u"0-600"_s};
    QTest::newRow("unknown value") << u"0=1 1=1 2=- 3=1"_s << QString() << QStringList{u"0-1"_s, u"3-3"_s}
                                   << QStringList{u"0-1"_s, u"3-3"_s};
    QTest::newRow("first report is no break")
        << u"0=1 1=1"_s << u"1:2"_s << QStringList{u"0-1"_s} << QStringList{u"0-1"_s};
}

void TestPlotData::gaps()
{
    QFETCH(QString, readings);
    QFETCH(QString, events);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, relayLane);
    const Series s = seriesOf(readings, events);
    const qint64 gap = gapThresholdMs(s);
    QCOMPARE(spans(plotLines(s, 0, 0, 1'000'000, 1000, gap)), lines);
    QCOMPARE(spans(laneSteps(s, 0, 0, 1, gap)), relayLane);
}

void TestPlotData::columnsKeepTheExtremes()
{
    Series s;
    for (int i = 0; i < 1000; ++i) {
        Row r;
        r.timeMs = i * 1000LL;
        r.mean.fill(std::sin(i / 10.0) + (i == 437 ? 5 : 0) - (i == 901 ? 7 : 0));
        r.min = r.mean;
        r.max = r.mean;
        s.rows.append(r);
    }
    const QList<Segment> lines = plotLines(s, 3, 0, 1'000'000, 10, gapThresholdMs(s));
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines.first().size() <= 20);
    double top = -100;
    double bottom = 100;
    for (const QPointF& p : lines.first()) {
        top = std::max(top, p.y());
        bottom = std::min(bottom, p.y());
    }
    QCOMPARE(top, std::sin(43.7) + 5);
    QCOMPARE(bottom, std::sin(90.1) - 7);
    for (qsizetype i = 1; i < lines.first().size(); ++i)
        QVERIFY(lines.first().at(i).x() >= lines.first().at(i - 1).x());
}

void TestPlotData::csvQuoting_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("record");
    QTest::newRow("plain") << QStringList{u"time"_s, u"12.5"_s, QString()} << u"time,12.5,"_s;
    QTest::newRow("comma") << QStringList{u"Pump A, north (V)"_s} << u"\"Pump A, north (V)\""_s;
    QTest::newRow("quotes") << QStringList{u"The \"big\" one"_s, u"x"_s} << u"\"The \"\"big\"\" one\",x"_s;
    QTest::newRow("line break") << QStringList{u"a\nb"_s} << u"\"a\nb\""_s;
}

void TestPlotData::csvQuoting()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, record);
    QCOMPARE(csvRecord(fields), record);
}

void TestPlotData::exportColumns()
{
    QCOMPARE(exportHeader(Step::Raw).join(u','),
             u"time,v1,v2,v3,v4,v5,v6,v7,v8,temperature_c,relay1,relay2,relay3,io1,io2,io3,io4,io5"_s);
    const QStringList minute = exportHeader(Step::Minute);
    QCOMPARE(
        minute.mid(18).join(u','),
        u"v1_min,v1_max,v2_min,v2_max,v3_min,v3_max,v4_min,v4_max,v5_min,v5_max,v6_min,v6_max,v7_min,v7_max,"
        u"v8_min,v8_max,temperature_c_min,temperature_c_max,count"_s);
    QStringList captions(8);
    captions[0] = u"Battery"_s;
    QCOMPARE(exportHeader(Step::Raw, captions).mid(0, 3),
             (QStringList{u"time"_s, u"Battery (V)"_s, u"Voltage 2 (V)"_s}));

    Row row;
    row.timeMs = 1'767'225'600'250;
    row.mean.fill(kUnknown);
    row.mean[0] = 15.00366300366;
    row.mean[8] = -2.5;
    row.relays = {1, 0, -1};
    const QStringList values = exportValues(row, Step::Raw);
    QCOMPARE(values.size(), 18);
    QCOMPARE(values.mid(0, 2), (QStringList{u"2026-01-01T00:00:00.250Z"_s, u"15.00366300366"_s}));
    QCOMPARE(values.mid(9, 4), (QStringList{u"-2.5"_s, u"1"_s, u"0"_s, QString()}));
    QCOMPARE(jsonRecord(exportHeader(Step::Raw), values).left(58),
             u"{\"io1\":null,\"io2\":null,\"io3\":null,\"io4\":null,\"io5\":null,\"r"_s);
}

QTEST_GUILESS_MAIN(TestPlotData)
#include "tst_plotdata.moc"
