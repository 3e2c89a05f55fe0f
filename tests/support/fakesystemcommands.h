#pragma once

#include <QList>

#include "platform/processsystemcommands.h"

namespace kestavo::testsupport {

/// Builds the command lines exactly as the real adapter does for the chosen flavour (Windows by
/// default: the console's original command lines) but records run() instead of starting anything.
/// The interface holding a local address is the one this machine reports, unless a test sets
/// its own lookup with setInterfaceLookup().
class FakeSystemCommands final : public platform::ProcessSystemCommands
{
public:
    explicit FakeSystemCommands(Flavour flavour = Flavour::Windows);

    /// Makes every later run() return false with this sentence; an empty text lets them succeed.
    void failWith(const QString& error);

    bool run(const Command& command, QString* error) override;

    const QList<Command>& ran() const { return m_ran; }
    /// The command lines of every run() call, in order.
    QStringList commandLines() const;
    void clear() { m_ran.clear(); }

private:
    QList<Command> m_ran;
    QString m_error;
};

} // namespace kestavo::testsupport
