#include "support/fakesystemcommands.h"

namespace kestavo::testsupport {

FakeSystemCommands::FakeSystemCommands(Flavour flavour) : ProcessSystemCommands(flavour) {}

void FakeSystemCommands::failWith(const QString& error)
{
    m_error = error;
}

bool FakeSystemCommands::run(const Command& command, QString* error)
{
    m_ran.append(command);
    if (m_error.isEmpty())
        return true;
    if (error)
        *error = m_error;
    return false;
}

QStringList FakeSystemCommands::commandLines() const
{
    QStringList lines;
    for (const Command& command : m_ran)
        lines << command.commandLine();
    return lines;
}

} // namespace kestavo::testsupport
