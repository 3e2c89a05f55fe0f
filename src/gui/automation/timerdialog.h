#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "gui/main/consoledialog.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace kestavo::automation {

/// `Timer` ("Relay Timer"): sets the unit's relay timer to run a script slot after a delay, once
/// or over and over ('M'), and stops a running timer ('N').
class TimerDialog final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TimerDialog)

public:
    explicit TimerDialog(core::Context& context);

    /// Empties the slot list and asks the unit for its slot table.
    void refresh();
    /// Validates, asks, sends the timer and closes; any refusal leaves the dialog open.
    void setTimer();
    void stopTimer();

    /// The four delay boxes: days, hours, minutes, seconds.
    struct DelayUnit
    {
        const char* boxName; // objectName
        const char* unitName;
        int maximum;
        std::uint32_t seconds;
    };
    static const std::array<DelayUnit, 4>& delayUnits();

private:
    void onReplyIndicator(int value);
    void chooseSlot(int row);
    /// Total seconds of the four boxes, or the message naming the first box that holds no whole
    /// number in its range and nothing.
    std::optional<std::uint32_t> delaySeconds();

    QListWidget* m_slots;  // List1
    QLineEdit* m_slotText; // Text1
    QListWidget* m_steps;  // List2
    std::array<QComboBox*, 4> m_delayBoxes{};
    std::array<QLabel*, 4> m_readouts{};
    QRadioButton* m_oneShot;
    QRadioButton* m_continuous;
    std::optional<int> m_chosenSlot;
};

} // namespace kestavo::automation
