#include "stations/databaselocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "stations/stationformat.h"

namespace kestavo::stations {

QString resolveDatabasePath(const QString& dbOption, const QString& applicationDir)
{
    if (!dbOption.isEmpty())
        return QFileInfo(dbOption).absoluteFilePath();

    const QFileInfo beside(QDir(applicationDir), kDatabaseFileName);
    if (!applicationDir.isEmpty() && beside.isFile())
        return beside.absoluteFilePath();

    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dataDir.isEmpty()) // no home directory at all: fall back to the portable location
        return beside.absoluteFilePath();
    // A failure to create the folder surfaces when the store opens the file and names it.
    QDir().mkpath(dataDir);
    return QDir(dataDir).absoluteFilePath(kDatabaseFileName);
}

} // namespace kestavo::stations
