#include "platform/processsystemcommands.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QProcess>
#include <QStandardPaths>

#include "platform/pingwindow.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace kestavo::platform {

namespace {

constexpr auto kHostMask = "255.255.255.255";
// Linux capability number of CAP_NET_ADMIN (linux/capability.h).
constexpr int kCapNetAdmin = 12;

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

void setWindowMode(QProcess& process, bool visible)
{
#ifdef Q_OS_WIN
    // Hidden commands get no console at all; ping gets a console window of its own.
    process.setCreateProcessArgumentsModifier([visible](QProcess::CreateProcessArguments* args) {
        args->flags |= visible ? CREATE_NEW_CONSOLE : CREATE_NO_WINDOW;
    });
#else
    Q_UNUSED(process);
    Q_UNUSED(visible);
#endif
}

} // namespace

ProcessSystemCommands::ProcessSystemCommands(Flavour flavour)
    : m_flavour(flavour), m_findProgram(&ProcessSystemCommands::findProgram),
      m_interfaceOf(&ProcessSystemCommands::interfaceHolding),
      m_mayAdministerNetwork(&ProcessSystemCommands::processHasNetworkAdmin)
{
}

ProcessSystemCommands::~ProcessSystemCommands()
{
    for (const QPointer<PingWindow>& window : m_pingWindows)
        delete window.data();
    for (const QPointer<QProcess>& process : m_watched) {
        if (process) {
            process->disconnect();
            delete process.data();
        }
    }
}

void ProcessSystemCommands::setProgramLookup(ProgramLookup lookup)
{
    m_findProgram = std::move(lookup);
}

void ProcessSystemCommands::setInterfaceLookup(InterfaceLookup lookup)
{
    m_interfaceOf = std::move(lookup);
}

void ProcessSystemCommands::setPrivilegeCheck(PrivilegeCheck check)
{
    m_mayAdministerNetwork = std::move(check);
}

void ProcessSystemCommands::setFailureHandler(std::function<void(const QString&)> handler)
{
    m_reportFailure = std::move(handler);
}

SystemCommands::Command ProcessSystemCommands::addRouteCommand(const QString& unit,
                                                               const QString& localAddress) const
{
    if (m_flavour == Flavour::Windows) {
        Command command{QStringLiteral("route"),
                        {QStringLiteral("add"), unit, QStringLiteral("mask"), QLatin1String(kHostMask)},
                        false};
        if (!localAddress.isEmpty())
            command.arguments << localAddress;
        return command;
    }

    Command command{QStringLiteral("ip"),
                    {QStringLiteral("route"), QStringLiteral("add"), unit + QStringLiteral("/32")},
                    false};
    if (localAddress.isEmpty())
        return command; // no source known: let the kernel choose the way
    const QString interfaceName = m_interfaceOf ? m_interfaceOf(localAddress) : QString();
    if (!interfaceName.isEmpty())
        command.arguments << QStringLiteral("dev") << interfaceName;
    command.arguments << QStringLiteral("src") << localAddress;
    return command;
}

SystemCommands::Command ProcessSystemCommands::pingCommand(const QString& unit) const
{
    if (m_flavour == Flavour::Windows)
        return {QStringLiteral("ping"), {unit, QStringLiteral("-t")}, true};
    // Linux ping runs until interrupted, as "-t" makes it on Windows.
    return {QStringLiteral("ping"), {unit}, true};
}

SystemCommands::Command ProcessSystemCommands::arpDeleteCommand(const QString& unit) const
{
    if (m_flavour == Flavour::Windows)
        return {QStringLiteral("arp"), {QStringLiteral("-d"), unit}, false};
    return {QStringLiteral("ip"),
            {QStringLiteral("neigh"), QStringLiteral("flush"), QStringLiteral("to"), unit},
            false};
}

std::optional<SystemCommands::Command> ProcessSystemCommands::launchCommand(const Command& command) const
{
    if (m_flavour == Flavour::Windows || !command.visible)
        return command;
    for (const char* name : {"x-terminal-emulator", "xterm"}) {
        const QString terminal = QLatin1String(name);
        if (m_findProgram && !m_findProgram(terminal).isEmpty()) {
            // Both take the program and its arguments after -e.
            return Command{terminal, QStringList{QStringLiteral("-e"), command.program} + command.arguments,
                           true};
        }
    }
    return std::nullopt;
}

bool ProcessSystemCommands::needsNetworkAdmin(const Command& command) const
{
    return m_flavour == Flavour::Linux && command.program == QLatin1String("ip");
}

