#include "sqlitefile/sqlitefile.h"

#include <algorithm>
#include <cerrno>
#include <sqlite3.h>
#include <vector>

#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QVariant>
#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace kestavo::sqlitefile {

QByteArray magic()
{
    return QByteArray("SQLite format 3\0", 16);
}

QString unreadableReason(const QString& path)
{
#ifdef Q_OS_UNIX
    if (::access(QFile::encodeName(path).constData(), R_OK) != 0)
        return qt_error_string(errno);
    return {};
#else
    return QFileInfo(path).isReadable() ? QString() : qt_error_string(EACCES);
#endif
}

std::optional<QByteArray> fileHeader(const QSqlDatabase& db, int length)
{
    if (!db.isOpen() || !db.driver())
        return std::nullopt;
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return std::nullopt;
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    sqlite3_file* file = nullptr;
    if (!connection ||
        sqlite3_file_control(connection, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        return std::nullopt;
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        return std::nullopt;
    const int wanted = int(std::min<sqlite3_int64>(size, length));
    if (wanted <= 0)
        return QByteArray();
    std::vector<char> bytes(std::size_t(length), '\0');
    const int rc = file->pMethods->xRead(file, bytes.data(), length, 0);
    // A file shorter than `length` reads as a short read, zero-filled past its end.
    if (rc != SQLITE_OK && rc != SQLITE_IOERR_SHORT_READ)
        return std::nullopt;
    return QByteArray(bytes.data(), wanted);
}

} // namespace kestavo::sqlitefile
