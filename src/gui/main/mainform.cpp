#include "gui/main/mainform.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
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
#include "gui/main/readoutaccessible.h"
#include "gui/main/voltagebar.h"
#include "platform/prompter.h"
#include "platform/resourcepaths.h"
#include "platform/soundplayer.h"
#include "platform/systemcommands.h"
#include "platform/trayicon.h"

namespace kestavo::core {

namespace {

QString qs(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

// Channel wiring: numeric box, bar, title label, view and title columns, default title.
struct ChannelWiring
{
    const char* box;
    const char* bar;
    const char* title;
    const char* optionButton;
    const char* defaultTitle;
};
constexpr std::array<ChannelWiring, 8> kChannels{{
    {"Text16", "Picture8", "Label15", "Command9", "Voltage 1  (0 - 30 - 60)"},
    {"Text17", "Picture9", "Label14", "Command14", "Voltage 2  (0 - 30 - 60)"},
    {"Text2", "Picture2", "Label2", "Command16", "Voltage 3  (0 - 30)"},
    {"Text3", "Picture3", "Label3", "Command17", "Voltage 4  (0 - 30)"},
    {"Text4", "Picture4", "Label4", "Command18", "Voltage 5  (0 - 30)"},
    {"Text5", "Picture5", "Label5", "Command19", "Voltage 6  (0 - 5)"},
    {"Text6", "Picture6", "Label6", "Command20", "Voltage 7  (0 - 5)"},
    {"Text7", "Picture7", "Label7", "Command21", "Voltage 8  (0 - 5)"},
}};

constexpr std::array<const char*, 3> kCredits{
    "Remote unit console: relays, voltages, scripts",
    "Made for operators of KSV units in the field",
    "Kestavo console team",
};

const QColor kOn(0x00, 0xFF, 0x00);
const QColor kOff(0xFF, 0x00, 0x00);
const QColor kTimerRunning(0x00, 0x80, 0x00);

void setTextColour(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    w->setPalette(p);
}

} // namespace

MainForm::MainForm(Context& context, const DialogRegistry& dialogs, platform::TrayIcon* tray, QWidget* parent)
    : QMainWindow(parent), m_ctx(context), m_dialogs(dialogs), m_tray(tray)
{
    setObjectName(qs("MainForm"));
    setWindowTitle(QCoreApplication::translate("kestavo::core", "Kestavo - KSV unit console"));
    m_ctx.mainWindow = this;
    buildUi();

    for (int i = 0; i < 5; ++i) {
        auto* t = new QTimer(this);
        t->setObjectName(QStringLiteral("Timer%1").arg(11 + i));
        t->setInterval(i % 2 == 1 ? 4000 : 3000);
        m_ioSoundTimers[std::size_t(i)] = t;
        connect(t, &QTimer::timeout, this, [this, i] {
            // I/O pin sound devices: MMControl1..5 in pin order.
            if (std::size_t(i) < m_sounds.size() && m_sounds[std::size_t(i)])
                m_sounds[std::size_t(i)]->replay();
        });
    }
    for (int n : {3, 4, 5, 6, 10}) {
        auto* t = new QTimer(this);
        t->setObjectName(QStringLiteral("Timer%1").arg(n));
        t->setInterval(3000);
        const std::size_t device = n == 10 ? 1 : 0;
        connect(t, &QTimer::timeout, this, [this, device] {
            if (device < m_sounds.size() && m_sounds[device])
                m_sounds[device]->replay();
        });
        m_idleSoundTimers.push_back(t);
    }

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
    connect(&m_ctx.session, &Session::countersChanged, this, &MainForm::onCounters);
    connect(&m_ctx.session, &Session::stopped, this, &MainForm::resetDisplay);
    // Every Start says "Connecting", also one that reused the open socket.
    connect(&m_ctx.session, &Session::started, this, [this] {
        m_activity->setText(qs("Connecting"));
        m_note.clear();
    });
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
    connect(&m_ctx.session, &Session::pulseColour, this,
            [this](quint32 rgb) { setTextColour(m_activity, QColor::fromRgb(rgb)); });

    if (m_tray)
        m_tray->setActivationHandler([this] { showFromTray(); });
    // The mirrors follow every write, e.g. a new password the unit accepted.
    connect(&m_ctx.store, &stations::StationStore::changed, this, [this] {
        m_passwordMirror->setText(m_ctx.store.password());
        m_entryMirror->setText(m_ctx.store.ips());
    });

    resetDisplay();
    setRevisionLocked(true);
    m_boardsButton->hide();
}

MainForm::~MainForm()
{
    // The editable station box reports "activated" when it loses the focus on its way out; by
    // then this window is only a QWidget, so nothing of it may run any more.
    m_stationBox->removeEventFilter(this);
    m_stationBox->disconnect(this);
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

void MainForm::setSoundPlayers(std::vector<platform::SoundPlayer*> players)
{
    m_sounds = std::move(players);
}

// ---- layout --------------------------------------------------------------------------------

QPushButton* MainForm::button(const QString& name, const QString& caption)
{
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setAccessibleName(caption.trimmed());
    return b;
}

QLabel* MainForm::label(const QString& name, const QString& caption)
{
    auto* l = new QLabel(caption, this);
    l->setObjectName(name);
    l->setAccessibleName(caption.trimmed().isEmpty() ? name : caption.trimmed());
    return l;
}

QLineEdit* MainForm::readout(const QString& name, const QString& accessibleName)
{
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    e->setReadOnly(true);
    e->setAccessibleName(accessibleName);
    e->setCursor(Qt::PointingHandCursor);
    e->installEventFilter(this);
    return e;
}

void MainForm::buildUi()
{
    auto* central = new QWidget(this);
    auto* top = new QVBoxLayout(central);
    top->addWidget(buildStationBar());
    auto* middle = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(buildRelays());
    left->addWidget(buildReadouts());
    left->addWidget(buildTimerPanel());
    left->addStretch();
    middle->addLayout(left, 2);
    middle->addWidget(buildChannels(), 3);
    top->addLayout(middle);
    top->addWidget(buildCommands());
    setCentralWidget(central);
    buildStatusBar();
    buildMenus();
}

QWidget* MainForm::buildStationBar()
{
    auto* box = new QGroupBox(tr("Station"), this);
    box->setObjectName(qs("StationBar"));
    auto* grid = new QGridLayout(box);

    m_stationBox = new QComboBox(this);
    m_stationBox->setObjectName(qs("Combo1"));
    m_stationBox->setEditable(true);
    m_stationBox->setInsertPolicy(QComboBox::NoInsert);
    m_stationBox->setAccessibleName(tr("Station"));
    m_stationBox->setMinimumContentsLength(40);
    QFont mono(qs("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    m_stationBox->setFont(mono);
    m_stationBox->installEventFilter(this);
    // Typed text stays what was typed: completing it onto another entry would let Delete IP,
    // Set Default or Start act on a station the user never named.
    m_stationBox->setCompleter(nullptr);
    connect(m_stationBox, &QComboBox::activated, this,
            [this](int index) { selectStation(m_stationBox->itemText(index)); });

    m_passwordMirror = new QLineEdit(this);
    m_passwordMirror->setObjectName(qs("Text9"));
    m_passwordMirror->setEchoMode(QLineEdit::Password);
    m_passwordMirror->setAccessibleName(tr("Password"));
    m_passwordMirror->hide();
    m_entryMirror = new QLineEdit(this);
    m_entryMirror->setObjectName(qs("Text1"));
    m_entryMirror->setAccessibleName(tr("Station entry"));
    m_entryMirror->hide();

    auto* setDefault = button(qs("Command1"), qs("Set  Default IP"));
    auto* add = button(qs("Command2"), qs("Add IP"));
    auto* remove = button(qs("Command4"), qs("Delete IP"));
    auto* start = button(qs("Command3"), qs("Start"));
    auto* stop = button(qs("Command5"), qs("Stop"));
    connect(setDefault, &QPushButton::clicked, this, &MainForm::setDefaultStation);
    connect(add, &QPushButton::clicked, this, [this] {
        m_ctx.session.stop();
        open(DialogId::AddIp);
    });
    connect(remove, &QPushButton::clicked, this, &MainForm::removeStation);
    connect(start, &QPushButton::clicked, this, [this] { m_ctx.session.start(m_stationBox->currentText()); });
    connect(stop, &QPushButton::clicked, this, [this] { m_ctx.session.stop(); });

    m_activity = label(qs("Label8"), qs("Aquire Data"));
    markReadout(m_activity, tr("Activity"));
    QFont bold = m_activity->font();
    bold.setBold(true);
    m_activity->setFont(bold);
    m_sentLabel = label(qs("Label19"), qs("0"));
    markReadout(m_sentLabel, qs("Sent"));
    m_receivedLabel = label(qs("Label17"), qs("0"));
    markReadout(m_receivedLabel, qs("Received"));
    m_lostLabel = label(qs("Label21"), qs("0"));
    markReadout(m_lostLabel, qs("Lost"));

    grid->addWidget(m_stationBox, 0, 0, 1, 3);
    grid->addWidget(setDefault, 0, 3);
    grid->addWidget(add, 0, 4);
    grid->addWidget(remove, 0, 5);
    grid->addWidget(start, 1, 0);
    grid->addWidget(stop, 1, 1);
    grid->addWidget(m_activity, 1, 2);
    auto* counters = new QHBoxLayout;
    counters->addWidget(label(qs("Label18"), qs("Sent:")));
    counters->addWidget(m_sentLabel);
    counters->addWidget(label(qs("Label16"), qs("Received:")));
    counters->addWidget(m_receivedLabel);
    counters->addWidget(label(qs("Label20"), qs("Lost:")));
    counters->addWidget(m_lostLabel);
    grid->addLayout(counters, 1, 3, 1, 3);
    return box;
}

QWidget* MainForm::buildRelays()
{
    auto* box = new QGroupBox(tr("Power relays"), this);
    auto* grid = new QGridLayout(box);
    const std::array<const char*, 3> buttons{"Command6", "Command7", "Command8"};
    const std::array<const char*, 3> labels{"Label9", "Label10", "Label11"};
    for (int r = 0; r < 3; ++r) {
        auto* b = button(qs(buttons[std::size_t(r)]), QStringLiteral("Relay %1").arg(r + 1));
        connect(b, &QPushButton::clicked, this, [this, r] {
            if (acquiringGuard())
                open(DialogId::Relay, r + 1);
        });
        auto* l = label(qs(labels[std::size_t(r)]), qs("===="));
        markReadout(l, tr("Relay %1 state").arg(r + 1));
        l->setAlignment(Qt::AlignCenter);
        l->setMinimumWidth(60);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        m_relayLabels[std::size_t(r)] = l;
        grid->addWidget(b, r, 0);
        grid->addWidget(l, r, 1);
    }
    return box;
}

QWidget* MainForm::buildChannels()
{
    auto* box = new QGroupBox(tr("Voltage inputs"), this);
    auto* grid = new QGridLayout(box);
    for (int c = 0; c < 8; ++c) {
        const auto& w = kChannels[std::size_t(c)];
        auto* title = label(qs(w.title), qs(w.defaultTitle));
        auto* value = readout(qs(w.box), QStringLiteral("Voltage %1").arg(c + 1));
        value->setText(qs("0.00"));
        auto* bar = new VoltageBar(c + 1, this);
        bar->setObjectName(qs(w.bar));
        markReadout(bar, tr("Voltage %1 gauge").arg(c + 1));
        bar->hide();
        bar->installEventFilter(this);
        connect(bar, &VoltageBar::clicked, this, [this, c] { toggleChannel(c, false); });
        auto* options = button(qs(w.optionButton), QStringLiteral("ADC Input %1 Options").arg(c + 1));
        connect(options, &QPushButton::clicked, this, [this, c] {
            m_ctx.state.setOptionsInput(c + 1);
            open(DialogId::Options, c + 1);
        });
        m_titles[std::size_t(c)] = title;
        m_voltageBoxes[std::size_t(c)] = value;
        m_bars[std::size_t(c)] = bar;
        grid->addWidget(title, c, 0);
        // Box and gauge share one cell: exactly one of them is shown.
        grid->addWidget(value, c, 1);
        grid->addWidget(bar, c, 1);
        grid->addWidget(options, c, 2);
    }
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget* MainForm::buildReadouts()
{
    auto* box = new QGroupBox(tr("Unit"), this);
    auto* grid = new QGridLayout(box);
    m_mac = readout(qs("Text8"), tr("MAC address"));
    m_stationName = readout(qs("Text83"), tr("Station name"));
    m_temperature = readout(qs("Text57"), tr("Temperature"));
    grid->addWidget(new QLabel(tr("MAC:"), this), 0, 0);
    grid->addWidget(m_mac, 0, 1, 1, 5);
    grid->addWidget(new QLabel(tr("Name:"), this), 1, 0);
    grid->addWidget(m_stationName, 1, 1, 1, 5);
    grid->addWidget(new QLabel(tr("Temp:"), this), 2, 0);
    grid->addWidget(m_temperature, 2, 1, 1, 5);
    grid->addWidget(new QLabel(qs("I/O:"), this), 3, 0);
    for (int i = 0; i < 5; ++i) {
        auto* io = readout(QStringLiteral("Text%1").arg(58 + i), tr("I/O pin %1").arg(i + 1));
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
    m_timerPicture->setPixmap(QPixmap(qs(":/images/timer1.png")));
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
    m_boardsButton->setIcon(QIcon(qs(":/images/daughterboard.png")));
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
        {"mnuBackup", QT_TR_NOOP("&Back up..."), DialogId::UnitBackup, 0},
        {"mnuCompare", QT_TR_NOOP("&Compare..."), DialogId::UnitBackup, 1},
        {"mnuRestore", QT_TR_NOOP("&Restore..."), DialogId::UnitBackup, 2},
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

    // Skins: style sheets in the "Skins" folder beside the executable, or the installed one.
    const QString skinFolder = qs("Skins");
    const QDir skins(
        platform::resources::runtimeDirectoryHolding(QCoreApplication::applicationDirPath(), skinFolder) +
        QLatin1Char('/') + skinFolder);
    const QStringList sheets = skins.entryList({qs("*.qss")}, QDir::Files, QDir::Name);
    if (sheets.isEmpty())
        return;
    auto* skinMenu = menuBar()->addMenu(tr("S&kins"));
    auto apply = [skins](const QString& name) {
        QFile f(skins.filePath(name));
        if (name.isEmpty() || !f.open(QIODevice::ReadOnly)) {
            qApp->setStyleSheet(QString());
            return;
        }
        qApp->setStyleSheet(QString::fromUtf8(f.readAll()));
    };
    QSettings settings;
    const QString chosen =
        settings.value(qs("skin"), sheets.contains(qs("Default.qss")) ? qs("Default.qss") : QString())
            .toString();
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
    if (sheets.contains(chosen))
        apply(chosen);
}

// ---- stations ------------------------------------------------------------------------------

QString MainForm::stationBoxText() const
{
    return m_stationBox->currentText();
}

void MainForm::fillStationBox()
{
    const auto fill = m_ctx.store.fillList();
    m_stationBox->clear();
    m_stationBox->addItems(fill.entries);
    m_stationBox->setCurrentIndex(-1);
    m_stationBox->setEditText(fill.defaultEntry); // the last default wins; none leaves it empty
    // A first run has nothing to choose: say where stations come from.
    m_stationBox->lineEdit()->setPlaceholderText(
        fill.entries.isEmpty() ? tr("No stations yet: press \"Add IP\" to add the first one") : QString());
}

void MainForm::showStationRecord(const QString& address)
{
    m_passwordMirror->setText(m_ctx.store.password());
    m_entryMirror->setText(m_ctx.store.ips());
    m_pingButton->setText(qs("Auto Ping ") + address);
    m_pingButton->setAccessibleName(m_pingButton->text().trimmed());
}

void MainForm::loadStations()
{
    fillStationBox();
    // Start-up positions on the first record whose whole entry equals the station box text.
    if (m_ctx.store.count() > 0)
        m_ctx.store.findEntry(m_stationBox->currentText());
    showStationRecord(stations::addressOf(m_stationBox->currentText()));
    resetDisplay();
    applyStationDisplay();
    setRevisionLocked(true);
}

void MainForm::selectStation(const QString& entry)
{
    const QString address = stations::addressOf(entry);
    // A pick from the list or an arrow key moves the record (password, notes) to another unit:
    // the session with the old one ends first, as with Stop, so nothing of the new record reaches
    // the old unit and no old reading is shown under the new name.
    if (m_ctx.state.acquiring() && address != m_ctx.state.selectedAddress())
        m_ctx.session.stop();
    m_ctx.state.setSelectedAddress(address);
    m_ctx.store.findAddress(address);
    showStationRecord(address);
    applyStationDisplay();
}

bool MainForm::startStation(const QString& address)
{
    // Another unit's session ends here: the user says so first (Enter in a list is easily pressed).
    const QString running = m_ctx.state.selectedAddress();
    if (m_ctx.state.acquiring() && address != running &&
        !m_ctx.prompter.confirmYesNo(
            tr("Stop the session with %1 and start one with %2?").arg(running, address), tr("Kestavo")))
        return false;
    const int position = m_ctx.store.findAddress(address);
    if (position < 0)
        return false;
    const QString entry = m_ctx.store.entryAt(position);
    m_stationBox->setEditText(entry);
    selectStation(entry);
    m_ctx.session.start(entry);
    return true;
}

void MainForm::refillStations()
{
    fillStationBox();
    const QString address = stations::addressOf(m_stationBox->currentText());
    m_ctx.state.setSelectedAddress(address);
    m_ctx.store.findAddress(address);
    m_passwordMirror->setText(m_ctx.store.password());
    m_entryMirror->setText(m_ctx.store.ips());
}

void MainForm::applyStationDisplay()
{
    auto& store = m_ctx.store;
    if (store.count() == 0)
        return;
    for (int c = 0; c < 8; ++c) {
        const QVariant view = store.value(QStringLiteral("Voltage%1View").arg(c + 1));
        const int flag = view.isNull() ? 0 : view.toInt();
        if (flag == 0)
            toggleChannel(c, false);
        else if (flag == 1)
            toggleChannel(c, true);
        // A station without stored captions (one from the fleet, one just added: they are
        // stored empty) keeps the default titles.
        const QString stored = store.value(QStringLiteral("Label%1voltage").arg(c + 1)).toString();
        const bool named = !stored.trimmed().isEmpty();
        m_titles[std::size_t(c)]->setText(named ? stored : qs(kChannels[std::size_t(c)].defaultTitle));
        // Screen readers hear which input it is and what the station calls it.
        const QString input = QStringLiteral("Voltage %1").arg(c + 1);
        m_voltageBoxes[std::size_t(c)]->setAccessibleName(named ? input + qs(", ") + stored.simplified()
                                                                : input);
    }
}

void MainForm::setDefaultStation()
{
    m_ctx.session.stop();
    const QString address = stations::addressOf(m_stationBox->currentText());
    if (!m_ctx.store.setDefault(address)) {
        if (!m_ctx.store.lastError().isEmpty())
            m_ctx.prompter.inform(m_ctx.store.lastError());
        else
            m_ctx.prompter.inform(stations::kNotFound);
        return;
    }
    if (m_ctx.store.findAddress(address) < 0)
        m_ctx.prompter.inform(stations::kNotFound);
    m_passwordMirror->setText(m_ctx.store.password());
}

void MainForm::removeStation()
{
    m_ctx.session.stop();
    const QString address = stations::addressOf(m_stationBox->currentText());
    int position = -1;
    switch (m_ctx.store.checkRemove(address, &position)) {
    case stations::StationStore::RemoveCheck::NotFound:
        m_ctx.prompter.inform(stations::kNotFound);
        return;
    case stations::StationStore::RemoveCheck::FirstRecord:
        m_ctx.prompter.inform(stations::kDontDelete);
        return;
    case stations::StationStore::RemoveCheck::Ok:
        break;
    }
    if (!m_ctx.prompter.confirmOkCancel(stations::kRemoveQuestion + QLatin1Char('\n') +
                                            m_ctx.store.entryAt(position).trimmed(),
                                        stations::kRemoveTitle))
        return;
    if (!m_ctx.store.removeAt(position)) {
        m_ctx.prompter.inform(m_ctx.store.lastError());
        return;
    }
    refillStations();
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
    if (event->type() == QEvent::FocusIn && watched == m_stationBox) {
        // Choosing another station ends the running session first. Only the user moving to the
        // box counts: Qt also focuses it when the window is re-activated after a dialog closed.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const bool byUser = reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
                            reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
        if (byUser && m_ctx.state.acquiring())
            m_ctx.session.stop();
        return false;
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        // A double click arrives after two presses, which swapped box and gauge there and back.
        for (int c = 0; c < 8; ++c) {
            if (watched == m_bars[std::size_t(c)] || watched == m_voltageBoxes[std::size_t(c)]) {
                open(DialogId::Trends, c + 1);
                return true;
            }
        }
        if (watched == m_temperature) {
            open(DialogId::Trends, 9);
            return true;
        }
    }
    if (event->type() != QEvent::MouseButtonPress)
        return QMainWindow::eventFilter(watched, event);
    for (int c = 0; c < 8; ++c) {
        if (watched == m_voltageBoxes[std::size_t(c)]) {
            toggleChannel(c, true);
            return true;
        }
    }
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

void MainForm::toggleChannel(int index, bool showBar)
{
    m_voltageBoxes[std::size_t(index)]->setVisible(!showBar);
    m_bars[std::size_t(index)]->setVisible(showBar);
}

// ---- session display -----------------------------------------------------------------------

void MainForm::onPhase(Session::Phase phase)
{
    switch (phase) {
    case Session::Phase::Idle:
        m_panels[1]->setText(qs("Not Connected"));
        m_activity->setText(qs("Aquire Data"));
        setTextColour(m_activity, Qt::black);
        break;
    case Session::Phase::Waiting:
        m_panels[1]->setText(qs("Connecting"));
        m_activity->setText(qs("Connecting"));
        break;
    case Session::Phase::Receiving:
        m_panels[1]->setText(qs("Connected"));
        m_activity->setText(qs("Receiving Data"));
        break;
    }
}

void MainForm::onCounters(bool sentChanged)
{
    m_sentLabel->setText(QString::number(m_ctx.session.sent()));
    m_receivedLabel->setText(QString::number(m_ctx.session.received()));
    if (sentChanged)
        m_lostLabel->setText(QString::number(m_ctx.session.lost()));
}

int MainForm::rangeFlag(int channel) const
{
    if (channel > 2 || m_ctx.store.count() == 0)
        return 0;
    const QVariant v = m_ctx.store.value(channel == 1 ? qs("JP6") : qs("JP7"));
    return v.isNull() ? 0 : v.toInt();
}

void MainForm::onStatus(const protocol::StatusReport& report)
{
    m_activity->setText(qs("Receiving Data"));
    m_panels[1]->setText(qs("Connected"));
    m_mac->setText(QString::fromStdString(report.macText));
    for (int c = 0; c < 8; ++c) {
        const auto text = protocol::channelText(c + 1, report.channels[std::size_t(c)], rangeFlag(c + 1));
        if (text)
            m_voltageBoxes[std::size_t(c)]->setText(QString::fromStdString(*text));
    }
    for (std::size_t r = 0; r < 3; ++r)
        setRelayLabel(m_relayLabels[r], report.relayOn[r]);
    for (std::size_t i = 0; i < 5; ++i) {
        if (report.ioPins[i]) {
            setIoBox(m_ioBoxes[i], *report.ioPins[i]);
            m_ioSoundTimers[i]->stop();
        }
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

void MainForm::setRelayLabel(QLabel* label, std::optional<bool> on)
{
    if (!on)
        return;
    label->setText(*on ? qs("ON") : qs("OFF"));
    setTextColour(label, *on ? kOn : kOff);
}

void MainForm::setIoBox(QLineEdit* box, int value)
{
    // Style sheets, not palettes: a skin that styles line edits would paint over a palette colour.
    if (value == 0) {
        box->setText(qs("0"));
        box->setStyleSheet(QString());
    } else if (value == 1) {
        box->setText(qs("1"));
        box->setStyleSheet(qs("QLineEdit { background-color: #FF0000; color: #FFFF00; }"));
    }
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
    for (QTimer* t : m_ioSoundTimers)
        t->stop();
    m_animationTimer.stop();
    for (auto* box : m_voltageBoxes)
        box->setText(qs("0.00"));
    m_temperature->clear();
    for (auto* l : m_relayLabels) {
        l->setText(qs("===="));
        setTextColour(l, kOff);
    }
    m_timerLabel->setText(qs("Timer  Inactive"));
    setTextColour(m_timerLabel, kOff);
    for (auto* io : m_ioBoxes)
        setIoBox(io, 0);
    m_mac->clear();
    m_stationName->clear();
}

void MainForm::drawBars()
{
    // PerCnt for the eight channels.
    for (int c = 0; c < 8; ++c) {
        const QString text = m_voltageBoxes[std::size_t(c)]->text();
        int v = protocol::barValue(text.toStdString());
        if (v > 41)
            continue; // the 60 V range can exceed the bar: it keeps its previous drawing
        if (v < 0)
            v = 0;
        double scale = m_bars[std::size_t(c)]->scaleWidth();
        if (const auto fs = protocol::fullScale(c + 1, rangeFlag(c + 1)))
            scale = *fs;
        m_bars[std::size_t(c)]->draw(v, scale,
                                     QString::fromStdString(protocol::barLabel(text.toStdString())));
    }
    m_panels[3]->setText(QTime::currentTime().toString(qs("hh:mm:ss")));
    m_panels[5]->setText(QDate::currentDate().toString(Qt::ISODate));
}

void MainForm::animateTimer()
{
    m_timerPicture->setPixmap(QPixmap(QStringLiteral(":/images/timer%1.png").arg(m_animationFrame)));
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
    const QString address = stations::addressOf(m_stationBox->currentText());
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
    const QString address = stations::addressOf(m_stationBox->currentText());
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
