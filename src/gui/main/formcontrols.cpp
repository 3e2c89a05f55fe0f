#include "gui/main/formcontrols.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kestavo::core {

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleName(caption.trimmed());
    return b;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption)
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->setAccessibleName(caption.trimmed().isEmpty() ? name : caption.trimmed());
    return l;
}

QLineEdit* makeReadout(QWidget* parent, const QString& name, const QString& accessibleName, QObject* filter)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(true);
    e->setAccessibleName(accessibleName);
    e->setCursor(Qt::PointingHandCursor);
    e->installEventFilter(filter);
    return e;
}

QString oldReadingTip(const QDateTime& asOf, const QString& age)
{
    if (!asOf.isValid())
        return {};
    return QCoreApplication::translate("kestavo::core", "As of %1 (%2)")
        .arg(asOf.toString(qs("HH:mm:ss")), age);
}

QString spokenReading(const QString& name, const QString& value, const QString& age)
{
    if (age.isEmpty() || value.trimmed().isEmpty())
        return name;
    return QCoreApplication::translate("kestavo::core", "%1: %2, %3").arg(name, value.simplified(), age);
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    widget->setPalette(p);
}

} // namespace kestavo::core
