#pragma once

#include <QPointer>

#include "gui/main/consoledialog.h"

class QPlainTextEdit;

namespace kestavo::relays {

/// `Switch1Notes` ("Relay N Quick Notes"): a free-text note about the equipment on one relay,
/// kept in the selected station's record. It leaves the main window alone and holds the relay
/// dialog that opened it disabled instead.
class RelayNotesDialog final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RelayNotesDialog)

public:
    /// Longest note a relay keeps.
    static constexpr int kMaxLength = 254;

    /// `relayDialog` (may be null) is disabled while the notes are open and enabled again however
    /// they close.
    RelayNotesDialog(core::Context& context, int relay, QWidget* relayDialog);
    ~RelayNotesDialog() override;

    int relay() const { return m_relay; }

    /// OK: stores the text, even an empty one, in the current station record and closes. A store
    /// that refuses the write says why and the dialog stays open with the text.
    void accept() override;

    /// "Relay1Notes" … "Relay3Notes".
    static QString column(int relay);

    /// However the notes close, the relay dialog is usable again at once.
    void done(int result) override;

private:
    void enforceLength();
    void releaseRelayDialog();

    int m_relay;
    QPointer<QWidget> m_relayDialog;
    QPlainTextEdit* m_note = nullptr;
};

} // namespace kestavo::relays
