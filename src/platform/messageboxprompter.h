#pragma once

#include <QPointer>

#include "platform/prompter.h"

class QWidget;

namespace kestavo::platform {

/// Shows every prompt as a modal QMessageBox over the parent widget (or centred on the screen
/// when there is none).
class MessageBoxPrompter final : public Prompter
{
public:
    explicit MessageBoxPrompter(QWidget* parent = nullptr);

    void setParentWidget(QWidget* parent);
    QWidget* parentWidget() const;

    Answer ask(const QString& text, const QString& title, Buttons buttons, Icon icon) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace kestavo::platform
