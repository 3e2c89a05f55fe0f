#pragma once

#include <QString>

namespace kestavo::stations {

// Where the station database lives, in order of precedence: the file named by --db; "ksv.dat"
// beside the executable when one is there (portable installs); otherwise "ksv.dat" in the
// per-user data directory, which is created when missing. The result is an absolute path.
QString resolveDatabasePath(const QString& dbOption, const QString& applicationDir);

} // namespace kestavo::stations
