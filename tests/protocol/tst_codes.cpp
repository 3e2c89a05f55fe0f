#include <set>

#include <QStringList>
#include <QTest>

#include "protocol/codes.h"

using namespace kestavo::protocol;

namespace {

QStringList toQt(const std::vector<std::string>& texts)
{
    QStringList out;
    for (const std::string& t : texts)
        out << QString::fromStdString(t);
    return out;
}

std::vector<std::string> toStd(const QStringList& texts)
{
    std::vector<std::string> out;
    for (const QString& t : texts)
        out.push_back(t.toStdString());
    return out;
}

} // namespace

class TestCodes : public QObject
{
    Q_OBJECT

private slots:
    void relaySteps_data();
    void relaySteps();
    void relayStepLookups_data();
    void relayStepLookups();
    void slotCodes_data();
    void slotCodes();
    void slotIndexForCode_data();
    void slotIndexForCode();
    void slotPreview_data();
    void slotPreview();
    void codeFieldFor_data();
    void codeFieldFor();
    void padField_data();
    void padField();
    void boardAddressAndSlot_data();
    void boardAddressAndSlot();
    void itemMask_data();
    void itemMask();
    void boardStepCode_data();
    void boardStepCode();
    void boardStepDisplayText_data();
    void boardStepDisplayText();
    void boardPalettes();
    void boardCodesFor_data();
    void boardCodesFor();
};

// The table in palette order, checked in both directions.
void TestCodes::relaySteps_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<char>("code");
    QTest::addColumn<QString>("text");

    const char* texts[] = {"Relay 1 ON",     "Relay 1 OFF",    "Relay 2 ON",    "Relay 2 OFF",
                           "Relay 3 ON",     "Relay 3 OFF",    "Wait 1 Second", "Wait 2 Seconds",
                           "Wait 3 Seconds", "Wait 4 Seconds", "Wait 5 Seconds"};
    const char codes[] = "123456789AB";
    for (int i = 0; i < 11; ++i)
        QTest::newRow(texts[i]) << i << codes[i] << QString::fromLatin1(texts[i]);
}

void TestCodes::relaySteps()
{
    QFETCH(int, index);
    QFETCH(char, code);
    QFETCH(QString, text);

    const StepCode& step = kestavo::protocol::relaySteps()[static_cast<std::size_t>(index)];
    QCOMPARE(step.code, code);
    QCOMPARE(QString::fromLatin1(step.text.data(), static_cast<qsizetype>(step.text.size())), text);
    QCOMPARE(relayStepCode(text.toStdString()), std::optional<char>(code));
    QCOMPARE(relayStepText(code).value_or("<none>"), step.text);
}

void TestCodes::relayStepLookups_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<char>("code"); // '\0' for none

    QTest::newRow("trimmed") << QStringLiteral("  Relay 2 OFF ") << '4';
    QTest::newRow("case matters") << QStringLiteral("relay 1 on") << '\0';
    QTest::newRow("board wait is no relay step") << QStringLiteral("Wait 6 Seconds") << '\0';
    QTest::newRow("empty") << QString() << '\0';
}

void TestCodes::relayStepLookups()
{
    QFETCH(QString, text);
    QFETCH(char, code);
    QCOMPARE(relayStepCode(text.toStdString()).value_or('\0'), code);
}

void TestCodes::slotCodes_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    QTest::newRow("slot 1") << 1 << 0x00 << QStringLiteral("&H0");
    QTest::newRow("slot 2") << 2 << 0x20 << QStringLiteral("&H20");
    QTest::newRow("slot 3") << 3 << 0x40 << QStringLiteral("&H40");
    QTest::newRow("slot 4") << 4 << 0x60 << QStringLiteral("&H60");
    QTest::newRow("slot 5") << 5 << 0x80 << QStringLiteral("&H80");
    QTest::newRow("slot 6") << 6 << 0xA0 << QStringLiteral("&HA0");
    QTest::newRow("slot 7") << 7 << 0xC0 << QStringLiteral("&HC0");
    QTest::newRow("slot 8") << 8 << 0xE0 << QStringLiteral("&HE0");
}

void TestCodes::slotCodes()
{
    QFETCH(int, slot);
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(slotCode(slot), code);
    QCOMPARE(QString::fromStdString(slotCodeText(slot - 1)), text);
    QCOMPARE(kestavo::protocol::slotIndexForCode(code), std::optional<int>(slot - 1));
}

void TestCodes::slotIndexForCode_data()
{
    QTest::addColumn<int>("code");

    QTest::newRow("33") << 33;
    QTest::newRow("16") << 16;
    QTest::newRow("1") << 1;
    QTest::newRow("256") << 256;
    QTest::newRow("255") << 255;
    QTest::newRow("-32") << -32;
}

