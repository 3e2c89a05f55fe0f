#include "text/boundedfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

namespace kestavo::text {

BoundedRead readBoundedFile(const QString& path, qint64 maxBytes, Secret secret)
{
    BoundedRead result;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        result.error = QStringLiteral("\"%1\" cannot be read: %2.")
                           .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return result;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        result.error =
            QStringLiteral("\"%1\" is not a regular file (a device, pipe or folder); name a file.").arg(path);
        return result;
    }
    if (info.st_size > maxBytes) {
        ::close(fd);
        result.error =
            QStringLiteral("\"%1\" is %2 bytes, more than the %3 such a file can hold; is it the right file?")
                .arg(path)
                .arg(qint64(info.st_size))
                .arg(maxBytes);
        return result;
    }
    if (secret == Secret::Yes && (info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        result.warning =
            QStringLiteral("\"%1\" holds a secret but others may read it (mode %2); chmod 600 it.")
                .arg(path)
                .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
    // The size may change while we read: never take more than the cap.
    result.bytes.reserve(qsizetype(info.st_size));
    qint64 got = 0;
    char chunk[65536];
    while (got <= maxBytes) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        result.bytes.append(chunk, qsizetype(n));
        got += n;
    }
    ::close(fd);
    if (got > maxBytes) {
        result.error = QStringLiteral("\"%1\" grew past the %2 bytes such a file can hold while it was read.")
                           .arg(path)
                           .arg(maxBytes);
        result.bytes.clear();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace kestavo::text
