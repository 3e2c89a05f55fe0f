#include <functional>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include "stations/stationformat.h"
#include "stations/stationstore.h"

using namespace kestavo::stations;
using namespace Qt::StringLiterals;

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList listing(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

int modeOf(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

// A second connection of its own: writes fixtures the store must cope with and reads back what the
// store wrote, independently of the store's cache.
class RawDatabase
{
public:
    explicit RawDatabase(const QString& path) : m_name(u"raw-%1"_s.arg(++s_counter))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
        db.setDatabaseName(path);
        if (!db.open())
            m_error = db.lastError().text();
    }
    ~RawDatabase()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    Q_DISABLE_COPY_MOVE(RawDatabase)

    bool exec(const QString& sql)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        if (query.exec(sql))
            return true;
        m_error = query.lastError().text() + u" in: "_s + sql;
        return false;
    }

    QList<QVariantList> rows(const QString& sql)
    {
        QList<QVariantList> result;
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        if (!query.exec(sql)) {
            m_error = query.lastError().text() + u" in: "_s + sql;
            return result;
        }
        while (query.next()) {
            QVariantList row;
            for (int i = 0; i < query.record().count(); ++i)
                row.append(query.value(i));
            result.append(row);
        }
        return result;
    }

    QVariant scalar(const QString& sql) { return rows(sql).value(0).value(0); }
    QString error() const { return m_error; }

private:
    static inline int s_counter = 0;
    QString m_name;
    QString m_error;
};

// One line per record, from the store's cache and from the file, so the two can be compared.
const QString kSnapshotColumns = u"ips, password, \"default\", Relay1Notes"_s;

QStringList storeSnapshot(const StationStore& store)
{
    QStringList lines;
    for (int p = 0; p < store.count(); ++p) {
        lines.append(QStringList{store.entryAt(p), store.valueAt(p, u"password"_s).toString(),
                                 store.valueAt(p, u"default"_s).toString(),
                                 store.valueAt(p, u"Relay1Notes"_s).toString()}
                         .join(u'|'));
    }
    return lines;
}

QStringList fileSnapshot(const QString& path)
{
    RawDatabase raw(path);
    QStringList lines;
    const auto rows = raw.rows(u"SELECT %1 FROM ipnumbers ORDER BY rowid"_s.arg(kSnapshotColumns));
    for (const QVariantList& row : rows) {
        QStringList fields;
        for (const QVariant& field : row)
            fields.append(field.toString());
        lines.append(fields.join(u'|'));
    }
    return lines;
}

QString entry(const QString& ipAndDescription)
{
    const qsizetype space = ipAndDescription.indexOf(u' ');
    if (space < 0)
        return formatEntry(ipAndDescription, u"station"_s);
    return formatEntry(ipAndDescription.left(space), ipAndDescription.mid(space + 1));
}

QString defaultsOf(const StationStore& store)
{
    QString flags;
    for (int p = 0; p < store.count(); ++p)
        flags.append(QString::number(store.valueAt(p, u"default"_s).toInt()));
    return flags;
}

} // namespace

class TestStationStore final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void newFileIsPrepared();
    void fileStaysOwnerOnly();
    void emptyTable();
    void emptyFileBecomesDatabase();
    void isFlagColumn_data();
    void isFlagColumn();
    void addStoresFormats_data();
    void addStoresFormats();
    void freshRecordColumns();
    void sequences_data();
    void sequences();
    void findAddress_data();
    void findAddress();
    void checkRemove_data();
    void checkRemove();
    void firstRecordIsNeverRemoved();
    void moveStaysInRange_data();
    void moveStaysInRange();
    void writeCurrent_data();
    void writeCurrent();
    void writeCurrentRejectsUnknownColumn();
    void setPassword();
    void failedWriteChangesNothing_data();
    void failedWriteChangesNothing();
    void unknownColumnsSurviveRoundTrip();
    void cellsReadBackAsStored_data();
    void cellsReadBackAsStored();
    void importUpdatesTheFirstOfTwinStations();
    void olderTableIsMigrated();
    void reopenKeepsEverything();
    void badFileIsLeftUntouched_data();
    void badFileIsLeftUntouched();
    void missingDirectory();
    void unreadableFile();
    void folderInsteadOfFile();
    void readOnlyFileIsReadButNeverWritten();
    void storesAreIndependent();
    void extrasLiveBesideTheStationTable();

private:
    QString dbPath() const { return m_dir->filePath(u"ksv.dat"_s); }
    void openNew(StationStore& store, const QStringList& stations);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestStationStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestStationStore::cleanup()
{
    m_dir.reset();
}

// Opens a new file and adds "ip description" stations (password "pw").
void TestStationStore::openNew(StationStore& store, const QStringList& stations)
{
    const auto result = store.open(dbPath());
    QVERIFY2(result.ok, qPrintable(result.error));
    for (const QString& station : stations) {
        const qsizetype space = station.indexOf(u' ');
        const QString ip = space < 0 ? station : station.left(space);
        const QString description = space < 0 ? u"station"_s : station.mid(space + 1);
        QVERIFY2(store.add(ip, u"pw"_s, description), qPrintable(store.lastError()));
    }
}

void TestStationStore::newFileIsPrepared()
{
    {
        StationStore store;
        const auto result = store.open(dbPath());
        QVERIFY2(result.ok, qPrintable(result.error));
        QVERIFY(result.error.isEmpty());
        QVERIFY(store.isOpen());
        QCOMPARE(store.count(), 0);
        QCOMPARE(store.position(), -1);
        QCOMPARE(store.lastPosition(), -1);
        QCOMPARE(store.path(), QFileInfo(dbPath()).absoluteFilePath());
    }

    RawDatabase raw(dbPath());
    QCOMPARE(raw.scalar(u"PRAGMA user_version"_s).toInt(), StationStore::kSchemaVersion);
    QCOMPARE(raw.scalar(u"PRAGMA journal_mode"_s).toString(), u"wal"_s);

    QStringList names;
    QStringList expected{u"_seq"_s};
    QStringList types;
    QStringList expectedTypes{u"INTEGER"_s};
    const auto info = raw.rows(u"PRAGMA table_info(ipnumbers)"_s);
    for (const QVariantList& column : info) {
        names.append(column.at(1).toString());
        types.append(column.at(2).toString());
    }
    for (const QString& column : StationStore::columns()) {
        expected.append(column);
        expectedTypes.append(StationStore::isFlagColumn(column) ? u"INTEGER"_s : u"TEXT"_s);
    }
    QCOMPARE(names, expected);
    QCOMPARE(types, expectedTypes);
    QCOMPARE(info.first().at(5).toInt(), 1); // _seq is the key, so rows keep insertion order
}

