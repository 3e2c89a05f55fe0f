#include "gui/main/comboaccessible.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace kestavo::core {

namespace {

class NamedComboAccessible final : public QAccessibleWidget
{
public:
    explicit NamedComboAccessible(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return value();
        if (t == QAccessible::Name) {
            const QString named = combo()->accessibleName();
            return named.isEmpty() ? value() : named;
        }
        return QAccessibleWidget::text(t);
    }

    // The list the box opens is its last child, after the line edit of an editable box.
    int childCount() const override { return QAccessibleWidget::childCount() + (list() ? 1 : 0); }
    QAccessibleInterface* child(int index) const override
    {
        const int own = QAccessibleWidget::childCount();
        if (index == own)
            return list();
        return QAccessibleWidget::child(index);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (child && child == list())
            return QAccessibleWidget::childCount();
        return QAccessibleWidget::indexOfChild(child);
    }

    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action == showMenuAction() || action == pressAction())
            combo()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }
    QString value() const
    {
        return combo()->isEditable() && combo()->lineEdit() ? combo()->lineEdit()->text()
                                                            : combo()->currentText();
    }
    QAccessibleInterface* list() const
    {
        return combo()->view() ? QAccessible::queryAccessibleInterface(combo()->view()) : nullptr;
    }
};

QAccessibleInterface* comboFactory(const QString&, QObject* object)
{
    if (auto* combo = qobject_cast<QComboBox*>(object))
        return new NamedComboAccessible(combo);
    return nullptr;
}

} // namespace

void nameCombosByLabel()
{
    QAccessible::removeFactory(comboFactory);
    QAccessible::installFactory(comboFactory);
}

} // namespace kestavo::core
