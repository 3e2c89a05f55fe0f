// kestavo-cli without a network: its value parsers, its argument parser (every usage error names
// the bad argument), RFC 4180 records, and the JSON/text/CSV shapes of decoded status reports made
// by the simulated unit's model.

#include <variant>

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

#include "protocol/codes.h"
#include "protocol/reply.h"

#include "commandline.h"
#include "ksv-sim/unitmodel.h"
#include "reportformat.h"
#include "valueparsers.h"

using namespace kestavo::cli;
namespace p = kestavo::protocol;
using kestavo::sim::UnitModel;

namespace {

QStringList words(const QString& line)
{
    return line.split(u' ', Qt::SkipEmptyParts);
}

p::StatusReport decoded(const UnitModel& model)
{
    auto result = p::decodeStatus(model.statusReport());
    if (!std::holds_alternative<p::StatusReport>(result))
        qFatal("the model's status report does not decode");
    return std::get<p::StatusReport>(result);
}

} // namespace

class TestCliParsing final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void steps_data();
    void steps();
    void boardSteps_data();
    void boardSteps();
    void durations_data();
    void durations();
    void ipv4_data();
    void ipv4();
    void mac_data();
    void mac();
    void usageErrors_data();
    void usageErrors();
    void passwordsStayOutOfUsageErrors_data();
    void passwordsStayOutOfUsageErrors();
    void parsedCommands();
    void scriptStepsBecomeCodes_data();
    void scriptStepsBecomeCodes();
    void csvRecords_data();
    void csvRecords();
    void statusJsonByFirmware_data();
    void statusJsonByFirmware();
    void statusJsonValues();
    void statusCsvRowMatchesHeader();
    void rangeFlagsScaleInputsOneAndTwo_data();
    void rangeFlagsScaleInputsOneAndTwo();
};

void TestCliParsing::steps_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("code"); // empty: refused

    QTest::newRow("text") << QStringLiteral("Relay 1 ON") << QStringLiteral("1");
    QTest::newRow("last text") << QStringLiteral("Wait 5 Seconds") << QStringLiteral("B");
    QTest::newRow("any case, spaces around") << QStringLiteral("  relay 3 off ") << QStringLiteral("6");
    QTest::newRow("digit code") << QStringLiteral("4") << QStringLiteral("4");
    QTest::newRow("letter code") << QStringLiteral("A") << QStringLiteral("A");
    QTest::newRow("lower-case code") << QStringLiteral("b") << QStringLiteral("B");
    QTest::newRow("no code C") << QStringLiteral("C") << QString();
    QTest::newRow("no code 0") << QStringLiteral("0") << QString();
    QTest::newRow("no relay 4") << QStringLiteral("Relay 4 ON") << QString();
    QTest::newRow("wait 6") << QStringLiteral("Wait 6 Seconds") << QString();
    QTest::newRow("two codes") << QStringLiteral("12") << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestCliParsing::steps()
{
    QFETCH(QString, text);
    QFETCH(QString, code);
    const Parsed<char> step = parseStep(text);
    QCOMPARE(bool(step), !code.isEmpty());
    if (step)
        QCOMPARE(QString(QLatin1Char(*step)), code);
    else
        QVERIFY(!step.error.isEmpty());
}

void TestCliParsing::boardSteps_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code"); // -1: refused

    QTest::newRow("board 1 relay 1 NC") << QStringLiteral("RDB1 Relay 1 NC") << 0x20;
    QTest::newRow("board 1 relay 1 NO") << QStringLiteral("RDB1 Relay 1 NO") << 0xA0;
    QTest::newRow("board 3 relay 5 NO") << QStringLiteral("RDB3 Relay 5 NO") << 0xC4;
    QTest::newRow("board 6 light OFF") << QStringLiteral("RDB6 Light OFF") << 0xF7;
    QTest::newRow("board 2 output ON") << QStringLiteral("rdb2 output on") << 0x36;
    QTest::newRow("wait 1") << QStringLiteral("Wait 1 Second") << 0x01;
    QTest::newRow("wait 6") << QStringLiteral("Wait 6 Seconds") << 0x06;
    QTest::newRow("wait 10") << QStringLiteral("Wait 10 Seconds") << 0x0A;
    QTest::newRow("hex code") << QStringLiteral("0x37") << 0x37;
    QTest::newRow("hex wait") << QStringLiteral("0X0a") << 0x0A;
    QTest::newRow("hex empty step") << QStringLiteral("0x00") << -1;
    QTest::newRow("hex wait 11") << QStringLiteral("0x0B") << -1;
    QTest::newRow("hex item 8") << QStringLiteral("0x28") << -1;
    QTest::newRow("listed wait") << QStringLiteral("RDB Wait 5 Seconds") << -1;
    QTest::newRow("board 7") << QStringLiteral("RDB7 Relay 1 NC") << -1;
    QTest::newRow("relay 7") << QStringLiteral("RDB1 Relay 7 NC") << -1;
    QTest::newRow("relay step") << QStringLiteral("Relay 1 ON") << -1;
}