void TestStationStore::fileStaysOwnerOnly()
{
    // With no umask to help, only the store's own choice keeps the passwords private.
    const mode_t oldMask = ::umask(0);
    const auto restore = qScopeGuard([oldMask] { ::umask(oldMask); });

    StationStore store;
    QVERIFY(store.open(dbPath()).ok);
    QCOMPARE(modeOf(dbPath()), 0600);

    QVERIFY(store.add(u"10.0.0.1"_s, u"secret"_s, u"first"_s));
    QVERIFY(store.add(u"10.0.0.2"_s, u"secret"_s, u"second"_s));
    QVERIFY(store.writeCurrent({{u"Relay1Notes"_s, u"note"_s}}));
    QCOMPARE(modeOf(dbPath()), 0600);
    for (const QString& side : {u"-wal"_s, u"-shm"_s}) {
        QVERIFY2(QFileInfo::exists(dbPath() + side), qPrintable(side));
        QCOMPARE(modeOf(dbPath() + side), 0600);
    }

    store.close();
    QCOMPARE(modeOf(dbPath()), 0600);
}

void TestStationStore::emptyTable()
{
    StationStore store;
    QVERIFY(store.open(dbPath()).ok);
    QSignalSpy changed(&store, &StationStore::changed);

    const auto fill = store.fillList();
    QVERIFY(fill.entries.isEmpty());
    QVERIFY(fill.defaultEntry.isEmpty());
    QVERIFY(!store.value(u"ips"_s).isValid());
    QCOMPARE(store.findAddress(u"10.0.0.1"_s), -1);
    QCOMPARE(store.position(), -1);

    QVERIFY(!store.writeCurrent({{u"Relay1Notes"_s, u"x"_s}}));
    QVERIFY(!store.lastError().isEmpty());
    int position = 7;
    QCOMPARE(store.checkRemove(u"10.0.0.1"_s, &position), StationStore::RemoveCheck::NotFound);
    QCOMPARE(position, -1);
    QVERIFY(!store.setDefault(u"10.0.0.1"_s));
    QCOMPARE(store.lastError(), kNotFound);
    QCOMPARE(changed.count(), 0);

    QVERIFY(store.add(u"10.0.0.1"_s, u"pw"_s, u"first"_s));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(store.position(), 0);
    QVERIFY(store.isDefault());
    QCOMPARE(store.fillList().defaultEntry, entry(u"10.0.0.1 first"_s));
}

void TestStationStore::emptyFileBecomesDatabase()
{
    QVERIFY(writeBytes(dbPath(), {}));
    StationStore store;
    const auto result = store.open(dbPath());
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(store.count(), 0);
    QVERIFY(store.add(u"10.0.0.1"_s, u"pw"_s, u"first"_s));
    QVERIFY(store.isDefault());
}

void TestStationStore::isFlagColumn_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<bool>("known");
    QTest::addColumn<bool>("flag");

    // Names that look alike but hold different kinds.
    QTest::newRow("default") << u"default"_s << true << true;
    QTest::newRow("Alarm3Recip holds notes") << u"Alarm3Recip"_s << true << false;
    QTest::newRow("Alarm4smtp holds notes") << u"Alarm4smtp"_s << true << false;
    QTest::newRow("Alarm3Audio") << u"Alarm3Audio"_s << true << true;
    QTest::newRow("Alarm4disabled") << u"Alarm4disabled"_s << true << true;
    QTest::newRow("io1 is a flag") << u"io1"_s << true << true;
    QTest::newRow("i/o1 is text") << u"i/o1"_s << true << false;
    QTest::newRow("JP7") << u"JP7"_s << true << true;
    QTest::newRow("Voltage8View") << u"Voltage8View"_s << true << true;
    QTest::newRow("Voltage8Notes") << u"Voltage8Notes"_s << true << false;
    QTest::newRow("smpt2 spelled with p before t") << u"smpt2"_s << true << false;
    QTest::newRow("smtp2 does not exist") << u"smtp2"_s << false << false;
    QTest::newRow("key column is internal") << u"_seq"_s << false << false;
}

void TestStationStore::isFlagColumn()
{
    QFETCH(QString, column);
    QFETCH(bool, known);
    QFETCH(bool, flag);
    QCOMPARE(StationStore::columns().contains(column), known);
    QCOMPARE(StationStore::isFlagColumn(column), flag);
}

void TestStationStore::addStoresFormats_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("typedPassword");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("expectedIps");
    QTest::addColumn<QString>("expectedPassword");

    QTest::newRow("15-character ip without fill, 3-character password")
        << u"192.168.100.200"_s << u"abc"_s << u"Roof"_s << u"192.168.100.200   Roof"_s << u"abc*******"_s;
    QTest::newRow("10-character password unchanged")
        << u"10.0.0.1"_s << u"0123456789"_s << u"Pump"_s << u"10.0.0.1          Pump"_s << u"0123456789"_s;
    QTest::newRow("ip trimmed, description as typed")
        << u" 10.0.0.2 "_s << u"p"_s << u" Shed "_s << u"10.0.0.2           Shed "_s << u"p*********"_s;
    QTest::newRow("30-character description")
        << u"10.0.0.3"_s << u"pw"_s << u"123456789012345678901234567890"_s
        << u"10.0.0.3          123456789012345678901234567890"_s << u"pw********"_s;
}

void TestStationStore::addStoresFormats()
{
    QFETCH(QString, ip);
    QFETCH(QString, typedPassword);
    QFETCH(QString, description);
    QFETCH(QString, expectedIps);
    QFETCH(QString, expectedPassword);

    StationStore store;
    openNew(store, {u"10.9.9.9 base"_s});
    QVERIFY(store.add(ip, typedPassword, description));
    QCOMPARE(store.count(), 2);
    QCOMPARE(store.entryAt(1), expectedIps);
    QCOMPARE(store.valueAt(1, u"password"_s).toString(), expectedPassword);
    QCOMPARE(store.valueAt(1, u"default"_s).toInt(), 0);

    RawDatabase raw(dbPath());
    const auto rows = raw.rows(u"SELECT ips, password FROM ipnumbers ORDER BY rowid"_s);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(1).at(0).toString(), expectedIps);
    QCOMPARE(rows.at(1).at(1).toString(), expectedPassword);
}

void TestStationStore::freshRecordColumns()
{
    StationStore store;
    openNew(store, {u"10.0.0.1 first"_s, u"10.0.0.2 second"_s});

    RawDatabase raw(dbPath());
    QStringList selected;
    for (const QString& column : StationStore::columns())
        selected.append(u"typeof(\"%1\"), \"%1\""_s.arg(column));
    const auto rows = raw.rows(u"SELECT %1 FROM ipnumbers ORDER BY rowid"_s.arg(selected.join(u", "_s)));
    QCOMPARE(rows.size(), 2);
    const QVariantList& second = rows.at(1);
    for (qsizetype i = 3; i < StationStore::columns().size(); ++i) {
        const QString column = StationStore::columns().at(i);
        const bool flag = StationStore::isFlagColumn(column);
        QCOMPARE(second.at(2 * i).toString(), flag ? u"integer"_s : u"text"_s);
        QCOMPARE(second.at(2 * i + 1).toString(), flag ? u"0"_s : QString());
        QCOMPARE(store.valueAt(1, column).toString(), flag ? u"0"_s : QString());
    }
}

