#pragma once

// The console's alarms and audit trail: the history file's alarm and audit tables, the engine
// fed from the session's reports and link events, the recorder fed from every frame the
// session (and the security dialog) sends, the sounds, the desktop notifications and the two
// windows. Wiring only; the logic lives in the alarms library and the alarm windows.

#include <memory>

#include <QString>
#include <QTimer>

class QWidget;

namespace kestavo::core {
class ConsoleState;
class DialogRegistry;
class Session;
} // namespace kestavo::core
namespace kestavo::platform {
class DesktopNotifier;
class SoundPlayer;
} // namespace kestavo::platform
namespace kestavo::stations {
class StationStore;
}
namespace kestavo::platform {
class FileChooser;
}
namespace kestavo::fleet {
class FleetPoller;
}
namespace kestavo::history {
class AlarmJournal;
class AuditLog;
class StationLeases;
} // namespace kestavo::history
namespace kestavo::notify {
class Notifier;
class NotifyStore;
} // namespace kestavo::notify
namespace kestavo::alarms {
class AlarmEngine;
class AuditRecorder;
} // namespace kestavo::alarms
namespace kestavo::alarmwindows {
class AlarmNotifications;
class AlarmSounder;
class AlarmSummaryLabel;
struct AlarmServices;
} // namespace kestavo::alarmwindows

namespace kestavo::app {

class ConsoleAlarms final
{
public:
    struct Devices
    {
        platform::SoundPlayer* siren = nullptr;   // "siren.wav"
        platform::SoundPlayer* ioSound = nullptr; // "burgular2.wav"
        platform::DesktopNotifier* notifier = nullptr;
        int soundRepeatMs = 3000;
        int journalSyncMs = 2000;   // acknowledgements from the command-line client show up this fast
        int answerTimeoutMs = 3000; // a command without an answer by then is recorded as unanswered
    };

    ConsoleAlarms(core::Session& session, core::ConsoleState& state, stations::StationStore& store,
                  platform::FileChooser& files, const Devices& devices);
    ~ConsoleAlarms();
    ConsoleAlarms(const ConsoleAlarms&) = delete;
    ConsoleAlarms& operator=(const ConsoleAlarms&) = delete;

    /// Opens the alarm and audit tables of the history file; the error sentence when it cannot.
    QString open(const QString& historyPath);

    /// On a team's store the store's change notices say when to read alarms and rules again: the
    /// change counter is no longer polled.
    void followNotices();
    /// Opens the alarm, audit and lease tables again over new connections (the store came back
    /// after its sessions ended) and reads what changed meanwhile.
    void reconnect();

    /// Every report and link state of the fleet poller goes to the engine too, like the session's.
    void attachFleet(fleet::FleetPoller& poller);

    void registerWindows(core::DialogRegistry& registry);
    /// The status-bar summary of alarms per station.
    alarmwindows::AlarmSummaryLabel* createSummary(QWidget* parent);

    alarms::AlarmEngine& engine() { return *m_engine; }
    alarms::AuditRecorder& recorder() { return *m_recorder; }
    alarmwindows::AlarmSounder& sounder() { return *m_sounder; }
    history::AuditLog& auditLog() { return *m_audit; }
    history::AlarmJournal& journal() { return *m_journal; }
    /// Null until open() succeeded.
    notify::Notifier* notifier() { return m_notifier.get(); }

private:
    QString address() const;
    QString description(const QString& address) const;
    void openNotifier(const QString& historyPath);

    core::Session& m_session;
    stations::StationStore& m_store; // tags are re-read when another program changed them
    std::unique_ptr<history::AlarmJournal> m_journal;
    std::unique_ptr<history::StationLeases> m_leases; // opened with the journal; outlives m_engine
    std::unique_ptr<history::AuditLog> m_audit;
    std::unique_ptr<alarms::AlarmEngine> m_engine;
    std::unique_ptr<alarms::AuditRecorder> m_recorder;
    std::unique_ptr<alarmwindows::AlarmSounder> m_sounder;
    std::unique_ptr<alarmwindows::AlarmNotifications> m_notifications;
    std::unique_ptr<alarmwindows::AlarmServices> m_services;
    // After the engine, so the notifier goes first; the store outlives the notifier.
    std::unique_ptr<notify::NotifyStore> m_notifyStore;
    std::unique_ptr<notify::Notifier> m_notifier;
    QTimer m_sync;
    QString m_location; // the history file or the store address open() was given
    bool m_notices = false;
};

} // namespace kestavo::app