void TestCodes::slotIndexForCode()
{
    QFETCH(int, code);
    QVERIFY(!kestavo::protocol::slotIndexForCode(code).has_value());
}

void TestCodes::slotPreview_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("three steps then spaces")
        << QByteArray("152             ")
        << QStringList{QStringLiteral("Relay 1 ON"), QStringLiteral("Relay 3 ON"),
                       QStringLiteral("Relay 1 OFF")};
    QTest::newRow("leading space is empty") << QByteArray(" 123            ") << QStringList{};
    QTest::newRow("unknown code skipped")
        << QByteArray("1X7             ")
        << QStringList{QStringLiteral("Relay 1 ON"), QStringLiteral("Wait 1 Second")};
    QTest::newRow("stops at the first space")
        << QByteArray("B 1             ") << QStringList{QStringLiteral("Wait 5 Seconds")};
    QTest::newRow("lower-case is no code") << QByteArray("ab              ") << QStringList{};
    QTest::newRow("short field") << QByteArray("A") << QStringList{QStringLiteral("Wait 4 Seconds")};
    QTest::newRow("empty") << QByteArray() << QStringList{};
    QTest::newRow("NUL bytes skipped") << QByteArray("\0"
                                                     "6",
                                                     2)
                                       << QStringList{QStringLiteral("Relay 3 OFF")};
    QStringList sixteen;
    for (int i = 0; i < 16; ++i)
        sixteen << QStringLiteral("Relay 2 ON");
    QTest::newRow("sixteen, seventeenth ignored") << QByteArray("33333333333333333") << sixteen;
}

void TestCodes::slotPreview()
{
    QFETCH(QByteArray, field);
    QFETCH(QStringList, steps);
    QCOMPARE(toQt(kestavo::protocol::slotPreview(
                 std::string_view(field.constData(), static_cast<std::size_t>(field.size())))),
             steps);
}

void TestCodes::codeFieldFor_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("field");

    QTest::newRow("in order") << QStringList{QStringLiteral("Relay 3 OFF"), QStringLiteral("Wait 5 Seconds"),
                                             QStringLiteral("Relay 1 ON")}
                              << QByteArray("6B1");
    QTest::newRow("lines trimmed") << QStringList{QStringLiteral("  Wait 4 Seconds  ")} << QByteArray("A");
    QTest::newRow("unknown lines add nothing")
        << QStringList{QStringLiteral("Relay 9 ON"), QStringLiteral("Relay 2 OFF")} << QByteArray("4");
    QTest::newRow("empty") << QStringList{} << QByteArray();
}

void TestCodes::codeFieldFor()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, field);
    QCOMPARE(QByteArray::fromStdString(kestavo::protocol::codeFieldFor(toStd(lines))), field);
}

void TestCodes::padField_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("field");

    QTest::newRow("padded") << QByteArray("abc") << 16 << QByteArray("abc             ");
    QTest::newRow("exact") << QByteArray("0123456789abcdef") << 16 << QByteArray("0123456789abcdef");
    QTest::newRow("cut") << QByteArray("0123456789abcdefXYZ") << 16 << QByteArray("0123456789abcdef");
    QTest::newRow("empty") << QByteArray() << 4 << QByteArray("    ");
    QTest::newRow("width 20") << QByteArray("Quarry") << 20 << QByteArray("Quarry              ");
}

void TestCodes::padField()
{
    QFETCH(QByteArray, text);
    QFETCH(int, width);
    QFETCH(QByteArray, field);
    QCOMPARE(QByteArray::fromStdString(
                 kestavo::protocol::padField(text.toStdString(), static_cast<std::size_t>(width))),
             field);
}

void TestCodes::boardAddressAndSlot_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("address"); // board 1..6 only
    QTest::addColumn<int>("slotCode");

    QTest::newRow("1") << 1 << 0x44 << 0x00;
    QTest::newRow("2") << 2 << 0x46 << 0x10;
    QTest::newRow("3") << 3 << 0x48 << 0x20;
    QTest::newRow("4") << 4 << 0x4A << 0x30;
    QTest::newRow("5") << 5 << 0x4C << 0x40;
    QTest::newRow("6") << 6 << 0x4E << 0x50;
    QTest::newRow("slot 16") << 16 << -1 << 0xF0;
}

void TestCodes::boardAddressAndSlot()
{
    QFETCH(int, number);
    QFETCH(int, address);
    QFETCH(int, slotCode);
    if (address >= 0)
        QCOMPARE(boardAddress(number), address);
    QCOMPARE(boardSlotCode(number), slotCode);
}

