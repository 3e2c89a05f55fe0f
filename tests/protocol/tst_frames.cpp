#include <string>

#include <QTest>

#include "protocol/codes.h"
#include "protocol/frames.h"

#include "bytebuilder.h"

using namespace kestavo::protocol;
using kestavo::test::ByteBuilder;
using kestavo::test::toBytes;

namespace {

constexpr std::string_view kPassword = "Secret9876";

ByteBuilder head(char opcode, std::string_view password = kPassword)
{
    ByteBuilder b;
    b.text("&^ZQK2001").text(std::string_view(&opcode, 1)).text(password);
    return b;
}

std::array<int, 20> firstRowOnly(int a, int b, int c, int d)
{
    std::array<int, 20> octets{};
    octets[0] = a;
    octets[1] = b;
    octets[2] = c;
    octets[3] = d;
    return octets;
}

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void packetFrame_data();
    void packetFrame();
    void relayOpcodes_data();
    void relayOpcodes();
    void padPassword_data();
    void padPassword();
};

// One row per opcode (and per telling example): the whole frame, byte for byte.
void TestFrames::frames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    const std::string pw(kPassword);

    QTest::newRow("'1' start, 275") << toBytes(startFrame(pw)) << QByteArray(head('1').stars(255));
    QTest::newRow("'1' poll, 150") << toBytes(pollFrame(pw)) << QByteArray(head('1').stars(130));

    QTest::newRow("'2' relay 1 on") << toBytes(relayOnFrame(1, pw)) << QByteArray(head('2').stars(112));
    QTest::newRow("'3' relay 1 off") << toBytes(relayOffFrame(1, pw)) << QByteArray(head('3').stars(112));
    QTest::newRow("'5' relay 2 on") << toBytes(relayOnFrame(2, pw)) << QByteArray(head('5').stars(112));
    QTest::newRow("'6' relay 2 off") << toBytes(relayOffFrame(2, pw)) << QByteArray(head('6').stars(112));
    QTest::newRow("'8' relay 3 on, literal")
        << toBytes(relayOnFrame(3, pw))
        << QByteArray(ByteBuilder().text("&^ZQK20018").text(kPassword).stars(112));
    QTest::newRow("'9' relay 3 off") << toBytes(relayOffFrame(3, pw)) << QByteArray(head('9').stars(112));

    // Delay at 21, '*' from 22 to the end of the record and on to the frame length.
    QTest::newRow("'4' relay 1 cycle 30")
        << toBytes(relayCycleFrame(1, 30, pw)) << QByteArray(head('4').bytes({30}).stars(109));
    QTest::newRow("'4' relay 1 cycle 60")
        << toBytes(relayCycleFrame(1, 60, pw)) << QByteArray(head('4').bytes({0x3C}).stars(109));
    QTest::newRow("'4' value 300 -> 44")
        << toBytes(relayCycleFrame(1, 300, pw)) << QByteArray(head('4').bytes({44}).stars(109));
    QTest::newRow("'7' relay 2 cycle 1")
        << toBytes(relayCycleFrame(2, 1, pw)) << QByteArray(head('7').bytes({1}).stars(109));
    QTest::newRow("'A' relay 3 cycle 60, 140")
        << toBytes(relayCycleFrame(3, 60, pw)) << QByteArray(head('A').bytes({0x3C}).stars(119));

    QTest::newRow("'E' mac 00 00 00 ab cd ef")
        << toBytes(setMacFrame({0x00, 0x00, 0x00, 0xAB, 0xCD, 0xEF}, pw))
        << QByteArray(head('E').bytes({0x00, 0x00, 0x00, 0xAB, 0xCD, 0xEF}).stars(104));
    QTest::newRow("'F' ip 10.240.10.1") << toBytes(setIpFrame({10, 240, 10, 1}, pw))
                                        << QByteArray(head('F').bytes({10, 240, 10, 1}).stars(106));
    QTest::newRow("'F' octet 300 -> 44") << toBytes(setIpFrame({300, 168, 1, 1}, pw))
                                         << QByteArray(head('F').bytes({44, 168, 1, 1}).stars(106));

    QTest::newRow("'G' 3-char new password, 139")
        << toBytes(passwordFrame("abc", pw)) << QByteArray(head('G').text("abc*******").stars(109));
    QTest::newRow("'G' 10-char new password")
        << toBytes(passwordFrame("NewSecret1", pw)) << QByteArray(head('G').text("NewSecret1").stars(109));

    QTest::newRow("'H' only listed, row 1 = 192.168.1.20")
        << toBytes(allowedIpFrame(true, firstRowOnly(192, 168, 1, 20), pw))
        << QByteArray(head('H').bytes({0x01, 0xC0, 0xA8, 0x01, 0x14}).repeat('\0', 16).stars(89));
    std::array<int, 20> allRows{};
    for (int i = 0; i < 20; ++i)
        allRows[static_cast<std::size_t>(i)] = 200 + i * 3; // runs past 255: 260 -> 4 …
    ByteBuilder allRowsExpected = head('H').bytes({0x01});
    for (int i = 0; i < 20; ++i)
        allRowsExpected.bytes({(200 + i * 3) % 256});
    QTest::newRow("'H' twenty octets, modulo 256")
        << toBytes(allowedIpFrame(true, allRows, pw)) << QByteArray(allRowsExpected.stars(89));
    QTest::newRow("'H' allow all ignores octets")
        << toBytes(allowedIpFrame(false, firstRowOnly(192, 168, 1, 20), pw))
        << QByteArray(head('H').bytes({0x00}).stars(109));

    QTest::newRow("'I' 6-char name") << toBytes(stationNameFrame("Quarry", pw))
                                     << QByteArray(head('I').text("Quarry").repeat(' ', 14).stars(112));
    QTest::newRow("'I' 20-char name") << toBytes(stationNameFrame("North Ridge Pump 042", pw))
                                      << QByteArray(head('I').text("North Ridge Pump 042").stars(112));
    QTest::newRow("'I' 23-char name cut") << toBytes(stationNameFrame("North Ridge Pump 042XYZ", pw))
                                          << QByteArray(head('I').text("North Ridge Pump 042").stars(112));

    QTest::newRow("'J' slot 8, 16 steps, 16-char description")
        << toBytes(scriptUploadFrame(slotCode(8), "1234567891234567", "Night lights 123", pw))
        << QByteArray(head('J').bytes({0xE0}).text("1234567891234567").text("Night lights 123").stars(236));
    QTest::newRow("'J' slot 1, 1 step, 15-char description")
        << toBytes(scriptUploadFrame(slotCode(1), "1", "Gate pulse test", pw))
        << QByteArray(head('J')
                          .bytes({0x00})
                          .text("1")
                          .repeat(' ', 15)
                          .text("Gate pulse test")
                          .text(" ")
                          .stars(236));
    QTest::newRow("'J' long description cut to 16")
        << toBytes(scriptUploadFrame(slotCode(2), "7B", "Description that is too long", pw))
        << QByteArray(head('J').bytes({0x20}).text("7B").repeat(' ', 14).text("Description that").stars(236));

    QTest::newRow("'K' slot 3") << toBytes(scriptExecuteFrame(slotCode(3), pw))
                                << QByteArray(head('K').bytes({0x40}).stars(156));
    QTest::newRow("'L' read request") << toBytes(readRequestFrame(pw)) << QByteArray(head('L').stars(255));

    QTest::newRow("'M' 1 s, slot 1, one shot")
        << toBytes(timerSetFrame(1, slotCode(1), 0, pw))
        << QByteArray(head('M').bytes({0x00, 0x00, 0x01, 0x00, 0}).stars(152));
    QTest::newRow("'M' 1 day") << toBytes(timerSetFrame(86400, slotCode(1), 0, pw))
                               << QByteArray(head('M').bytes({0x01, 0x51, 0x80, 0x00, 0}).stars(152));
    QTest::newRow("'M' largest, slot 8, continuous")
        << toBytes(timerSetFrame(2682060, slotCode(8), 1, pw))
        << QByteArray(head('M').bytes({0x28, 0xEC, 0xCC, 0xE0, 1}).stars(152));
    QTest::newRow("'N' stop timer") << toBytes(timerStopFrame(pw)) << QByteArray(head('N').stars(255));

    QTest::newRow("'O' box 5, slots 1 and 8") << toBytes(ioTriggerFrame(4, 1, slotCode(1), slotCode(8), pw))
                                              << QByteArray(head('O').bytes({4, 1, 0x00, 0xE0}).stars(176));
    QTest::newRow("'O' box 3 disabled")
        << toBytes(ioTriggerFrame(2, 0, 0, 0, pw)) << QByteArray(head('O').bytes({2, 0, 0, 0}).stars(176));

    QTest::newRow("'P' 30/29, slots 3 and 4")
        << toBytes(temperatureTriggerFrame(1, slotCode(3), slotCode(4), 30, 29, pw))
        << QByteArray(head('P').bytes({1, 0x40, 0x60, 30, 29}).stars(175));
    QTest::newRow("'P' disabled keeps thresholds")
        << toBytes(temperatureTriggerFrame(0, 0, 0, 49, 5, pw))
        << QByteArray(head('P').bytes({0, 0, 0, 49, 5}).stars(175));

    QTest::newRow("'Q' disable web page")
        << toBytes(httpFrame(1, pw)) << QByteArray(head('Q').bytes({1}).stars(109));
    QTest::newRow("'Q' enable web page")
        << toBytes(httpFrame(0, pw)) << QByteArray(head('Q').bytes({0}).stars(109));
    QTest::newRow("'S' snmp enable, 130")
        << toBytes(snmpFrame(0, pw)) << QByteArray(head('S').bytes({0}).stars(109));
    QTest::newRow("'S' snmp disable")
        << toBytes(snmpFrame(1, pw)) << QByteArray(head('S').bytes({1}).stars(109));

    QTest::newRow("'R' board 3 relay 4")
        << toBytes(boardFrame(boardAddress(3), itemMask(BoardItem::Relay4), 0, 0, pw))
        << QByteArray(head('R').bytes({0x48, 0x08, 0x00, 0x00}));
    QTest::newRow("'R' board 1 relay 2 toggle 15")
        << toBytes(boardFrame(boardAddress(1), itemMask(BoardItem::Relay2), 2, 15, pw))
        << QByteArray(head('R').bytes({0x44, 0x02, 0x02, 0x0F}));
    QTest::newRow("'R' board 6 output toggle 60")
        << toBytes(boardFrame(boardAddress(6), itemMask(BoardItem::Output), 2, 60, pw))
        << QByteArray(head('R').bytes({0x4E, 0x40, 0x02, 0x3C}));
    QTest::newRow("'R' board 2 light")
        << toBytes(boardFrame(boardAddress(2), itemMask(BoardItem::Light), 0, 0, pw))
        << QByteArray(head('R').bytes({0x46, 0x80, 0x00, 0x00}));

    QTest::newRow("'S' board listing, 275")
        << toBytes(boardListingFrame(pw)) << QByteArray(head('S').stars(255));
    QTest::newRow("'T' board contents")
        << toBytes(boardContentsFrame(pw)) << QByteArray(head('T').stars(255));

    QTest::newRow("'U' three steps into slot 3")
        << toBytes(boardUploadFrame(boardSlotCode(3), "Porch",
                                    boardCodesFor({"RDB2 Light OFF", "Wait 3 Seconds", "RDB2 Light ON"}), pw))
        << QByteArray(head('U')
                          .bytes({0x20})
                          .text("Porch")
                          .repeat(' ', 11)
                          .bytes({0xB7, 0x03, 0x37})
                          .repeat('\0', 13)
                          .stars(247));
    QTest::newRow("'U' empty script, slot 16")
        << toBytes(boardUploadFrame(boardSlotCode(16), "Sixteen chars ok", {}, pw))
        << QByteArray(head('U').bytes({0xF0}).text("Sixteen chars ok").repeat('\0', 16).stars(247));

    QTest::newRow("'V' slot 16") << toBytes(boardExecuteFrame(boardSlotCode(16), pw))
                                 << QByteArray(head('V').bytes({0xF0}).stars(156));
    QTest::newRow("'V' slot 1") << toBytes(boardExecuteFrame(boardSlotCode(1), pw))
                                << QByteArray(head('V').bytes({0x00}).stars(156));
}

