#pragma once

#include <functional>
#include <string>

#include <QDialog>
#include <QList>
#include <QPointer>

#include "session/context.h"

namespace kestavo::core {

/// Base of the console's dialogs: a modeless top-level window, deleted when closed, that disables
/// the main window while it is open and enables it again however it closes (its own buttons, the
/// close box, or the main window unloading every dialog).
class ConsoleDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConsoleDialog)

public:
    /// `holdMainWindow`: disable the main window while this dialog lives.
    ConsoleDialog(Context& context, bool holdMainWindow = true);
    ~ConsoleDialog() override;

    Context& context() const { return m_context; }
    /// Hand the main window over to a follow-on dialog (I2C → RDB): closing this one then leaves
    /// the main window disabled.
    void releaseMainWindow() { m_holdsMainWindow = false; }

    /// Sends a frame on the main socket. When the session ended while the dialog was open, says so
    /// and returns false: nothing is sent.
    bool sendFrame(const std::string& frame, bool counted = true);
    static QString noSessionText();

    /// The main window's station box text (`Combo1`), or the current station's entry when no main
    /// window is at hand: the script windows name the unit by it.
    QString stationBoxText() const;

    /// Until the unit of this session has sent its first status report, `controls` stay disabled:
    /// the settings they would send are not this unit's yet. With the report, `reload` shows the
    /// unit's own values and the controls are enabled (before `reload`, which may lock some again).
    void waitForUnitReport(const QList<QWidget*>& controls, std::function<void()> reload);

    /// Every way of closing ends here (buttons, Escape, the close box, close()): give the main
    /// window back at once rather than when the deferred delete runs.
    void done(int result) override;

private:
    Context& m_context;
    QPointer<QWidget> m_mainWindow;
    bool m_holdsMainWindow;
};

} // namespace kestavo::core
