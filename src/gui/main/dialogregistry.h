#pragma once

#include <functional>

#include <QHash>
#include <QPointer>
#include <QWidget>

#include "session/context.h"

#include "gui/main/dialogid.h"

namespace kestavo::core {

/// Maps the main window's requests to the dialogs that serve them. Each dialog library registers
/// its factories; a request without a factory does nothing, so the main window works while
/// dialogs are still being added.
class DialogRegistry
{
public:
    /// Creates the dialog's window (top-level, deleted on close). `argument` is the request's
    /// argument (relay number…). The factory does not show it.
    using Factory = std::function<QWidget*(Context& context, int argument)>;

    void add(DialogId id, Factory factory) { m_factories.insert(int(id), std::move(factory)); }
    bool has(DialogId id) const { return m_factories.contains(int(id)); }
    /// Creates and shows the dialog; nullptr when none is registered.
    QWidget* open(DialogId id, Context& context, int argument = 0) const
    {
        const auto it = m_factories.constFind(int(id));
        if (it == m_factories.constEnd())
            return nullptr;
        QWidget* dialog = (*it)(context, argument);
        if (dialog)
            dialog->show();
        return dialog;
    }

private:
    QHash<int, Factory> m_factories;
};

} // namespace kestavo::core