void TestCliParsing::boardSteps()
{
    QFETCH(QString, text);
    QFETCH(int, code);
    const Parsed<std::uint8_t> step = parseBoardStep(text);
    QCOMPARE(bool(step), code >= 0);
    if (step)
        QCOMPARE(int(*step), code);
}

void TestCliParsing::durations_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("seconds"); // -1: refused

    QTest::newRow("plain seconds") << QStringLiteral("90") << qint64(90);
    QTest::newRow("zero parses") << QStringLiteral("0") << qint64(0);
    QTest::newRow("all units") << QStringLiteral("1d2h3m4s") << qint64(86400 + 7200 + 180 + 4);
    QTest::newRow("hours and minutes") << QStringLiteral("1h30m") << qint64(5400);
    QTest::newRow("upper case") << QStringLiteral("2H") << qint64(7200);
    QTest::newRow("units beyond their range") << QStringLiteral("30d24h60m60s") << qint64(2682060);
    QTest::newRow("largest 24-bit") << QStringLiteral("16777215") << qint64(16777215);
    QTest::newRow("25 bits") << QStringLiteral("16777216") << qint64(-1);
    QTest::newRow("194 days") << QStringLiteral("195d") << qint64(-1);
    QTest::newRow("wrong order") << QStringLiteral("4s1h") << qint64(-1);
    QTest::newRow("unit twice") << QStringLiteral("1h1h") << qint64(-1);
    QTest::newRow("no number") << QStringLiteral("h") << qint64(-1);
    QTest::newRow("fraction") << QStringLiteral("1.5h") << qint64(-1);
    QTest::newRow("negative") << QStringLiteral("-5") << qint64(-1);
    QTest::newRow("empty") << QString() << qint64(-1);
    QTest::newRow("huge digits") << QStringLiteral("99999999999999999999") << qint64(-1);
}

void TestCliParsing::durations()
{
    QFETCH(QString, text);
    QFETCH(qint64, seconds);
    const Parsed<std::uint32_t> duration = parseDuration(text);
    QCOMPARE(bool(duration), seconds >= 0);
    if (duration)
        QCOMPARE(qint64(*duration), seconds);
}

void TestCliParsing::ipv4_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("octets"); // "" refused; otherwise normalised text
    QTest::addColumn<QString>("why");    // part of the error

    QTest::newRow("loopback") << QStringLiteral("127.0.0.1") << QStringLiteral("127.0.0.1") << QString();
    QTest::newRow("edges") << QStringLiteral("0.0.0.255") << QStringLiteral("0.0.0.255") << QString();
    QTest::newRow("leading zeros") << QStringLiteral("010.001.000.009") << QString()
                                   << QStringLiteral("octet 1 has a leading zero");
    QTest::newRow("octet 300") << QStringLiteral("192.168.1.300") << QString()
                               << QStringLiteral("octet 4 is 300");
    QTest::newRow("octet 256") << QStringLiteral("256.0.0.1") << QString()
                               << QStringLiteral("octet 1 is 256");
    QTest::newRow("three parts") << QStringLiteral("10.0.1") << QString() << QStringLiteral("four numbers");
    QTest::newRow("five parts") << QStringLiteral("1.2.3.4.5") << QString() << QStringLiteral("four numbers");
    QTest::newRow("empty octet") << QStringLiteral("1..3.4") << QString() << QStringLiteral("octet 2");
    QTest::newRow("letters") << QStringLiteral("1.2.x.4") << QString() << QStringLiteral("octet 3");
    QTest::newRow("four digits") << QStringLiteral("1.2.3.0004") << QString() << QStringLiteral("octet 4");
    QTest::newRow("sign") << QStringLiteral("1.2.3.+4") << QString() << QStringLiteral("octet 4");
    QTest::newRow("host name") << QStringLiteral("localhost") << QString() << QStringLiteral("four numbers");
}

