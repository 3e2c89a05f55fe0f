#pragma once

// What --help prints: the tool's overview and one page per command word.

#include <QString>

namespace kestavo::cli {

/// The usage line(s) of a command word ("relay UNIT 1|2|3 on|off|cycle SECONDS"), empty for an
/// unknown word.
QString synopsis(const QString& word);

/// The whole tool: synopsis of every command, the options, the exit codes.
QString toolHelp();

/// One command word; empty for an unknown word.
QString commandHelp(const QString& word);

QString versionText();

} // namespace kestavo::cli
