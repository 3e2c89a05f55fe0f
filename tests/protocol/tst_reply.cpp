#include <initializer_list>
#include <string>

#include <QStringList>
#include <QTest>

#include "protocol/reply.h"

#include "bytebuilder.h"

using namespace kestavo::protocol;
using kestavo::test::toStd;

Q_DECLARE_METATYPE(kestavo::protocol::ReplyClass)
Q_DECLARE_METATYPE(kestavo::protocol::DecodeError)

namespace {

// Writes values at a 1-based position of a reply.
void put(QByteArray& reply, int position, std::initializer_list<int> values)
{
    for (const int v : values)
        reply[position++ - 1] = static_cast<char>(v);
}

void putText(QByteArray& reply, int position, const char* text)
{
    for (const char* c = text; *c; ++c)
        reply[position++ - 1] = *c;
}

int lengthForRevision(long long revision)
{
    if (revision > 170)
        return 137;
    if (revision > 169)
        return 136;
    if (revision > 167)
        return 123;
    return 122;
}

// A status report with a distinct value in every field, as long as its revision needs.
QByteArray statusReport(int r1 = 1, int r2 = 7, int r3 = 2)
{
    const long long revision = std::stoll(std::to_string(r1) + std::to_string(r2) + std::to_string(r3));
    const int full = lengthForRevision(revision);
    QByteArray report(full, '\0');

    putText(report, 1, "KSV-REPLY-");
    put(report, 11, {0, 0, 0, 0});
    put(report, 15, {0, 10, 27, 44, 61, 78});
    put(report, 21,
        {0x08, 0x00, 0x0F, 0xFF, 0x00, 0x01, 0x00, 0x0F, 0x01, 0x00, 0x0A, 0x0B, 0x0C, 0x0D, 0x00, 0x00});
    put(report, 37, {0, 1, 0});
    put(report, 40, {1});
    put(report, 41, {1});
    for (int i = 0; i < 20; ++i)
        put(report, 42 + i, {100 + i});
    put(report, 62, {0, 1, 0, 1});
    put(report, 66, {r1, r2, r3});
    put(report, 69, {23, 0});
    put(report, 71, {5, 10, 60});
    put(report, 74, {64, 226, 1, 0});
    putText(report, 78, "  Pumphouse         ");
    put(report, 98, {0x01, 0x5F, 0xCD});
    put(report, 101, {1, 0x60});
    put(report, 103, {1, 0x00, 0xE0, 0, 0, 0, 1, 0x40, 0x60, 0, 0, 0, 1, 0x20, 0xA0});
    put(report, 118, {1, 0x40, 0x60, 30, 29});
    if (full >= 123)
        put(report, 123, {1});
    if (full >= 136)
        put(report, 124, {255, 0, 0, 255, 0, 0, 0x41, 0, 0, 0x80, 0, 0, 12});
    if (full >= 137)
        put(report, 137, {1});
    return report;
}

QString optionalText(const std::optional<int>& v)
{
    return v ? QString::number(*v) : QStringLiteral("-");
}

template <std::size_t N> QString joined(const std::array<std::uint8_t, N>& values)
{
    QStringList parts;
    for (const std::uint8_t v : values)
        parts << QString::number(v);
    return parts.join(QLatin1Char(','));
}

// One field of a decoded report as text, so that one table can cover fields of every type.
QString fieldText(const StatusReport& r, const QString& field)
{
    const auto is = [&field](const char* name) {
        return field == QLatin1String(name);
    };
    if (is("mac"))
        return joined(r.mac) + QLatin1Char(' ') + QString::fromStdString(r.macText);
    if (field.startsWith(QLatin1String("channel")))
        return QString::number(r.channels[field.mid(7).toUInt() - 1]);
    if (field.startsWith(QLatin1String("relay"))) {
        const std::optional<bool>& on = r.relayOn[field.mid(5).toUInt() - 1];
        return on ? (*on ? QStringLiteral("on") : QStringLiteral("off")) : QStringLiteral("-");
    }
    if (field.startsWith(QLatin1String("pin")))
        return optionalText(r.ioPins[field.mid(3).toUInt() - 1]);
    if (is("allowed"))
        return QString::number(r.allowedRule) + QLatin1Char('/') + joined(r.allowedOctets);
    if (is("revision"))
        return joined(r.revisionBytes) + QLatin1Char(' ') + QString::fromStdString(r.revisionText) +
               QLatin1Char(' ') + QString::number(r.revision);
    if (is("temperature"))
        return r.temperatureC
                   ? QString::number(*r.temperatureC) + QLatin1Char(' ') +
                         QString::fromStdString(r.temperatureText.value_or("?"))
                   : (r.temperatureText ? QStringLiteral("text without value") : QStringLiteral("-"));
    if (is("delays"))
        return joined(r.relayDelays);
    if (is("uptime"))
        return QString::number(r.uptimeRaw) + QLatin1Char(' ') + QString::fromStdString(r.uptimeText) +
               QLatin1Char(' ') + QString::number(r.uptimeCount, 'f', 0);
    if (is("name"))
        return QLatin1Char('[') + QString::fromStdString(r.stationNameRaw) + QStringLiteral("] [") +
               QString::fromStdString(r.stationName) + QLatin1Char(']');
    if (is("timer"))
        return QStringLiteral("%1 %2/%3/%4/%5 state %6")
            .arg(r.timerRemaining)
            .arg(r.countdown.days)
            .arg(r.countdown.hours)
            .arg(r.countdown.minutes)
            .arg(r.countdown.seconds)
            .arg(r.timerState);
    if (is("timerSlot"))
        return QString::number(r.timerSlotCode) + QLatin1Char(' ') + optionalText(r.timerSlotIndex);
    if (is("io"))
        return joined(r.ioSettings);
    if (is("tempSetting"))
        return joined(r.temperatureSetting);
    if (is("tail"))
        return QStringLiteral("http %1 presence %2 state %3 toggle %4 snmp %5")
            .arg(r.httpState ? QString::number(*r.httpState) : QStringLiteral("-"),
                 r.boardPresence ? joined(*r.boardPresence) : QStringLiteral("-"),
                 r.boardState ? joined(*r.boardState) : QStringLiteral("-"),
                 r.toggleCountdown ? QString::number(*r.toggleCountdown) : QStringLiteral("-"),
                 r.snmpState ? QString::number(*r.snmpState) : QStringLiteral("-"));
    return QStringLiteral("unknown field ") + field;
}

QByteArray tableReply(int kind)
{
    QByteArray reply(270, '\0');
    putText(reply, 1, "KSV-REPLY-");
    put(reply, 14, {kind});
    return reply;
}

} // namespace