void TestCliParsing::ipv4()
{
    QFETCH(QString, text);
    QFETCH(QString, octets);
    QFETCH(QString, why);
    const Parsed<std::array<int, 4>> address = parseIpv4(text);
    QCOMPARE(bool(address), !octets.isEmpty());
    if (address)
        QCOMPARE(ipv4Text(*address), octets);
    else
        QVERIFY2(address.error.contains(why), qPrintable(address.error));
}

void TestCliParsing::mac_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("bytes"); // empty: refused

    QTest::newRow("colons") << QStringLiteral("00:0A:1B:2C:3D:4E")
                            << QList<int>{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    QTest::newRow("lower case, dashes")
        << QStringLiteral("00-00-00-ab-cd-ef") << QList<int>{0x00, 0x00, 0x00, 0xAB, 0xCD, 0xEF};
    QTest::newRow("single digits") << QStringLiteral("0:a:1:2:3:f")
                                   << QList<int>{0x0, 0xA, 0x1, 0x2, 0x3, 0xF};
    QTest::newRow("five bytes") << QStringLiteral("00:0A:1B:2C:3D") << QList<int>{};
    QTest::newRow("seven bytes") << QStringLiteral("00:0A:1B:2C:3D:4E:5F") << QList<int>{};
    QTest::newRow("three digits") << QStringLiteral("000:0A:1B:2C:3D:4E") << QList<int>{};
    QTest::newRow("not hex") << QStringLiteral("00:0G:1B:2C:3D:4E") << QList<int>{};
    QTest::newRow("mixed separators") << QStringLiteral("00:0A-1B:2C:3D:4E") << QList<int>{};
    QTest::newRow("empty byte") << QStringLiteral("00::1B:2C:3D:4E") << QList<int>{};
}

void TestCliParsing::mac()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, bytes);
    const Parsed<std::array<int, 6>> parsed = parseMac(text);
    QCOMPARE(bool(parsed), !bytes.isEmpty());
    if (parsed)
        QCOMPARE(QList<int>((*parsed).begin(), (*parsed).end()), bytes);
}

