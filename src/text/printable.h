#pragma once

#include <QString>

namespace kestavo::text {

/// The text with every control character (C0, DEL, C1: line feeds, escapes, NUL, BEL…) shown as
/// '?', for a terminal or a log line: a unit's name or a file's field cannot move the cursor,
/// recolour the terminal or forge a line.
QString printable(const QString& text);

/// True when the text holds a control character.
bool hasControl(const QString& text);

} // namespace kestavo::text
