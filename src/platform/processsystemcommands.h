#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QPointer>

#include "platform/systemcommands.h"

class QProcess;

namespace kestavo::platform {

class PingWindow;

/// Starts route, ping and neighbour-cache commands with QProcess::startDetached and never waits
/// for them. The command lines follow the operating system the console runs on; the flavour can be
/// chosen so that both sets of command lines can be checked anywhere.
class ProcessSystemCommands : public SystemCommands
{
public:
    enum class Flavour { Windows, Linux };

    /// Full path of an installed program, or empty when it is not installed.
    using ProgramLookup = std::function<QString(const QString& program)>;
    /// Name of the network interface holding a local address, or empty when none does.
    using InterfaceLookup = std::function<QString(const QString& localAddress)>;
    /// Whether this process may change routes and the neighbour cache.
    using PrivilegeCheck = std::function<bool()>;

    static constexpr Flavour hostFlavour()
    {
#ifdef Q_OS_WIN
        return Flavour::Windows;
#else
        return Flavour::Linux;
#endif
    }

    explicit ProcessSystemCommands(Flavour flavour = hostFlavour());
    ~ProcessSystemCommands() override;
    ProcessSystemCommands(const ProcessSystemCommands&) = delete;
    ProcessSystemCommands& operator=(const ProcessSystemCommands&) = delete;

    Flavour flavour() const
    {
        return m_flavour;
    }

    void setProgramLookup(ProgramLookup lookup);
    void setInterfaceLookup(InterfaceLookup lookup);
    void setPrivilegeCheck(PrivilegeCheck check);
    /// With a handler set, hidden commands run as children of the console so that a failure (exit
    /// code other than 0) can be reported as a sentence; without one they are started detached and
    /// nothing is heard of them again.
    void setFailureHandler(std::function<void(const QString& sentence)> handler);

    Command addRouteCommand(const QString& unit, const QString& localAddress) const override;
    Command pingCommand(const QString& unit) const override;
    Command arpDeleteCommand(const QString& unit) const override;

    /// The command that actually starts `command`. On Linux a visible command runs inside a
    /// terminal emulator (x-terminal-emulator, else xterm); with neither installed there is none,
    /// and run() shows the output in a PingWindow of its own instead.
    std::optional<Command> launchCommand(const Command& command) const;

    /// Whether the command changes the routing table or the neighbour cache, which needs root or
    /// the CAP_NET_ADMIN capability on Linux.
    bool needsNetworkAdmin(const Command& command) const;

    bool run(const Command& command, QString* error) override;

    // The default lookups, public so that they can be checked on their own.
    static QString findProgram(const QString& program);
    static QString interfaceHolding(const QString& localAddress);
    static bool processHasNetworkAdmin();
    /// Reads the CapEff line of a /proc/<pid>/status text and tests CAP_NET_ADMIN (bit 12).
    static bool statusGrantsNetworkAdmin(const QString& procStatus);

private:
    bool startDetached(const QString& program, const Command& command, QString* error) const;
    bool startWatched(const QString& program, const Command& command, QString* error);
    void openPingWindow(const QString& program, const Command& command);

    Flavour m_flavour;
    ProgramLookup m_findProgram;
    InterfaceLookup m_interfaceOf;
    PrivilegeCheck m_mayAdministerNetwork;
    std::function<void(const QString&)> m_reportFailure;
    // Hidden commands started by startWatched(), until they finish.
    std::vector<QPointer<QProcess>> m_watched;
    // Ping windows opened by run(); closed when the console ends so no ping outlives it.
    std::vector<QPointer<PingWindow>> m_pingWindows;
};

} // namespace kestavo::platform
