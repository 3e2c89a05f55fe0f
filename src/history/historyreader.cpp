#include "history/historyreader.h"

#include <algorithm>
#include <atomic>

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "history/historydb.h"
#include "history/historystore.h"
#include "history/rollup.h"

namespace kestavo::history {

namespace {
std::atomic<quint64> g_readers{0};
}

struct HistoryReader::Private
{
    QString connection = QStringLiteral("kestavo-history-reader-%1").arg(++g_readers);
    QString error;
    bool open = false;
    bool store = false;

    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }
    int snapshots = 0; // nesting depth of Snapshot on this reader
};

// One read transaction around a whole read, so every statement of it sees the same committed
// state. Without it a writer packing samples (recent rows into a block, one transaction) between
// the read of the blocks and the read of the recent rows hides those samples from the read.
// PostgreSQL's default isolation takes a new snapshot per statement, so a store's read asks for one
// snapshot explicitly.
class HistoryReader::Snapshot
{
    Q_DISABLE_COPY_MOVE(Snapshot)

public:
    explicit Snapshot(Private& d) : m_d(d)
    {
        if (m_d.snapshots++ == 0)
            m_began = begin() || (m_d.store && reconnect() && begin());
    }
    ~Snapshot()
    {
        if (--m_d.snapshots == 0 && m_began)
            QSqlQuery(m_d.db()).exec(QStringLiteral("COMMIT")); // read-only: it ends the snapshot
    }

private:
    bool begin()
    {
        return QSqlQuery(m_d.db()).exec(
            m_d.store ? QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")
                      : QStringLiteral("BEGIN"));
    }
    // A store that restarted since the last read: one fresh connection, then the read goes on.
    bool reconnect()
    {
        QSqlDatabase conn = m_d.db();
        conn.close();
        return conn.open();
    }

public:
private:
    Private& m_d;
    bool m_began = false;
};

HistoryReader::HistoryReader() : d(new Private) {}

HistoryReader::~HistoryReader()
{
    if (QSqlDatabase::contains(d->connection)) {
        QSqlDatabase::database(d->connection, false).close();
        QSqlDatabase::removeDatabase(d->connection);
    }
    delete d;
}

bool HistoryReader::open(const QString& path)
{
    const QString file = QFileInfo(path).absoluteFilePath();
    d->open = false;
    d->store = false;
    if (!QFileInfo::exists(file)) {
        d->error = QCoreApplication::translate(
                       "kestavo::history::HistoryReader",
                       "The history file \"%1\" does not exist; nothing was recorded there yet.")
                       .arg(db::nativePath(file));
        return false;
    }
    d->error = db::checkExistingFile(file, HistoryStore::kSchemaVersion);
    if (!d->error.isEmpty())
        return false;
    if (QSqlDatabase::contains(d->connection) &&
        QSqlDatabase::database(d->connection, false).driverName() != u"QSQLITE") {
        QSqlDatabase::database(d->connection, false).close();
        QSqlDatabase::removeDatabase(d->connection); // it was a store's
    }
    QSqlDatabase conn = QSqlDatabase::contains(d->connection)
                            ? QSqlDatabase::database(d->connection, false)
                            : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), d->connection);
    conn.close();
    conn.setDatabaseName(file);
    conn.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
    if (!conn.open()) {
        d->error = QCoreApplication::translate("kestavo::history::HistoryReader",
                                               "The history file \"%1\" cannot be opened: %2.")
                       .arg(db::nativePath(file), db::sqlError(conn));
        return false;
    }
    QSqlQuery query(conn);
    if (!query.exec(QStringLiteral("SELECT count(*) FROM units"))) {
        d->error = QCoreApplication::translate("kestavo::history::HistoryReader",
                                               "The history file \"%1\" holds no history yet.")
                       .arg(db::nativePath(file));
        conn.close();
        return false;
    }
    d->open = true;
    return true;
}