void TestStationStore::sequences_data()
{
    // Operations: "a IP DESC" add (password "pw"); "d IP" set default; "r IP" remove when allowed;
    // "f POS 0|1" write the default flag of the record at POS.
    QTest::addColumn<QStringList>("operations");
    QTest::addColumn<QStringList>("entries"); // "IP DESC"
    QTest::addColumn<QString>("defaults");
    QTest::addColumn<QString>("shown"); // station address the list shows
    QTest::addColumn<int>("cursor");

    QTest::newRow("first station added becomes default")
        << QStringList{u"a 10.0.0.1 one"_s} << QStringList{u"10.0.0.1 one"_s} << u"1"_s << u"10.0.0.1"_s << 0;
    QTest::newRow("later stations are last, not default; the default is shown again")
        << QStringList{u"a 10.0.0.1 one"_s, u"a 10.0.0.2 two"_s, u"a 10.0.0.3 three"_s}
        << QStringList{u"10.0.0.1 one"_s, u"10.0.0.2 two"_s, u"10.0.0.3 three"_s} << u"100"_s << u"10.0.0.1"_s
        << 0;
    QTest::newRow("several defaults: the last one is shown")
        << QStringList{u"a 10.0.0.1 one"_s, u"a 10.0.0.2 two"_s, u"a 10.0.0.3 three"_s, u"f 2 1"_s}
        << QStringList{u"10.0.0.1 one"_s, u"10.0.0.2 two"_s, u"10.0.0.3 three"_s} << u"101"_s << u"10.0.0.3"_s
        << 2;
    QTest::newRow("set default leaves exactly one")
        << QStringList{u"a 10.0.0.1 one"_s, u"a 10.0.0.2 two"_s, u"a 10.0.0.3 three"_s,
                       u"f 1 1"_s,          u"f 2 1"_s,          u"d 10.0.0.2"_s}
        << QStringList{u"10.0.0.1 one"_s, u"10.0.0.2 two"_s, u"10.0.0.3 three"_s} << u"010"_s << u"10.0.0.2"_s
        << 1;
    QTest::newRow("set default on a duplicate address picks the lower position")
        << QStringList{u"a 10.0.0.1 one"_s, u"a 10.0.0.2 x"_s, u"a 10.0.0.2 y"_s, u"d 10.0.0.2"_s}
        << QStringList{u"10.0.0.1 one"_s, u"10.0.0.2 x"_s, u"10.0.0.2 y"_s} << u"010"_s << u"10.0.0.2"_s << 1;
    QTest::newRow("removing the default makes the first record default")
        << QStringList{u"a 10.0.0.1 one"_s, u"a 10.0.0.2 two"_s, u"a 10.0.0.3 three"_s, u"d 10.0.0.3"_s,
                       u"r 10.0.0.3"_s}
        << QStringList{u"10.0.0.1 one"_s, u"10.0.0.2 two"_s} << u"10"_s << u"10.0.0.1"_s << 0;
    QTest::newRow("removing another station keeps the default")
        << QStringList{u"a 10.0.0.1 one"_s, u"a 10.0.0.2 two"_s, u"a 10.0.0.3 three"_s, u"d 10.0.0.2"_s,
                       u"r 10.0.0.3"_s}
        << QStringList{u"10.0.0.1 one"_s, u"10.0.0.2 two"_s} << u"01"_s << u"10.0.0.2"_s << 1;
    QTest::newRow("removing one of several defaults keeps the others")
        << QStringList{u"a 10.0.0.1 one"_s, u"a 10.0.0.2 two"_s, u"a 10.0.0.3 three"_s,
                       u"f 1 1"_s,          u"f 2 1"_s,          u"r 10.0.0.3"_s}
        << QStringList{u"10.0.0.1 one"_s, u"10.0.0.2 two"_s} << u"11"_s << u"10.0.0.2"_s << 1;
    QTest::newRow("removing in the middle keeps the order")
        << QStringList{u"a 10.0.0.1 one"_s, u"a 10.0.0.2 two"_s, u"a 10.0.0.3 three"_s, u"a 10.0.0.4 four"_s,
                       u"r 10.0.0.2"_s}
        << QStringList{u"10.0.0.1 one"_s, u"10.0.0.3 three"_s, u"10.0.0.4 four"_s} << u"100"_s
        << u"10.0.0.1"_s << 0;
    QTest::newRow("duplicate address: the lower one is removed")
        << QStringList{u"a 10.0.0.1 one"_s, u"a 10.0.0.2 x"_s, u"a 10.0.0.3 three"_s, u"a 10.0.0.2 y"_s,
                       u"r 10.0.0.2"_s}
        << QStringList{u"10.0.0.1 one"_s, u"10.0.0.3 three"_s, u"10.0.0.2 y"_s} << u"100"_s << u"10.0.0.1"_s
        << 0;
    QTest::newRow("a duplicate of the first record cannot be removed by its address")
        << QStringList{u"a 10.0.0.1 x"_s, u"a 10.0.0.2 two"_s, u"a 10.0.0.1 y"_s, u"r 10.0.0.1"_s}
        << QStringList{u"10.0.0.1 x"_s, u"10.0.0.2 two"_s, u"10.0.0.1 y"_s} << u"100"_s << u"10.0.0.1"_s << 0;
    QTest::newRow("unknown address removes nothing and leaves the last record current")
        << QStringList{u"a 10.0.0.1 one"_s, u"a 10.0.0.2 two"_s, u"a 10.0.0.3 three"_s, u"r 10.9.9.9"_s}
        << QStringList{u"10.0.0.1 one"_s, u"10.0.0.2 two"_s, u"10.0.0.3 three"_s} << u"100"_s << u"10.0.0.1"_s
        << 2;
    QTest::newRow("adding while no record is default: nothing shown, last record current")
        << QStringList{u"a 10.0.0.1 one"_s, u"a 10.0.0.2 two"_s, u"f 0 0"_s, u"a 10.0.0.3 three"_s}
        << QStringList{u"10.0.0.1 one"_s, u"10.0.0.2 two"_s, u"10.0.0.3 three"_s} << u"000"_s << QString()
        << 2;
    QTest::newRow("removing while no record is default makes the first default")
        << QStringList{u"a 10.0.0.1 one"_s, u"a 10.0.0.2 two"_s, u"a 10.0.0.3 three"_s, u"f 0 0"_s,
                       u"r 10.0.0.3"_s}
        << QStringList{u"10.0.0.1 one"_s, u"10.0.0.2 two"_s} << u"10"_s << u"10.0.0.1"_s << 0;
}