class TestReply : public QObject
{
    Q_OBJECT

private slots:
    void classify_data();
    void classify();
    void statusField_data();
    void statusField();
    void revisionGating_data();
    void revisionGating();
    void truncation_data();
    void truncation();
    void wrongKind_data();
    void wrongKind();
    void slotTable_data();
    void slotTable();
    void boardTables();
};

void TestReply::classify_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("kind");
    QTest::addColumn<ReplyClass>("cls");

    const auto reply = [](int verdict, int kind) {
        QByteArray r(14, 'x');
        put(r, 11, {verdict});
        put(r, 14, {kind});
        return r;
    };
    QTest::newRow("kind 0 status") << reply(0, 0) << true << 0 << ReplyClass::StatusReport;
    QTest::newRow("kind 1 status") << reply(0, 1) << true << 1 << ReplyClass::StatusReport;
    QTest::newRow("kind 2 slot table") << reply(0, 2) << true << 2 << ReplyClass::SlotTable;
    QTest::newRow("kind 3 ack") << reply(0, 3) << true << 3 << ReplyClass::Acknowledgement;
    QTest::newRow("kind 12 ack") << reply(0, 12) << true << 12 << ReplyClass::Acknowledgement;
    QTest::newRow("kind 13 status") << reply(0, 13) << true << 13 << ReplyClass::StatusReport;
    QTest::newRow("kind 19 status") << reply(0, 19) << true << 19 << ReplyClass::StatusReport;
    QTest::newRow("kind 20 board listing") << reply(0, 20) << true << 20 << ReplyClass::BoardListing;
    QTest::newRow("kind 21 board contents") << reply(0, 21) << true << 21 << ReplyClass::BoardContents;
    QTest::newRow("kind 22 status") << reply(0, 22) << true << 22 << ReplyClass::StatusReport;
    QTest::newRow("kind 255 status") << reply(0, 255) << true << 255 << ReplyClass::StatusReport;
    QTest::newRow("rejected, verdict 1") << reply(1, 3) << false << 3 << ReplyClass::Acknowledgement;
    QTest::newRow("rejected, verdict 255") << reply(255, 0) << false << 0 << ReplyClass::StatusReport;
    QByteArray longer = reply(0, 5) + QByteArray(300, '\xFF');
    QTest::newRow("longer datagram") << longer << true << 5 << ReplyClass::Acknowledgement;
}