bool HistoryReader::openStore(const QSqlDatabase& store)
{
    d->open = false;
    d->store = true;
    if (QSqlDatabase::contains(d->connection)) {
        QSqlDatabase::database(d->connection, false).close();
        QSqlDatabase::removeDatabase(d->connection);
    }
    QSqlDatabase conn = QSqlDatabase::cloneDatabase(store, d->connection);
    if (!conn.open()) {
        d->error = QCoreApplication::translate("kestavo::history::HistoryReader",
                                               "The store %1 cannot be opened: %2")
                       .arg(db::storeLabel(conn), db::sqlError(conn));
        return false;
    }
    d->error = db::checkStore(conn, HistoryStore::kSchemaVersion);
    if (!d->error.isEmpty()) {
        conn.close();
        return false;
    }
    d->open = true;
    return true;
}

bool HistoryReader::isOpen() const
{
    return d->open;
}

QString HistoryReader::error() const
{
    return d->error;
}

QStringList HistoryReader::stations() const
{
    QStringList list;
    if (!d->open)
        return list;
    const Snapshot snapshot(*d);
    QSqlDatabase conn = d->db();
    QSqlQuery query(conn);
    if (query.exec(QStringLiteral("SELECT address FROM units UNION SELECT address FROM events ORDER BY 1")))
        while (query.next())
            list.append(query.value(0).toString());
    return list;
}

Series HistoryReader::read(const QString& address, qint64 fromMs, qint64 toMs, Step step) const
{
    Series series;
    series.step = step;
    if (!d->open || toMs <= fromMs)
        return series;
    const Snapshot snapshot(*d);
    QSqlDatabase conn = d->db();
    const QList<qint64> units = db::unitIds(conn, address);
    for (const qint64 unit : units)
        series.rows += db::readUnit(conn, unit, fromMs, toMs, step);
    if (units.size() > 1) {
        std::stable_sort(series.rows.begin(), series.rows.end(),
                         [](const Row& a, const Row& b) { return a.timeMs < b.timeMs; });
        // The same address with another MAC (a replaced unit) in the same bucket: one bucket.
        if (step != Step::Raw)
            series.rows = aggregate(series.rows, stepMs(step));
    }
    series.events = events(address, fromMs, toMs);
    return series;
}

QList<Event> HistoryReader::events(const QString& address, qint64 fromMs, qint64 toMs) const
{
    QList<Event> list;
    if (!d->open)
        return list;
    const Snapshot snapshot(*d);
    QSqlDatabase conn = d->db();
    QSqlQuery query(conn);
    query.prepare(QStringLiteral("SELECT t, kind, detail FROM events WHERE address = ? AND t >= ? AND t < ? "
                                 "ORDER BY t, id"));
    query.addBindValue(address);
    query.addBindValue(fromMs);
    query.addBindValue(toMs);
    if (query.exec())
        while (query.next())
            list.append(
                {query.value(0).toLongLong(), LinkEvent(query.value(1).toInt()), query.value(2).toString()});
    return list;
}

std::pair<qint64, qint64> HistoryReader::extent(const QString& address) const
{
    if (!d->open)
        return {0, 0};
    const Snapshot snapshot(*d);
    QSqlDatabase conn = d->db();
    qint64 first = -1;
    qint64 last = -1;
    for (const qint64 unit : db::unitIds(conn, address)) {
        QSqlQuery query(conn);
        query.prepare(QStringLiteral("SELECT min(t0), max(t1) FROM blocks WHERE unit = ? UNION ALL "
                                     "SELECT min(t), max(t) FROM recent WHERE unit = ?"));
        query.addBindValue(unit);
        query.addBindValue(unit);
        if (!query.exec())
            continue;
        while (query.next()) {
            if (query.value(0).isNull())
                continue;
            const qint64 a = query.value(0).toLongLong();
            const qint64 b = query.value(1).toLongLong();
            first = first < 0 ? a : std::min(first, a);
            last = std::max(last, b);
        }
    }
    return first < 0 ? std::pair<qint64, qint64>{0, 0} : std::pair<qint64, qint64>{first, last};
}

} // namespace kestavo::history