void TestCliParsing::usageErrors_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("named"); // what the message must name

    QTest::newRow("no command") << QString() << QStringLiteral("no command");
    QTest::newRow("unknown command") << QStringLiteral("reboot 127.0.0.1") << QStringLiteral("'reboot'");
    QTest::newRow("unknown option") << QStringLiteral("status 127.0.0.1 --verbose")
                                    << QStringLiteral("--verbose");
    QTest::newRow("option without value")
        << QStringLiteral("status 127.0.0.1 --port") << QStringLiteral("--port");
    QTest::newRow("port 0") << QStringLiteral("--port 0 status 127.0.0.1") << QStringLiteral("--port '0'");
    QTest::newRow("port 70000") << QStringLiteral("--port=70000 status 127.0.0.1")
                                << QStringLiteral("--port '70000'");
    QTest::newRow("bad format") << QStringLiteral("status 127.0.0.1 --format xml")
                                << QStringLiteral("--format 'xml'");
    QTest::newRow("csv for a switch")
        << QStringLiteral("relay 127.0.0.1 1 on --format csv") << QStringLiteral("--format csv");
    QTest::newRow("count outside watch")
        << QStringLiteral("status 127.0.0.1 --count 3") << QStringLiteral("--count");
    QTest::newRow("count 0") << QStringLiteral("watch 127.0.0.1 --count 0") << QStringLiteral("--count '0'");
    QTest::newRow("switch with a value")
        << QStringLiteral("set-ip 127.0.0.1 127.0.0.2 --yes=1") << QStringLiteral("--yes");
    QTest::newRow("missing unit") << QStringLiteral("status") << QStringLiteral("UNIT is missing");
    QTest::newRow("unit octet 300") << QStringLiteral("status 10.0.0.300")
                                    << QStringLiteral("UNIT '10.0.0.300'");
    QTest::newRow("unit name") << QStringLiteral("status localhost") << QStringLiteral("UNIT 'localhost'");
    QTest::newRow("extra argument") << QStringLiteral("status 127.0.0.1 now") << QStringLiteral("'now'");
    QTest::newRow("relay 4") << QStringLiteral("relay 127.0.0.1 4 on") << QStringLiteral("RELAY '4'");
    QTest::newRow("relay 0") << QStringLiteral("relay 127.0.0.1 0 on") << QStringLiteral("RELAY '0'");
    QTest::newRow("relay action") << QStringLiteral("relay 127.0.0.1 1 flip")
                                  << QStringLiteral("ACTION 'flip'");
    QTest::newRow("delay 61") << QStringLiteral("relay 127.0.0.1 1 cycle 61")
                              << QStringLiteral("SECONDS '61'");
    QTest::newRow("delay 0") << QStringLiteral("relay 127.0.0.1 1 cycle 0") << QStringLiteral("SECONDS '0'");
    QTest::newRow("delay missing") << QStringLiteral("relay 127.0.0.1 1 cycle")
                                   << QStringLiteral("SECONDS is missing");
    QTest::newRow("delay after on") << QStringLiteral("relay 127.0.0.1 1 on 5") << QStringLiteral("'5'");
    QTest::newRow("slot 9") << QStringLiteral("script 127.0.0.1 run 9") << QStringLiteral("SLOT '9'");
    QTest::newRow("slot 0") << QStringLiteral("script 127.0.0.1 run 0") << QStringLiteral("SLOT '0'");
    QTest::newRow("script subcommand")
        << QStringLiteral("script 127.0.0.1 delete 1") << QStringLiteral("subcommand 'delete'");
    QTest::newRow("no description") << QStringLiteral("script 127.0.0.1 upload 1")
                                    << QStringLiteral("No Description !");
    QTest::newRow("no steps") << QStringLiteral("script 127.0.0.1 upload 1 Pump")
                              << QStringLiteral("Make a Script first !");
    QTest::newRow("16-character description")
        << QStringLiteral("script 127.0.0.1 upload 1 abcdefghijklmnop 1") << QStringLiteral("longer than 15");
    QTest::newRow("unknown step text")
        << QStringLiteral("script 127.0.0.1 upload 1 Pump 1 Relay4ON") << QStringLiteral("STEP 2 'Relay4ON'");
    QTest::newRow("17th step") << QStringLiteral(
                                      "script 127.0.0.1 upload 1 Pump 1 2 3 4 5 6 7 8 9 A B 1 2 3 4 5 6")
                               << QStringLiteral("STEP 17");
    QTest::newRow("timer zero") << QStringLiteral("timer 127.0.0.1 set 1 0")
                                << QStringLiteral("Choose a delay time!");
    QTest::newRow("timer too long") << QStringLiteral("timer 127.0.0.1 set 1 32d")
                                    << QStringLiteral("DURATION '32d'");
    QTest::newRow("timer bad text") << QStringLiteral("timer 127.0.0.1 set 1 soon")
                                    << QStringLiteral("DURATION 'soon'");
    QTest::newRow("continuous on stop")
        << QStringLiteral("timer 127.0.0.1 stop --continuous") << QStringLiteral("--continuous");
    QTest::newRow("box 6") << QStringLiteral("io 127.0.0.1 6 off") << QStringLiteral("BOX '6'");
    QTest::newRow("io slot 9") << QStringLiteral("io 127.0.0.1 1 on 1 9") << QStringLiteral("SLOT_FOR_1 '9'");
    QTest::newRow("threshold 50") << QStringLiteral("temp 127.0.0.1 off 50 20")
                                  << QStringLiteral("UPPER '50'");
    QTest::newRow("equal thresholds")
        << QStringLiteral("temp 127.0.0.1 on 1 2 30 30") << QStringLiteral("at least one degree difference");
    QTest::newRow("upper below lower")
        << QStringLiteral("temp 127.0.0.1 on 1 2 29 30") << QStringLiteral("UPPER 29 is below LOWER 30");
    QTest::newRow("empty name") << QStringLiteral("name 127.0.0.1")
                                << QStringLiteral("Please Enter a Station Name !");
    QTest::newRow("21-character name") << QStringLiteral("name 127.0.0.1 abcdefghijklmnopqrstu")
                                       << QStringLiteral("NAME 'abcdefghijklmnopqrstu'");
    QTest::newRow("no rule") << QStringLiteral("allow 127.0.0.1 some") << QStringLiteral("RULE 'some'");
    QTest::newRow("no address") << QStringLiteral("allow 127.0.0.1 only") << QStringLiteral("IP is missing");
    QTest::newRow("octet 300") << QStringLiteral("allow 127.0.0.1 only 127.0.0.1 192.168.1.300")
                               << QStringLiteral("IP 2 '192.168.1.300'");
    QTest::newRow("six addresses")
        << QStringLiteral("allow 127.0.0.1 only 1.1.1.1 1.1.1.2 1.1.1.3 1.1.1.4 1.1.1.5 1.1.1.6")
        << QStringLiteral("IP 6 '1.1.1.6'");
    QTest::newRow("http maybe") << QStringLiteral("http 127.0.0.1 maybe") << QStringLiteral("'maybe'");
    QTest::newRow("set-ip without yes")
        << QStringLiteral("set-ip 127.0.0.1 127.0.0.2") << QStringLiteral("--yes");
    QTest::newRow("set-ip octet 300") << QStringLiteral("set-ip 127.0.0.1 10.240.10.300 --yes")
                                      << QStringLiteral("A.B.C.D '10.240.10.300'");
    QTest::newRow("bad MAC") << QStringLiteral("set-mac 127.0.0.1 00:0A:1B:2C:3D --yes")
                             << QStringLiteral("MAC '00:0A:1B:2C:3D'");
    QTest::newRow("yes elsewhere") << QStringLiteral("status 127.0.0.1 --yes") << QStringLiteral("--yes");
    QTest::newRow("restore without file")
        << QStringLiteral("restore 127.0.0.1") << QStringLiteral("FILE is missing");
    QTest::newRow("restore only bogus") << QStringLiteral("restore 127.0.0.1 unit.json --only scripts,bogus")
                                        << QStringLiteral("--only 'bogus'");
    QTest::newRow("only on diff") << QStringLiteral("diff 127.0.0.1 unit.json --only scripts")
                                  << QStringLiteral("--only belongs to restore");
    QTest::newRow("output on restore") << QStringLiteral("restore 127.0.0.1 unit.json -o copy.json")
                                       << QStringLiteral("-o belongs to backup");
    QTest::newRow("board 7") << QStringLiteral("board 127.0.0.1 7 relay1 switch")
                             << QStringLiteral("BOARD '7'");
    QTest::newRow("relay7") << QStringLiteral("board 127.0.0.1 1 relay7 switch")
                            << QStringLiteral("ITEM 'relay7'");
    QTest::newRow("light toggle") << QStringLiteral("board 127.0.0.1 1 light toggle 5")
                                  << QStringLiteral("ITEM 'light'");
    QTest::newRow("toggle 61") << QStringLiteral("board 127.0.0.1 1 relay1 toggle 61")
                               << QStringLiteral("SECONDS '61'");
    QTest::newRow("board slot 17") << QStringLiteral("board-script 127.0.0.1 run 17")
                                   << QStringLiteral("SLOT '17'");
    QTest::newRow("board description")
        << QStringLiteral("board-script 127.0.0.1 upload 1") << QStringLiteral("Enter a Script Description!");
    QTest::newRow("board unknown step")
        << QStringLiteral("board-script 127.0.0.1 upload 1 Blink 0x00") << QStringLiteral("STEP 1 '0x00'");
    QTest::newRow("stations subcommand") << QStringLiteral("stations purge") << QStringLiteral("'purge'");
    QTest::newRow("stations add no ip") << QStringLiteral("stations add") << QStringLiteral("Add an IP!");
    QTest::newRow("stations add letters")
        << QStringLiteral("stations add 10.0.0.x pw Lab") << QStringLiteral("ADDRESS '10.0.0.x'");
    QTest::newRow("stations add long ip")
        << QStringLiteral("stations add 1234567890.123456 pw Lab") << QStringLiteral("longer than 15");
    QTest::newRow("help for nothing") << QStringLiteral("help reboot") << QStringLiteral("'reboot'");
}