void TestReply::classify()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, accepted);
    QFETCH(int, kind);
    QFETCH(ReplyClass, cls);

    const auto result = kestavo::protocol::classify(toStd(reply));
    QVERIFY(std::holds_alternative<Classification>(result));
    const Classification& c = std::get<Classification>(result);
    QCOMPARE(c.passwordAccepted, accepted);
    QCOMPARE(int(c.kind), kind);
    QCOMPARE(c.cls, cls);

    // The verdict and kind positions are the last two a classification may read.
    for (qsizetype length = 0; length < 14; ++length) {
        const auto shorter = kestavo::protocol::classify(toStd(reply.left(length)));
        QVERIFY2(std::holds_alternative<DecodeError>(shorter), qPrintable(QString::number(length)));
        QCOMPARE(std::get<DecodeError>(shorter), DecodeError::TooShort);
    }
}

// Every field: patch the bytes of a full report and read the field back.
void TestReply::statusField_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QList<int>>("bytes");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char* name, int position, QList<int> bytes, const char* field,
                        const QString& expected) {
        QTest::newRow(name) << position << bytes << QString::fromLatin1(field) << expected;
    };
    const auto text = [](const char* s) {
        return QString::fromUtf8(s);
    };

    row("mac", 15, {0, 10, 27, 44, 61, 78}, "mac", text("0,10,27,44,61,78 00:0A:1B:2C:3D:4E"));
    row("mac all ff", 15, {255, 255, 255, 255, 255, 255}, "mac",
        text("255,255,255,255,255,255 FF:FF:FF:FF:FF:FF"));

    row("channel 1 high byte first", 21, {0x08, 0x00}, "channel1", text("2048"));
    row("channel 2", 23, {0x0F, 0xFF}, "channel2", text("4095"));
    row("channel 3 low byte", 25, {0x00, 0x0F}, "channel3", text("15"));
    row("channel 4", 27, {0x01, 0x00}, "channel4", text("256"));
    row("channel 5", 29, {0x12, 0x34}, "channel5", text("4660"));
    row("channel 6", 31, {0x00, 0x01}, "channel6", text("1"));
    row("channel 7", 33, {0xFF, 0xFF}, "channel7", text("65535"));
    row("channel 8", 35, {0x0A, 0x0B}, "channel8", text("2571"));

    row("relay 1 byte 0 on", 37, {0}, "relay1", text("on"));
    row("relay 1 byte 1 off", 37, {1}, "relay1", text("off"));
    row("relay 1 byte 2 unchanged", 37, {2}, "relay1", text("-"));
    row("relay 2 byte 0 on", 38, {0}, "relay2", text("on"));
    row("relay 2 byte 1 off", 38, {1}, "relay2", text("off"));
    row("relay 2 byte 255 unchanged", 38, {255}, "relay2", text("-"));
    row("relay 3 byte 0 on", 39, {0}, "relay3", text("on"));
    row("relay 3 byte 2 unchanged", 39, {2}, "relay3", text("-"));

    row("pin 1 byte 0", 62, {0}, "pin1", text("0"));
    row("pin 1 byte 1", 62, {1}, "pin1", text("1"));
    row("pin 1 byte 2 unchanged", 62, {2}, "pin1", text("-"));
    row("pin 2 byte 1", 63, {1}, "pin2", text("1"));
    row("pin 3 byte 0", 64, {0}, "pin3", text("0"));
    row("pin 4 byte 200 unchanged", 65, {200}, "pin4", text("-"));
    row("pin 5 at 40 byte 1", 40, {1}, "pin5", text("1"));
    row("pin 5 at 40 byte 0", 40, {0}, "pin5", text("0"));
    row("pin 5 at 40 byte 2 unchanged", 40, {2}, "pin5", text("-"));

    row("allowed rule and octets", 41, {1, 192, 168, 1, 20}, "allowed",
        text("1/192,168,1,20,104,105,106,107,108,109,110,111,112,113,114,115,116,117,118,119"));
    row("allowed rule 0", 41, {0}, "allowed",
        text("0/100,101,102,103,104,105,106,107,108,109,110,111,112,113,114,115,116,117,118,119"));

    row("revision 1.7.2", 66, {1, 7, 2}, "revision", text("1,7,2 172 172"));
    row("revision 1.10.2 is 1102", 66, {1, 10, 2}, "revision", text("1,10,2 1102 1102"));
    row("revision 2.55.255", 66, {2, 55, 255}, "revision", text("2,55,255 255255 255255"));
    row("revision 0.0.0", 66, {0, 0, 0}, "revision", text("0,0,0 000 0"));

    row("temperature 23/0", 69, {23, 0}, "temperature", text("23 23°C    73.4°F"));
    row("temperature 3/1", 69, {3, 1}, "temperature", text("-3 -3°C    26.6°F"));
    row("temperature 3/128", 69, {3, 128}, "temperature", text("3.5 3.5°C    38.3°F"));
    row("temperature 3/129", 69, {3, 129}, "temperature", text("-2.5 -2.5°C    27.5°F"));
    row("temperature 0/1 is not -0", 69, {0, 1}, "temperature", text("0 0°C    32°F"));
    row("temperature flag 5 unchanged", 69, {23, 5}, "temperature", text("-"));
    row("temperature flag 2 unchanged", 69, {23, 2}, "temperature", text("-"));
    row("temperature flag 130 unchanged", 69, {23, 130}, "temperature", text("-"));

    row("relay delays", 71, {1, 30, 255}, "delays", text("1,30,255"));

    row("uptime 123456", 74, {64, 226, 1, 0}, "uptime", text("123456 &H0001E240 123456"));
    row("uptime all ff", 74, {255, 255, 255, 255}, "uptime", text("4294967295 &HFFFFFFFF -1"));
    row("uptime top byte 128", 74, {0, 0, 0, 128}, "uptime", text("2147483648 &H80000000 -2147483648"));
    row("uptime top byte 127", 74, {255, 255, 255, 127}, "uptime", text("2147483647 &H7FFFFFFF 2147483647"));

    row("station name trimmed", 78,
        {' ', ' ', 'M', 'i', 'l', 'l', 'p', 'o', 'n', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '},
        "name", text("[  Millpon           ] [Millpon]"));
    row("station name inner spaces kept", 78, {'A', ' ', 'B'}, "name",
        text("[A Bumphouse         ] [A Bumphouse]"));

    row("timer 90061", 98, {0x01, 0x5F, 0xCD, 1}, "timer", text("90061 1/1/1/1 state 1"));
    row("timer 86400", 98, {0x01, 0x51, 0x80, 1}, "timer", text("86400 1/0/0/0 state 1"));
    row("timer 59", 98, {0x00, 0x00, 0x3B, 1}, "timer", text("59 0/0/0/59 state 1"));
    row("timer 0 inactive", 98, {0x00, 0x00, 0x00, 0}, "timer", text("0 0/0/0/0 state 0"));
    row("timer largest", 98, {0xFF, 0xFF, 0xFF, 2}, "timer", text("16777215 194/4/20/15 state 2"));

    row("timer slot code 0", 102, {0}, "timerSlot", text("0 0"));
    row("timer slot code 224", 102, {224}, "timerSlot", text("224 7"));
    row("timer slot code 96", 102, {96}, "timerSlot", text("96 3"));
    row("timer slot code 33 unchanged", 102, {33}, "timerSlot", text("33 -"));
    row("timer slot code 16 unchanged", 102, {16}, "timerSlot", text("16 -"));

    row("io settings", 103, {1, 0x00, 0xE0, 0, 0, 0, 1, 0x40, 0x60, 0, 0, 0, 1, 0x20, 0xA0}, "io",
        text("1,0,224,0,0,0,1,64,96,0,0,0,1,32,160"));
    row("io settings box 5", 115, {0, 7, 9}, "io", text("1,0,224,0,0,0,1,64,96,0,0,0,0,7,9"));
    row("temperature setting", 118, {1, 0x40, 0x60, 30, 29}, "tempSetting", text("1,64,96,30,29"));

    row("tail of revision 1.7.2", 123, {0}, "tail",
        text("http 0 presence 255,0,0,255,0,0 state 65,0,0,128,0,0 toggle 12 snmp 1"));
    row("tail presence all fitted", 124, {255, 255, 255, 255, 255, 255, 1, 2, 4, 8, 16, 32, 60, 0}, "tail",
        text("http 1 presence 255,255,255,255,255,255 state 1,2,4,8,16,32 toggle 60 snmp 0"));
}

