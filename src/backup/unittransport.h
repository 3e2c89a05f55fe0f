#pragma once

// How a backup, a compare and a restore reach the unit: the command-line client's unit link and
// the console's session each provide one, so every frame goes out on the path (and through the
// counters and records) of the program that sends it.

#include <cstdint>
#include <optional>
#include <string>

#include <QByteArray>
#include <QString>

namespace kestavo::backup {

class UnitTransport
{
public:
    virtual ~UnitTransport() = default;

    /// Sends one frame as one datagram; false when it could not go out (errorString() says why).
    virtual bool send(const std::string& frame) = 0;
    /// The next datagram from the unit, or nothing when timeoutMs pass without one.
    virtual std::optional<QByteArray> receive(int timeoutMs) = 0;
    virtual QString errorString() const = 0;
    /// This computer's IPv4 address on the way to the unit, when it can be told.
    virtual std::optional<std::uint32_t> localIpv4() const = 0;
};

} // namespace kestavo::backup
