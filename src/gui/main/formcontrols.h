#pragma once

#include <QColor>
#include <QString>

class QDateTime;
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
/// Text of a reading the unit no longer confirms.
inline const QColor kOld{0x80, 0x80, 0x80};

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption);
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption);
/// A read-only box that opens something when clicked: `filter` sees its mouse events.
QLineEdit* makeReadout(QWidget* parent, const QString& name, const QString& accessibleName, QObject* filter);
/// "As of 03:14:30 (40 s old)": the tooltip of a reading that has gone old.
QString oldReadingTip(const QDateTime& asOf, const QString& age);
/// What a screen reader hears of a reading: its name, and once it is old, its value and age
/// ("Temperature: 23°C 73.4°F, 40 s old").
QString spokenReading(const QString& name, const QString& value, const QString& age);
/// Text colour for labels and boxes alike.
void setTextColour(QWidget* widget, const QColor& colour);

} // namespace kestavo::core