void TestCodes::itemMask_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("mask");

    QTest::newRow("relay 1") << int(BoardItem::Relay1) << 0x01;
    QTest::newRow("relay 2") << int(BoardItem::Relay2) << 0x02;
    QTest::newRow("relay 3") << int(BoardItem::Relay3) << 0x04;
    QTest::newRow("relay 4") << int(BoardItem::Relay4) << 0x08;
    QTest::newRow("relay 5") << int(BoardItem::Relay5) << 0x10;
    QTest::newRow("relay 6") << int(BoardItem::Relay6) << 0x20;
    QTest::newRow("output") << int(BoardItem::Output) << 0x40;
    QTest::newRow("light") << int(BoardItem::Light) << 0x80;
}

void TestCodes::itemMask()
{
    QFETCH(int, item);
    QFETCH(int, mask);
    QCOMPARE(kestavo::protocol::itemMask(static_cast<BoardItem>(item)), mask);
}

void TestCodes::boardStepCode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code"); // -1 for none

    QTest::newRow("RDB1 Relay 1 NC") << QStringLiteral("RDB1 Relay 1 NC") << 0x20;
    QTest::newRow("RDB1 Relay 1 NO") << QStringLiteral("RDB1 Relay 1 NO") << 0xA0;
    QTest::newRow("RDB1 Output ON") << QStringLiteral("RDB1 Output ON") << 0x26;
    QTest::newRow("RDB1 Output OFF") << QStringLiteral("RDB1 Output OFF") << 0xA6;
    QTest::newRow("RDB1 Light ON") << QStringLiteral("RDB1 Light ON") << 0x27;
    QTest::newRow("RDB1 Light OFF") << QStringLiteral("RDB1 Light OFF") << 0xA7;
    QTest::newRow("RDB2 Relay 1 NC") << QStringLiteral("RDB2 Relay 1 NC") << 0x30;
    QTest::newRow("RDB2 Light OFF") << QStringLiteral("RDB2 Light OFF") << 0xB7;
    QTest::newRow("RDB3 Relay 5 NO") << QStringLiteral("RDB3 Relay 5 NO") << 0xC4;
    QTest::newRow("RDB4 Output OFF") << QStringLiteral("RDB4 Output OFF") << 0xD6;
    QTest::newRow("RDB5 Relay 3 NC") << QStringLiteral("RDB5 Relay 3 NC") << 0x62;
    QTest::newRow("RDB6 Relay 6 NC") << QStringLiteral("RDB6 Relay 6 NC") << 0x75;
    QTest::newRow("RDB6 Light OFF") << QStringLiteral("RDB6 Light OFF") << 0xF7;
    QTest::newRow("Wait 1 Second") << QStringLiteral("Wait 1 Second") << 0x01;
    QTest::newRow("Wait 6 Seconds") << QStringLiteral("Wait 6 Seconds") << 0x06;
    QTest::newRow("Wait 10 Seconds") << QStringLiteral("Wait 10 Seconds") << 0x0A;
    QTest::newRow("trimmed") << QStringLiteral("  RDB3 Light ON  ") << 0x47;
    QTest::newRow("display text of a wait is the same wait") << QStringLiteral("RDB Wait 5 Seconds") << 0x05;
    QTest::newRow("display text of one second") << QStringLiteral(" RDB Wait 1 Second") << 0x01;
    QTest::newRow("board prefix on a relay step") << QStringLiteral("RDB Relay 1 NC") << -1;
    QTest::newRow("Wait 1 Seconds") << QStringLiteral("Wait 1 Seconds") << -1;
    QTest::newRow("Wait 11 Seconds") << QStringLiteral("Wait 11 Seconds") << -1;
    QTest::newRow("board 7") << QStringLiteral("RDB7 Relay 1 NC") << -1;
    QTest::newRow("relay 7") << QStringLiteral("RDB1 Relay 7 NC") << -1;
    QTest::newRow("relay script step") << QStringLiteral("Relay 1 ON") << -1;
}

void TestCodes::boardStepCode()
{
    QFETCH(QString, text);
    QFETCH(int, code);
    const std::optional<std::uint8_t> actual = kestavo::protocol::boardStepCode(text.toStdString());
    QCOMPARE(actual ? int(*actual) : -1, code);
}

void TestCodes::boardStepDisplayText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text"); // empty for none

    QTest::newRow("0x00 empty step") << 0x00 << QString();
    QTest::newRow("0x01") << 0x01 << QStringLiteral("RDB Wait 1 Second");
    QTest::newRow("0x02") << 0x02 << QStringLiteral("RDB Wait 2 Seconds");
    QTest::newRow("0x05") << 0x05 << QStringLiteral("RDB Wait 5 Seconds");
    QTest::newRow("0x0A") << 0x0A << QStringLiteral("RDB Wait 10 Seconds");
    QTest::newRow("0x0B") << 0x0B << QString();
    QTest::newRow("0x1F") << 0x1F << QString();
    QTest::newRow("0x20") << 0x20 << QStringLiteral("RDB1 Relay 1 NC");
    QTest::newRow("0xA6") << 0xA6 << QStringLiteral("RDB1 Output OFF");
    QTest::newRow("0x28 past the light") << 0x28 << QString();
    QTest::newRow("0x2F") << 0x2F << QString();
    QTest::newRow("0xC4") << 0xC4 << QStringLiteral("RDB3 Relay 5 NO");
    QTest::newRow("0x77") << 0x77 << QStringLiteral("RDB6 Light ON");
    QTest::newRow("0xF7") << 0xF7 << QStringLiteral("RDB6 Light OFF");
    QTest::newRow("0x80") << 0x80 << QString();
    QTest::newRow("0x81") << 0x81 << QString();
    QTest::newRow("0xF8") << 0xF8 << QString();
    QTest::newRow("0xFF") << 0xFF << QString();
}

