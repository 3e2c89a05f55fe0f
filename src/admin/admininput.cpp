#include "admin/admininput.h"

#include "protocol/reply.h"

namespace kestavo::admin {

namespace {
// 1-based reply position → byte, for a reply already known to be long enough.
int byteAt(const QByteArray& reply, std::size_t position)
{
    return static_cast<unsigned char>(reply.at(qsizetype(position) - 1));
}
} // namespace

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
