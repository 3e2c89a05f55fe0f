#pragma once

// One connection of its own to a team's store, through Qt SQL's QPSQL driver. No password of ours
// is ever handed to the driver: libpq reads it from ~/.pgpass, PGPASSFILE or PGPASSWORD.

#include <QSqlDatabase>
#include <QString>

#include "storelink/storeurl.h"

namespace kestavo::store {

class StoreConnection final
{
    Q_DISABLE_COPY_MOVE(StoreConnection)

public:
    StoreConnection();
    ~StoreConnection();

    /// False with one sentence naming the store in error() when it cannot be reached or logged
    /// into. `program` is shown to the store's administrator beside the session.
    bool open(const StoreUrl& url, const QString& program);
    void close();
    bool isOpen() const { return m_open; }
    QString error() const { return m_error; }
    const StoreUrl& url() const { return m_url; }
    QSqlDatabase db() const;
    /// The database's name for this session's login.
    QString sessionUser() const;

private:
    QString m_name;
    StoreUrl m_url;
    QString m_error;
    bool m_open = false;
};

} // namespace kestavo::store
