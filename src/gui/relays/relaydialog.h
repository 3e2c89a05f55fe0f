#pragma once

#include <QPointer>

#include "gui/main/consoledialog.h"
#include "gui/relays/relaynotesdialog.h"

class QLabel;
class QRadioButton;
class QSlider;

namespace kestavo::relays {

/// `Switch1` … `Switch3` ("Relay N Control"): switches one of the unit's three power relays on,
/// off, or off and on again after a delay, with one frame on the main socket.
class RelayDialog final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RelayDialog)

public:
    static constexpr int kMinDelay = 1;
    static constexpr int kMaxDelay = 60;

    /// `relay` is 1, 2 or 3. The slider starts at the delay the unit last reported for it.
    RelayDialog(core::Context& context, int relay);
    ~RelayDialog() override;

    int relay() const { return m_relay; }

    /// OK: sends the frame of the chosen option and closes. When the session has ended meanwhile
    /// the user is told, nothing is sent, and the dialog still closes so that the (otherwise
    /// disabled) main window is free to start a new session.
    void accept() override;

    /// "?": shows this relay's quick notes; this dialog stays disabled until they close.
    RelayNotesDialog* openNotes();
    RelayNotesDialog* notes() const { return m_notes; }

    /// A reported delay the slider cannot show (0, or above a minute) is clamped into its range.
    static int clampDelay(int seconds);

private:
    int m_relay;
    QRadioButton* m_on = nullptr;
    QRadioButton* m_off = nullptr;
    QRadioButton* m_cycle = nullptr;
    QSlider* m_delay = nullptr;
    QLabel* m_delayValue = nullptr;
    QPointer<RelayNotesDialog> m_notes;
};

} // namespace kestavo::relays
