#pragma once

namespace kestavo::core {

/// Makes every combo box of the process tell assistive tools its accessible name ("Range",
/// "Priority") as its name, and its current text as its value. Qt's own interface on Linux names
/// a combo box by its current text, so a screen reader heard "1 h, combo box" and never what it
/// chooses. Installed once however often it is called; windows call it as they are built.
void nameCombosByLabel();

} // namespace kestavo::core
