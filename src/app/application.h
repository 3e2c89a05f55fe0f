#pragma once

#include <memory>
#include <vector>

#include <QString>
#include <QStringList>

namespace kestavo::core {
class ConsoleState;
class DialogRegistry;
class MainForm;
class Session;
struct Context;
} // namespace kestavo::core
namespace kestavo::platform {
class MessageBoxPrompter;
class ProcessSystemCommands;
class SoundPlayer;
class TrayIcon;
} // namespace kestavo::platform
namespace kestavo::stations {
class StationStore;
}
namespace kestavo::platform {
class DialogFileChooser;
class DesktopNotifier;
} // namespace kestavo::platform
namespace kestavo::history {
class HistoryStore;
}

class QLabel;
class QObject;

namespace kestavo::app {

class ConsoleAlarms;
class ConsoleSchedules;
class ConsoleTeam;
class FleetWiring;

/// Owns everything the console needs for its run and hands it to the main window and the dialogs.
class Application
{
public:
    struct Options
    {
        QString database;     // --db FILE
        quint16 unitPort = 7; // --unit-port N
        bool demo = false;    // --demo
        bool connect = false; // --connect
        int demoFleet = 0;    // --demo-fleet N: N more simulated units on their own addresses
        QString history;      // --history FILE|none; empty: history.db beside the station database
        QString store;        // --store URL, or the store remembered from the last run; empty: none
        QString error;        // set when the command line could not be read
    };
    static Options parse(const QStringList& arguments);
    /// Where the console remembers the last store it was started on.
    static inline const QString kStoreKey = QStringLiteral("team/store");

    explicit Application(const Options& options);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    /// Opens the station database, shows the main window. False when the console cannot start.
    bool start();
    core::MainForm& mainForm() { return *m_mainForm; }

private:
    bool startDemo();
    struct Demo;
    bool startDemoFleet(Demo& demo, stations::StationStore& seed);
    void startBackground();
    void openHistory(const QString& stationDatabase);
    void registerFleetWindow();

    Options m_options;
    std::unique_ptr<stations::StationStore> m_store;
    std::unique_ptr<core::ConsoleState> m_state;
    std::unique_ptr<platform::MessageBoxPrompter> m_prompter;
    std::unique_ptr<platform::ProcessSystemCommands> m_commands;
    std::unique_ptr<core::Session> m_session;
    std::unique_ptr<history::HistoryStore> m_history;
    std::unique_ptr<QObject> m_historyRecorder; // the session's reports and link events into m_history
    std::unique_ptr<FleetWiring> m_fleet;
    std::unique_ptr<core::Context> m_context;
    std::unique_ptr<core::DialogRegistry> m_dialogs;
    std::unique_ptr<platform::DialogFileChooser> m_files;
    std::unique_ptr<platform::TrayIcon> m_tray;
    std::vector<std::unique_ptr<platform::SoundPlayer>> m_sounds;
    std::unique_ptr<platform::DesktopNotifier> m_notifier;
    std::unique_ptr<ConsoleAlarms> m_alarms;
    std::unique_ptr<ConsoleSchedules> m_schedules; // uses the fleet and the alarms
    std::unique_ptr<core::MainForm> m_mainForm;
    QLabel* m_historyStatus = nullptr; // in the main window's status bar, while recording is stopped
    std::unique_ptr<Demo> m_demo;
    std::unique_ptr<ConsoleTeam> m_team; // on a team's store only
    QString historyLocation() const;
};

} // namespace kestavo::app
