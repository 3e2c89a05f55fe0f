#pragma once

// The console on a team's store: the station directory read from the store, the store's address
// in the title bar, the store's change notices instead of polled counters, and a banner while the
// store cannot be reached. The session with a unit never depends on the store: it goes on while
// the banner shows.

#include <functional>
#include <memory>

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThread>

#include "store/storewatch.h"
#include "storelink/storeurl.h"

class QLabel;

namespace kestavo::stations {
class StationStore;
}
namespace kestavo::core {
class MainForm;
}
namespace kestavo::store {
class StoreConnection;
}

namespace kestavo::app {

class ConsoleAlarms;

class ConsoleTeam final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConsoleTeam)

public:
    ConsoleTeam(const store::StoreUrl& url, stations::StationStore& stations, core::MainForm& form,
                QObject* parent = nullptr);
    ~ConsoleTeam() override;

    /// Before start(): how often the store is asked whether it is there, and the clock the
    /// banner's time is read from.
    void setTiming(const store::StoreWatch::Timing& timing) { m_timing = timing; }
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    const store::StoreUrl& url() const { return m_url; }
    /// Reads the station directory from the store into the station store; empty, or the sentence
    /// saying why it could not (then it is read again once the store answers).
    QString openStations();
    /// Alarms, acknowledgements, shelving and rules follow the store's notices from now on.
    void setAlarms(ConsoleAlarms* alarms) { m_alarms = alarms; }
    /// Starts listening on a thread of its own.
    void start();

    /// "Kestavo - KSV unit console - postgresql://…": which store the window works on.
    static QString title(const QString& base, const store::StoreUrl& url);
    /// "Store unreachable since 18:42:07" (with the date when it was not today).
    static QString bannerText(const QDateTime& since, const QDateTime& now);

Q_SIGNALS:
    /// The station directory was read again (another program changed it).
    void stationsReloaded();

private:
    void stationsChanged();
    void alarmsChanged();
    void unreachable(const QDateTime& since, const QString& error);
    void reachable();

    store::StoreUrl m_url;
    stations::StationStore& m_stations;
    core::MainForm& m_form;
    ConsoleAlarms* m_alarms = nullptr;
    store::StoreWatch::Timing m_timing;
    std::function<QDateTime()> m_clock = [] {
        return QDateTime::currentDateTime();
    };
    QLabel* m_banner = nullptr; // in the main window's status bar, shown while the store is away
    QThread m_thread;
    store::StoreWatch* m_watch = nullptr; // lives on m_thread
    bool m_stationsOpen = false;
};

} // namespace kestavo::app