void TestReply::statusField()
{
    QFETCH(int, position);
    QFETCH(QList<int>, bytes);
    QFETCH(QString, field);
    QFETCH(QString, expected);

    QByteArray report = statusReport();
    for (const int b : bytes)
        report[position++ - 1] = static_cast<char>(b);
    const auto result = decodeStatus(toStd(report));
    QVERIFY(std::holds_alternative<StatusReport>(result));
    QCOMPARE(fieldText(std::get<StatusReport>(result), field), expected);
}

void TestReply::revisionGating_data()
{
    QTest::addColumn<QList<int>>("revision");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("shortForRevision");
    QTest::addColumn<QString>("tail");

    const auto none = QStringLiteral("http - presence - state - toggle - snmp -");
    const auto httpOnly = QStringLiteral("http 1 presence - state - toggle - snmp -");
    const auto noSnmp =
        QStringLiteral("http 1 presence 255,0,0,255,0,0 state 65,0,0,128,0,0 toggle 12 snmp -");
    const auto all = QStringLiteral("http 1 presence 255,0,0,255,0,0 state 65,0,0,128,0,0 toggle 12 snmp 1");

    QTest::newRow("166 base") << QList<int>{1, 6, 6} << 122 << false << none;
    QTest::newRow("166 with a tail it does not read") << QList<int>{1, 6, 6} << 137 << false << none;
    QTest::newRow("167 base") << QList<int>{1, 6, 7} << 122 << false << none;
    QTest::newRow("168 without http") << QList<int>{1, 6, 8} << 122 << true << none;
    QTest::newRow("168 with http") << QList<int>{1, 6, 8} << 123 << false << httpOnly;
    QTest::newRow("169 with http") << QList<int>{1, 6, 9} << 123 << false << httpOnly;
    QTest::newRow("170 without boards") << QList<int>{1, 7, 0} << 135 << true << httpOnly;
    QTest::newRow("170 with boards") << QList<int>{1, 7, 0} << 136 << false << noSnmp;
    QTest::newRow("171 without snmp") << QList<int>{1, 7, 1} << 136 << true << noSnmp;
    QTest::newRow("171 with snmp") << QList<int>{1, 7, 1} << 137 << false << all;
    QTest::newRow("1102 with snmp") << QList<int>{1, 10, 2} << 137 << false << all;
    QTest::newRow("1102 with the base only") << QList<int>{1, 10, 2} << 122 << true << none;
    QTest::newRow("0.9.9 = 99 base") << QList<int>{0, 9, 9} << 122 << false << none;
}

