#include "relaycommand.h"

#include <QStringList>

namespace kestavo::agent {

namespace {

bool isUnitId(const QString& text)
{
    if (text.size() != 12)
        return false;
    for (const QChar c : text) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    }
    return true;
}

} // namespace

std::variant<RelayCommand, QString> parseRelayCommand(const QString& prefix, const QString& topic,
                                                      const QByteArray& payload)
{
    if (!topic.startsWith(prefix + u'/'))
        return QStringLiteral("not a relay command");
    const QStringList parts = topic.mid(prefix.size() + 1).split(u'/');
    if (parts.size() != 4 || parts[1] != QStringLiteral("relay") || parts[3] != QStringLiteral("set"))
        return QStringLiteral("not a relay command");
    if (!isUnitId(parts[0]))
        return QStringLiteral("the unit must be its MAC in 12 lower-case hex digits");
    const QString& relay = parts[2];
    if (relay.size() != 1 || relay.at(0) < u'1' || relay.at(0) > u'3')
        return QStringLiteral("relays are numbered 1 to 3");
    if (payload != "ON" && payload != "OFF")
        return QStringLiteral("the payload must be ON or OFF");
    return RelayCommand{parts[0], relay.at(0).unicode() - u'0', payload == "ON"};
}

} // namespace kestavo::agent