void TestStationStore::sequences()
{
    QFETCH(QStringList, operations);
    QFETCH(QStringList, entries);
    QFETCH(QString, defaults);
    QFETCH(QString, shown);
    QFETCH(int, cursor);

    QStringList expectedEntries;
    for (const QString& station : std::as_const(entries))
        expectedEntries.append(entry(station));

    {
        StationStore store;
        openNew(store, {});
        for (const QString& operation : std::as_const(operations)) {
            const QStringList parts = operation.split(u' ');
            const QString& op = parts.at(0);
            if (op == u"a"_s) {
                QVERIFY2(store.add(parts.at(1), u"pw"_s, parts.at(2)), qPrintable(store.lastError()));
            } else if (op == u"d"_s) {
                QVERIFY2(store.setDefault(parts.at(1)), qPrintable(store.lastError()));
            } else if (op == u"r"_s) {
                int position = -1;
                if (store.checkRemove(parts.at(1), &position) == StationStore::RemoveCheck::Ok)
                    QVERIFY2(store.removeAt(position), qPrintable(store.lastError()));
            } else if (op == u"f"_s) {
                store.move(parts.at(1).toInt());
                QVERIFY2(store.writeCurrent({{u"default"_s, parts.at(2).toInt()}}),
                         qPrintable(store.lastError()));
            } else {
                QFAIL(qPrintable(u"unknown operation "_s + operation));
            }
        }

        const auto fill = store.fillList();
        QCOMPARE(fill.entries, expectedEntries);
        QCOMPARE(defaultsOf(store), defaults);
        QCOMPARE(addressOf(fill.defaultEntry), shown);
        QCOMPARE(store.position(), cursor);
        QCOMPARE(store.lastPosition(), expectedEntries.size() - 1);
    }

    // A restart finds the same list.
    StationStore reopened;
    QVERIFY(reopened.open(dbPath()).ok);
    QCOMPARE(reopened.fillList().entries, expectedEntries);
    QCOMPARE(defaultsOf(reopened), defaults);
}

void TestStationStore::findAddress_data()
{
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<bool>("wholeEntry");
    QTest::addColumn<int>("found");
    QTest::addColumn<int>("cursor");

    // Stations: 0 "10.0.0.1 a", 1 "10.0.0.10 b", 2 "192.168.100.200 c", 3 "10.0.0.10 d"; cursor starts on 1.
    QTest::newRow("first record") << u"10.0.0.1"_s << false << 0 << 0;
    QTest::newRow("a prefix is not a match; duplicate lands on the lower")
        << u"10.0.0.10"_s << false << 1 << 1;
    QTest::newRow("15-character address") << u"192.168.100.200"_s << false << 2 << 2;
    QTest::newRow("no match leaves the last record current") << u"10.0.0.2"_s << false << -1 << 3;
    QTest::newRow("a whole entry is not an address") << entry(u"10.0.0.1 a"_s) << false << -1 << 3;
    QTest::newRow("empty address") << QString() << false << -1 << 3;
    QTest::newRow("whole entry") << entry(u"10.0.0.10 d"_s) << true << 3 << 3;
    QTest::newRow("whole entry needs the description too") << entry(u"10.0.0.1 z"_s) << true << -1 << 3;
}

void TestStationStore::findAddress()
{
    QFETCH(QString, wanted);
    QFETCH(bool, wholeEntry);
    QFETCH(int, found);
    QFETCH(int, cursor);

    StationStore store;
    openNew(store, {u"10.0.0.1 a"_s, u"10.0.0.10 b"_s, u"192.168.100.200 c"_s, u"10.0.0.10 d"_s});
    store.move(1);
    QCOMPARE(wholeEntry ? store.findEntry(wanted) : store.findAddress(wanted), found);
    QCOMPARE(store.position(), cursor);
}

void TestStationStore::checkRemove_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<StationStore::RemoveCheck>("check");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("cursor");

    // Stations: 0 "10.0.0.1 x", 1 "10.0.0.2", 2 "10.0.0.1 y", 3 "10.0.0.3".
    QTest::newRow("first record refused although others exist")
        << u"10.0.0.1"_s << StationStore::RemoveCheck::FirstRecord << 0 << 0;
    QTest::newRow("another record") << u"10.0.0.2"_s << StationStore::RemoveCheck::Ok << 1 << 1;
    QTest::newRow("last record") << u"10.0.0.3"_s << StationStore::RemoveCheck::Ok << 3 << 3;
    QTest::newRow("not found") << u"10.0.0.9"_s << StationStore::RemoveCheck::NotFound << -1 << 3;
}

void TestStationStore::checkRemove()
{
    QFETCH(QString, address);
    QFETCH(StationStore::RemoveCheck, check);
    QFETCH(int, position);
    QFETCH(int, cursor);

    StationStore store;
    openNew(store, {u"10.0.0.1 x"_s, u"10.0.0.2"_s, u"10.0.0.1 y"_s, u"10.0.0.3"_s});
    QSignalSpy changed(&store, &StationStore::changed);
    int found = -7;
    QCOMPARE(store.checkRemove(address, &found), check);
    QCOMPARE(found, position);
    QCOMPARE(store.position(), cursor);
    QCOMPARE(store.count(), 4);
    QCOMPARE(changed.count(), 0);
}

void TestStationStore::firstRecordIsNeverRemoved()
{
    StationStore store;
    openNew(store, {u"10.0.0.1"_s, u"10.0.0.2"_s});
    QSignalSpy changed(&store, &StationStore::changed);
    QVERIFY(!store.removeAt(0));
    QCOMPARE(store.lastError(), kDontDelete);
    QVERIFY(!store.removeAt(2));
    QVERIFY(!store.removeAt(-1));
    QCOMPARE(store.count(), 2);
    QCOMPARE(fileSnapshot(dbPath()).size(), 2);
    QCOMPARE(changed.count(), 0);
}

void TestStationStore::moveStaysInRange_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("position");

    QTest::newRow("inside") << 1 << 1;
    QTest::newRow("below the first") << -5 << 0;
    QTest::newRow("past the last") << 3 << 2;
}

void TestStationStore::moveStaysInRange()
{
    QFETCH(int, target);
    QFETCH(int, position);

    StationStore store;
    openNew(store, {u"10.0.0.1"_s, u"10.0.0.2"_s, u"10.0.0.3"_s});
    store.move(target);
    QCOMPARE(store.position(), position);
    QVERIFY(store.value(u"ips"_s).isValid());
}

void TestStationStore::writeCurrent_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<QString>("stored");

    QTest::newRow("relay note") << u"Relay1Notes"_s << QVariant(u"Pump 3, left rack"_s)
                                << u"Pump 3, left rack"_s;
    QTest::newRow("254-character note")
        << u"Relay3Notes"_s << QVariant(QString(254, u'n')) << QString(254, u'n');
    QTest::newRow("input caption") << u"Label2voltage"_s << QVariant(u"Battery"_s) << u"Battery"_s;
    QTest::newRow("number into a text column") << u"Label8voltage"_s << QVariant(12) << u"12"_s;
    QTest::newRow("view flag from bool") << u"Voltage3View"_s << QVariant(true) << u"1"_s;
    QTest::newRow("jumper flag from an old true (-1)") << u"JP6"_s << QVariant(-1) << u"1"_s;
    QTest::newRow("flag from a large number") << u"JP7"_s << QVariant(5) << u"1"_s;
    QTest::newRow("password") << u"password"_s << QVariant(u"newpass***"_s) << u"newpass***"_s;
    QTest::newRow("carried-along text") << u"i/o3"_s << QVariant(u"kept"_s) << u"kept"_s;
    QTest::newRow("carried-along flag") << u"Alarm4disabled"_s << QVariant(1) << u"1"_s;
}

