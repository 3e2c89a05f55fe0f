#pragma once

#include <functional>
#include <memory>

#include <QString>
#include <QStringList>

namespace kestavo::core {
class DialogRegistry;
}
namespace kestavo::history {
class AlarmJournal;
class AuditLog;
} // namespace kestavo::history
namespace kestavo::platform {
class FileChooser;
}
namespace kestavo::notify {
class Notifier;
class NotifyStore;
class Transport;
} // namespace kestavo::notify

namespace kestavo::alarms {
class AlarmEngine;
class AuditRecorder;
} // namespace kestavo::alarms

namespace kestavo::alarmwindows {
class AlarmSounder;

/// What the two windows work on; owned by the application for the whole run.
struct AlarmServices
{
    alarms::AlarmEngine& engine;
    history::AlarmJournal& journal;
    AlarmSounder& sounder;
    history::AuditLog& audit;
    alarms::AuditRecorder& recorder;
    platform::FileChooser& files;
    // Notifications: without a store (no history file) the Routes, Maintenance and Report tabs
    // are left out; without a notifier no flood banner shows.
    notify::NotifyStore* notifyStore = nullptr;
    notify::Notifier* notifier = nullptr;
    std::shared_ptr<notify::Transport> transport{}; // "Send test"; libcurl when empty
    std::function<QString(const QString& address)> stationName{};
    /// The addresses of the stations with a tag (or one below it), for a tag's maintenance record.
    std::function<QStringList(const QString& tag)> stationsWithTag{};
};

/// Registers the `Alarms` and `Audit` windows for the Monitor menu.
void registerAlarmWindows(core::DialogRegistry& registry, AlarmServices& services);

} // namespace kestavo::alarmwindows