void TestFrames::frames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    KESTAVO_COMPARE_BYTES(frame, expected);
}

// Passwords of the wrong length and the packing rules of byte-valued frames.
void TestFrames::packetFrame_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("short password leaves NUL up to 21")
        << toBytes(boardFrame(0x44, 0x01, 0, 0, "abc"))
        << QByteArray(head('R', "abc").repeat('\0', 7).bytes({0x44, 0x01, 0, 0}));
    QTest::newRow("long password overwritten by payload")
        << toBytes(boardFrame(0x44, 0x01, 0, 0, "abcdefghijKL"))
        << QByteArray(head('R', "abcdefghij").bytes({0x44, 0x01, 0, 0}));
    QTest::newRow("short password in a packed frame with fill")
        << toBytes(relayCycleFrame(1, 5, "pw"))
        << QByteArray(head('4', "pw").repeat('\0', 8).bytes({5}).stars(109));
    QTest::newRow("short password shifts a text frame")
        << toBytes(stationNameFrame("Dam", "pw"))
        << QByteArray(head('I', "pw").text("Dam").repeat(' ', 17).stars(112));
    QTest::newRow("empty password poll") << toBytes(pollFrame("")) << QByteArray(head('1', "").stars(130));

    QTest::newRow("gap inside record is NUL, past it '*'")
        << toBytes(PacketFrame('X', kPassword, 30).byte(25, 7).bytes())
        << QByteArray(head('X').repeat('\0', 4).bytes({7}).stars(5));
    QTest::newRow("negative value keeps its low byte")
        << toBytes(PacketFrame('X', kPassword, 22).byte(21, -1).byte(22, 256).bytes())
        << QByteArray(head('X').bytes({0xFF, 0x00}));
    QTest::newRow("later write overwrites")
        << toBytes(PacketFrame('X', kPassword, 24).byte(21, 1).text(21, "ab").fill(22, 1).bytes())
        << QByteArray(head('X').text("a*").stars(2));
    QTest::newRow("record longer than the frame is cut")
        << toBytes(PacketFrame('X', kPassword, 21).byte(21, 9).fill(22, 50).bytes())
        << QByteArray(head('X').bytes({9}));
    QTest::newRow("text frame with payload")
        << toBytes(textFrame('Z', kPassword, "pay", 2)) << QByteArray(head('Z').text("pay").stars(2));
}