void TestCodes::boardStepDisplayText()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    const std::optional<std::string> actual =
        kestavo::protocol::boardStepDisplayText(static_cast<std::uint8_t>(code));
    QCOMPARE(actual ? QString::fromStdString(*actual) : QString(), text);
    QCOMPARE(actual.has_value(), !text.isEmpty());
}

// Every palette text of every board: its code lies in the board's two ranges, no two texts share
// a code, and a stored code shows as the same text (waits show with their "RDB " prefix).
void TestCodes::boardPalettes()
{
    std::set<int> seen;
    for (int board = 1; board <= kBoards; ++board) {
        const std::vector<std::string> palette = boardPalette(board);
        QCOMPARE(palette.size(), std::size_t(26));
        QCOMPARE(QString::fromStdString(palette[0]), QStringLiteral("RDB%1 Relay 1 NC").arg(board));
        QCOMPARE(QString::fromStdString(palette[11]), QStringLiteral("RDB%1 Relay 6 NO").arg(board));
        QCOMPARE(QString::fromStdString(palette[13]), QStringLiteral("RDB%1 Output OFF").arg(board));
        QCOMPARE(QString::fromStdString(palette[15]), QStringLiteral("RDB%1 Light OFF").arg(board));
        QCOMPARE(QString::fromStdString(palette[16]), QStringLiteral("Wait 1 Second"));
        QCOMPARE(QString::fromStdString(palette[25]), QStringLiteral("Wait 10 Seconds"));

        const int base = 0x20 + 0x10 * (board - 1);
        for (std::size_t i = 0; i < 16; ++i) {
            const std::optional<std::uint8_t> code = kestavo::protocol::boardStepCode(palette[i]);
            QVERIFY2(code.has_value(), palette[i].c_str());
            const int expected = base + static_cast<int>(i / 2) + (i % 2 ? 0x80 : 0);
            QCOMPARE(int(*code), expected);
            QVERIFY(seen.insert(*code).second);
            QCOMPARE(kestavo::protocol::boardStepDisplayText(*code), std::optional<std::string>(palette[i]));
        }
        for (std::size_t i = 16; i < 26; ++i) {
            const std::optional<std::uint8_t> code = kestavo::protocol::boardStepCode(palette[i]);
            QCOMPARE(code, std::optional<std::uint8_t>(static_cast<std::uint8_t>(i - 15)));
            QCOMPARE(kestavo::protocol::boardStepDisplayText(*code),
                     std::optional<std::string>("RDB " + palette[i]));
        }
    }
    QCOMPARE(seen.size(), std::size_t(96));
    QVERIFY(boardPalette(0).empty());
    QVERIFY(boardPalette(7).empty());
}

void TestCodes::boardCodesFor_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QList<int>>("codes");

    QTest::newRow("three steps, rest 0")
        << QStringList{QStringLiteral("RDB2 Light OFF"), QStringLiteral("Wait 3 Seconds"),
                       QStringLiteral("RDB2 Light ON")}
        << QList<int>{0xB7, 0x03, 0x37, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("unknown line keeps its place")
        << QStringList{QStringLiteral("RDB7 Relay 1 NC"), QStringLiteral(" Wait 6 Seconds ")}
        << QList<int>{0x00, 0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("empty list") << QStringList{} << QList<int>(16, 0);
    QStringList seventeen;
    for (int i = 0; i < 16; ++i)
        seventeen << QStringLiteral("RDB6 Relay 6 NC");
    seventeen << QStringLiteral("RDB1 Relay 1 NO");
    QTest::newRow("lines past 16 ignored") << seventeen << QList<int>(16, 0x75);
}

void TestCodes::boardCodesFor()
{
    QFETCH(QStringList, lines);
    QFETCH(QList<int>, codes);

    const std::array<std::uint8_t, 16> actual = kestavo::protocol::boardCodesFor(toStd(lines));
    QList<int> got;
    for (const std::uint8_t c : actual)
        got << c;
    QCOMPARE(got, codes);
}

QTEST_APPLESS_MAIN(TestCodes)
#include "tst_codes.moc"