bool ProcessSystemCommands::run(const Command& command, QString* error)
{
    auto fail = [error](const QString& sentence) {
        if (error)
            *error = sentence;
        return false;
    };
    const QString line = quoted(command.commandLine());

    if (m_flavour != hostFlavour())
        return fail(QCoreApplication::translate(
                        "kestavo::platform::ProcessSystemCommands",
                        "The command %1 is written for another operating system and was not run.")
                        .arg(line));

    const QString path = m_findProgram ? m_findProgram(command.program) : QString();
    if (path.isEmpty()) {
        return fail(QCoreApplication::translate(
                        "kestavo::platform::ProcessSystemCommands",
                        "The command %1 could not be run because the program %2 is not installed "
                        "on this computer. Install it and try again.")
                        .arg(line, quoted(command.program)));
    }

    if (needsNetworkAdmin(command) && !(m_mayAdministerNetwork && m_mayAdministerNetwork())) {
        return fail(QCoreApplication::translate(
                        "kestavo::platform::ProcessSystemCommands",
                        "The command %1 needs administrator rights (root or the CAP_NET_ADMIN "
                        "capability), which the console does not have. Run it yourself with sudo, "
                        "or start the console with those rights.")
                        .arg(line));
    }

    const std::optional<Command> launch = launchCommand(command);
    if (!launch) {
        openPingWindow(path, command);
        return true;
    }
    if (launch->program != command.program) {
        const QString terminalPath = m_findProgram(launch->program);
        return startDetached(terminalPath.isEmpty() ? launch->program : terminalPath, *launch, error);
    }
    if (!command.visible && m_reportFailure)
        return startWatched(path, command, error);
    return startDetached(path, command, error);
}

bool ProcessSystemCommands::startDetached(const QString& program, const Command& command,
                                          QString* error) const
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(command.arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    setWindowMode(process, command.visible);
    if (process.startDetached())
        return true;
    if (error) {
        *error = QCoreApplication::translate("kestavo::platform::ProcessSystemCommands",
                                             "The command %1 could not be started: %2.")
                     .arg(quoted(command.commandLine()), process.errorString());
    }
    return false;
}

bool ProcessSystemCommands::startWatched(const QString& program, const Command& command, QString* error)
{
    auto* process = new QProcess;
    process->setProgram(program);
    process->setArguments(command.arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice()); // only the error text is of use
    setWindowMode(*process, false);
    const QString line = quoted(command.commandLine());

    QObject::connect(process, &QProcess::finished, process,
                     [this, process, line](int exitCode, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || exitCode != 0) {
                             const QString detail =
                                 QString::fromLocal8Bit(process->readAllStandardError()).simplified();
                             QString sentence =
                                 QCoreApplication::translate("kestavo::platform::ProcessSystemCommands",
                                                             "The command %1 failed")
                                     .arg(line);
                             if (!detail.isEmpty())
                                 sentence += QStringLiteral(": ") + detail;
                             if (!sentence.endsWith(QLatin1Char('.')))
                                 sentence += QLatin1Char('.');
                             if (m_reportFailure)
                                 m_reportFailure(sentence);
                         }
                         process->deleteLater();
                     });

    // The program was found, so failing to launch is rare (no execute permission, out of resources).
    QObject::connect(
        process, &QProcess::errorOccurred, process, [this, process, line](QProcess::ProcessError err) {
            if (err != QProcess::FailedToStart)
                return;
            if (m_reportFailure)
                m_reportFailure(QCoreApplication::translate("kestavo::platform::ProcessSystemCommands",
                                                            "The command %1 could not be started: %2.")
                                    .arg(line, process->errorString()));
            process->deleteLater();
        });
    process->start();
    std::erase_if(m_watched, [](const QPointer<QProcess>& p) { return p.isNull(); });
    m_watched.emplace_back(process);
    Q_UNUSED(error); // failures arrive later, through the failure handler
    return true;
}

void ProcessSystemCommands::openPingWindow(const QString& program, const Command& command)
{
    auto* window = new PingWindow(program, command.arguments);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->start();
    std::erase_if(m_pingWindows, [](const QPointer<PingWindow>& w) { return w.isNull(); });
    m_pingWindows.emplace_back(window);
}

QString ProcessSystemCommands::findProgram(const QString& program)
{
    QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        // ip and route live in sbin, which an ordinary user's PATH often leaves out.
        path =
            QStandardPaths::findExecutable(program, {QStringLiteral("/usr/local/sbin"),
                                                     QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    }
    return path;
}

QString ProcessSystemCommands::interfaceHolding(const QString& localAddress)
{
    const QHostAddress wanted(localAddress);
    if (wanted.isNull())
        return {};
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& candidate : interfaces) {
        const QList<QNetworkAddressEntry> entries = candidate.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().isEqual(wanted, QHostAddress::ConvertV4MappedToIPv4))
                return candidate.name();
        }
    }
    return {};
}

bool ProcessSystemCommands::processHasNetworkAdmin()
{
#ifdef Q_OS_UNIX
    if (geteuid() == 0)
        return true;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    return statusGrantsNetworkAdmin(QString::fromLatin1(status.readAll()));
#else
    return true; // Windows asks for elevation itself
#endif
}

bool ProcessSystemCommands::statusGrantsNetworkAdmin(const QString& procStatus)
{
    const QStringList lines = procStatus.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (!line.startsWith(QLatin1String("CapEff:")))
            continue;
        bool ok = false;
        const quint64 mask = line.mid(7).trimmed().toULongLong(&ok, 16);
        return ok && (mask & (quint64(1) << kCapNetAdmin)) != 0;
    }
    return false;
}

} // namespace kestavo::platform