void TestStationStore::writeCurrent()
{
    QFETCH(QString, column);
    QFETCH(QVariant, written);
    QFETCH(QString, stored);

    {
        StationStore store;
        openNew(store, {u"10.0.0.1"_s, u"10.0.0.2"_s, u"10.0.0.3"_s});
        store.move(1);
        const QString before = store.valueAt(2, column).toString();
        QSignalSpy changed(&store, &StationStore::changed);

        QVERIFY2(store.writeCurrent({{column, written}}), qPrintable(store.lastError()));
        QCOMPARE(store.position(), 1);
        QCOMPARE(store.value(column).toString(), stored);
        QCOMPARE(store.valueAt(2, column).toString(), before);
        QCOMPARE(changed.count(), 1);
    }

    RawDatabase raw(dbPath());
    const auto rows = raw.rows(u"SELECT typeof(\"%1\"), \"%1\" FROM ipnumbers ORDER BY rowid"_s.arg(column));
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(1).at(0).toString(), StationStore::isFlagColumn(column) ? u"integer"_s : u"text"_s);
    QCOMPARE(rows.at(1).at(1).toString(), stored);
}

void TestStationStore::writeCurrentRejectsUnknownColumn()
{
    StationStore store;
    openNew(store, {u"10.0.0.1"_s, u"10.0.0.2"_s});
    store.move(1);
    QSignalSpy changed(&store, &StationStore::changed);
    const QStringList before = fileSnapshot(dbPath());

    QVERIFY(!store.writeCurrent({{u"Relay1Notes"_s, u"x"_s}, {u"Relay9Notes"_s, u"y"_s}}));
    QVERIFY(store.lastError().contains(u"Relay9Notes"_s));
    QCOMPARE(store.value(u"Relay1Notes"_s).toString(), QString());
    QCOMPARE(fileSnapshot(dbPath()), before);
    QCOMPARE(store.position(), 1);
    QCOMPARE(changed.count(), 0);
}

void TestStationStore::setPassword()
{
    {
        StationStore store;
        openNew(store, {u"10.0.0.1 x"_s, u"10.0.0.2"_s, u"10.0.0.1 y"_s});
        store.move(1);
        QVERIFY(store.setPassword(u"10.0.0.1"_s, u"newsecret*"_s));
        QCOMPARE(store.position(), 0);
        QCOMPARE(store.password(), u"newsecret*"_s);
        QCOMPARE(store.valueAt(2, u"password"_s).toString(), u"pw********"_s);

        QVERIFY(!store.setPassword(u"10.0.0.9"_s, u"other*****"_s));
        QCOMPARE(store.lastError(), kNotFound);
        QCOMPARE(store.position(), 2);
    }
    StationStore reopened;
    QVERIFY(reopened.open(dbPath()).ok);
    QCOMPARE(reopened.valueAt(0, u"password"_s).toString(), u"newsecret*"_s);
    QCOMPARE(reopened.valueAt(2, u"password"_s).toString(), u"pw********"_s);
}

void TestStationStore::failedWriteChangesNothing_data()
{
    QTest::addColumn<QString>("trigger"); // body after "CREATE TRIGGER refuse "
    QTest::addColumn<QString>("operation");

    const QString refuseUpdate = u"BEFORE UPDATE ON ipnumbers BEGIN SELECT RAISE(ABORT, 'refused'); END"_s;
    // Lets "every default to 0" through and refuses the second half of the operation.
    const QString refuseNewDefault = u"BEFORE UPDATE OF \"default\" ON ipnumbers WHEN NEW.\"default\" = 1 "
                                     u"BEGIN SELECT RAISE(ABORT, 'refused'); END"_s;

    QTest::newRow("write current record") << refuseUpdate << u"write"_s;
    QTest::newRow("new password") << refuseUpdate << u"password"_s;
    QTest::newRow("add") << u"BEFORE INSERT ON ipnumbers BEGIN SELECT RAISE(ABORT, 'refused'); END"_s
                         << u"add"_s;
    QTest::newRow("remove") << u"BEFORE DELETE ON ipnumbers BEGIN SELECT RAISE(ABORT, 'refused'); END"_s
                            << u"remove"_s;
    QTest::newRow("set default fails halfway") << refuseNewDefault << u"default"_s;
    QTest::newRow("removing the default fails halfway") << refuseNewDefault << u"removeDefault"_s;
}

void TestStationStore::failedWriteChangesNothing()
{
    QFETCH(QString, trigger);
    QFETCH(QString, operation);

    StationStore store;
    openNew(store, {u"10.0.0.1"_s, u"10.0.0.2"_s, u"10.0.0.3"_s});
    QVERIFY(store.setDefault(u"10.0.0.3"_s));
    const std::function<bool()> run = [&]() -> bool {
        if (operation == u"write"_s) {
            store.move(1);
            return store.writeCurrent({{u"Relay1Notes"_s, u"x"_s}});
        }
        if (operation == u"password"_s)
            return store.setPassword(u"10.0.0.2"_s, u"zzzzzzzzzz"_s);
        if (operation == u"add"_s)
            return store.add(u"10.0.0.4"_s, u"pw"_s, u"four"_s);
        if (operation == u"remove"_s)
            return store.removeAt(1);
        if (operation == u"default"_s)
            return store.setDefault(u"10.0.0.2"_s);
        return store.removeAt(2);
    };

    {
        RawDatabase raw(dbPath());
        QVERIFY2(raw.exec(u"CREATE TRIGGER refuse "_s + trigger), qPrintable(raw.error()));
    }
    const QStringList before = storeSnapshot(store);
    QCOMPARE(fileSnapshot(dbPath()), before);
    QSignalSpy changed(&store, &StationStore::changed);

    QVERIFY(!run());
    QVERIFY2(store.lastError().contains(QDir::toNativeSeparators(dbPath())), qPrintable(store.lastError()));
    QVERIFY2(store.lastError().contains(u"refused"_s), qPrintable(store.lastError()));
    QCOMPARE(storeSnapshot(store), before);
    QCOMPARE(fileSnapshot(dbPath()), before);
    QCOMPARE(changed.count(), 0);

    // Nothing is left half-open: once the file accepts writes again the same operation succeeds.
    {
        RawDatabase raw(dbPath());
        QVERIFY2(raw.exec(u"DROP TRIGGER refuse"_s), qPrintable(raw.error()));
    }
    QVERIFY2(run(), qPrintable(store.lastError()));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(fileSnapshot(dbPath()), storeSnapshot(store));
}