void TestCliParsing::usageErrors()
{
    QFETCH(QString, line);
    QFETCH(QString, named);
    const auto parsed = parseArguments(words(line));
    QVERIFY(std::holds_alternative<UsageError>(parsed));
    const QString message = std::get<UsageError>(parsed).message;
    QVERIFY2(message.contains(named), qPrintable(message));
}

void TestCliParsing::passwordsStayOutOfUsageErrors_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("secret");

    QTest::newRow("--password too long")
        << QStringLiteral("--password Sesame12345 status 127.0.0.1") << QStringLiteral("Sesame12345");
    QTest::newRow("--password star inside")
        << QStringLiteral("--password Ses*ame status 127.0.0.1") << QStringLiteral("Ses*ame");
    QTest::newRow("new password too long")
        << QStringLiteral("password 127.0.0.1 Sesame12345") << QStringLiteral("Sesame12345");
    QTest::newRow("new password with star")
        << QStringLiteral("password 127.0.0.1 Sesame*") << QStringLiteral("Sesame*");
    QTest::newRow("extra word after password")
        << QStringLiteral("password 127.0.0.1 Sesame Open") << QStringLiteral("Open");
    QTest::newRow("station password too long")
        << QStringLiteral("stations add 127.0.0.1 Sesame12345 Lab") << QStringLiteral("Sesame12345");
    QTest::newRow("station extra word")
        << QStringLiteral("stations add 127.0.0.1 Sesame Lab Open") << QStringLiteral("Open");
}

