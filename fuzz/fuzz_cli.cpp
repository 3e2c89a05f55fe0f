// Fuzz entry point for kestavo-cli's argument parsing: the value parsers (steps, durations,
// addresses, MAC texts, numbers) and the whole command line. Besides crashes, it checks that every
// value accepted is within what the unit can take and reads back the same from its own text, and
// that a usage error never repeats the password it was given.
//
// Input: one selector byte, then UTF-8 text. For the whole command line the text is split into
// arguments at '\n'.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <variant>

#include <QString>
#include <QStringList>

#include "commandline.h"
#include "valueparsers.h"

namespace {

using namespace kestavo::cli;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

template <typename T> void requireShape(const Parsed<T>& parsed)
{
    require(parsed.value.has_value() == parsed.error.isEmpty());
}

void checkInteger(const QString& text, int min, int max)
{
    const auto parsed = parseInteger(text, min, max);
    requireShape(parsed);
    if (!parsed)
        return;
    require(*parsed >= min && *parsed <= max);
    const auto again = parseInteger(QString::number(*parsed), min, max);
    require(again && *again == *parsed);
}

void checkStep(const QString& text)
{
    const auto parsed = parseStep(text);
    requireShape(parsed);
    if (!parsed)
        return;
    require(QStringLiteral("123456789AB").contains(QLatin1Char(*parsed)));
    // The code reads back as itself, in either case.
    const auto again = parseStep(QString(QLatin1Char(*parsed)));
    require(again && *again == *parsed);
    const auto lower = parseStep(QString(QLatin1Char(*parsed)).toLower());
    require(lower && *lower == *parsed);
}

void checkBoardStep(const QString& text)
{
    const auto parsed = parseBoardStep(text);
    requireShape(parsed);
    if (!parsed)
        return;
    const auto again = parseBoardStep(QStringLiteral("0x%1").arg(int(*parsed), 2, 16, QLatin1Char('0')));
    require(again && *again == *parsed);
}

void checkDuration(const QString& text)
{
    const auto parsed = parseDuration(text);
    requireShape(parsed);
    if (!parsed)
        return;
    const std::uint32_t total = *parsed;
    require(total <= 0xFFFFFF);
    const auto plain = parseDuration(QString::number(total));
    require(plain && *plain == total);
    // The same time in units, largest first, zero units left out.
    QString units;
    const std::uint32_t days = total / 86400, hours = total % 86400 / 3600, minutes = total % 3600 / 60,
                        secs = total % 60;
    if (days)
        units += QString::number(days) + u'd';
    if (hours)
        units += QString::number(hours) + u'h';
    if (minutes)
        units += QString::number(minutes) + u'm';
    if (secs || units.isEmpty())
        units += QString::number(secs) + u's';
    const auto inUnits = parseDuration(units);
    require(inUnits && *inUnits == total);
}

void checkIpv4(const QString& text)
{
    const auto parsed = parseIpv4(text);
    requireShape(parsed);
    if (!parsed)
        return;
    for (const int octet : *parsed)
        require(octet >= 0 && octet <= 255);
    require(text.count(u'.') == 3);
    require(ipv4Text(*parsed) == text); // one canonical form: what is accepted is what is printed
    const auto again = parseIpv4(ipv4Text(*parsed));
    require(again && *again == *parsed);
}

void checkMac(const QString& text)
{
    const auto parsed = parseMac(text);
    requireShape(parsed);
    if (!parsed)
        return;
    QStringList groups;
    for (const int byte : *parsed) {
        require(byte >= 0 && byte <= 255);
        groups.append(QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')));
    }
    for (const QChar separator : {u':', u'-'}) {
        const auto again = parseMac(groups.join(separator));
        require(again && *again == *parsed);
    }
}

void checkSmallWords(const QString& text)
{
    const auto item = parseBoardItem(text);
    requireShape(item);
    if (item) {
        const auto again = parseBoardItem(text.toUpper());
        require(again && *again == *item);
    }
    const auto onOff = parseOnOff(text);
    requireShape(onOff);
    if (onOff)
        require(text.trimmed().compare(*onOff ? u"on" : u"off", Qt::CaseInsensitive) == 0);
}

// A password is secret only if nothing else on the line could put its text into a message.
bool distinctive(const QString& password, qsizetype own, const QStringList& arguments)
{
    if (password.size() < 4 || !password.contains(u'#'))
        return false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (i != own && arguments.at(i).contains(password))
            return false;
    }
    return true;
}

// The --password value, given as "--password X" or "--password=X", and the argument holding it.
// Options that take a value swallow the next argument whatever it is, as the parser does.
QString passwordOf(const QStringList& arguments, qsizetype* own)
{
    static const QStringList valueOptions = {QStringLiteral("--db"),       QStringLiteral("--port"),
                                             QStringLiteral("--timeout"),  QStringLiteral("--format"),
                                             QStringLiteral("--password"), QStringLiteral("--count"),
                                             QStringLiteral("--interval")};
    *own = -1;
    QString password;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == u"--")
            break;
        if (argument.startsWith(u"--password=")) {
            *own = i;
            password = argument.mid(11);
        } else if (valueOptions.contains(argument) && i + 1 < arguments.size()) {
            if (argument == u"--password") {
                *own = i + 1;
                password = arguments.at(i + 1);
            }
            ++i;
        }
    }
    return password;
}

void checkCommandLine(const QString& text)
{
    const QStringList arguments = text.split(u'\n');
    const auto parsed = parseArguments(arguments);
    qsizetype own = -1;
    const QString password = passwordOf(arguments, &own);
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        require(!error->message.isEmpty());
        if (distinctive(password, own, arguments))
            require(!error->message.contains(password) && !error->command.contains(password));
        return;
    }
    const Command& command = std::get<Command>(parsed);
    if (command.options.password)
        require(own >= 0 && *command.options.password == password);
    require(command.options.port >= 0 && command.options.port <= 65535);
    require(command.relay >= 0 && command.relay <= 3);
    require(command.durationSeconds <= 0xFFFFFF);
    for (const int octet : command.unitOctets)
        require(octet >= 0 && octet <= 255);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const QString text = QString::fromUtf8(rest.data(), static_cast<qsizetype>(rest.size()));
    switch (data[0] % 9) {
    case 0:
        checkInteger(text, 0, 255);
        checkInteger(text, -60, 60);
        break;
    case 1:
        checkStep(text);
        break;
    case 2:
        checkBoardStep(text);
        break;
    case 3:
        checkDuration(text);
        break;
    case 4:
        checkIpv4(text);
        break;
    case 5:
        checkMac(text);
        break;
    case 6:
        checkSmallWords(text);
        break;
    default:
        checkCommandLine(text);
        break;
    }
    return 0;
}
