#include "gui/main/readoutaccessible.h"

#include <QAccessibleWidget>
#include <QLabel>
#include <QVariant>

namespace kestavo::core {

namespace {

const char* const kReadoutProperty = "kestavoReadout";
const char* const kValueProperty = "readoutValue";

// A read-only text interface over the widget's shown value; no caret, no selection.
class ReadoutAccessible final : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit ReadoutAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return value();
        return QAccessibleWidget::text(t);
    }

    // QAccessibleTextInterface
    void selection(int, int* startOffset, int* endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override
    {
        const QString v = value();
        if (endOffset < 0 || endOffset > v.size())
            endOffset = int(v.size());
        if (startOffset < 0 || startOffset > endOffset)
            return {};
        return v.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(value().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }

private:
    QString value() const
    {
        if (const auto* label = qobject_cast<const QLabel*>(widget()))
            return label->text();
        return widget()->property(kValueProperty).toString();
    }
};

QAccessibleInterface* readoutFactory(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget && widget->property(kReadoutProperty).toBool())
        return new ReadoutAccessible(widget);
    return nullptr;
}

} // namespace

void markReadout(QWidget* widget, const QString& name)
{
    // Registered once per process however many windows mark readouts.
    QAccessible::removeFactory(readoutFactory);
    QAccessible::installFactory(readoutFactory);
    widget->setProperty(kReadoutProperty, true);
    // Qt may have made and cached a plain interface already (any accessibility event does, e.g. a
    // label's setText): drop it so the next query comes through the factory.
    QAccessibleInterface* existing = QAccessible::queryAccessibleInterface(widget);
    if (existing && !dynamic_cast<ReadoutAccessible*>(existing))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(existing));
    widget->setAccessibleName(name);
}

} // namespace kestavo::core
