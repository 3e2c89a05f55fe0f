#include "platform/messageboxprompter.h"

#include <QApplication>
#include <QMessageBox>

namespace kestavo::platform {

namespace {

QMessageBox::Icon boxIcon(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Warning:
        return QMessageBox::Warning;
    case Prompter::Icon::Critical:
        return QMessageBox::Critical;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    case Prompter::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MessageBoxPrompter::MessageBoxPrompter(QWidget* parent) : m_parent(parent) {}

void MessageBoxPrompter::setParentWidget(QWidget* parent)
{
    m_parent = parent;
}

QWidget* MessageBoxPrompter::parentWidget() const
{
    return m_parent;
}

Prompter::Answer MessageBoxPrompter::ask(const QString& text, const QString& title, Buttons buttons,
                                         Icon icon)
{
    // A box parented to a disabled window comes up disabled itself, and the main window is disabled
    // whenever a dialog is open: prefer the active window, and never a disabled one.
    QWidget* parent = QApplication::activeWindow();
    if (!parent || !parent->isEnabled())
        parent = m_parent && m_parent->isEnabled() ? m_parent.data() : nullptr;
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::NoButton, parent);
    // The close box and Escape give the cautious answer of each kind of box.
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    }

    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        break;
    }
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
        return Answer::Cancel;
    case Buttons::YesNo:
        break;
    }
    return Answer::No;
}

} // namespace kestavo::platform