void TestCliParsing::passwordsStayOutOfUsageErrors()
{
    QFETCH(QString, line);
    QFETCH(QString, secret);
    const auto parsed = parseArguments(words(line));
    QVERIFY(std::holds_alternative<UsageError>(parsed));
    const QString message = std::get<UsageError>(parsed).message;
    QVERIFY(!message.isEmpty());
    QVERIFY2(!message.contains(secret), qPrintable(message));
}

void TestCliParsing::parsedCommands()
{
    // Options anywhere, --name=value, and the values each command keeps.
    auto parsed = parseArguments(words(QStringLiteral(
        "--port=7007 timer 127.0.0.2 set 8 1d2h --timeout 250 --continuous --format json --password pw")));
    QVERIFY(std::holds_alternative<Command>(parsed));
    Command c = std::get<Command>(parsed);
    QCOMPARE(c.kind, CommandKind::TimerSet);
    QCOMPARE(c.options.port, 7007);
    QCOMPARE(c.options.timeoutMs, 250);
    QCOMPARE(c.options.format, OutputFormat::Json);
    QCOMPARE(c.options.password.value_or(QString()), QStringLiteral("pw"));
    QCOMPARE(c.unit, QStringLiteral("127.0.0.2"));
    QCOMPARE(c.slot, 8);
    QCOMPARE(c.durationSeconds, 93600u);
    QVERIFY(c.continuous);

    // "--" lets a description start with a dash.
    parsed = parseArguments({QStringLiteral("script"), QStringLiteral("127.0.0.1"), QStringLiteral("upload"),
                             QStringLiteral("2"), QStringLiteral("--"), QStringLiteral("-x-"),
                             QStringLiteral("1")});
    QVERIFY(std::holds_alternative<Command>(parsed));
    QCOMPARE(std::get<Command>(parsed).description, QStringLiteral("-x-"));

    parsed = parseArguments(words(QStringLiteral("allow 127.0.0.1 only 192.168.1.20 10.0.0.1")));
    QVERIFY(std::holds_alternative<Command>(parsed));
    c = std::get<Command>(parsed);
    QCOMPARE(c.kind, CommandKind::AllowOnly);
    QCOMPARE(int(c.allowed.size()), 2);
    QCOMPARE(ipv4Text(c.allowed[1]), QStringLiteral("10.0.0.1"));

    parsed = parseArguments(words(QStringLiteral("board 127.0.0.1 6 output toggle 60")));
    QVERIFY(std::holds_alternative<Command>(parsed));
    c = std::get<Command>(parsed);
    QCOMPARE(c.board, 6);
    QCOMPARE(c.item, p::BoardItem::Output);
    QVERIFY(c.toggle);
    QCOMPARE(c.seconds, 60);

    parsed = parseArguments(words(QStringLiteral("temp 127.0.0.1 off 30 30")));
    QVERIFY2(std::holds_alternative<Command>(parsed),
             "with the triggers off the thresholds are not compared");

    parsed = parseArguments(words(QStringLiteral("relay --help")));
    QVERIFY(std::holds_alternative<Command>(parsed));
    QCOMPARE(std::get<Command>(parsed).kind, CommandKind::Help);
    QCOMPARE(std::get<Command>(parsed).helpTopic, QStringLiteral("relay"));
}

void TestCliParsing::scriptStepsBecomeCodes_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("codeField");

    QTest::newRow("texts and codes") << QStringList{QStringLiteral("Relay 1 ON"), QStringLiteral("B"),
                                                    QStringLiteral("relay 1 off")}
                                     << QStringLiteral("1B2");
    QTest::newRow("sixteen steps") << QStringLiteral("1 2 3 4 5 6 7 8 9 A B 1 2 3 4 5").split(u' ')
                                   << QStringLiteral("123456789AB12345");
}

void TestCliParsing::scriptStepsBecomeCodes()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, codeField);
    const QStringList line =
        QStringList{QStringLiteral("script"), QStringLiteral("127.0.0.1"), QStringLiteral("upload"),
                    QStringLiteral("3"), QStringLiteral("Pump")} +
        steps;
    const auto parsed = parseArguments(line);
    QVERIFY(std::holds_alternative<Command>(parsed));
    QCOMPARE(QString::fromStdString(std::get<Command>(parsed).codeField), codeField);
    QCOMPARE(std::get<Command>(parsed).stepCount, int(codeField.size()));
}

