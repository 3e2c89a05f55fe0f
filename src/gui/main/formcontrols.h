#pragma once

#include <QColor>
#include <QString>

class QLabel;
class QLineEdit;
class QObject;
class QPushButton;
class QWidget;

namespace kestavo::core {

// The main window's controls, made one way wherever they sit: the objectName the unit's operators
// and the tests know them by, and an accessible name taken from the caption.

inline QString qs(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

inline const QColor kOn{0x00, 0xFF, 0x00};
inline const QColor kOff{0xFF, 0x00, 0x00};

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption);
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption);
/// A read-only box that opens something when clicked: `filter` sees its mouse events.
QLineEdit* makeReadout(QWidget* parent, const QString& name, const QString& accessibleName, QObject* filter);
/// Text colour for labels and boxes alike.
void setTextColour(QWidget* widget, const QColor& colour);

} // namespace kestavo::core
