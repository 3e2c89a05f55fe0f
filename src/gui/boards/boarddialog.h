#pragma once

#include <array>

#include "gui/boards/boardtimings.h"
#include "gui/main/consoledialog.h"

class QGridLayout;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;

namespace kestavo::daughterboards {

class BoardFrameQueue;

/// `RDB`: direct control of the selected daughter board's six relays, 5 V output and test light.
/// Each press sends one 'R' frame; the display follows the unit's status reports only, redrawn on
/// `Timer1`. Holds the main window disabled until it closes.
class BoardDialog final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BoardDialog)

public:
    /// Items in the order of their bits in the board state byte: relays 1-6, output, light.
    static constexpr int kItems = 8;
    static constexpr int kOutputItem = 7; // 1-based, also the output's toggle number
    static constexpr int kLightItem = 8;

    /// Controls the board chosen in `I2C` (ConsoleState::selectedBoard()).
    explicit BoardDialog(core::Context& context, const BoardTimings& timings = {});

    int board() const { return m_board; }
    /// The toggle button showing the countdown: 1-6 relays, 7 output, 0 before the first toggle.
    int toggleShown() const { return m_whatToggle; }
    /// Frames asked for but still waiting for their turn on the wire.
    std::size_t pendingFrames() const;

    /// Redraws buttons, pictures and the countdown from the console state.
    void refreshState();
    /// Opens `RDBrelayScripting` and hides this window until it closes.
    void openScripts();

private:
    struct ItemControls
    {
        QPushButton* whenSet = nullptr;   // "NO" / "ON": enabled while the item's bit is set
        QPushButton* whenClear = nullptr; // "NC" / "OFF": enabled while it is clear
        QPushButton* toggle = nullptr;    // none for the light
        QSlider* delay = nullptr;         // none for the light
        QLabel* picture = nullptr;
    };

    void buildItemRow(int item, int row, QGridLayout* grid);
    void plainSwitch(int item);
    void timedToggle(int item);
    void sendBoardFrame(int mask, int toggle, int delaySeconds);

    BoardTimings m_timings;
    int m_board = 1;
    int m_whatToggle = 0;
    std::array<ItemControls, kItems> m_items{};
    BoardFrameQueue* m_queue = nullptr;
    QTimer* m_stateTimer = nullptr;
};

} // namespace kestavo::daughterboards
