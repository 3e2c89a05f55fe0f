#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

namespace kestavo::relays {

/// `RelaySuccess`: the transient window that shows one acknowledgement of the unit (or the
/// daughter-board dialog's local refusal, kind 100). It picks caption and message once, when it
/// is created, and closes (and deletes) itself when its timer `Timer1` fires.
class RelaySuccess final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RelaySuccess)

public:
    static constexpr int kCloseMs = 1800;

    explicit RelaySuccess(int kind, int closeMs = kCloseMs);
    ~RelaySuccess() override;

    int kind() const { return m_kind; }
    const QTimer& closeTimer() const { return m_closeTimer; }

    /// Kinds outside the table keep the window's resting texts ("Relay Script").
    static QString captionFor(int kind);
    static QString messageFor(int kind);

private:
    int m_kind;
    QLabel* m_message = nullptr;
    QTimer m_closeTimer;
};

} // namespace kestavo::relays
