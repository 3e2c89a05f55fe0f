#include "gui/main/mainform.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTime>
#include <QToolButton>
#include <QUdpSocket>
#include <QVBoxLayout>

#include "protocol/conversions.h"
#include "protocol/frames.h"

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "session/consolestate.h"

#include "gui/main/dialogregistry.h"
#include "gui/main/formcontrols.h"
#include "gui/main/readoutaccessible.h"
#include "gui/main/readoutpanel.h"
#include "gui/main/relaypanel.h"
#include "gui/main/stationbar.h"
#include "platform/prompter.h"
#include "platform/resourcepaths.h"
#include "platform/systemcommands.h"
#include "platform/trayicon.h"

namespace kestavo::core {

namespace {

constexpr std::array<const char*, 3> kCredits{
    "Remote unit console: relays, voltages, scripts",
    "Made for operators of KSV units in the field",
    "Kestavo console team",
};

const QColor kTimerRunning(0x00, 0x80, 0x00);

// Skins: style sheets in the "Skins" folder beside the executable, or the installed one.
QDir skinDirectory()
{
    const QString skinFolder = qs("Skins");
    return QDir(
        platform::resources::runtimeDirectoryHolding(QCoreApplication::applicationDirPath(), skinFolder) +
        QLatin1Char('/') + skinFolder);
}

void applySkin(const QDir& skins, const QString& name)
{
    QFile f(skins.filePath(name));
    if (name.isEmpty() || !f.open(QIODevice::ReadOnly)) {
        qApp->setStyleSheet(QString());
        return;
    }
    qApp->setStyleSheet(QString::fromUtf8(f.readAll()));
}

// Applied before the first widget exists: a sheet set afterwards makes Qt polish every widget
// built so far once more, which was a good part of the console's start-up.
void applyChosenSkin()
{
    const QDir skins = skinDirectory();
    const QStringList sheets = skins.entryList({qs("*.qss")}, QDir::Files, QDir::Name);
    const QString chosen =
        QSettings()
            .value(qs("skin"), sheets.contains(qs("Default.qss")) ? qs("Default.qss") : QString())
            .toString();
    if (sheets.contains(chosen))
        applySkin(skins, chosen);
}

} // namespace

MainForm::MainForm(Context& context, const DialogRegistry& dialogs, platform::TrayIcon* tray, QWidget* parent)
    : QMainWindow(parent), m_ctx(context), m_dialogs(dialogs), m_tray(tray)
{
    setObjectName(qs("MainForm"));
    setWindowTitle(QCoreApplication::translate("kestavo::core", "Kestavo - KSV unit console"));
    m_ctx.mainWindow = this;
    applyChosenSkin();
    buildUi();

    m_marqueeTimer.setObjectName(qs("Timer7"));
    m_barTimer.setObjectName(qs("Timer8"));
    m_animationTimer.setObjectName(qs("Timer16"));
    setTiming(Timing{});
    connect(&m_marqueeTimer, &QTimer::timeout, this, &MainForm::marquee);
    connect(&m_barTimer, &QTimer::timeout, this, &MainForm::drawBars);
    connect(&m_animationTimer, &QTimer::timeout, this, &MainForm::animateTimer);
    m_marqueeTimer.start();
    m_barTimer.start();

    connect(&m_ctx.state, &ConsoleState::statusDecoded, this, &MainForm::onStatus);
    connect(&m_ctx.session, &Session::phaseChanged, this, &MainForm::onPhase);
    connect(&m_ctx.session, &Session::stopped, this, &MainForm::resetDisplay);
    connect(&m_ctx.session, &Session::started, this, [this] { m_note.clear(); });
    // Said once per session and kept in the marquee panel until the next Start.
    connect(&m_ctx.session, &Session::shortReports, this, [this](int length) {
        m_note =
            QCoreApplication::translate(
                "kestavo::core", "The unit at %1 answers short status reports (%2 bytes): its firmware may "
                                 "need an update. What the reports carry is shown.")
                .arg(m_ctx.state.selectedAddress())
                .arg(length);
        m_panels[6]->setText(m_note);
    });

    if (m_tray)
        m_tray->setActivationHandler([this] { showFromTray(); });
    resetDisplay();
    setRevisionLocked(true);
    m_boardsButton->hide();
}

MainForm::~MainForm()
{
    // The editable station box reports "activated" when it loses the focus on its way out; by
    // then this window is only a QWidget, so nothing of it may run any more.
    m_stationBar->detach();
    if (m_tray)
        m_tray->remove();
    if (m_ctx.mainWindow == this)
        m_ctx.mainWindow = nullptr;
}

void MainForm::setTiming(const Timing& timing)
{
    m_marqueeTimer.setInterval(timing.marqueeMs);
    m_barTimer.setInterval(timing.barsMs);
    m_animationTimer.setInterval(timing.animationMs);
}

// ---- layout --------------------------------------------------------------------------------

QPushButton* MainForm::button(const QString& name, const QString& caption)
{
    return makeButton(this, name, caption);
}

QLabel* MainForm::label(const QString& name, const QString& caption)
{
    return makeLabel(this, name, caption);
}

void MainForm::buildUi()
{
    auto* central = new QWidget(this);
    auto* top = new QVBoxLayout(central);
    m_stationBar = new StationBar(m_ctx, this);
    connect(m_stationBar, &StationBar::addRequested, this, [this] { open(DialogId::AddIp); });
    connect(m_stationBar, &StationBar::selected, this, [this](const QString& address) {
        showPingAddress(address);
        applyStationDisplay();
    });
    top->addWidget(m_stationBar);
    auto* middle = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    m_relayPanel = new RelayPanel(this);
    connect(m_relayPanel, &RelayPanel::relayClicked, this, [this](int relay) {
        if (acquiringGuard())
            open(DialogId::Relay, relay);
    });
    left->addWidget(m_relayPanel);
    left->addWidget(buildReadouts());
    left->addWidget(buildTimerPanel());
    left->addStretch();
    middle->addLayout(left, 2);
    m_readoutPanel = new ReadoutPanel(m_ctx, this);
    connect(m_readoutPanel, &ReadoutPanel::openRequested, this, &MainForm::open);
    connect(m_readoutPanel, &ReadoutPanel::ageChanged, this, &MainForm::showAge);
    middle->addWidget(m_readoutPanel, 3);
    top->addLayout(middle);
    top->addWidget(buildCommands());
    setCentralWidget(central);
    buildStatusBar();
    buildMenus();
}

QWidget* MainForm::buildReadouts()
{
    auto* box = new QGroupBox(tr("Unit"), this);
    m_unitBox = box;
    auto* grid = new QGridLayout(box);
    m_mac = makeReadout(this, qs("Text8"), tr("MAC address"), this);
    m_stationName = makeReadout(this, qs("Text83"), tr("Station name"), this);
    m_temperature = makeReadout(this, qs("Text57"), tr("Temperature"), this);
    grid->addWidget(new QLabel(tr("MAC:"), this), 0, 0);
    grid->addWidget(m_mac, 0, 1, 1, 5);
    grid->addWidget(new QLabel(tr("Name:"), this), 1, 0);
    grid->addWidget(m_stationName, 1, 1, 1, 5);
    grid->addWidget(new QLabel(tr("Temp:"), this), 2, 0);
    grid->addWidget(m_temperature, 2, 1, 1, 5);
    grid->addWidget(new QLabel(qs("I/O:"), this), 3, 0);
    for (int i = 0; i < 5; ++i) {
        auto* io = makeReadout(this, QStringLiteral("Text%1").arg(58 + i), tr("I/O pin %1").arg(i + 1), this);
        io->setAlignment(Qt::AlignCenter);
        io->setMaximumWidth(40);
        m_ioBoxes[std::size_t(i)] = io;
        grid->addWidget(io, 3, 1 + i);
    }
    return box;
}

QWidget* MainForm::buildTimerPanel()
{
    auto* box = new QGroupBox(tr("Relay timer"), this);
    auto* grid = new QGridLayout(box);
    m_timerPicture = label(qs("Image1"), QString());
    m_timerPicture->setAccessibleName(tr("Relay timer"));
    m_timerPicture->setPixmap(platform::resources::picture(qs(":/images/timer1.png")));
    m_timerPicture->setMinimumSize(48, 48);
    m_timerPicture->setCursor(Qt::PointingHandCursor);
    m_timerPicture->installEventFilter(this);
    auto* timerCaption = label(qs("Label23"), qs(" Timer"));
    timerCaption->setCursor(Qt::PointingHandCursor);
    timerCaption->installEventFilter(this);
    m_timerLabel = label(qs("Label24"), qs("Timer  Inactive"));
    markReadout(m_timerLabel, tr("Timer state"));
    auto* run = label(qs("Label35"), qs("Run"));
    auto* in = label(qs("Label36"), qs("in"));
    m_countdown = {label(qs("Label25"), qs("0")), label(qs("Label26"), qs("0")),
                   label(qs("Label29"), qs("0")), label(qs("Label30"), qs("0"))};
    const std::array<const char*, 4> unitNames{"Label31", "Label32", "Label33", "Label34"};
    const std::array<const char*, 4> units{"D", "H", "M", "S"};
    const std::array<const char*, 4> accessible{"Days", "Hours", "Minutes", "Seconds"};
    auto* scripts = label(qs("Label27"), qs("Relay Scripts"));
    m_productLabel = label(qs("Label37"), qs("KSV"));
    QFont big = m_productLabel->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    m_productLabel->setFont(big);

    grid->addWidget(m_timerPicture, 0, 0, 2, 1);
    grid->addWidget(timerCaption, 0, 1);
    grid->addWidget(run, 0, 2);
    grid->addWidget(m_timerLabel, 0, 3, 1, 6);
    grid->addWidget(in, 1, 1);
    m_timerLabels = {timerCaption, m_timerLabel, run, in, scripts};
    for (int i = 0; i < 4; ++i) {
        markReadout(m_countdown[std::size_t(i)], qs(accessible[std::size_t(i)]));
        auto* unit = label(qs(unitNames[std::size_t(i)]), qs(units[std::size_t(i)]));
        grid->addWidget(m_countdown[std::size_t(i)], 1, 2 + 2 * i);
        grid->addWidget(unit, 1, 3 + 2 * i);
        m_timerLabels.push_back(m_countdown[std::size_t(i)]);
        m_timerLabels.push_back(unit);
    }
    grid->addWidget(scripts, 2, 0, 1, 3);
    grid->addWidget(m_productLabel, 2, 3, 1, 4);
    return box;
}

QWidget* MainForm::buildCommands()
{
    auto* box = new QGroupBox(qs("Commands"), this);
    auto* grid = new QGridLayout(box);
    auto guarded = [this](QPushButton* b, DialogId id) {
        connect(b, &QPushButton::clicked, this, [this, id] {
            if (acquiringGuard())
                open(id);
        });
    };
    auto* mac = button(qs("Command10"), qs("Change Mac Address"));
    auto* ip = button(qs("Command11"), qs("Change IP Address"));
    auto* security = button(qs("Command15"), qs("Security Settings"));
    auto* uptime = button(qs("Command22"), qs("UPTIME"));
    m_runMake = button(qs("Command23"), qs("Run/Make"));
    m_stationNameButton = button(qs("Command25"), qs("Set Station Name"));
    m_stopTimer = button(qs("Command26"), qs("Stop Timer"));
    auto* route = button(qs("Command24"), qs("Auto Add Route"));
    m_pingButton = button(qs("Command27"), qs("Auto Ping 10.10.10.10"));
    auto* about = button(qs("Command13"), qs("ABOUT"));
    auto* exit = button(qs("Command12"), qs("EXIT"));
    m_boardsButton = new QToolButton(this);
    m_boardsButton->setObjectName(qs("Command28"));
    m_boardsButton->setAccessibleName(tr("Relay daughter boards"));
    m_boardsButton->setToolTip(tr("Relay daughter boards"));
    m_boardsButton->setIcon(QIcon(platform::resources::picture(qs(":/images/daughterboard.png"))));
    m_boardsButton->setIconSize(QSize(40, 40));

    guarded(mac, DialogId::ChangeMac);
    guarded(ip, DialogId::ChangeIp);
    guarded(security, DialogId::Security);
    guarded(uptime, DialogId::Uptime);
    guarded(m_runMake, DialogId::RelayScripting);
    guarded(m_stationNameButton, DialogId::StationName);
    connect(m_boardsButton, &QToolButton::clicked, this, [this] {
        if (acquiringGuard())
            open(DialogId::DaughterBoards);
    });
    connect(m_stopTimer, &QPushButton::clicked, this, &MainForm::stopTimer);
    connect(route, &QPushButton::clicked, this, &MainForm::addRoute);
    connect(m_pingButton, &QPushButton::clicked, this, &MainForm::autoPing);
    connect(about, &QPushButton::clicked, this, [this] { open(DialogId::About); });
    connect(exit, &QPushButton::clicked, this, &MainForm::exitConsole);

    const std::array<QWidget*, 12> order{
        mac,         ip,    security,     uptime, m_runMake, m_stationNameButton,
        m_stopTimer, route, m_pingButton, about,  exit,      m_boardsButton};
    for (std::size_t i = 0; i < order.size(); ++i)
        grid->addWidget(order[i], int(i / 6), int(i % 6));
    return box;
}

void MainForm::buildStatusBar()
{
    auto* bar = new QStatusBar(this);
    bar->setObjectName(qs("StatusBar1"));
    const std::array<const char*, 7> initial{"Status:", "Not Connected", "Time:", "", "Date:", "", "Kestavo"};
    // Captions (panels 1, 3, 5) speak for themselves; the others are readouts of what they name.
    const std::array<const char*, 7> names{"Status:", "Connection", "Time:",  "Time",
                                           "Date:",   "Date",       "Message"};
    for (std::size_t i = 0; i < initial.size(); ++i) {
        auto* panel = new QLabel(qs(initial[i]), bar);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        if (i % 2 == 1 || i == 6)
            markReadout(panel, qs(names[i]));
        else
            panel->setAccessibleName(qs(names[i]));
        panel->setContentsMargins(4, 0, 4, 0);
        if (i == 6)
            bar->addWidget(panel, 1);
        else
            bar->addWidget(panel);
        m_panels[i] = panel;
    }
    m_panels[3]->setText(QTime::currentTime().toString(qs("hh:mm:ss")));
    m_panels[5]->setText(QDate::currentDate().toString(Qt::ISODate));
    setStatusBar(bar);
}

void MainForm::buildMenus()
{
    auto* menu = menuBar()->addMenu(tr("&Console"));
    auto* about = menu->addAction(tr("&About"));
    about->setObjectName(qs("A1"));
    connect(about, &QAction::triggered, this, [this] { open(DialogId::About); });
    auto* show = menu->addAction(tr("&Stop and show"));
    show->setObjectName(qs("U1"));
    connect(show, &QAction::triggered, this, [this] {
        m_ctx.session.stop();
        showFromTray();
        raise();
        activateWindow();
    });
    menu->addSeparator();
    auto* exit = menu->addAction(qs("E&xit"));
    exit->setObjectName(qs("E1"));
    connect(exit, &QAction::triggered, qApp, [] { QCoreApplication::exit(0); });
    if (m_tray)
        m_tray->setContextMenu(menu);

    // The fleet-wide windows live in their own libraries and are registered after this window is
    // built; an entry whose window is not registered stays hidden.
    auto* monitor = menuBar()->addMenu(tr("&Monitor"));
    monitor->setObjectName(qs("MonitorMenu"));
    const struct
    {
        const char* objectName;
        const char* caption;
        DialogId id;
        int argument;
    } windows[] = {
        {"mnuTrends", QT_TR_NOOP("&Trends"), DialogId::Trends, 0},
        {"mnuFleet", QT_TR_NOOP("&Fleet"), DialogId::Fleet, 0},
        {"mnuAlarms", QT_TR_NOOP("&Alarms"), DialogId::Alarms, 0},
        {"mnuAudit", QT_TR_NOOP("A&udit log"), DialogId::Audit, 0},
        {"mnuSchedules", QT_TR_NOOP("&Schedules"), DialogId::Schedules, 0},
        {"mnuBackup", QT_TR_NOOP("&Back up..."), DialogId::UnitBackup, 0},
        {"mnuCompare", QT_TR_NOOP("&Compare..."), DialogId::UnitBackup, 1},
        {"mnuRestore", QT_TR_NOOP("&Restore..."), DialogId::UnitBackup, 2},
        {"mnuRollout", QT_TR_NOOP("R&ollout..."), DialogId::Rollout, 0},
    };
    for (const auto& w : windows) {
        auto* action = monitor->addAction(tr(w.caption));
        action->setObjectName(qs(w.objectName));
        const DialogId id = w.id;
        connect(monitor, &QMenu::aboutToShow, action,
                [this, action, id] { action->setVisible(m_dialogs.has(id)); });
        const int argument = w.argument;
        connect(action, &QAction::triggered, this, [this, id, argument] { open(id, argument); });
    }

    const QDir skins = skinDirectory();
    const QStringList sheets = skins.entryList({qs("*.qss")}, QDir::Files, QDir::Name);
    if (sheets.isEmpty())
        return;
    auto* skinMenu = menuBar()->addMenu(tr("S&kins"));
    auto apply = [skins](const QString& name) {
        applySkin(skins, name);
    };
    auto* none = skinMenu->addAction(tr("(none)"));
    connect(none, &QAction::triggered, this, [apply] {
        QSettings().setValue(qs("skin"), QString());
        apply(QString());
    });
    for (const QString& sheet : sheets) {
        auto* a = skinMenu->addAction(QFileInfo(sheet).baseName());
        connect(a, &QAction::triggered, this, [apply, sheet] {
            QSettings().setValue(qs("skin"), sheet);
            apply(sheet);
        });
    }
}

// ---- stations ------------------------------------------------------------------------------

QString MainForm::stationBoxText() const
{
    return m_stationBar->text();
}

void MainForm::showPingAddress(const QString& address)
{
    m_pingButton->setText(qs("Auto Ping ") + address);
    m_pingButton->setAccessibleName(m_pingButton->text().trimmed());
}

void MainForm::loadStations()
{
    m_stationBar->fill();
    // Start-up positions on the first record whose whole entry equals the station box text.
    if (m_ctx.store.count() > 0)
        m_ctx.store.findEntry(m_stationBar->text());
    m_stationBar->showRecord();
    showPingAddress(stations::addressOf(m_stationBar->text()));
    resetDisplay();
    applyStationDisplay();
    setRevisionLocked(true);
}

void MainForm::selectStation(const QString& entry)
{
    m_stationBar->selectStation(entry);
}

bool MainForm::startStation(const QString& address)
{
    return m_stationBar->startStation(address);
}

void MainForm::refillStations()
{
    m_stationBar->refill();
}

void MainForm::refreshStations()
{
    m_stationBar->refreshKeepingChoice();
}

void MainForm::applyStationDisplay()
{
    m_readoutPanel->applyStationDisplay();
}

// ---- guards and dialogs --------------------------------------------------------------------

bool MainForm::acquiringGuard()
{
    if (m_ctx.state.acquiring())
        return true;
    m_ctx.prompter.inform(qs("Aquire Data First!"));
    return false;
}

bool MainForm::revisionGuard()
{
    if (m_ctx.state.revision() > 166)
        return true;
    m_ctx.prompter.inform(qs("  STOP IT !"));
    return false;
}

void MainForm::open(DialogId id, int argument)
{
    m_dialogs.open(id, m_ctx, argument);
}

bool MainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick && watched == m_temperature) {
        open(DialogId::Trends, 9);
        return true;
    }
    if (event->type() != QEvent::MouseButtonPress)
        return QMainWindow::eventFilter(watched, event);
    if (watched == m_timerPicture || watched->objectName() == qs("Label23")) {
        if (m_timerPicture->isEnabled() && acquiringGuard())
            open(DialogId::Timer);
        return true;
    }
    if (watched == m_temperature) {
        if (acquiringGuard() && revisionGuard())
            open(DialogId::Temperature);
        return true;
    }
    for (int i = 0; i < 5; ++i) {
        if (watched == m_ioBoxes[std::size_t(i)]) {
            if (acquiringGuard() && revisionGuard()) {
                m_ctx.state.setIoBoxIndex(i);
                open(DialogId::IoBox, i);
            }
            return true;
        }
    }
    if (watched == m_mac) {
        if (acquiringGuard())
            open(DialogId::ChangeMac);
        return true;
    }
    if (watched == m_stationName) {
        if (acquiringGuard())
            open(DialogId::StationName);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- session display -----------------------------------------------------------------------

void MainForm::onPhase(Session::Phase phase)
{
    switch (phase) {
    case Session::Phase::Idle:
        m_panels[1]->setText(qs("Not Connected"));
        break;
    case Session::Phase::Waiting:
        m_panels[1]->setText(qs("Connecting"));
        break;
    case Session::Phase::Receiving:
        m_panels[1]->setText(qs("Connected"));
        break;
    }
}

void MainForm::onStatus(const protocol::StatusReport& report)
{
    m_panels[1]->setText(qs("Connected"));
    m_mac->setText(QString::fromStdString(report.macText));
    m_readoutPanel->showReport(report);
    m_relayPanel->showReport(report);
    for (std::size_t i = 0; i < 5; ++i) {
        if (report.ioPins[i])
            setIoBox(m_ioBoxes[i], *report.ioPins[i]);
    }
    setRevisionLocked(report.revision <= 166);
    if (report.temperatureText)
        m_temperature->setText(QString::fromStdString(*report.temperatureText));
    m_stationName->setText(
        QString::fromLatin1(report.stationName.data(), qsizetype(report.stationName.size())));
    m_countdown[0]->setText(QString::number(report.countdown.days));
    m_countdown[1]->setText(QString::number(report.countdown.hours));
    m_countdown[2]->setText(QString::number(report.countdown.minutes));
    m_countdown[3]->setText(QString::number(report.countdown.seconds));
    if (report.timerState > 0) {
        if (report.timerSlotIndex) {
            const auto& d = m_ctx.state.slotTable()[std::size_t(*report.timerSlotIndex)].description;
            m_timerLabel->setText(QString::fromLatin1(d.data(), qsizetype(d.size())));
        }
        setTextColour(m_timerLabel, kTimerRunning);
        m_timerLabel->setAlignment(Qt::AlignCenter);
        if (!m_animationTimer.isActive())
            m_animationTimer.start();
    } else {
        m_timerLabel->setText(qs("Timer  Inactive"));
        setTextColour(m_timerLabel, kOff);
        m_animationTimer.stop();
    }
    m_boardsButton->setVisible(report.revision > 169);
}

void MainForm::setIoBox(QLineEdit* box, int value)
{
    // Style sheets, not palettes: a skin that styles line edits would paint over a palette colour.
    // An old reading keeps its meaning (a set pin stays red) in faded colours.
    if (value == 0) {
        box->setText(qs("0"));
        box->setStyleSheet(m_valuesOld ? qs("QLineEdit { color: #808080; }") : QString());
    } else if (value == 1) {
        box->setText(qs("1"));
        box->setStyleSheet(m_valuesOld ? qs("QLineEdit { background-color: #F0B0B0; color: #808080; }")
                                       : qs("QLineEdit { background-color: #FF0000; color: #FFFF00; }"));
    }
}

void MainForm::showAge(const QDateTime& asOf, const QString& age)
{
    // The temperature, the I/O pins and the relay states came in the same report as the voltages
    // and go old with them. Colours change only when that turns; the age is said on every tick.
    const bool turned = m_valuesOld != asOf.isValid();
    m_valuesOld = asOf.isValid();
    m_unitBox->setTitle(m_valuesOld ? tr("Unit, as of %1").arg(asOf.toString(qs("HH:mm"))) : tr("Unit"));
    const QString tip = oldReadingTip(asOf, age);
    if (turned)
        m_temperature->setStyleSheet(m_valuesOld ? qs("QLineEdit { color: #808080; }") : QString());
    m_temperature->setToolTip(tip);
    m_temperature->setAccessibleName(spokenReading(tr("Temperature"), m_temperature->text(), age));
    for (int i = 0; i < 5; ++i) {
        QLineEdit* io = m_ioBoxes[std::size_t(i)];
        if (turned)
            setIoBox(io, io->text() == qs("1") ? 1 : 0);
        io->setToolTip(tip);
        io->setAccessibleName(spokenReading(tr("I/O pin %1").arg(i + 1), io->text(), age));
    }
    m_relayPanel->showAge(asOf, age);
}

void MainForm::setRevisionLocked(bool locked)
{
    m_runMake->setEnabled(!locked);
    m_stationNameButton->setEnabled(!locked);
    m_timerPicture->setEnabled(!locked);
    for (QWidget* w : m_timerLabels)
        w->setVisible(!locked);
    m_productLabel->setVisible(locked);
    m_stopTimer->setVisible(!locked);
}

void MainForm::resetDisplay()
{
    m_animationTimer.stop();
    m_readoutPanel->reset();
    m_temperature->clear();
    m_relayPanel->reset();
    m_timerLabel->setText(qs("Timer  Inactive"));
    setTextColour(m_timerLabel, kOff);
    for (auto* io : m_ioBoxes)
        setIoBox(io, 0);
    m_mac->clear();
    m_stationName->clear();
}

void MainForm::drawBars()
{
    m_readoutPanel->drawBars();
    m_panels[3]->setText(QTime::currentTime().toString(qs("hh:mm:ss")));
    m_panels[5]->setText(QDate::currentDate().toString(Qt::ISODate));
}

void MainForm::animateTimer()
{
    m_timerPicture->setPixmap(
        platform::resources::picture(QStringLiteral(":/images/timer%1.png").arg(m_animationFrame)));
    m_animationFrame = m_animationFrame % 4 + 1;
}

void MainForm::marquee()
{
    if (!m_note.isEmpty())
        return;
    m_panels[6]->setText(m_marqueeStep == 0 ? qs("Kestavo") : qs(kCredits[std::size_t(m_marqueeStep - 1)]));
    m_marqueeStep = (m_marqueeStep + 1) % 4;
}

// ---- commands ------------------------------------------------------------------------------

void MainForm::stopTimer()
{
    if (!acquiringGuard())
        return;
    m_ctx.session.send(protocol::timerStopFrame(m_ctx.session.password()));
}

void MainForm::addRoute()
{
    const QString address = stations::addressOf(m_stationBar->text());
    if (!m_ctx.prompter.confirmOkCancel(qs("Add a route to ") + address + qs(" ?"),
                                        platform::Prompter::appTitle()))
        return;
    QHostAddress local = m_ctx.session.localAddress();
    if (local.isNull()) {
        // No session: ask the routing table which local address reaches the unit. Connecting a
        // UDP socket sends nothing.
        QUdpSocket probe;
        probe.connectToHost(QHostAddress(address), m_ctx.session.unitPort());
        local = probe.localAddress();
    }
    QString error;
    if (!m_ctx.commands.run(m_ctx.commands.addRouteCommand(address, local.toString()), &error))
        m_ctx.prompter.inform(error);
}

void MainForm::autoPing()
{
    const QString address = stations::addressOf(m_stationBar->text());
    QString error;
    if (!m_ctx.commands.run(m_ctx.commands.pingCommand(address), &error))
        m_ctx.prompter.inform(error);
}

void MainForm::unloadAllForms(QWidget* keep)
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        // Hidden dialogs too: RDB hides while its script window is open.
        if (w != keep && (w->isVisible() || qobject_cast<QDialog*>(w)))
            w->close();
    }
}

void MainForm::exitConsole()
{
    if (m_mayExit && !m_mayExit())
        return;
    m_exitConfirmed = true;
    unloadAllForms(this);
    m_ctx.state.setExiting(true);
    if (m_tray)
        m_tray->remove();
    close();
    QCoreApplication::exit(0);
}

void MainForm::showFromTray()
{
    if (m_tray)
        m_tray->remove();
    showNormal();
}

void MainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !(windowState() & Qt::WindowMinimized))
        return;
    if (m_ctx.state.exiting() || !m_tray || !m_tray->isAvailable())
        return;
    m_tray->show();
    QTimer::singleShot(0, this, &QWidget::hide);
}

void MainForm::closeEvent(QCloseEvent* event)
{
    if (!m_exitConfirmed && m_mayExit && !m_mayExit()) {
        event->ignore();
        return;
    }
    m_exitConfirmed = true;
    if (m_tray)
        m_tray->remove();
    unloadAllForms(this);
    m_ctx.state.setExiting(true);
    event->accept();
}

} // namespace kestavo::core
