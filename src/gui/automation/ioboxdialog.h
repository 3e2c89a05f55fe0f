#pragma once

#include "gui/main/consoledialog.h"

class QListWidget;
class QRadioButton;

namespace kestavo::automation {

/// `ioBox` ("I/O BOX n"): the scripts one I/O box runs when its pin changes to 0 and to 1, or no
/// action ('O').
class IoBoxDialog final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IoBoxDialog)

public:
    /// boxIndex 0..4 for boxes 1 to 5.
    IoBoxDialog(core::Context& context, int boxIndex);

    /// Asks the unit for its slot table; the lists follow when it arrives.
    void refresh();
    /// Validates, sends the setting and closes; any refusal leaves the dialog open.
    void upload();

private:
    void fillLists();
    /// Selects the option and slots the unit reported for this box.
    void showCurrentSetting();
    void setSlotListsEnabled(bool enabled);
    void onReplyIndicator(int value);

    int m_box;
    QRadioButton* m_disable;  // "Disable I/O state change action."
    QRadioButton* m_run;      // "Run a Relay Script when I/O states change"
    QListWidget* m_slotsFor0; // List1
    QListWidget* m_stepsFor0; // List2
    QListWidget* m_slotsFor1; // List3
    QListWidget* m_stepsFor1; // List4
};

} // namespace kestavo::automation