void TestCliParsing::csvRecords_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("record");

    QTest::newRow("plain") << QStringList{QStringLiteral("a"), QStringLiteral("b")}
                           << QStringLiteral("a,b\r\n");
    QTest::newRow("comma quoted") << QStringList{QStringLiteral("Pump, north"), QStringLiteral("1")}
                                  << QStringLiteral("\"Pump, north\",1\r\n");
    QTest::newRow("quotes doubled") << QStringList{QStringLiteral("say \"hi\"")}
                                    << QStringLiteral("\"say \"\"hi\"\"\"\r\n");
    QTest::newRow("line break quoted")
        << QStringList{QStringLiteral("a\nb"), QString()} << QStringLiteral("\"a\nb\",\r\n");
    QTest::newRow("spaces kept unquoted") << QStringList{QStringLiteral(" x ")} << QStringLiteral(" x \r\n");
}

void TestCliParsing::csvRecords()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, record);
    QCOMPARE(csvRecord(fields), record);
}

void TestCliParsing::statusJsonByFirmware_data()
{
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("patch");
    QTest::addColumn<bool>("hasHttp");
    QTest::addColumn<bool>("hasBoards");
    QTest::addColumn<bool>("hasSnmp");

    QTest::newRow("1.6.7") << 6 << 7 << false << false << false;
    QTest::newRow("1.6.8") << 6 << 8 << true << false << false;
    QTest::newRow("1.7.0") << 7 << 0 << true << true << false;
    QTest::newRow("1.7.1") << 7 << 1 << true << true << true;
}

void TestCliParsing::statusJsonByFirmware()
{
    QFETCH(int, minor);
    QFETCH(int, patch);
    QFETCH(bool, hasHttp);
    QFETCH(bool, hasBoards);
    QFETCH(bool, hasSnmp);
    UnitModel model;
    model.setFirmware({1, static_cast<std::uint8_t>(minor), static_cast<std::uint8_t>(patch)});
    model.setHttpOn(false);
    const QJsonObject json = statusJson(decoded(model), {0, 0}, QStringLiteral("127.0.0.1"));

    QCOMPARE(json.value(QStringLiteral("revision")).toString(),
             QStringLiteral("1.%1.%2").arg(minor).arg(patch));
    QCOMPARE(json.value(QStringLiteral("http")).isNull(), !hasHttp);
    if (hasHttp)
        QCOMPARE(json.value(QStringLiteral("http")).toBool(true), false);
    QCOMPARE(json.value(QStringLiteral("boards")).isArray(), hasBoards);
    QCOMPARE(json.value(QStringLiteral("boards")).toArray().size(), hasBoards ? 6 : 0);
    QCOMPARE(json.value(QStringLiteral("snmp")).isNull(), !hasSnmp);
    // Every key is there whatever the firmware: scripts read fixed keys.
    for (const char* key : {"mac", "voltages", "relays", "io", "temperature_c", "uptime_s", "station_name",
                            "timer", "http", "snmp", "boards"})
        QVERIFY2(json.contains(QLatin1String(key)), key);
}

