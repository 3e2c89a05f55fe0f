#pragma once

#include <QString>

class QWidget;

namespace kestavo::core {

/// Marks `widget` as a readout for assistive tools, one way for every readout of the console: the
/// accessible name says what it is (`name`), the accessible text is its current value. Line edits
/// expose their text already; a label's text (or, for another widget, its "readoutValue" property)
/// is hidden once it has a name, so marked widgets get an accessible text interface of their own.
void markReadout(QWidget* widget, const QString& name);

} // namespace kestavo::core