// The store keeps only the cells that differ from a column's blank ('' or 0) and asks SQLite
// which rows hold any: whatever a row holds comes back as Qt SQL reads it, type and null-ness too.
void TestStationStore::cellsReadBackAsStored_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("literal"); // as written into the second of three stations
    QTest::newRow("text") << u"Relay2Notes"_s << u"'pump'"_s;
    QTest::newRow("NULL text") << u"Voltage5Notes"_s << u"NULL"_s;
    QTest::newRow("number in a text column") << u"Label3voltage"_s << u"0"_s;
    QTest::newRow("flag set") << u"Voltage4View"_s << u"1"_s;
    QTest::newRow("flag NULL") << u"JP6"_s << u"NULL"_s;
    QTest::newRow("text in a flag column") << u"Alarm3Audio"_s << u"''"_s;
    QTest::newRow("default flag") << u"default"_s << u"1"_s;
    QTest::newRow("empty password") << u"password"_s << u"''"_s;
}

void TestStationStore::cellsReadBackAsStored()
{
    QFETCH(QString, column);
    QFETCH(QString, literal);
    {
        StationStore store;
        openNew(store, {u"10.0.0.1 one"_s, u"10.0.0.2 two"_s, u"10.0.0.3 three"_s});
    }
    QVariantList stored;
    {
        RawDatabase raw(dbPath());
        QVERIFY2(raw.exec(u"UPDATE ipnumbers SET \"%1\" = %2 WHERE rowid = 2"_s.arg(column, literal)),
                 qPrintable(raw.error()));
        for (const QVariantList& row : raw.rows(u"SELECT \"%1\" FROM ipnumbers ORDER BY rowid"_s.arg(column)))
            stored.append(row.value(0));
    }
    StationStore store;
    QVERIFY(store.open(dbPath()).ok);
    QCOMPARE(store.count(), 3);
    for (int p = 0; p < 3; ++p) {
        const QVariant value = store.valueAt(p, column);
        QCOMPARE(value.metaType(), stored.at(p).metaType());
        QCOMPARE(value.isNull(), stored.at(p).isNull());
        QCOMPARE(value, stored.at(p));
    }
    QCOMPARE(store.entryAt(2), formatEntry(u"10.0.0.3"_s, u"three"_s));
}

// An older file may list an address twice; every look-up finds the first, and so does an import.
void TestStationStore::importUpdatesTheFirstOfTwinStations()
{
    StationStore store;
    openNew(store, {u"10.0.0.1 one"_s, u"10.0.0.2 first"_s, u"10.0.0.2 second"_s});
    QVERIFY(store.importStations({{u"10.0.0.2"_s, u"new"_s, u"renamed"_s, std::nullopt}}));
    QCOMPARE(store.count(), 3);
    QCOMPARE(store.entryAt(1), formatEntry(u"10.0.0.2"_s, u"renamed"_s));
    QCOMPARE(store.valueAt(1, u"password"_s).toString(), u"new*******"_s);
    QCOMPARE(store.entryAt(2), formatEntry(u"10.0.0.2"_s, u"second"_s));
}

void TestStationStore::unknownColumnsSurviveRoundTrip()
{
    {
        StationStore store;
        openNew(store, {u"10.0.0.1 one"_s, u"10.0.0.2 two"_s, u"10.0.0.3 three"_s});
    }
    {
        RawDatabase raw(dbPath());
        for (const QString& sql :
             {u"ALTER TABLE ipnumbers ADD COLUMN \"Extra\" TEXT"_s,
              u"ALTER TABLE ipnumbers ADD COLUMN \"Weight\" REAL DEFAULT 2.5"_s,
              u"UPDATE ipnumbers SET Extra = 'keep ' || substr(ips, 1, 8), Weight = rowid * 1.5, "
              u"minimum3 = 'm3', \"i/o2\" = 'io text', Alarm4Audio = 1, smpt6 = 's6'"_s,
              u"UPDATE ipnumbers SET Voltage5Notes = NULL WHERE ips LIKE '10.0.0.2 %'"_s}) {
            QVERIFY2(raw.exec(sql), qPrintable(raw.error()));
        }
    }
    {
        StationStore store;
        QVERIFY(store.open(dbPath()).ok);
        QVERIFY(store.tableColumns().contains(u"Extra"_s));
        QVERIFY(store.tableColumns().contains(u"Weight"_s));
        QCOMPARE(store.valueAt(0, u"Extra"_s).toString(), u"keep 10.0.0.1"_s);
        QCOMPARE(store.valueAt(2, u"minimum3"_s).toString(), u"m3"_s);

        store.move(1);
        QVERIFY(store.writeCurrent({{u"Relay1Notes"_s, u"note"_s}, {u"Extra"_s, u"changed by us"_s}}));
        QVERIFY(store.setDefault(u"10.0.0.2"_s));
        QVERIFY(store.add(u"10.0.0.4"_s, u"pw"_s, u"four"_s));
        QVERIFY(store.removeAt(2));
        QVERIFY(store.setPassword(u"10.0.0.1"_s, u"other*****"_s));
    }

    RawDatabase raw(dbPath());
    const auto rows =
        raw.rows(u"SELECT substr(ips, 1, 8), Extra, Weight, minimum3, \"i/o2\", Alarm4Audio, smpt6, "
                 u"typeof(Voltage5Notes), Relay1Notes FROM ipnumbers ORDER BY rowid"_s);
    QCOMPARE(rows.size(), 3);
    const QVariantList& first = rows.at(0);
    QCOMPARE(first.at(0).toString(), u"10.0.0.1"_s);
    QCOMPARE(first.at(1).toString(), u"keep 10.0.0.1"_s);
    QCOMPARE(first.at(2).toDouble(), 1.5);
    QCOMPARE(first.at(3).toString(), u"m3"_s);
    QCOMPARE(first.at(4).toString(), u"io text"_s);
    QCOMPARE(first.at(5).toInt(), 1);
    QCOMPARE(first.at(6).toString(), u"s6"_s);

    const QVariantList& second = rows.at(1);
    QCOMPARE(second.at(1).toString(), u"changed by us"_s);
    QCOMPARE(second.at(2).toDouble(), 3.0);
    QCOMPARE(second.at(3).toString(), u"m3"_s);
    QCOMPARE(second.at(7).toString(), u"null"_s);
    QCOMPARE(second.at(8).toString(), u"note"_s);

    const QVariantList& added = rows.at(2);
    QCOMPARE(added.at(0).toString(), u"10.0.0.4"_s);
    QVERIFY(added.at(1).isNull());
    QCOMPARE(added.at(2).toDouble(), 2.5);
    QCOMPARE(added.at(3).toString(), QString());
}

