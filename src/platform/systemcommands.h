#pragma once

#include <QString>
#include <QStringList>

namespace kestavo::platform {

/// Operating-system network commands. Implementations start them without waiting; tests record the
/// command lines instead of running anything.
class SystemCommands
{
public:
    struct Command
    {
        QString program;
        QStringList arguments;
        bool visible = false; // shown to the user (ping) or hidden (route, arp)
        QString commandLine() const { return (QStringList{program} + arguments).join(QLatin1Char(' ')); }
    };

    virtual ~SystemCommands() = default;

    /// Host route to `unit` through the interface holding `localAddress`.
    virtual Command addRouteCommand(const QString& unit, const QString& localAddress) const = 0;
    /// Continuous ping of `unit`, shown to the user.
    virtual Command pingCommand(const QString& unit) const = 0;
    /// Removal of `unit` from the ARP / neighbour cache.
    virtual Command arpDeleteCommand(const QString& unit) const = 0;

    /// Starts the command without waiting. Returns false with a sentence in `error` when it could
    /// not be started (missing program, no privileges).
    virtual bool run(const Command& command, QString* error) = 0;
};

} // namespace kestavo::platform