void TestReply::revisionGating()
{
    QFETCH(QList<int>, revision);
    QFETCH(int, length);
    QFETCH(bool, shortForRevision);
    QFETCH(QString, tail);

    // Built as a full report of the newest layout, then cut: the tail bytes are there to be
    // misread if the gate were wrong.
    QByteArray report = statusReport(1, 7, 2);
    put(report, 66, {revision[0], revision[1], revision[2]});
    report.resize(length);

    // A report short of its revision's tail still shows what it carries.
    const auto result = decodeStatus(toStd(report));
    QVERIFY(std::holds_alternative<StatusReport>(result));
    const StatusReport& decoded = std::get<StatusReport>(result);
    QCOMPARE(fieldText(decoded, QStringLiteral("tail")), tail);
    QCOMPARE(decoded.shortForRevision, shortForRevision);
}

// Every length short of a complete reply is an error value, never a read past the end.
void TestReply::truncation_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("decoder");

    QTest::newRow("status 166, 122") << statusReport(1, 6, 6) << 0;
    QTest::newRow("status 168, 123") << statusReport(1, 6, 8) << 0;
    QTest::newRow("status 170, 136") << statusReport(1, 7, 0) << 0;
    QTest::newRow("status 171, 137") << statusReport(1, 7, 1) << 0;
    QTest::newRow("slot table, 270") << tableReply(kKindSlotTable) << 1;
    QTest::newRow("board listing, 270") << tableReply(kKindBoardListing) << 2;
    QTest::newRow("board contents, 270") << tableReply(kKindBoardContents) << 3;
}

