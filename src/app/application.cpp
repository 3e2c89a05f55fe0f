#include "app/application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>

#include "stations/databaselocation.h"
#include "stations/stationstore.h"

#include "session/consolestate.h"
#include "session/context.h"
#include "session/session.h"

#include "app/consolealarms.h"
#include "app/consoleschedules.h"
#include "app/consoleteam.h"
#include "app/demo.h"
#include "app/dialogs.h"
#include "app/fleetwiring.h"
#include "app/historyrecorder.h"
#include "fleet/fleetpoller.h"
#include "gui/alarms/alarmsounder.h"
#include "gui/alarms/alarmsummarylabel.h"
#include "gui/alarms/exitcheck.h"
#include "gui/backup/unitbackupdialogs.h"
#include "gui/fleet/fleetmodel.h"
#include "gui/fleet/fleetwindow.h"
#include "gui/main/addipdialog.h"
#include "gui/main/dialogregistry.h"
#include "gui/main/mainform.h"
#include "gui/relays/relaydialogs.h"
#include "gui/schedules/scheduleswindow.h"
#include "gui/trends/trendsdialogs.h"
#include "history/auditlog.h"
#include "history/historyconnection.h"
#include "history/historystore.h"
#include "platform/effectsoundplayer.h"
#include "platform/filechooser.h"
#include "platform/messageboxprompter.h"
#include "platform/processsystemcommands.h"
#include "platform/resourcepaths.h"
#include "platform/systemnotifier.h"
#include "platform/systemtrayicon.h"
#include "storelink/storeconnection.h"
#include "storelink/storeurl.h"

