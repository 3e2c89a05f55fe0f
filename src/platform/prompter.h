#pragma once

#include <QString>

namespace kestavo::platform {

/// Every message box of the console goes through this, so tests can read and answer them.
class Prompter
{
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    enum class Buttons { Ok, OkCancel, YesNo };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Prompter() = default;

    /// Shows a box and returns the button pressed. Plain boxes use the title "KSV172".
    virtual Answer ask(const QString& text, const QString& title, Buttons buttons, Icon icon) = 0;

    // Conveniences over ask().
    void inform(const QString& text) { ask(text, appTitle(), Buttons::Ok, Icon::None); }
    void critical(const QString& text, const QString& title)
    {
        ask(text, title, Buttons::Ok, Icon::Critical);
    }
    bool confirmOkCancel(const QString& text, const QString& title)
    {
        return ask(text, title, Buttons::OkCancel, Icon::Question) == Answer::Ok;
    }
    bool confirmYesNo(const QString& text, const QString& title)
    {
        return ask(text, title, Buttons::YesNo, Icon::Question) == Answer::Yes;
    }

    /// A message of one of the console's own windows (fleet, trends, alarms, audit, backup …): it
    /// carries the console's name, not the title the unit's dialogs use.
    void tell(const QString& text) { ask(text, ourTitle(), Buttons::Ok, Icon::Information); }
    void tellCritical(const QString& text) { ask(text, ourTitle(), Buttons::Ok, Icon::Critical); }
    bool confirmOurs(const QString& text) { return confirmYesNo(text, ourTitle()); }

    static QString appTitle() { return QStringLiteral("KSV172"); }
    static QString ourTitle() { return QStringLiteral("Kestavo"); }
};

} // namespace kestavo::platform