void TestStationStore::olderTableIsMigrated()
{
    {
        RawDatabase raw(dbPath());
        for (
            const QString& sql :
            {u"CREATE TABLE ipnumbers (ips TEXT, password TEXT, \"default\" INTEGER, Relay1Notes TEXT, Custom TEXT)"_s,
             u"INSERT INTO ipnumbers VALUES ('10.0.0.1          one', 'aaaaaaaaaa', 0, 'r1', 'c1')"_s,
             u"INSERT INTO ipnumbers VALUES ('10.0.0.2          two', 'bbbbbbbbbb', 1, 'r2', 'c2')"_s}) {
            QVERIFY2(raw.exec(sql), qPrintable(raw.error()));
        }
    }
    {
        StationStore store;
        const auto result = store.open(dbPath());
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(storeSnapshot(store), (QStringList{u"10.0.0.1          one|aaaaaaaaaa|0|r1"_s,
                                                    u"10.0.0.2          two|bbbbbbbbbb|1|r2"_s}));
        QCOMPARE(store.valueAt(1, u"Custom"_s).toString(), u"c2"_s);
        QCOMPARE(store.valueAt(1, u"Label1voltage"_s).toString(), QString());
        QCOMPARE(store.valueAt(1, u"JP6"_s).toInt(), 0);
        QVERIFY(store.add(u"10.0.0.3"_s, u"pw"_s, u"three"_s));
        QCOMPARE(store.entryAt(2), entry(u"10.0.0.3 three"_s));
        QCOMPARE(store.position(), 1); // the default station
    }
    RawDatabase raw(dbPath());
    QCOMPARE(raw.scalar(u"PRAGMA user_version"_s).toInt(), StationStore::kSchemaVersion);
    QCOMPARE(raw.scalar(u"PRAGMA journal_mode"_s).toString(), u"wal"_s);
    QStringList names;
    for (const QVariantList& column : raw.rows(u"PRAGMA table_info(ipnumbers)"_s))
        names.append(column.at(1).toString());
    for (const QString& column : StationStore::columns())
        QVERIFY2(names.contains(column), qPrintable(column));
    QVERIFY(names.contains(u"Custom"_s));
}

void TestStationStore::reopenKeepsEverything()
{
    QList<QStringList> before;
    {
        StationStore store;
        openNew(store, {u"10.0.0.1 one"_s, u"10.0.0.2 two"_s, u"10.0.0.3 three"_s});
        for (int p = 0; p < store.count(); ++p) {
            store.move(p);
            QVERIFY(store.writeCurrent({{u"Label%1voltage"_s.arg(p + 1), u"caption %1"_s.arg(p)},
                                        {u"Voltage%1View"_s.arg(p + 1), 1},
                                        {u"Relay2Notes"_s, u"relay note %1"_s.arg(p)},
                                        {u"Alarm3Recip"_s, u"input 2 note"_s},
                                        {u"youremailaddress%1"_s.arg(p + 1), u"carried %1"_s.arg(p)}}));
        }
        QVERIFY(store.setDefault(u"10.0.0.2"_s));
        for (int p = 0; p < store.count(); ++p) {
            QStringList values;
            for (const QString& column : store.tableColumns())
                values.append(column + u'=' + store.valueAt(p, column).toString());
            before.append(values);
        }
    }

    StationStore reopened;
    QVERIFY(reopened.open(dbPath()).ok);
    QCOMPARE(reopened.count(), before.size());
    for (int p = 0; p < reopened.count(); ++p) {
        QStringList values;
        for (const QString& column : reopened.tableColumns())
            values.append(column + u'=' + reopened.valueAt(p, column).toString());
        QCOMPARE(values, before.at(p));
    }
    QCOMPARE(reopened.fillList().defaultEntry, entry(u"10.0.0.2 two"_s));
    QCOMPARE(reopened.findEntry(reopened.fillList().defaultEntry), 1);
}

void TestStationStore::badFileIsLeftUntouched_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("old-format station file") << u"jet"_s << u"not an SQLite database"_s;
    QTest::newRow("text file") << u"text"_s << u"not an SQLite database"_s;
    QTest::newRow("shorter than an SQLite header") << u"short"_s << u"not an SQLite database"_s;
    QTest::newRow("SQLite header, damaged body") << u"damaged"_s << u"damaged"_s;
    QTest::newRow("SQLite without the table") << u"notable"_s << u"no \"ipnumbers\" table"_s;
    QTest::newRow("written by a newer version") << u"newer"_s << u"newer version"_s;
    QTest::newRow("locked by another program") << u"locked"_s << u"locked by another program"_s;
}

void TestStationStore::badFileIsLeftUntouched()
{
    QFETCH(QString, kind);
    QFETCH(QString, complaint);

    std::optional<RawDatabase> locker; // another program holding the file while the console starts
    if (kind == u"locked"_s) {
        {
            StationStore other;
            openNew(other, {u"10.0.0.1"_s});
        }
        locker.emplace(dbPath());
        // The file is in WAL mode, where a transaction alone blocks no reader.
        QVERIFY(locker->exec(u"PRAGMA locking_mode = EXCLUSIVE"_s));
        QVERIFY(locker->exec(u"BEGIN EXCLUSIVE"_s));
    } else if (kind == u"jet"_s) {
        QByteArray bytes("\x00\x01\x00\x00Standard Jet DB\x00", 20);
        bytes.append(QByteArray(2028, '\x5a'));
        QVERIFY(writeBytes(dbPath(), bytes));
    } else if (kind == u"text"_s) {
        QVERIFY(writeBytes(dbPath(), "10.0.0.1,secret,1\n10.0.0.2,other,0\n"));
    } else if (kind == u"short"_s) {
        QVERIFY(writeBytes(dbPath(), "SQLite"));
    } else if (kind == u"damaged"_s) {
        QVERIFY(writeBytes(dbPath(), QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\xff')));
    } else {
        RawDatabase raw(dbPath());
        QVERIFY(raw.exec(u"CREATE TABLE other (x TEXT)"_s));
        QVERIFY(raw.exec(u"INSERT INTO other VALUES ('precious')"_s));
        if (kind == u"newer"_s) {
            QVERIFY(raw.exec(u"CREATE TABLE ipnumbers (ips TEXT)"_s));
            QVERIFY(raw.exec(u"PRAGMA user_version = 7"_s));
        }
    }
    const QByteArray bytes = readBytes(dbPath());
    QVERIFY(!bytes.isEmpty());
    const QStringList files = listing(m_dir->path());
    const QString file = QDir::toNativeSeparators(dbPath());

    {
        StationStore store;
        store.setBusyTimeout(50);
        const auto result = store.open(dbPath());
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains(u'"' + file + u'"'), qPrintable(result.error));
        QVERIFY2(result.error.contains(complaint), qPrintable(result.error));
        // Only a file SQLite finds malformed is called damaged.
        QCOMPARE(result.error.contains(u"damaged"_s), kind == u"damaged"_s);
        QCOMPARE(store.lastError(), result.error);
        QVERIFY(!store.isOpen());
        QCOMPARE(store.count(), 0);
        QCOMPARE(store.position(), -1);
        QVERIFY(store.fillList().entries.isEmpty());

        QSignalSpy changed(&store, &StationStore::changed);
        QVERIFY(!store.add(u"10.0.0.1"_s, u"pw"_s, u"one"_s));
        QVERIFY2(store.lastError().contains(file), qPrintable(store.lastError()));
        QVERIFY(!store.setDefault(u"10.0.0.1"_s));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(readBytes(dbPath()), bytes);
    }
    QCOMPARE(readBytes(dbPath()), bytes);
    QCOMPARE(listing(m_dir->path()), files);
}

void TestStationStore::missingDirectory()
{
    const QString path = m_dir->filePath(u"absent/ksv.dat"_s);
    StationStore store;
    const auto result = store.open(path);
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(QDir::toNativeSeparators(path)), qPrintable(result.error));
    QVERIFY2(result.error.contains(u"does not exist"_s), qPrintable(result.error));
    QVERIFY(!store.add(u"10.0.0.1"_s, u"pw"_s, u"one"_s));
    QVERIFY(listing(m_dir->path()).isEmpty());
}

