#pragma once

// Questions about a database file that are answered without opening it outside SQLite.
//
// POSIX record locks belong to a process and an inode, not to a descriptor: closing ANY descriptor
// of the file drops every lock the process holds on it, those of its SQLite connections included.
// Another program's SQLite then believes it is the file's last user and, when it closes, deletes
// the write-ahead log and shared-memory index that this process is still writing to. So nothing
// here calls open() on the file: the bytes come through a connection's own file handle, whose
// descriptor SQLite keeps open while any lock on the inode is held.

#include <optional>

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

namespace kestavo::sqlitefile {

/// The 16 bytes every SQLite database file starts with.
QByteArray magic();

/// Why the file cannot be read by this process (the system's words), or empty when it can.
/// Asks the kernel about permissions; opens nothing.
QString unreadableReason(const QString& path);

/// The first `length` bytes of the main file of `db`, an open QSQLITE connection, read through
/// that connection's own file handle without parsing them: works for a file SQLite would refuse.
/// Shorter when the file is; empty for an empty file; nullopt when SQLite cannot read the file.
std::optional<QByteArray> fileHeader(const QSqlDatabase& db, int length = 16);

} // namespace kestavo::sqlitefile
