// A history file written before the audit log and the alarms existed (schema 1) is brought
// forward when a newer program opens it: its samples and events stay, the new tables appear, and
// both kinds of program can then use it.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "history/historyreader.h"
#include "history/historystore.h"

using namespace kestavo::history;
using namespace Qt::StringLiterals;

class TestHistorySchema final : public QObject
{
    Q_OBJECT

private slots:
    void versionOneFileIsMigratedForward();
};

void TestHistorySchema::versionOneFileIsMigratedForward()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"history.db"_s);
    {
        // Version 1 exactly as its program left it, with one link event.
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"v1"_s);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (
            const QString& sql :
            {u"CREATE TABLE units (id INTEGER PRIMARY KEY, address TEXT NOT NULL, mac TEXT NOT NULL, UNIQUE (address, mac))"_s,
             u"CREATE TABLE recent (id INTEGER PRIMARY KEY, unit INTEGER NOT NULL, t INTEGER NOT NULL, rec BLOB NOT NULL)"_s,
             u"CREATE TABLE blocks (id INTEGER PRIMARY KEY, unit INTEGER NOT NULL, level INTEGER NOT NULL, "
             u"t0 INTEGER NOT NULL, "
             u"t1 INTEGER NOT NULL, n INTEGER NOT NULL, data BLOB NOT NULL)"_s,
             u"CREATE TABLE rollups (unit INTEGER NOT NULL, level INTEGER NOT NULL, until_ms INTEGER NOT NULL, PRIMARY KEY (unit, level))"_s,
             u"CREATE TABLE events (id INTEGER PRIMARY KEY, address TEXT NOT NULL, t INTEGER NOT NULL, kind "
             u"INTEGER NOT NULL, "
             u"detail TEXT NOT NULL DEFAULT '')"_s,
             u"INSERT INTO events (address, t, kind, detail) VALUES ('127.0.0.9', 1000, 4, 'silent')"_s,
             u"PRAGMA user_version = 1"_s})
            QVERIFY2(q.exec(sql), qPrintable(sql));
        db.close();
    }
    QSqlDatabase::removeDatabase(u"v1"_s);

    AuditLog audit;
    QVERIFY2(audit.open(path), qPrintable(audit.error()));
    AuditRecord record{
        0, 2000, u"ops"_s, u"desk"_s, u"console"_s, u"127.0.0.9"_s, {}, u"Relay 1 ON"_s, u"acknowledged"_s,
        {}};
    QVERIFY(audit.append(record));
    AlarmJournal journal;
    QVERIFY(journal.open(path));
    AlarmRule rule;
    rule.kind = AlarmRuleKind::BadPassword;
    QVERIFY(journal.saveRule(rule));

    HistoryReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.error()));
    const QList<Event> events = reader.events(u"127.0.0.9"_s, 0, 10'000);
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.first().detail, u"silent"_s);
    QCOMPARE(audit.records().size(), 1);
    QCOMPARE(journal.rules().size(), 1);
    HistoryStore store; // the sample writer opens the migrated file as its own
    QVERIFY(store.open(path).ok);
}

QTEST_GUILESS_MAIN(TestHistorySchema)
#include "tst_historyschema.moc"
