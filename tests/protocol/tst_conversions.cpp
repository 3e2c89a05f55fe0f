#include <QTest>

#include "protocol/conversions.h"
#include "protocol/frames.h"

using namespace kestavo::protocol;

namespace {

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

} // namespace

class TestConversions : public QObject
{
    Q_OBJECT

private slots:
    void channelText_data();
    void channelText();
    void barValue_data();
    void barValue();
    void barLabel_data();
    void barLabel();
    void temperature_data();
    void temperature();
    void shortestText_data();
    void shortestText();
    void uptime_data();
    void uptime();
    void uptimeUnits_data();
    void uptimeUnits();
    void formatUnits_data();
    void formatUnits();
    void countdown_data();
    void countdown();
    void macText_data();
    void macText();
    void revisionDotted_data();
    void revisionDotted();
    void delayBytes_data();
    void delayBytes();
    void trimSpaces_data();
    void trimSpaces();
};

void TestConversions::channelText_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("range");
    QTest::addColumn<QString>("text"); // "<unchanged>" when the box keeps its text

    const QString unchanged = QStringLiteral("<unchanged>");
    QTest::newRow("ch3 raw 2048") << 3 << 2048 << 0 << QStringLiteral("15.00366300366");
    QTest::newRow("ch3 raw 4095") << 3 << 4095 << 0 << QStringLiteral("30");
    QTest::newRow("ch6 raw 4095") << 6 << 4095 << 0 << QStringLiteral("5");
    QTest::newRow("ch6 raw 1 under the cut") << 6 << 1 << 0 << QStringLiteral("0.00");
    QTest::newRow("ch3 raw 1 no cut") << 3 << 1 << 0 << QStringLiteral("0.00732600732");
    QTest::newRow("ch3 raw 15") << 3 << 15 << 0 << QStringLiteral("0.10989010989");
    QTest::newRow("ch3 raw 256") << 3 << 256 << 0 << QStringLiteral("1.87545787545");
    // The quotient is rounded, not cut, at twelve decimals: 3/4095 = 0.000732600732|6…
    QTest::newRow("ch3 raw 3 quotient rounds up") << 3 << 3 << 0 << QStringLiteral("0.02197802199");
    QTest::newRow("ch6 raw 4094 quotient rounds up") << 6 << 4094 << 0 << QStringLiteral("4.99877899878");
    QTest::newRow("ch1 range 1 raw 4095") << 1 << 4095 << 1 << QStringLiteral("60");
    QTest::newRow("ch2 range 1 raw 2048") << 2 << 2048 << 1 << QStringLiteral("30.00732600732");
    QTest::newRow("ch1 range 0 raw 4095") << 1 << 4095 << 0 << QStringLiteral("30");
    QTest::newRow("ch3 raw 0") << 3 << 0 << 0 << QStringLiteral("0.00");
    QTest::newRow("ch8 raw 0") << 8 << 0 << 0 << QStringLiteral("0.00");
    QTest::newRow("ch1 raw 0 greyed range") << 1 << 0 << 2 << QStringLiteral("0.00");
    QTest::newRow("ch1 greyed range unchanged") << 1 << 100 << 2 << unchanged;
    QTest::newRow("ch2 range -1 unchanged") << 2 << 100 << -1 << unchanged;
    QTest::newRow("ch3 ignores range flag") << 3 << 4095 << 7 << QStringLiteral("30");
    // 0.025 V on a 5 V channel is raw 20.475: 20 is cut, 21 is not.
    QTest::newRow("ch7 raw 20 under the cut") << 7 << 20 << 0 << QStringLiteral("0.00");
    QTest::newRow("ch7 raw 21 over the cut") << 7 << 21 << 0 << QStringLiteral("0.02564102564");
    QTest::newRow("ch8 raw 2048") << 8 << 2048 << 0 << QStringLiteral("2.50061050061");
    QTest::newRow("ch5 raw 20 no cut") << 5 << 20 << 0 << QStringLiteral("0.14652014652");
    QTest::newRow("channel 0 unchanged") << 0 << 100 << 0 << unchanged;
    QTest::newRow("channel 9 unchanged") << 9 << 100 << 0 << unchanged;
}