void TestStationStore::unreadableFile()
{
    if (::geteuid() == 0)
        QSKIP("root reads files whatever their permissions");
    {
        StationStore store;
        openNew(store, {u"10.0.0.1"_s});
    }
    const QByteArray bytes = readBytes(dbPath());
    QVERIFY(QFile::setPermissions(dbPath(), QFileDevice::Permissions()));
    const auto restore = qScopeGuard(
        [this] { QFile::setPermissions(dbPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner); });

    StationStore store;
    const auto result = store.open(dbPath());
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(QDir::toNativeSeparators(dbPath())), qPrintable(result.error));
    QVERIFY2(result.error.contains(u"cannot be read"_s), qPrintable(result.error));
    QCOMPARE(store.count(), 0);
    QCOMPARE(modeOf(dbPath()), 0);
    QVERIFY(QFile::setPermissions(dbPath(), QFileDevice::ReadOwner));
    QCOMPARE(readBytes(dbPath()), bytes);
}

void TestStationStore::folderInsteadOfFile()
{
    QVERIFY(QDir(m_dir->path()).mkdir(u"ksv.dat"_s));
    StationStore store;
    const auto result = store.open(dbPath());
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(u"folder"_s), qPrintable(result.error));
    QVERIFY(QFileInfo(dbPath()).isDir());
    QVERIFY(listing(dbPath()).isEmpty());
}

void TestStationStore::readOnlyFileIsReadButNeverWritten()
{
    if (::geteuid() == 0)
        QSKIP("root writes files whatever their permissions");
    {
        StationStore store;
        openNew(store, {u"10.0.0.1 one"_s, u"10.0.0.2 two"_s});
    }
    QVERIFY(QFile::setPermissions(dbPath(), QFileDevice::ReadOwner));
    const auto restore = qScopeGuard(
        [this] { QFile::setPermissions(dbPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner); });
    const QByteArray bytes = readBytes(dbPath());

    StationStore store;
    const auto result = store.open(dbPath());
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY(store.isReadOnly());
    QCOMPARE(store.fillList().entries, (QStringList{entry(u"10.0.0.1 one"_s), entry(u"10.0.0.2 two"_s)}));

    QSignalSpy changed(&store, &StationStore::changed);
    QVERIFY(!store.add(u"10.0.0.3"_s, u"pw"_s, u"three"_s));
    QVERIFY2(store.lastError().contains(u"read-only"_s), qPrintable(store.lastError()));
    QVERIFY(!store.setDefault(u"10.0.0.2"_s));
    QCOMPARE(store.count(), 2);
    QCOMPARE(defaultsOf(store), u"10"_s);
    QCOMPARE(changed.count(), 0);
    store.close();
    QCOMPARE(readBytes(dbPath()), bytes);
}

void TestStationStore::storesAreIndependent()
{
    const QString otherPath = m_dir->filePath(u"other.dat"_s);
    auto first = std::make_unique<StationStore>();
    StationStore second;
    QVERIFY(first->open(dbPath()).ok);
    QVERIFY(second.open(otherPath).ok);
    QVERIFY(first->add(u"10.0.0.1"_s, u"pw"_s, u"first file"_s));
    QVERIFY(second.add(u"10.0.0.2"_s, u"pw"_s, u"second file"_s));
    first.reset();

    QVERIFY2(second.add(u"10.0.0.3"_s, u"pw"_s, u"still open"_s), qPrintable(second.lastError()));
    QCOMPARE(second.count(), 2);
    QCOMPARE(fileSnapshot(otherPath).size(), 2);
    QCOMPARE(fileSnapshot(dbPath()).size(), 1);
}

void TestStationStore::extrasLiveBesideTheStationTable()
{
    {
        StationStore store;
        openNew(store, {u"10.0.0.1 one"_s, u"10.0.0.2 two"_s, u"10.0.0.3 three"_s});
        QVERIFY(store.addTags(u"10.0.0.2"_s, {u"north/pumps"_s, u"night"_s}));
        QVERIFY(store.addTags(u"10.0.0.3"_s, {u"north"_s}));
        QVERIFY(store.removeTags(u"10.0.0.2"_s, {u"night"_s}));
        QVERIFY(store.setSite(u"10.0.0.2"_s, {u"Pump house"_s, 69.65, 18.96, u"Europe/Oslo"_s}));
        QVERIFY(!store.addTags(u"10.0.0.9"_s, {u"north"_s}));
        QCOMPARE(store.lastError(), kestavo::stations::kNotFound);
        // An import row with a tags column replaces the tags; one without leaves them.
        QVERIFY(store.importStations({{u"10.0.0.3"_s, {}, u"three"_s, QStringList{u"south"_s}},
                                      {u"10.0.0.1"_s, {}, u"one"_s, std::nullopt}}));
    }
    // What older programs read is as it was: the station table and its schema number.
    RawDatabase raw(dbPath());
    QCOMPARE(raw.rows(u"PRAGMA user_version"_s).value(0).value(0).toInt(), StationStore::kSchemaVersion);
    QCOMPARE(raw.rows(u"SELECT count(*) FROM pragma_table_info('ipnumbers')"_s).value(0).value(0).toInt(),
             StationStore::columns().size() + 1);

    StationStore store;
    QVERIFY(store.open(dbPath()).ok);
    QCOMPARE(store.tagsOf(u"10.0.0.2"_s), QStringList{u"north/pumps"_s});
    QCOMPARE(store.addressesWithTag(u"north"_s), QStringList{u"10.0.0.2"_s});
    QCOMPARE(store.addressesWithTag(u"south"_s), QStringList{u"10.0.0.3"_s});
    QCOMPARE(store.addressesWithTag(u"nor"_s), QStringList{});
    const kestavo::stations::StationSite site{u"Pump house"_s, 69.65, 18.96, u"Europe/Oslo"_s};
    QCOMPARE(store.siteOf(u"10.0.0.2"_s), site);

    // A removed station takes its extras along, so a new one at that address starts bare.
    QVERIFY(store.removeAt(store.positionOf(u"10.0.0.2"_s)));
    QVERIFY(store.add(u"10.0.0.2"_s, u"pw"_s, u"again"_s));
    QVERIFY(store.tagsOf(u"10.0.0.2"_s).isEmpty());
    QVERIFY(store.siteOf(u"10.0.0.2"_s).isEmpty());
    store.close();
    QVERIFY(store.open(dbPath()).ok);
    QVERIFY(store.tagsOf(u"10.0.0.2"_s).isEmpty());
}

QTEST_GUILESS_MAIN(TestStationStore)
#include "tst_stationstore.moc"
