#include <QTest>

#include "gui/admin/admininput.h"

using namespace kestavo::admin;

namespace {
// A reply whose first bytes are the frame head, with the verdict and the two result bytes set.
QByteArray reply(int verdict, int passwordResult, int ipResult, int length = 137)
{
    QByteArray bytes(length, '\0');
    const QByteArray head("&^ZQK2001X");
    bytes.replace(0, std::min<qsizetype>(head.size(), length), head.left(length));
    if (length >= 11)
        bytes[10] = char(verdict);
    if (length >= 12)
        bytes[11] = char(passwordResult);
    if (length >= 13)
        bytes[12] = char(ipResult);
    return bytes;
}
} // namespace

class TestAdminInput final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void leadingDecimal_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("lone a") << QStringLiteral("a") << 0;
        QTest::newRow("digits") << QStringLiteral("192") << 192;
        QTest::newRow("leading zeros") << QStringLiteral("007") << 7;
        QTest::newRow("digits then a") << QStringLiteral("12a") << 12;
        QTest::newRow("a then digits") << QStringLiteral("a12") << 0;
        QTest::newRow("above an octet") << QStringLiteral("300") << 300;
        QTest::newRow("largest three digits") << QStringLiteral("999") << 999;
    }
    void leadingDecimal()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(kestavo::admin::leadingDecimal(text), value);
    }

    void hexValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value"); // -1: not a byte
        QTest::newRow("00") << QStringLiteral("00") << 0;
        QTest::newRow("lower ab") << QStringLiteral("ab") << 0xAB;
        QTest::newRow("upper AB") << QStringLiteral("AB") << 0xAB;
        QTest::newRow("mixed eF") << QStringLiteral("eF") << 0xEF;
        QTest::newRow("one digit") << QStringLiteral("f") << 0x0F;
        QTest::newRow("ff") << QStringLiteral("ff") << 0xFF;
        QTest::newRow("empty") << QString() << -1;
        QTest::newRow("g") << QStringLiteral("g1") << -1;
        QTest::newRow("sign") << QStringLiteral("-1") << -1;
        QTest::newRow("space") << QStringLiteral(" a") << -1;
        QTest::newRow("three digits") << QStringLiteral("abc") << -1;
    }
    void hexValue()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        const std::optional<int> got = kestavo::admin::hexValue(text);
        QCOMPARE(got.value_or(-1), value);
    }

    void passwordReply_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("judged");
        QTest::newRow("changed") << reply(0, 1, 0) << int(PasswordReply::Changed);
        QTest::newRow("changed, ip byte ignored") << reply(0, 1, 1) << int(PasswordReply::Changed);
        QTest::newRow("refused 0") << reply(0, 0, 0) << int(PasswordReply::Refused);
        QTest::newRow("refused 2") << reply(0, 2, 0) << int(PasswordReply::Refused);
        QTest::newRow("refused 255") << reply(0, 255, 0) << int(PasswordReply::Refused);
        QTest::newRow("rejected wins over result") << reply(1, 1, 0) << int(PasswordReply::Rejected);
        QTest::newRow("rejected 255") << reply(255, 0, 0) << int(PasswordReply::Rejected);
        QTest::newRow("shortest answer") << reply(0, 1, 0, 12) << int(PasswordReply::Changed);
        QTest::newRow("no result byte") << reply(1, 0, 0, 11) << int(PasswordReply::Incomplete);
        QTest::newRow("empty") << QByteArray() << int(PasswordReply::Incomplete);
    }
    void passwordReply()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, judged);
        QCOMPARE(int(judgePasswordReply(bytes)), judged);
    }

    void allowedIpReply_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("judged");
        QTest::newRow("changed") << reply(0, 0, 0) << int(AllowedIpReply::Changed);
        QTest::newRow("changed, password byte ignored") << reply(0, 1, 0) << int(AllowedIpReply::Changed);
        QTest::newRow("refused 1") << reply(0, 0, 1) << int(AllowedIpReply::Refused);
        QTest::newRow("refused 128") << reply(0, 0, 128) << int(AllowedIpReply::Refused);
        QTest::newRow("rejected wins") << reply(1, 0, 1) << int(AllowedIpReply::Rejected);
        QTest::newRow("shortest answer") << reply(0, 0, 0, 13) << int(AllowedIpReply::Changed);
        QTest::newRow("no result byte") << reply(0, 0, 0, 12) << int(AllowedIpReply::Incomplete);
    }
    void allowedIpReply()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, judged);
        QCOMPARE(int(judgeAllowedIpReply(bytes)), judged);
    }

    void listsAddress_data()
    {
        QTest::addColumn<QList<int>>("octets"); // 20 values
        QTest::addColumn<quint32>("address");
        QTest::addColumn<bool>("listed");
        QList<int> none(20, 0);
        QList<int> row1 = none;
        row1[0] = 127;
        row1[3] = 1;
        QList<int> row5 = none;
        row5[16] = 127;
        row5[19] = 1;
        QList<int> straddling = none; // 127 ends row 1, 0.0.1 starts row 2: no row holds 127.0.0.1
        straddling[3] = 127;
        straddling[6] = 1;
        QList<int> wrapped = none; // 383 would go out as 127: the list is judged as typed
        wrapped[0] = 383;
        wrapped[3] = 1;
        QList<int> otherHost = row1;
        otherHost[3] = 2;
        const quint32 loopback = 0x7F000001;
        QTest::newRow("row 1") << row1 << loopback << true;
        QTest::newRow("row 5") << row5 << loopback << true;
        QTest::newRow("nowhere") << none << loopback << false;
        QTest::newRow("across two rows") << straddling << loopback << false;
        QTest::newRow("octet above 255") << wrapped << loopback << false;
        QTest::newRow("other host") << otherHost << loopback << false;
        QTest::newRow("all zero address in an empty list") << none << quint32(0) << true;
    }
    void listsAddress()
    {
        QFETCH(QList<int>, octets);
        QFETCH(quint32, address);
        QFETCH(bool, listed);
        std::array<int, 20> array{};
        std::copy(octets.begin(), octets.end(), array.begin());
        QCOMPARE(kestavo::admin::listsAddress(array, address), listed);
    }
};

QTEST_APPLESS_MAIN(TestAdminInput)
#include "tst_admininput.moc"