void TestConversions::channelText()
{
    QFETCH(int, channel);
    QFETCH(int, raw);
    QFETCH(int, range);
    QFETCH(QString, text);

    const std::optional<std::string> box =
        kestavo::protocol::channelText(channel, static_cast<std::uint16_t>(raw), range);
    QCOMPARE(box ? qs(*box) : QStringLiteral("<unchanged>"), text);
}

void TestConversions::barValue_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("value");

    QTest::newRow("15.00366300366") << QStringLiteral("15.00366300366") << 15;
    QTest::newRow("half to even down") << QStringLiteral("2.5") << 2;
    QTest::newRow("half to even up") << QStringLiteral("3.5") << 4;
    QTest::newRow("0.5 to 0") << QStringLiteral("0.5") << 0;
    QTest::newRow("41.5 to 42") << QStringLiteral("41.5") << 42;
    QTest::newRow("just over half") << QStringLiteral("2.5000001") << 3;
    QTest::newRow("negative half") << QStringLiteral("-1.5") << -2;
    QTest::newRow("0.00") << QStringLiteral("0.00") << 0;
    QTest::newRow("60") << QStringLiteral("60") << 60;
    QTest::newRow("spaces around") << QStringLiteral("  7.4 ") << 7;
    QTest::newRow("not a number") << QStringLiteral("abc") << 0;
    QTest::newRow("trailing junk") << QStringLiteral("12 V") << 0;
    QTest::newRow("empty") << QString() << 0;
}

void TestConversions::barValue()
{
    QFETCH(QString, box);
    QFETCH(int, value);
    QCOMPARE(kestavo::protocol::barValue(box.toStdString()), value);
}

void TestConversions::barLabel_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("label");

    QTest::newRow("15.00366300366") << QStringLiteral("15.00366300366") << QStringLiteral("15.00 V");
    QTest::newRow("0.00") << QStringLiteral("0.00") << QStringLiteral("0.00 V");
    QTest::newRow("60") << QStringLiteral("60") << QStringLiteral("60.00 V");
    QTest::newRow("0.00732600732") << QStringLiteral("0.00732600732") << QStringLiteral("0.01 V");
    QTest::newRow("29.999") << QStringLiteral("29.999") << QStringLiteral("30.00 V");
}

void TestConversions::barLabel()
{
    QFETCH(QString, box);
    QFETCH(QString, label);
    QCOMPARE(qs(kestavo::protocol::barLabel(box.toStdString())), label);
}

void TestConversions::temperature_data()
{
    QTest::addColumn<int>("magnitude");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("text"); // "<unchanged>" when the box keeps its text

    QTest::newRow("23/0") << 23 << 0 << QStringLiteral("23°C    73.4°F");
    QTest::newRow("3/129") << 3 << 129 << QStringLiteral("-2.5°C    27.5°F");
    QTest::newRow("3/1") << 3 << 1 << QStringLiteral("-3°C    26.6°F");
    QTest::newRow("3/128") << 3 << 128 << QStringLiteral("3.5°C    38.3°F");
    QTest::newRow("0/0") << 0 << 0 << QStringLiteral("0°C    32°F");
    QTest::newRow("0/1 shows 0, not -0") << 0 << 1 << QStringLiteral("0°C    32°F");
    QTest::newRow("0/129") << 0 << 129 << QStringLiteral("0.5°C    32.9°F");
    QTest::newRow("40/1") << 40 << 1 << QStringLiteral("-40°C    -40°F");
    QTest::newRow("255/0") << 255 << 0 << QStringLiteral("255°C    491°F");
    QTest::newRow("21/0") << 21 << 0 << QStringLiteral("21°C    69.8°F");
    QTest::newRow("flag 2") << 23 << 2 << QStringLiteral("<unchanged>");
    QTest::newRow("flag 127") << 23 << 127 << QStringLiteral("<unchanged>");
    QTest::newRow("flag 130") << 23 << 130 << QStringLiteral("<unchanged>");
    QTest::newRow("flag 255") << 23 << 255 << QStringLiteral("<unchanged>");
}

