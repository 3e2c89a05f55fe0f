#include "gui/admin/keyfilter.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace kestavo::admin {

KeyFilter::KeyFilter(QLineEdit* box, Accepts accepts) : QObject(box), m_accepts(std::move(accepts))
{
    box->installEventFilter(this);
}

void KeyFilter::setJump(QChar key, std::function<void()> onJump)
{
    m_jumpKey = key;
    m_onJump = std::move(onJump);
}

bool KeyFilter::isHexDigit(QChar c)
{
    return isDecimalDigit(c) || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return false;
    default:
        break;
    }
    const QString text = key->text();
    if (text.isEmpty())
        return false;
    if (m_onJump && text.size() == 1 && text.front() == m_jumpKey) {
        m_onJump();
        return true;
    }
    // Control characters (Ctrl+V and friends) count as typed keys and are swallowed like any
    // other character the box does not take: a paste must not bring in what typing cannot.
    for (const QChar c : text) {
        if (!m_accepts(c))
            return true;
    }
    return false;
}

} // namespace kestavo::admin
