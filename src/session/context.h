#pragma once

namespace kestavo::platform {
class Prompter;
class SystemCommands;
} // namespace kestavo::platform
namespace kestavo::stations {
class StationStore;
}

class QWidget;

namespace kestavo::core {

class ConsoleState;
class Session;

/// What every dialog is handed: the console-wide state, the session, the station store, the
/// message prompter and the operating-system commands. Owned by the application object.
struct Context
{
    ConsoleState& state;
    Session& session;
    stations::StationStore& store;
    platform::Prompter& prompter;
    platform::SystemCommands& commands;
    /// The main window, disabled while most dialogs are open.
    QWidget* mainWindow = nullptr;
};

} // namespace kestavo::core