void TestConversions::temperature()
{
    QFETCH(int, magnitude);
    QFETCH(int, flags);
    QFETCH(QString, text);

    const std::optional<double> celsius =
        temperatureCelsius(static_cast<std::uint8_t>(magnitude), static_cast<std::uint8_t>(flags));
    QCOMPARE(celsius ? QString::fromStdString(temperatureText(*celsius)) : QStringLiteral("<unchanged>"),
             text);
}

void TestConversions::shortestText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("integer") << 77.0 << QStringLiteral("77");
    QTest::newRow("one decimal") << 69.8 << QStringLiteral("69.8");
    QTest::newRow("binary noise cut at 15 digits") << 0.1 + 0.2 << QStringLiteral("0.3");
    QTest::newRow("9/5*21+32") << 9.0 / 5.0 * 21 + 32 << QStringLiteral("69.8");
    QTest::newRow("15 digits kept") << 123.456789012345 << QStringLiteral("123.456789012345");
    QTest::newRow("16th digit rounded") << 1.23456789012345678 << QStringLiteral("1.23456789012346");
    QTest::newRow("negative") << -2.5 << QStringLiteral("-2.5");
    QTest::newRow("negative zero") << -0.0 << QStringLiteral("0");
    QTest::newRow("small, no exponent") << 0.00000015 << QStringLiteral("0.00000015");
    QTest::newRow("large, no exponent") << 1e20 << QStringLiteral("100000000000000000000");
    QTest::newRow("large cut to 15 digits") << 123456789012345678.0 << QStringLiteral("123456789012346000");
    QTest::newRow("round up carries") << 9.9999999999999999 << QStringLiteral("10");
}

void TestConversions::shortestText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(qs(kestavo::protocol::shortestText(value)), text);
}

void TestConversions::uptime_data()
{
    QTest::addColumn<quint32>("raw");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("count");

    QTest::newRow("123456") << quint32(123456) << QStringLiteral("&H0001E240") << 123456.0;
    QTest::newRow("0") << quint32(0) << QStringLiteral("&H00000000") << 0.0;
    QTest::newRow("all ones") << quint32(0xFFFFFFFF) << QStringLiteral("&HFFFFFFFF") << -1.0;
    QTest::newRow("top bit") << quint32(0x80000000) << QStringLiteral("&H80000000") << -2147483648.0;
    QTest::newRow("largest positive") << quint32(0x7FFFFFFF) << QStringLiteral("&H7FFFFFFF") << 2147483647.0;
    QTest::newRow("upper-case hex") << quint32(0xABCDEF) << QStringLiteral("&H00ABCDEF") << 11259375.0;
}

void TestConversions::uptime()
{
    QFETCH(quint32, raw);
    QFETCH(QString, text);
    QFETCH(double, count);
    QCOMPARE(qs(uptimeText(raw)), text);
    QCOMPARE(uptimeCount(raw), count);
}

