#include "gui/admin/admininput.h"

#include <QCoreApplication>

#include "protocol/conversions.h"
#include "protocol/reply.h"

namespace kestavo::admin {

namespace {
// 1-based reply position → byte, for a reply already known to be long enough.
int byteAt(const QByteArray& reply, std::size_t position)
{
    return static_cast<unsigned char>(reply.at(qsizetype(position) - 1));
}
} // namespace

QString dottedAddress(const std::array<int, 4>& octets)
{
    return QStringLiteral("%1.%2.%3.%4").arg(octets[0]).arg(octets[1]).arg(octets[2]).arg(octets[3]);
}

QString shownMac(const std::array<int, 6>& mac)
{
    std::array<std::uint8_t, 6> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(mac[i]);
    return QString::fromStdString(protocol::macText(bytes));
}

std::optional<QString> unusableUnitAddress(const std::array<int, 4>& octets)
{
    const QString shown = dottedAddress(octets);
    const QString nothingSent = QCoreApplication::translate(
        "kestavo::admin", " Nothing was sent; enter an address of the unit's own network.");
    if (octets == std::array<int, 4>{0, 0, 0, 0})
        return shown +
               QCoreApplication::translate("kestavo::admin",
                                           " means \"no address\": the unit could not be reached any more.") +
               nothingSent;
    if (octets == std::array<int, 4>{255, 255, 255, 255})
        return shown +
               QCoreApplication::translate(
                   "kestavo::admin", " is the broadcast address of every network, never one machine's.") +
               nothingSent;
    if (octets[0] == 127)
        return shown +
               QCoreApplication::translate(
                   "kestavo::admin", " is a loopback address: it never leaves a machine, so the unit could "
                                     "not be reached any more.") +
               nothingSent;
    if (octets[0] >= 224 && octets[0] <= 239)
        return shown +
               QCoreApplication::translate("kestavo::admin",
                                           " is a multicast (group) address, never one machine's.") +
               nothingSent;
    if (octets[0] >= 240)
        return shown +
               QCoreApplication::translate("kestavo::admin",
                                           " is in the reserved range 240.0.0.0 - 255.255.255.254, which no "
                                           "machine may use.") +
               nothingSent;
    return std::nullopt;
}

std::optional<QString> unusableMac(const std::array<int, 6>& mac)
{
    const QString shown = shownMac(mac);
    const QString nothingSent = QCoreApplication::translate("kestavo::admin", " Nothing was sent.");
    if (mac == std::array<int, 6>{})
        return shown + QCoreApplication::translate("kestavo::admin", " is no network card's address.") +
               nothingSent;
    if (mac == std::array<int, 6>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})
        return shown +
               QCoreApplication::translate("kestavo::admin",
                                           " is the broadcast address, never one machine's.") +
               nothingSent;
    // The lowest bit of the first byte marks a group address.
    if ((mac[0] & 0x01) != 0)
        return shown +
               QCoreApplication::translate(
                   "kestavo::admin", " has the multicast bit set (the lowest bit of its first byte), so "
                                     "no single machine can have it. Use an even first byte.") +
               nothingSent;
    return std::nullopt;
}

int leadingDecimal(const QString& text)
{
    int value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        // Boxes hold at most three characters; the cap only keeps a pasted run of digits finite.
        if (value > 99999)
            break;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

std::optional<int> hexValue(const QString& text)
{
    if (text.isEmpty() || text.size() > 2)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        int digit = -1;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else if (u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

PasswordReply judgePasswordReply(const QByteArray& reply)
{
    if (reply.size() < qsizetype(protocol::kAdminResultPosition))
        return PasswordReply::Incomplete;
    if (byteAt(reply, protocol::kVerdictPosition) != 0)
        return PasswordReply::Rejected;
    return byteAt(reply, protocol::kAdminResultPosition) == 1 ? PasswordReply::Changed
                                                              : PasswordReply::Refused;
}

AllowedIpReply judgeAllowedIpReply(const QByteArray& reply)
{
    if (reply.size() < qsizetype(protocol::kAdminIpResultPosition))
        return AllowedIpReply::Incomplete;
    if (byteAt(reply, protocol::kVerdictPosition) != 0)
        return AllowedIpReply::Rejected;
    return byteAt(reply, protocol::kAdminIpResultPosition) == 0 ? AllowedIpReply::Changed
                                                                : AllowedIpReply::Refused;
}

} // namespace kestavo::admin
