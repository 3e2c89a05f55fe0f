#pragma once

// Where a team's store is: postgresql://USER@HOST[:PORT]/DBNAME[?sslmode=…&sslrootcert=…].
// The address never carries a password: libpq finds it on its own (~/.pgpass, PGPASSFILE,
// PGPASSWORD), so no password of the store ends up in a command line, a shell history, the
// console's settings or its title bar.

#include <QString>

namespace kestavo::store {

inline constexpr int kDefaultPostgresPort = 5432;

struct StoreUrl
{
    QString user;
    QString host; // a name or an IPv4 address, or an IPv6 address without its brackets
    int port = kDefaultPostgresPort;
    QString database;
    QString sslMode;     // empty: libpq's default (or PGSSLMODE)
    QString sslRootCert; // empty: libpq's default

    /// The address again, in the form parseStoreUrl() reads (the port only when not the default).
    QString toString() const;
    friend bool operator==(const StoreUrl&, const StoreUrl&) = default;
};

struct StoreUrlParse
{
    StoreUrl url;
    QString error; // one sentence; empty when the text is a store address

    bool ok() const { return error.isEmpty(); }
};

/// True when `location` names a store (postgresql://… or postgres://…) rather than a file; what
/// follows the scheme is parseStoreUrl()'s to judge.
bool isStoreAddress(const QString& location);

/// Reads a store address strictly: anything this program would have to guess about is refused
/// with a sentence saying what to write instead.
StoreUrlParse parseStoreUrl(const QString& text);

/// The text libpq reads for the connect options that are not Qt's own (sslmode, sslrootcert):
/// "key=value" pairs separated by ';', values quoted for libpq.
QString connectOptions(const StoreUrl& url, const QString& applicationName);

} // namespace kestavo::store