void TestReply::truncation()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, decoder);

    const auto decodes = [decoder](const std::string& bytes) -> std::optional<DecodeError> {
        switch (decoder) {
        case 0: {
            const auto r = decodeStatus(bytes);
            return std::holds_alternative<DecodeError>(r) ? std::optional(std::get<DecodeError>(r))
                                                          : std::nullopt;
        }
        case 1: {
            const auto r = decodeSlotTable(bytes);
            return std::holds_alternative<DecodeError>(r) ? std::optional(std::get<DecodeError>(r))
                                                          : std::nullopt;
        }
        case 2: {
            const auto r = decodeBoardListing(bytes);
            return std::holds_alternative<DecodeError>(r) ? std::optional(std::get<DecodeError>(r))
                                                          : std::nullopt;
        }
        default: {
            const auto r = decodeBoardContents(bytes);
            return std::holds_alternative<DecodeError>(r) ? std::optional(std::get<DecodeError>(r))
                                                          : std::nullopt;
        }
        }
    };

    // Status reports past the base fields decode without their tail (revisionGating).
    const qsizetype errorsBelow =
        decoder == 0 ? qsizetype(kestavo::protocol::kStatusBaseLength) : reply.size();
    for (qsizetype length = errorsBelow; length < reply.size(); ++length) {
        const auto r = decodeStatus(toStd(reply.left(length)));
        QVERIFY2(std::holds_alternative<StatusReport>(r) && std::get<StatusReport>(r).shortForRevision,
                 qPrintable(QStringLiteral("length %1").arg(length)));
    }
    for (qsizetype length = 0; length < errorsBelow; ++length) {
        // A copy of exactly `length` bytes, so the sanitizer build sees any read past its end.
        const std::string cut = toStd(reply.left(length));
        const std::optional<DecodeError> error = decodes(cut);
        QVERIFY2(error.has_value(), qPrintable(QStringLiteral("length %1 decoded").arg(length)));
        QVERIFY2(*error == DecodeError::TooShort, qPrintable(QStringLiteral("length %1").arg(length)));
    }
    QVERIFY(!decodes(toStd(reply)).has_value());
}

void TestReply::wrongKind_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("decoder");

    QTest::newRow("status given a slot table") << 2 << 0;
    QTest::newRow("status given ack 3") << 3 << 0;
    QTest::newRow("status given ack 12") << 12 << 0;
    QTest::newRow("status given board listing") << 20 << 0;
    QTest::newRow("status given board contents") << 21 << 0;
    QTest::newRow("slot table given a status report") << 0 << 1;
    QTest::newRow("slot table given board listing") << 20 << 1;
    QTest::newRow("board listing given slot table") << 2 << 2;
    QTest::newRow("board listing given contents") << 21 << 2;
    QTest::newRow("board contents given listing") << 20 << 3;
}

