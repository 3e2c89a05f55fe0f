#pragma once

// What an MQTT message on <prefix>/<unit>/relay/<n>/set asks for, read strictly: the unit is a
// MAC in 12 lower-case hex digits, the relay one digit from 1 to 3 ("01", " 3 " and "+3" are not
// relays), the payload exactly ON or OFF. Pure function of its inputs, so it can be fuzzed alone.

#include <variant>

#include <QByteArray>
#include <QString>

namespace kestavo::agent {

struct RelayCommand
{
    QString unitId; // the MAC as in the unit's topics
    int relay = 0;  // 1..3
    bool on = false;
};

/// The command, or why the message is not one.
std::variant<RelayCommand, QString> parseRelayCommand(const QString& prefix, const QString& topic,
                                                      const QByteArray& payload);

} // namespace kestavo::agent
