#pragma once

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include <QMainWindow>
#include <QTimer>

#include "protocol/reply.h"

#include "session/context.h"
#include "session/session.h"

#include "gui/main/dialogid.h"

class QAction;
class QDateTime;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace kestavo::platform {
class TrayIcon;
}

namespace kestavo::core {

class DialogRegistry;
class ReadoutPanel;
class RelayPanel;
class StationBar;

/// The console's main window (`MainForm`): the station bar, the relay panel, the unit's readouts,
/// the relay timer, the voltage inputs (the readout panel), the command buttons and the status bar. It owns
/// no unit state of its own: readouts follow the console state and the session; commands open dialogs through
/// the registry.
class MainForm final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainForm)

public:
    struct Timing
    {
        int marqueeMs = 4000;
        int barsMs = 500;
        int animationMs = 500;
    };

    MainForm(Context& context, const DialogRegistry& dialogs, platform::TrayIcon* tray = nullptr,
             QWidget* parent = nullptr);
    ~MainForm() override;

    void setTiming(const Timing& timing);

    /// Fills the station box and positions on the default station, then applies its display
    /// settings (the load steps). Call once the store is open.
    void loadStations();
    /// Select station: the entry of the station box was picked.
    void selectStation(const QString& entry);
    /// Puts the station with `address` in the station box and starts its session, as picking it
    /// and pressing Start do (the Fleet window's double-click). Asks first when a session with
    /// another unit runs. False when no station has it or the user said no.
    bool startStation(const QString& address);
    /// Rebuilds the list after an addition or removal and positions on the station box's address.
    void refillStations();
    /// The station list read again from the store; the chosen station stays chosen.
    void refreshStations();
    /// Applies the current record's view flags and channel titles.
    void applyStationDisplay();

    /// Asked before EXIT or the close box ends the console; false keeps it running. Asked once
    /// per exit.
    void setExitGuard(std::function<bool()> mayExit) { m_mayExit = std::move(mayExit); }

    /// Closes every top-level window except the main window.
    static void unloadAllForms(QWidget* keep);

    /// Test access to the station box text.
    QString stationBoxText() const;

    /// Draws the eight bars (`Timer8` tick).
    void drawBars();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildUi();
    void showPingAddress(const QString& address);
    QWidget* buildReadouts();
    QWidget* buildTimerPanel();
    QWidget* buildCommands();
    void buildStatusBar();
    void buildMenus();

    QPushButton* button(const QString& name, const QString& caption);
    QLabel* label(const QString& name, const QString& caption);

    bool acquiringGuard();
    bool revisionGuard();
    void open(DialogId id, int argument = 0);

    void onStatus(const protocol::StatusReport& report);
    void onPhase(Session::Phase phase);
    void resetDisplay();
    void setRevisionLocked(bool locked);
    void setIoBox(QLineEdit* box, int value);
    void showAge(const QDateTime& asOf, const QString& age);
    void animateTimer();
    void marquee();

    void addRoute();
    void autoPing();
    void stopTimer();
    void exitConsole();
    void showFromTray();

    Context& m_ctx;
    const DialogRegistry& m_dialogs;
    platform::TrayIcon* m_tray;

    StationBar* m_stationBar = nullptr;
    RelayPanel* m_relayPanel = nullptr;
    ReadoutPanel* m_readoutPanel = nullptr;
    QGroupBox* m_unitBox = nullptr;
    std::array<QLineEdit*, 5> m_ioBoxes{};
    QLineEdit* m_temperature = nullptr;         // Text57
    QLineEdit* m_mac = nullptr;                 // Text8
    QLineEdit* m_stationName = nullptr;         // Text83
    QLabel* m_timerPicture = nullptr;           // Image1
    QLabel* m_timerLabel = nullptr;             // Label24
    std::array<QLabel*, 4> m_countdown{};       // Label25, Label26, Label29, Label30
    std::vector<QWidget*> m_timerLabels;        // every label shown above revision 166
    QLabel* m_productLabel = nullptr;           // Label37
    QPushButton* m_runMake = nullptr;           // Command23
    QPushButton* m_stationNameButton = nullptr; // Command25
    QPushButton* m_stopTimer = nullptr;         // Command26
    QToolButton* m_boardsButton = nullptr;      // Command28
    bool m_valuesOld = false;                   // the unit has gone quiet: readings are dimmed
    QPushButton* m_pingButton = nullptr;        // Command27
    std::array<QLabel*, 7> m_panels{};

    QTimer m_marqueeTimer;   // Timer7
    QTimer m_barTimer;       // Timer8
    QTimer m_animationTimer; // Timer16
    int m_marqueeStep = 0;
    QString m_note; // a session note that holds the marquee panel
    int m_animationFrame = 1;
    std::array<double, 2> m_lastScale{30, 30};
    std::function<bool()> m_mayExit;
    bool m_exitConfirmed = false; // EXIT asked already; the close that follows does not ask again
};

} // namespace kestavo::core
