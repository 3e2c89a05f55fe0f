#include "valueparsers.h"

#include <string>
#include <vector>

#include <QRegularExpression>
#include <QStringList>

#include "protocol/ipv4.h"

namespace kestavo::cli {

namespace {

bool allDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Every text the board palettes offer, once: the six boards' items, then the ten waits.
const std::vector<std::pair<QString, std::uint8_t>>& boardTexts()
{
    static const std::vector<std::pair<QString, std::uint8_t>> texts = [] {
        std::vector<std::pair<QString, std::uint8_t>> all;
        for (int board = 1; board <= protocol::kBoards; ++board) {
            for (const std::string& text : protocol::boardPalette(board)) {
                const std::optional<std::uint8_t> code = protocol::boardStepCode(text);
                if (code)
                    all.emplace_back(latin1(text), *code);
            }
        }
        return all;
    }();
    return texts;
}

} // namespace

Parsed<int> parseInteger(const QString& text, int min, int max)
{
    const QString digits = text.startsWith(u'-') ? text.mid(1) : text;
    // More than nine digits cannot be in any range a command uses, and would overflow int.
    if (!allDigits(digits) || digits.size() > 9)
        return Parsed<int>::fail(QStringLiteral("must be a whole number from %1 to %2").arg(min).arg(max));
    const int value = text.toInt();
    if (value < min || value > max)
        return Parsed<int>::fail(QStringLiteral("must be from %1 to %2").arg(min).arg(max));
    return Parsed<int>::ok(value);
}

Parsed<char> parseStep(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.size() == 1) {
        const char code = trimmed.at(0).toUpper().toLatin1();
        if (protocol::relayStepText(code))
            return Parsed<char>::ok(code);
        return Parsed<char>::fail(QStringLiteral("is no step code (codes are 1 to 9, A and B)"));
    }
    for (const protocol::StepCode& step : protocol::relaySteps()) {
        if (trimmed.compare(latin1(step.text), Qt::CaseInsensitive) == 0)
            return Parsed<char>::ok(step.code);
    }
    return Parsed<char>::fail(
        QStringLiteral("is no step (steps are \"Relay 1 ON\" … \"Relay 3 OFF\", \"Wait 1 Second\" … "
                       "\"Wait 5 Seconds\", or their codes 1 to 9, A, B)"));
}

Parsed<std::uint8_t> parseBoardStep(const QString& text)
{
    const QString trimmed = text.trimmed();
    static const QRegularExpression hexCode(QStringLiteral("^0[xX]([0-9A-Fa-f]{1,2})$"));
    const QRegularExpressionMatch match = hexCode.match(trimmed);
    if (match.hasMatch()) {
        const auto code = static_cast<std::uint8_t>(match.captured(1).toUInt(nullptr, 16));
        for (const auto& [stepText, stepCode] : boardTexts()) {
            if (stepCode == code)
                return Parsed<std::uint8_t>::ok(code);
        }
        return Parsed<std::uint8_t>::fail(QStringLiteral("is no daughter-board step code"));
    }
    for (const auto& [stepText, stepCode] : boardTexts()) {
        if (trimmed.compare(stepText, Qt::CaseInsensitive) == 0)
            return Parsed<std::uint8_t>::ok(stepCode);
    }
    if (trimmed.startsWith(QStringLiteral("RDB Wait"), Qt::CaseInsensitive)) {
        return Parsed<std::uint8_t>::fail(
            QStringLiteral("is how a stored wait is listed; write it as \"Wait N Seconds\""));
    }
    return Parsed<std::uint8_t>::fail(
        QStringLiteral("is no daughter-board step (steps are like \"RDB1 Relay 1 NC\", \"RDB2 Output "
                       "OFF\", \"RDB6 Light ON\", \"Wait 1 Second\" … \"Wait 10 Seconds\", or a code "
                       "such as 0x20)"));
}

