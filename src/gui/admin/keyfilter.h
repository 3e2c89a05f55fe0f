#pragma once

#include <functional>

#include <QObject>

class QLineEdit;

namespace kestavo::admin {

/// Key filter of one input box: typed characters the box does not take are swallowed before the
/// box sees them, as the unit's address and password boxes have always behaved. Keys that type
/// nothing (arrows, Delete, Home, End), Backspace and the dialog's own keys (Tab, Return, Escape)
/// always pass. A "jump" character is swallowed too and moves on to another box instead.
class KeyFilter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeyFilter)

public:
    using Accepts = std::function<bool(QChar)>;

    /// Installs itself on `box` and is owned by it.
    KeyFilter(QLineEdit* box, Accepts accepts);

    void setJump(QChar key, std::function<void()> onJump);

    static bool isDecimalDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }
    static bool isHexDigit(QChar c);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Accepts m_accepts;
    QChar m_jumpKey;
    std::function<void()> m_onJump;
};

} // namespace kestavo::admin
