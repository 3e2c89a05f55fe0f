#include <QTest>

#include "stations/stationformat.h"

using namespace kestavo::stations;
using namespace Qt::StringLiterals;

class TestStationFormat final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatEntry_data();
    void formatEntry();
    void addressOf_data();
    void addressOf();
    void padPassword_data();
    void padPassword();
};

void TestStationFormat::formatEntry_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("entry");

    QTest::newRow("short ip filled to 15")
        << u"10.0.0.1"_s << u"Pump house"_s << u"10.0.0.1          Pump house"_s;
    QTest::newRow("15-character ip without fill")
        << u"192.168.100.200"_s << u"Roof"_s << u"192.168.100.200   Roof"_s;
    QTest::newRow("spaces around ip removed") << u"  10.1.2.3 "_s << u"Gate"_s << u"10.1.2.3          Gate"_s;
    QTest::newRow("description kept as typed")
        << u"10.0.0.2"_s << u"  two  spaces "_s << u"10.0.0.2            two  spaces "_s;
    QTest::newRow("tab is not a space") << u"\t10.0.0.3"_s << u"x"_s << u"\t10.0.0.3         x"_s;
    QTest::newRow("empty description") << u"1.2.3.4"_s << QString() << u"1.2.3.4           "_s;
}

void TestStationFormat::formatEntry()
{
    QFETCH(QString, ip);
    QFETCH(QString, description);
    QFETCH(QString, entry);
    QCOMPARE(kestavo::stations::formatEntry(ip, description), entry);
}

void TestStationFormat::addressOf_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address");

    QTest::newRow("entry") << u"10.0.0.1          Pump house"_s << u"10.0.0.1"_s;
    QTest::newRow("15-character ip") << u"192.168.100.200   Roof"_s << u"192.168.100.200"_s;
    QTest::newRow("typed text with spaces") << u"  10.0.0.7  "_s << u"10.0.0.7"_s;
    // Only the address columns count, even when the text runs on without a gap.
    QTest::newRow("longer than 15") << u"192.168.100.2001"_s << u"192.168.100.200"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("only spaces") << u"                  desc"_s << QString();
}

void TestStationFormat::addressOf()
{
    QFETCH(QString, text);
    QFETCH(QString, address);
    QCOMPARE(kestavo::stations::addressOf(text), address);
}

void TestStationFormat::padPassword_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");

    QTest::newRow("one character") << u"a"_s << u"a*********"_s;
    QTest::newRow("three characters") << u"abc"_s << u"abc*******"_s;
    QTest::newRow("nine characters") << u"123456789"_s << u"123456789*"_s;
    QTest::newRow("exactly ten unchanged") << u"0123456789"_s << u"0123456789"_s;
    QTest::newRow("longer left alone") << u"0123456789AB"_s << u"0123456789AB"_s;
}

void TestStationFormat::padPassword()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QCOMPARE(kestavo::stations::padPassword(typed), stored);
}

QTEST_APPLESS_MAIN(TestStationFormat)
#include "tst_stationformat.moc"