Parsed<std::uint32_t> parseDuration(const QString& text)
{
    constexpr std::uint64_t kLimit = 0xFFFFFF; // the unit keeps the delay in 24 bits
    const QString trimmed = text.trimmed();
    if (allDigits(trimmed)) {
        if (trimmed.size() > 9 || trimmed.toULongLong() > kLimit)
            return Parsed<std::uint32_t>::fail(QStringLiteral("is longer than the unit's timer can hold"));
        return Parsed<std::uint32_t>::ok(static_cast<std::uint32_t>(trimmed.toULongLong()));
    }
    static const QRegularExpression units(QStringLiteral("^(?:(\\d{1,9})d)?(?:(\\d{1,9})h)?(?:(\\d{1,9})m)?"
                                                         "(?:(\\d{1,9})s)?$"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = units.match(trimmed);
    if (trimmed.isEmpty() || !match.hasMatch()) {
        return Parsed<std::uint32_t>::fail(QStringLiteral(
            "is no duration (write seconds, or units in the order d, h, m, s such as 1d2h3m4s)"));
    }
    constexpr std::array<std::uint64_t, 4> kSecondsPer{86400, 3600, 60, 1};
    std::uint64_t total = 0;
    for (int group = 1; group <= 4; ++group) {
        if (match.capturedLength(group) > 0)
            total += match.captured(group).toULongLong() * kSecondsPer[static_cast<std::size_t>(group - 1)];
    }
    if (total > kLimit)
        return Parsed<std::uint32_t>::fail(QStringLiteral("is longer than the unit's timer can hold"));
    return Parsed<std::uint32_t>::ok(static_cast<std::uint32_t>(total));
}

Parsed<std::array<int, 4>> parseIpv4(const QString& text)
{
    std::string problem;
    const auto octets = protocol::parseIpv4(text.toStdString(), &problem);
    if (!octets)
        return Parsed<std::array<int, 4>>::fail(QString::fromStdString(problem));
    return Parsed<std::array<int, 4>>::ok({(*octets)[0], (*octets)[1], (*octets)[2], (*octets)[3]});
}

Parsed<std::array<int, 6>> parseMac(const QString& text)
{
    const QChar separator = text.contains(u'-') ? u'-' : u':';
    const QStringList parts = text.split(separator);
    if (parts.size() != 6) {
        return Parsed<std::array<int, 6>>::fail(QStringLiteral(
            "is no MAC address (six hexadecimal bytes joined by colons, like 00:0A:1B:2C:3D:4E)"));
    }
    std::array<int, 6> bytes{};
    for (int i = 0; i < 6; ++i) {
        const QString& part = parts.at(i);
        bool hex = !part.isEmpty() && part.size() <= 2;
        for (const QChar c : part)
            hex = hex && isHexDigit(c);
        if (!hex) {
            return Parsed<std::array<int, 6>>::fail(
                QStringLiteral("is no MAC address (byte %1 is not one or two hexadecimal digits)")
                    .arg(i + 1));
        }
        bytes[static_cast<std::size_t>(i)] = part.toInt(nullptr, 16);
    }
    return Parsed<std::array<int, 6>>::ok(bytes);
}

Parsed<protocol::BoardItem> parseBoardItem(const QString& text)
{
    using protocol::BoardItem;
    const QString item = text.trimmed().toLower();
    static const QRegularExpression relay(QStringLiteral("^relay([1-6])$"));
    const QRegularExpressionMatch match = relay.match(item);
    if (match.hasMatch()) {
        const int index = match.captured(1).toInt() - 1;
        return Parsed<BoardItem>::ok(static_cast<BoardItem>(static_cast<int>(BoardItem::Relay1) + index));
    }
    if (item == QStringLiteral("output"))
        return Parsed<BoardItem>::ok(BoardItem::Output);
    if (item == QStringLiteral("light"))
        return Parsed<BoardItem>::ok(BoardItem::Light);
    return Parsed<BoardItem>::fail(QStringLiteral("is no board item (relay1 … relay6, output, light)"));
}

Parsed<bool> parseOnOff(const QString& text)
{
    const QString word = text.trimmed().toLower();
    if (word == QStringLiteral("on"))
        return Parsed<bool>::ok(true);
    if (word == QStringLiteral("off"))
        return Parsed<bool>::ok(false);
    return Parsed<bool>::fail(QStringLiteral("must be on or off"));
}

QString ipv4Text(const std::array<int, 4>& octets)
{
    return QStringLiteral("%1.%2.%3.%4").arg(octets[0]).arg(octets[1]).arg(octets[2]).arg(octets[3]);
}

} // namespace kestavo::cli
