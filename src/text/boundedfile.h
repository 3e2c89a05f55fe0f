#pragma once

// Reading a file a user names (a password file, a backup, a CSV import) without trusting it: only
// a regular file (a FIFO would block start-up forever, /dev/zero never ends), only up to a size
// the caller expects, and a word when a secret is readable by others.

#include <QByteArray>
#include <QString>

namespace kestavo::text {

struct BoundedRead
{
    bool ok = false;
    QByteArray bytes;
    QString error;   // a sentence naming the file: what is wrong and what to do
    QString warning; // set for a secret readable by group or others; the read still succeeds
};

enum class Secret { No, Yes };

/// Reads all of `path` when it is a regular file of at most maxBytes.
BoundedRead readBoundedFile(const QString& path, qint64 maxBytes, Secret secret = Secret::No);

} // namespace kestavo::text