void TestConversions::uptimeUnits_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QStringList>("units"); // minutes, hours, days, weeks, months, years

    QTest::newRow("59 s") << 59.0 << QStringList{QStringLiteral("0.00"), QStringLiteral("0.00"),
                                                 QStringLiteral("0.00"), QStringLiteral("0.00"),
                                                 QStringLiteral("0.00"), QStringLiteral("0.00")};
    QTest::newRow("1d 1h 1m 1s") << 90061.0 << QStringList{QStringLiteral("1501.02"), QStringLiteral("25.02"),
                                                           QStringLiteral("1.04"),    QStringLiteral("0.00"),
                                                           QStringLiteral("0.00"),    QStringLiteral("0.00")};
    QTest::newRow("59 min: hours cut, days follow")
        << 3540.0 << QStringList{QStringLiteral("59.00"), QStringLiteral("0.00"), QStringLiteral("0.00"),
                                 QStringLiteral("0.00"),  QStringLiteral("0.00"), QStringLiteral("0.00")};
    QTest::newRow("30 days") << 2592000.0 << QStringList{QStringLiteral("43200.00"), QStringLiteral("720.00"),
                                                         QStringLiteral("30.00"),    QStringLiteral("4.29"),
                                                         QStringLiteral("1.00"),     QStringLiteral("0.00")};
    QTest::newRow("365 days") << 31536000.0
                              << QStringList{QStringLiteral("525600.00"), QStringLiteral("8760.00"),
                                             QStringLiteral("365.00"),    QStringLiteral("52.14"),
                                             QStringLiteral("12.17"),     QStringLiteral("1.00")};
    QTest::newRow("negative count") << -1.0 << QStringList{QStringLiteral("0.00"), QStringLiteral("0.00"),
                                                           QStringLiteral("0.00"), QStringLiteral("0.00"),
                                                           QStringLiteral("0.00"), QStringLiteral("0.00")};
}

void TestConversions::uptimeUnits()
{
    QFETCH(double, seconds);
    QFETCH(QStringList, units);

    const UptimeUnits u = kestavo::protocol::uptimeUnits(seconds);
    const QStringList actual{
        qs(kestavo::protocol::formatUnits(u.minutes)), qs(kestavo::protocol::formatUnits(u.hours)),
        qs(kestavo::protocol::formatUnits(u.days)),    qs(kestavo::protocol::formatUnits(u.weeks)),
        qs(kestavo::protocol::formatUnits(u.months)),  qs(kestavo::protocol::formatUnits(u.years))};
    QCOMPARE(actual, units);
}

void TestConversions::formatUnits_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0.0 << QStringLiteral("0.00");
    QTest::newRow("whole") << 5.0 << QStringLiteral("5.00");
    QTest::newRow("below one keeps a leading 0") << 0.5 << QStringLiteral("0.50");
    QTest::newRow("round down") << 1501.0166666 << QStringLiteral("1501.02");
    QTest::newRow("half away from zero") << 0.125 << QStringLiteral("0.13");
    QTest::newRow("decimal half, binary below") << 1.005 << QStringLiteral("1.01");
    QTest::newRow("carry into integer") << 999.996 << QStringLiteral("1000.00");
    QTest::newRow("no grouping") << 1234567.891 << QStringLiteral("1234567.89");
    QTest::newRow("tiny") << 0.004 << QStringLiteral("0.00");
    QTest::newRow("tiny negative has no sign") << -0.004 << QStringLiteral("0.00");
    QTest::newRow("negative") << -12.345 << QStringLiteral("-12.35");
}

void TestConversions::formatUnits()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(qs(kestavo::protocol::formatUnits(value)), text);
}

void TestConversions::countdown_data()
{
    QTest::addColumn<quint32>("remaining");
    QTest::addColumn<QList<long>>("dhms");

    QTest::newRow("90061") << quint32(90061) << QList<long>{1, 1, 1, 1};
    QTest::newRow("86400") << quint32(86400) << QList<long>{1, 0, 0, 0};
    QTest::newRow("59") << quint32(59) << QList<long>{0, 0, 0, 59};
    QTest::newRow("60") << quint32(60) << QList<long>{0, 0, 1, 0};
    QTest::newRow("0") << quint32(0) << QList<long>{0, 0, 0, 0};
    QTest::newRow("3599") << quint32(3599) << QList<long>{0, 0, 59, 59};
    QTest::newRow("largest choosable") << quint32(2682060) << QList<long>{31, 1, 1, 0};
    QTest::newRow("24-bit maximum") << quint32(16777215) << QList<long>{194, 4, 20, 15};
}