void TestFrames::packetFrame()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    KESTAVO_COMPARE_BYTES(frame, expected);
}

void TestFrames::relayOpcodes_data()
{
    QTest::addColumn<int>("relay");
    QTest::addColumn<int>("action");
    QTest::addColumn<char>("opcode");

    QTest::newRow("1 on") << 1 << int(RelayOn) << '2';
    QTest::newRow("1 off") << 1 << int(RelayOff) << '3';
    QTest::newRow("1 cycle") << 1 << int(RelayCycle) << '4';
    QTest::newRow("2 on") << 2 << int(RelayOn) << '5';
    QTest::newRow("2 off") << 2 << int(RelayOff) << '6';
    QTest::newRow("2 cycle") << 2 << int(RelayCycle) << '7';
    QTest::newRow("3 on") << 3 << int(RelayOn) << '8';
    QTest::newRow("3 off") << 3 << int(RelayOff) << '9';
    QTest::newRow("3 cycle") << 3 << int(RelayCycle) << 'A';
    QTest::newRow("relay 0") << 0 << int(RelayOn) << '\0';
    QTest::newRow("relay 4") << 4 << int(RelayOn) << '\0';
    QTest::newRow("action 3") << 1 << 3 << '\0';
}

void TestFrames::relayOpcodes()
{
    QFETCH(int, relay);
    QFETCH(int, action);
    QFETCH(char, opcode);
    QCOMPARE(relayOpcode(relay, action), opcode);
}

void TestFrames::padPassword_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("padded");

    QTest::newRow("empty") << QByteArray() << QByteArray("**********");
    QTest::newRow("three") << QByteArray("abc") << QByteArray("abc*******");
    QTest::newRow("ten") << QByteArray("abcdefghij") << QByteArray("abcdefghij");
    QTest::newRow("eleven unchanged") << QByteArray("abcdefghijk") << QByteArray("abcdefghijk");
}

void TestFrames::padPassword()
{
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, padded);
    QCOMPARE(toBytes(kestavo::protocol::padPassword(kestavo::test::toStd(password))), padded);
}

QTEST_APPLESS_MAIN(TestFrames)
#include "tst_frames.moc"