void TestReply::wrongKind()
{
    QFETCH(int, kind);
    QFETCH(int, decoder);

    QByteArray reply = statusReport();
    reply.resize(300);
    put(reply, 14, {kind});
    const std::string bytes = toStd(reply);
    DecodeError error = DecodeError::TooShort;
    switch (decoder) {
    case 0:
        QVERIFY(std::holds_alternative<DecodeError>(decodeStatus(bytes)));
        error = std::get<DecodeError>(decodeStatus(bytes));
        break;
    case 1:
        QVERIFY(std::holds_alternative<DecodeError>(decodeSlotTable(bytes)));
        error = std::get<DecodeError>(decodeSlotTable(bytes));
        break;
    case 2:
        QVERIFY(std::holds_alternative<DecodeError>(decodeBoardListing(bytes)));
        error = std::get<DecodeError>(decodeBoardListing(bytes));
        break;
    default:
        QVERIFY(std::holds_alternative<DecodeError>(decodeBoardContents(bytes)));
        error = std::get<DecodeError>(decodeBoardContents(bytes));
        break;
    }
    QCOMPARE(error, DecodeError::WrongKind);
}

void TestReply::slotTable_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QByteArray>("codeField");
    QTest::addColumn<QByteArray>("description");

    QTest::newRow("slot 1 at 15 and 31")
        << 1 << QByteArray("1234567891234567") << QByteArray("Sixteen chars ok");
    QTest::newRow("slot 2 at 47 and 63")
        << 2 << QByteArray("7B              ") << QByteArray("Gate pulse      ");
    QTest::newRow("slot 5, empty") << 5 << QByteArray(16, ' ') << QByteArray(16, ' ');
    QTest::newRow("slot 8 at 239 and 255")
        << 8 << QByteArray("6543            ") << QByteArray("Last slot      !");
}

void TestReply::slotTable()
{
    QFETCH(int, slot);
    QFETCH(QByteArray, codeField);
    QFETCH(QByteArray, description);

    // Every other slot holds a byte pattern the chosen slot must not pick up.
    QByteArray reply = tableReply(kKindSlotTable);
    for (int i = 15; i <= 270; ++i)
        put(reply, i, {i % 251});
    putText(reply, 15 + 32 * (slot - 1), codeField.constData());
    putText(reply, 31 + 32 * (slot - 1), description.constData());
    reply += QByteArray("trailing bytes are ignored");

    const auto result = decodeSlotTable(toStd(reply));
    QVERIFY(std::holds_alternative<SlotTable>(result));
    const SlotEntry& entry = std::get<SlotTable>(result)[static_cast<std::size_t>(slot - 1)];
    QCOMPARE(kestavo::test::toBytes(entry.codeField), codeField);
    QCOMPARE(kestavo::test::toBytes(entry.description), description);
}

void TestReply::boardTables()
{
    // Listing and contents share one layout: sixteen fields of sixteen bytes from position 15.
    QByteArray listing = tableReply(kKindBoardListing);
    QByteArray contents = tableReply(kKindBoardContents);
    for (int slot = 0; slot < 16; ++slot) {
        const QByteArray description =
            QStringLiteral("Board slot %1").arg(slot + 1, 2).toLatin1().leftJustified(16);
        putText(listing, 15 + 16 * slot, description.constData());
        for (int step = 0; step < 16; ++step)
            put(contents, 15 + 16 * slot + step, {(slot * 16 + step + 1) % 256});
    }

    using Descriptions = std::array<std::string, 16>;
    const auto names = decodeBoardListing(toStd(listing));
    QVERIFY(std::holds_alternative<Descriptions>(names));
    const Descriptions& descriptions = std::get<Descriptions>(names);
    QCOMPARE(QByteArray::fromStdString(descriptions[0]), QByteArray("Board slot  1   "));
    QCOMPARE(QByteArray::fromStdString(descriptions[9]), QByteArray("Board slot 10   "));
    QCOMPARE(QByteArray::fromStdString(descriptions[15]), QByteArray("Board slot 16   "));

    const auto steps = decodeBoardContents(toStd(contents));
    QVERIFY(std::holds_alternative<BoardCodes>(steps));
    const BoardCodes& codes = std::get<BoardCodes>(steps);
    for (int slot = 0; slot < 16; ++slot) {
        for (int step = 0; step < 16; ++step)
            QCOMPARE(int(codes[static_cast<std::size_t>(slot)][static_cast<std::size_t>(step)]),
                     (slot * 16 + step + 1) % 256);
    }
}

QTEST_APPLESS_MAIN(TestReply)
#include "tst_reply.moc"