namespace kestavo::app {

namespace {
QString qs(const char* s)
{
    return QString::fromLatin1(s);
}
} // namespace

Application::Options Application::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("kestavo::app::Application", "Kestavo: console for KSV units"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption db(qs("db"),
                                qs("Station database file (default: ksv.dat beside the executable if "
                                   "present, else in the per-user data folder)."),
                                qs("FILE"));
    const QCommandLineOption port(
        qs("unit-port"),
        QCoreApplication::translate("kestavo::app::Application", "UDP port of the units (default 7)."),
        qs("N"), qs("7"));
    const QCommandLineOption demo(
        qs("demo"), QCoreApplication::translate("kestavo::app::Application",
                                                "Start a simulated unit on loopback and connect to it."));
    const QCommandLineOption connect(
        qs("connect"), QCoreApplication::translate("kestavo::app::Application",
                                                   "Start the session with the default station at once."));
    const QCommandLineOption demoFleet(
        qs("demo-fleet"),
        QCoreApplication::translate("kestavo::app::Application",
                                    "With --demo: N more simulated units (1 to 1000) on 127.0.2.1 and up, "
                                    "for the Fleet window."),
        qs("N"), qs("0"));
    const QCommandLineOption history(
        qs("history"), qs("History file, or \"none\" (default: history.db beside the station database)."),
        qs("FILE"));
    const QCommandLineOption store(
        qs("store"),
        QCoreApplication::translate(
            "kestavo::app::Application",
            "A team's store, postgresql://USER@HOST[:PORT]/DBNAME (remembered for the "
            "next start), or \"none\" to forget the remembered one."),
        qs("URL"));
    parser.addOptions({db, port, demo, connect, demoFleet, history, store});
    Options options;
    if (!parser.parse(arguments)) {
        options.error = parser.errorText();
        return options;
    }
    if (parser.isSet(qs("help")) || parser.isSet(qs("version"))) {
        parser.process(arguments); // prints and exits
    }
    options.database = parser.value(db);
    bool ok = false;
    const uint p = parser.value(port).toUInt(&ok);
    if (!ok || p == 0 || p > 65535)
        options.error =
            qs("--unit-port needs a port number from 1 to 65535, not \"%1\".").arg(parser.value(port));
    else
        options.unitPort = quint16(p);
    options.demo = parser.isSet(demo);
    options.connect = parser.isSet(connect);
    options.history = parser.value(history);
    // A store named on the command line is remembered; without one (and without --db or --demo,
    // which name a desk's own file) the console goes back to the store it was on last time.
    if (parser.isSet(store)) {
        options.store = parser.value(store);
        if (options.store == qs("none")) {
            QSettings().remove(kStoreKey);
            options.store.clear();
        } else if (const store::StoreUrlParse parsed = store::parseStoreUrl(options.store); !parsed.ok()) {
            options.error = parsed.error;
        } else {
            options.store = parsed.url.toString();
            QSettings().setValue(kStoreKey, options.store);
        }
    } else if (!parser.isSet(db) && !parser.isSet(demo)) {
        options.store = QSettings().value(kStoreKey).toString();
        if (!store::parseStoreUrl(options.store).ok())
            options.store.clear();
    }
    const int fleetUnits = parser.value(demoFleet).toInt(&ok);
    if (!ok || fleetUnits < 0 || fleetUnits > 1000)
        options.error =
            qs("--demo-fleet needs a number from 0 to 1000, not \"%1\".").arg(parser.value(demoFleet));
    else
        options.demoFleet = fleetUnits;
    return options;
}

Application::Application(const Options& options)
    : m_options(options), m_store(std::make_unique<stations::StationStore>()),
      m_state(std::make_unique<core::ConsoleState>()),
      m_prompter(std::make_unique<platform::MessageBoxPrompter>()),
      m_commands(std::make_unique<platform::ProcessSystemCommands>()),
      m_session(std::make_unique<core::Session>(*m_state, *m_store, *m_prompter)),
      m_dialogs(std::make_unique<core::DialogRegistry>()),
      m_files(std::make_unique<platform::DialogFileChooser>())
{
    m_session->setUnitPort(options.unitPort);
    m_fleet = std::make_unique<FleetWiring>(*m_store, *m_session, *m_state);
    m_context.reset(new core::Context{*m_state, *m_session, *m_store, *m_prompter, *m_commands, nullptr});
}

Application::~Application()
{
    // Actions still waiting for a report are audited before the poller and the audit log go.
    m_schedules.reset();
    // Dialogs hold references into the context: close them before it goes.
    if (m_mainForm)
        core::MainForm::unloadAllForms(m_mainForm.get());
    m_team.reset();
    m_mainForm.reset();
    m_fleet.reset();
    m_historyRecorder.reset();
}

void Application::openHistory(const QString& stationDatabase)
{
    if (m_options.history == qs("none"))
        return;
    const QString path = m_options.history.isEmpty()
                             ? QFileInfo(stationDatabase).absoluteDir().filePath(qs("history.db"))
                             : m_options.history;
    m_historyStatus = new QLabel(m_mainForm.get());
    m_historyStatus->setObjectName(qs("HistoryStatus"));
    m_historyStatus->setAccessibleName(
        QCoreApplication::translate("kestavo::app::Application", "History recording"));
    m_historyStatus->hide();
    m_mainForm->statusBar()->addPermanentWidget(m_historyStatus);
    QLabel* label = m_historyStatus;
    const auto show = [label](bool recording, const QString& message) {
        label->setText(recording ? QString() : message);
        label->setToolTip(message);
        label->setVisible(!recording);
    };
    auto history = std::make_unique<history::HistoryStore>();
    QObject::connect(history.get(), &history::HistoryStore::recordingChanged, label, show);
    history::HistoryStore::OpenResult opened;
    if (m_team && m_options.history.isEmpty()) {
        // The session's readings go to the team's store, over a connection the history makes alike.
        store::StoreConnection connection;
        if (connection.open(m_team->url(), qs("kestavo")))
            opened = history->openStore(connection.db());
        else
            opened.error = connection.error();
    } else {
        opened = history->open(path);
    }
    if (!opened.ok) {
        // The console works without its history; the message stays in the status bar. (The store
        // logs what happens once it is open.)
        const QString message = opened.error + QCoreApplication::translate("kestavo::app::Application",
                                                                           " Readings are not recorded.");
        qWarning("%s", qPrintable(message));
        show(false, message);
        return;
    }
    m_history = std::move(history);
    m_historyRecorder = std::make_unique<HistoryRecorder>(*m_history, *m_session, *m_state, *m_store);
    m_fleet->setHistory(m_history.get());
    trends::registerTrendsWindow(*m_dialogs, *m_history);
}

void Application::registerFleetWindow()
{
    core::MainForm* form = m_mainForm.get();
    FleetWiring* fleet = m_fleet.get();
    m_dialogs->add(core::DialogId::Fleet, [this, form, fleet](core::Context&, int) -> QWidget* {
        fleet->refreshTags(); // tagged from the command line since the console read them
        auto* window = new fleetui::FleetWindow(fleet->poller());
        if (m_alarms)
            window->model().setAlarms(&m_alarms->engine());
        window->setCommandServices(*m_prompter, m_alarms ? &m_alarms->recorder() : nullptr);
        window->setWatchAll(fleet->watchAll());
        QObject::connect(window, &fleetui::FleetWindow::watchAllToggled, fleet, &FleetWiring::setWatchAll);
        QObject::connect(window, &fleetui::FleetWindow::stationChosen, form,
                         [form](const QString& address) { form->startStation(address); });
        fleet->acquire();
        QObject::connect(window, &QObject::destroyed, fleet, &FleetWiring::release);
        return window;
    });
}

bool Application::start()
{
    QString path;
    if (m_options.demo) {
        if (!startDemo())
            return false;
        path = m_demo->databasePath;
    } else {
        path = stations::resolveDatabasePath(m_options.database, QCoreApplication::applicationDirPath());
    }

    m_tray = std::make_unique<platform::SystemTrayIcon>(&platform::resources::applicationIcon, qs("Kestavo"));
    const QString appDir = QCoreApplication::applicationDirPath();
    // MMControl1 (the siren) and MMControl2 (the I/O sound): the alarm sounder plays them.
    for (const char* file : {"siren.wav", "burgular2.wav"}) {
        const QString name = qs(file);
        m_sounds.push_back(std::make_unique<platform::EffectSoundPlayer>(
            platform::resources::runtimeDirectoryHolding(appDir, name), name));
    }

    m_mainForm = std::make_unique<core::MainForm>(*m_context, *m_dialogs, m_tray.get());
    m_prompter->setParentWidget(m_mainForm.get());

    core::MainForm* form = m_mainForm.get();
    m_dialogs->add(core::DialogId::AddIp,
                   [form](core::Context& ctx, int) -> QWidget* { return new core::AddIpDialog(ctx, *form); });
    registerDialogs(*m_dialogs);
    unitbackup::registerUnitBackupWindow(*m_dialogs, *m_files);
    registerFleetWindow();
    relays::attachNotifications(*m_state, m_mainForm.get());

    m_notifier = std::make_unique<platform::SystemNotifier>(m_tray.get());
    ConsoleAlarms::Devices devices;
    devices.siren = m_sounds[0].get();   // MMControl1
    devices.ioSound = m_sounds[1].get(); // MMControl2
    devices.notifier = m_notifier.get();
    m_alarms = std::make_unique<ConsoleAlarms>(*m_session, *m_state, *m_store, *m_files, devices);
    m_alarms->registerWindows(*m_dialogs);
    unitbackup::registerRolloutWindow(*m_dialogs, *m_files, &m_alarms->recorder());
    if (m_options.history != qs("none")) {
        schedulewindows::registerSchedulesWindow(*m_dialogs, [this] { return historyLocation(); });
    }
    m_alarms->attachFleet(m_fleet->poller());
    alarmwindows::AlarmSummaryLabel* summary = m_alarms->createSummary(m_mainForm.get());
    m_mainForm->statusBar()->addPermanentWidget(summary);
    QObject::connect(summary, &alarmwindows::AlarmSummaryLabel::clicked, m_mainForm.get(),
                     [this] { m_dialogs->open(core::DialogId::Alarms, *m_context); });
    m_mainForm->setExitGuard(
        [this] { return alarmwindows::mayExitWithAlarms(m_alarms->engine(), *m_prompter); });

    m_mainForm->show();
    QString problem;
    if (!m_options.store.isEmpty()) {
        m_team =
            std::make_unique<ConsoleTeam>(store::parseStoreUrl(m_options.store).url, *m_store, *m_mainForm);
        problem = m_team->openStations();
    } else if (const auto opened = m_store->open(path); !opened.ok) {
        problem = opened.error;
    }
    if (!problem.isEmpty())
        m_prompter->inform(problem +
                           QCoreApplication::translate("kestavo::app::Application",
                                                       " The station list stays empty until this is fixed."));
    m_mainForm->loadStations();
    // What the first window does not show (the history file, the alarm journal, the fleet's
    // station list) opens in the first turn of the event loop, once the window is on its way.
    QTimer::singleShot(0, m_mainForm.get(), [this] { startBackground(); });
    return true;
}

// The history file, or on a team's store the store itself (unless --history names a file).
QString Application::historyLocation() const
{
    if (!m_options.history.isEmpty())
        return m_options.history;
    if (!m_options.store.isEmpty())
        return m_options.store;
    return history::defaultHistoryPath(m_store->path());
}

void Application::startBackground()
{
    // Eight sizes of PNG to decode: the window manager takes the icon as well a moment later.
    QApplication::setWindowIcon(platform::resources::applicationIcon());
    openHistory(m_store->path());
    m_fleet->reloadStations();
    if (m_options.history != qs("none")) {
        const QString historyPath = historyLocation();
        if (m_team)
            m_alarms->followNotices();
        if (const QString problem = m_alarms->open(historyPath); !problem.isEmpty()) {
            m_prompter->inform(problem + QCoreApplication::translate(
                                             "kestavo::app::Application",
                                             " Alarms and the audit log stay off until this is fixed."));
        } else {
            // With "Watch all stations" the console carries out the schedules of the stations
            // whose lease it holds.
            m_schedules = std::make_unique<ConsoleSchedules>(*m_fleet, *m_alarms, *m_store);
            if (const QString problem = m_schedules->open(historyPath); !problem.isEmpty())
                qWarning("Schedules are not carried out: %s", qPrintable(problem));
            // Shown, like the history's, only while audit records cannot be written.
            QPointer<QLabel> label = new QLabel(m_mainForm.get());
            label->setObjectName(qs("AuditStatus"));
            label->setAccessibleName(QCoreApplication::translate("kestavo::app::Application", "Audit log"));
            label->hide();
            m_mainForm->statusBar()->addPermanentWidget(label);
            m_alarms->auditLog().setStatusHandler([label](bool writing, const QString& message) {
                if (!label) // the window is gone; commands still pending at exit are written later
                    return;
                label->setText(writing ? QString() : message);
                label->setToolTip(message);
                label->setVisible(!writing);
            });
        }
    }

    alarmwindows::AlarmSounder& sounder = m_alarms->sounder();
    sounder.setSilenceProbe([] {
        return platform::EffectSoundPlayer::hasOutputDevice() ? QString()
                                                              : alarmwindows::AlarmSounder::noDeviceText();
    });
    QObject::connect(&sounder, &alarmwindows::AlarmSounder::silenced, m_mainForm.get(),
                     [this](const QString& silent) {
                         qWarning("%s", qPrintable(silent));
                         auto* label = new QLabel(silent, m_mainForm.get());
                         label->setObjectName(qs("SilentAlarms"));
                         label->setAccessibleName(
                             QCoreApplication::translate("kestavo::app::Application", "Alarm sounds"));
                         m_mainForm->statusBar()->addPermanentWidget(label);
                     });

    if (m_team) {
        m_team->setAlarms(m_alarms.get());
        m_team->start();
    }

    if ((m_options.connect || m_options.demo) && m_store->count() > 0)
        m_session->start(m_mainForm->stationBoxText());
}

} // namespace kestavo::app
