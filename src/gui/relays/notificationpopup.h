#pragma once

#include <QObject>
#include <QPointer>

#include "gui/relays/relaysuccess.h"

namespace kestavo::core {
class ConsoleState;
}

namespace kestavo::relays {

/// Shows `RelaySuccess` for every notification the console state raises. One pop-up at a time:
/// a notification that arrives while one is shown only brings it forward, with its own text and
/// its own closing time.
class NotificationPopup final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotificationPopup)

public:
    explicit NotificationPopup(core::ConsoleState& state, QObject* parent = nullptr);
    ~NotificationPopup() override;

    /// How long a pop-up stays; tests shorten it.
    void setCloseInterval(int ms) { m_closeMs = ms; }
    int closeInterval() const { return m_closeMs; }

    /// The pop-up on screen, or null.
    RelaySuccess* current() const { return m_popup; }

    void notify(int kind);

private:
    int m_closeMs = RelaySuccess::kCloseMs;
    QPointer<RelaySuccess> m_popup;
};

} // namespace kestavo::relays