void TestCliParsing::statusJsonValues()
{
    UnitModel::Config config;
    config.uptimeSeconds = 123456;
    config.stationName = "  Pump house";
    config.temperatureHalves = -5; // −2.5 °C
    config.boards = {true, false, false, false, false, false};
    UnitModel model(config);
    model.setRelay(2, true);
    model.setPin(5, 1);
    model.setChannelRaw(3, 2048);
    model.setChannelRaw(6, 10); // under the 0.025 V cut of inputs 6-8
    model.setBoardState(1, 0x41);
    model.setRelayScript(3, "1", "Pump");
    model.handleFrame(p::timerSetFrame(90061, p::slotCode(3), 0, p::padPassword("password")), {127, 0, 0, 1});

    const QJsonObject json = statusJson(decoded(model), {0, 0}, QStringLiteral("127.0.0.1"));
    QCOMPARE(json.value(QStringLiteral("mac")).toString(), QStringLiteral("00:0A:1B:2C:3D:4E"));
    QCOMPARE(json.value(QStringLiteral("relays")).toArray(),
             (QJsonArray{QStringLiteral("OFF"), QStringLiteral("ON"), QStringLiteral("OFF")}));
    QCOMPARE(json.value(QStringLiteral("io")).toArray(), (QJsonArray{0, 0, 0, 0, 1}));
    const QJsonArray voltages = json.value(QStringLiteral("voltages")).toArray();
    QCOMPARE(voltages.size(), 8);
    QCOMPARE(voltages.at(2).toDouble(), 15.00366300366);
    QCOMPARE(voltages.at(5).toDouble(), 0.0);
    QCOMPARE(json.value(QStringLiteral("temperature_c")).toDouble(), -2.5);
    QCOMPARE(json.value(QStringLiteral("uptime_s")).toDouble(), 123456.0);
    QCOMPARE(json.value(QStringLiteral("station_name")).toString(), QStringLiteral("Pump house"));
    const QJsonObject timer = json.value(QStringLiteral("timer")).toObject();
    QCOMPARE(timer.value(QStringLiteral("active")).toBool(), true);
    QCOMPARE(timer.value(QStringLiteral("remaining_s")).toInt(), 90061);
    QCOMPARE(timer.value(QStringLiteral("slot")).toInt(), 3);
    const QJsonObject board = json.value(QStringLiteral("boards")).toArray().at(0).toObject();
    QCOMPARE(board.value(QStringLiteral("fitted")).toBool(), true);
    QCOMPARE(board.value(QStringLiteral("relays")).toArray().at(0).toString(), QStringLiteral("NC"));
    QCOMPARE(board.value(QStringLiteral("relays")).toArray().at(1).toString(), QStringLiteral("NO"));
    QCOMPARE(board.value(QStringLiteral("output")).toString(), QStringLiteral("ON"));
    QCOMPARE(board.value(QStringLiteral("light")).toString(), QStringLiteral("OFF"));

    const QString text = statusText(decoded(model), {0, 0}, QStringLiteral("127.0.0.1"));
    QVERIFY2(text.contains(QStringLiteral("-2.5°C    27.5°F")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("runs slot 3 in 1d 1h 1m 1s")), qPrintable(text));

    // A name with terminal controls is shown, not obeyed.
    config.stationName = "Pump\x1b[2J\x07\n";
    const QString hostile = statusText(decoded(UnitModel(config)), {0, 0}, QStringLiteral("127.0.0.1"));
    QVERIFY2(hostile.contains(QStringLiteral("Station name:  Pump?[2J??")), qPrintable(hostile));
}

void TestCliParsing::statusCsvRowMatchesHeader()
{
    UnitModel model;
    model.setStationName("North, \"B\"");
    const QDateTime time(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);
    const QStringList row = statusCsvRow(decoded(model), {0, 0}, QStringLiteral("127.0.0.1"), time);
    const QStringList header = statusCsvHeader();
    QCOMPARE(row.size(), header.size());
    QCOMPARE(row.at(header.indexOf(QStringLiteral("time"))), QStringLiteral("2024-05-01T12:00:00.000Z"));
    QCOMPARE(row.at(header.indexOf(QStringLiteral("station_name"))), QStringLiteral("North, \"B\""));
    QCOMPARE(row.at(header.indexOf(QStringLiteral("timer_slot"))), QString()); // timer off: no slot
    QVERIFY(csvRecord(row).contains(QStringLiteral(",\"North, \"\"B\"\"\",")));
}

void TestCliParsing::rangeFlagsScaleInputsOneAndTwo_data()
{
    QTest::addColumn<int>("jp6");
    QTest::addColumn<int>("jp7");
    QTest::addColumn<double>("input1");
    QTest::addColumn<double>("input2");

    QTest::newRow("both 30 V") << 0 << 0 << 15.00366300366 << 15.00366300366;
    QTest::newRow("input 1 at 60 V") << 1 << 0 << 30.00732600733 << 15.00366300366;
    QTest::newRow("input 2 at 60 V") << 0 << 1 << 15.00366300366 << 30.00732600733;
}

void TestCliParsing::rangeFlagsScaleInputsOneAndTwo()
{
    QFETCH(int, jp6);
    QFETCH(int, jp7);
    QFETCH(double, input1);
    QFETCH(double, input2);
    UnitModel model;
    for (int channel = 1; channel <= 3; ++channel)
        model.setChannelRaw(channel, 2048);
    const QJsonArray voltages = statusJson(decoded(model), {jp6, jp7}, QStringLiteral("127.0.0.1"))
                                    .value(QStringLiteral("voltages"))
                                    .toArray();
    QCOMPARE(voltages.at(0).toDouble(), input1);
    QCOMPARE(voltages.at(1).toDouble(), input2);
    QCOMPARE(voltages.at(2).toDouble(), 15.00366300366); // input 3 has no jumper
}

QTEST_GUILESS_MAIN(TestCliParsing)
#include "tst_cliparsing.moc"