void TestConversions::countdown()
{
    QFETCH(quint32, remaining);
    QFETCH(QList<long>, dhms);

    const Countdown c = kestavo::protocol::countdown(remaining);
    QCOMPARE((QList<long>{c.days, c.hours, c.minutes, c.seconds}), dhms);
}

void TestConversions::macText_data()
{
    QTest::addColumn<QList<int>>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("leading zeros") << QList<int>{0, 10, 27, 44, 61, 78}
                                   << QStringLiteral("00:0A:1B:2C:3D:4E");
    QTest::newRow("upper case") << QList<int>{255, 171, 205, 239, 1, 16}
                                << QStringLiteral("FF:AB:CD:EF:01:10");
}

void TestConversions::macText()
{
    QFETCH(QList<int>, bytes);
    QFETCH(QString, text);

    std::array<std::uint8_t, 6> mac{};
    for (std::size_t i = 0; i < mac.size(); ++i)
        mac[i] = static_cast<std::uint8_t>(bytes[static_cast<qsizetype>(i)]);
    QCOMPARE(qs(kestavo::protocol::macText(mac)), text);
}

void TestConversions::revisionDotted_data()
{
    QTest::addColumn<QList<int>>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("1.7.0") << QList<int>{1, 7, 0} << QStringLiteral("1.7.0");
    QTest::newRow("1.10.255") << QList<int>{1, 10, 255} << QStringLiteral("1.10.255");
}

void TestConversions::revisionDotted()
{
    QFETCH(QList<int>, bytes);
    QFETCH(QString, text);

    const std::array<std::uint8_t, 3> revision{static_cast<std::uint8_t>(bytes[0]),
                                               static_cast<std::uint8_t>(bytes[1]),
                                               static_cast<std::uint8_t>(bytes[2])};
    QCOMPARE(qs(kestavo::protocol::revisionDotted(revision)), text);
}

void TestConversions::delayBytes_data()
{
    QTest::addColumn<quint32>("seconds");
    QTest::addColumn<QList<int>>("bytes");

    QTest::newRow("1 s") << quint32(1) << QList<int>{0x00, 0x00, 0x01};
    QTest::newRow("1 day") << quint32(86400) << QList<int>{0x01, 0x51, 0x80};
    QTest::newRow("largest choosable") << quint32(2682060) << QList<int>{0x28, 0xEC, 0xCC};
    QTest::newRow("24-bit maximum") << quint32(0xFFFFFF) << QList<int>{0xFF, 0xFF, 0xFF};
    QTest::newRow("above 24 bits cut") << quint32(0x1234567) << QList<int>{0x23, 0x45, 0x67};
}

void TestConversions::delayBytes()
{
    QFETCH(quint32, seconds);
    QFETCH(QList<int>, bytes);

    const std::array<std::uint8_t, 3> actual = kestavo::protocol::delayBytes(seconds);
    QCOMPARE((QList<int>{actual[0], actual[1], actual[2]}), bytes);
}

void TestConversions::trimSpaces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");

    QTest::newRow("both ends") << QStringLiteral("  Millpond   ") << QStringLiteral("Millpond");
    QTest::newRow("inner spaces kept") << QStringLiteral(" A  B ") << QStringLiteral("A  B");
    QTest::newRow("all spaces") << QStringLiteral("    ") << QString();
    QTest::newRow("tabs are not spaces") << QStringLiteral("\tA\t") << QStringLiteral("\tA\t");
}

void TestConversions::trimSpaces()
{
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QCOMPARE(qs(kestavo::protocol::trimSpaces(text.toStdString())), trimmed);
}

QTEST_APPLESS_MAIN(TestConversions)
#include "tst_conversions.moc"
