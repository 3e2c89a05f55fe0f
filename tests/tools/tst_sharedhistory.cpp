// Two programs on one history file: a recorder (the console's sample store, alarm journal and audit
// log) writing while the command-line client lists the alarms and the audit log again and again,
// and acknowledges the alarms the recorder's engine raises and clears meanwhile.
// The client must never remove the write-ahead log or the shared-memory index the recorder writes
// to, every sample the recorder reported committed stays readable (once), and no acknowledgement is
// undone by the engine's own later transitions. With KESTAVO_SOAK_SECONDS
// set (the "soak" label) the client loop runs that long.

#include <optional>
#include <sys/stat.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "history/alarmjournal.h"
#include "history/historyreader.h"

using namespace Qt::StringLiterals;

namespace {

std::optional<std::pair<dev_t, ino_t>> fileId(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return std::pair{info.st_dev, info.st_ino};
}

class Recorder
{
public:
    explicit Recorder(const QString& path, int seconds)
    {
        m_process.start(QStringLiteral(HISTORY_RECORDER), {path, QString::number(seconds)});
        m_process.waitForStarted();
    }
    ~Recorder()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    /// Waits until the recorder reported at least `samples` committed; false if it stopped first.
    bool waitForCommitted(long long samples)
    {
        while (m_committed < samples) {
            if (m_process.state() == QProcess::NotRunning && !m_process.canReadLine())
                return false;
            m_process.waitForReadyRead(100);
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                if (line.startsWith("committed "))
                    m_committed = line.mid(10).toLongLong();
            }
        }
        return true;
    }
    long long committed() const { return m_committed; }
    QByteArray errors() { return m_process.readAllStandardError(); }

private:
    QProcess m_process;
    long long m_committed = 0;
};

} // namespace

class TestSharedHistory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void clientKeepsTheRecordersLog();
};

void TestSharedHistory::clientKeepsTheRecordersLog()
{
    bool soak = false;
    const int soakSeconds = qEnvironmentVariableIntValue("KESTAVO_SOAK_SECONDS", &soak);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"history.db"_s);
    Recorder recorder(path, soak ? soakSeconds + 120 : 120);
    QVERIFY2(recorder.waitForCommitted(20), recorder.errors().constData());
    const auto wal = fileId(path + u"-wal"_s);
    const auto shm = fileId(path + u"-shm"_s);
    QVERIFY(wal && shm);

    const QDeadlineTimer until(soak ? soakSeconds * 1000LL : 0);
    int runs = 0;
    QSet<qint64> acknowledged;
    for (int round = 0; round < 8 || !until.hasExpired(); ++round) {
        for (const QStringList& command : {QStringList{u"alarms"_s}, QStringList{u"audit"_s},
                                           QStringList{u"alarms"_s, u"ack"_s, u"all"_s}}) {
            QProcess cli;
            cli.start(QStringLiteral(KESTAVO_CLI), QStringList{u"--history"_s, path} + command);
            QVERIFY(cli.waitForFinished(30'000));
            QVERIFY2(cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0,
                     cli.readAllStandardError().constData());
            static const QRegularExpression ack(u"^acknowledged alarm (\\d+) .*now active, acknowledged$"_s,
                                                QRegularExpression::MultilineOption);
            for (auto m = ack.globalMatch(QString::fromUtf8(cli.readAllStandardOutput())); m.hasNext();)
                acknowledged.insert(m.next().captured(1).toLongLong());
            ++runs;
            QVERIFY2(fileId(path + u"-wal"_s) == wal,
                     qPrintable(u"the log changed after %1 runs"_s.arg(runs)));
            QVERIFY2(fileId(path + u"-shm"_s) == shm,
                     qPrintable(u"the index changed after %1 runs"_s.arg(runs)));
        }
        // The recorder goes on committing after the client left.
        QVERIFY2(recorder.waitForCommitted(recorder.committed() + 40), recorder.errors().constData());
    }

    QVERIFY2(!acknowledged.isEmpty(), "the client never found an active alarm to acknowledge");
    const long long committed = recorder.committed();
    kestavo::history::HistoryReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.error()));
    const auto rows = reader.read(u"127.0.0.1"_s, 0, 4'000'000'000'000, kestavo::history::Step::Raw).rows;
    QVERIFY2(rows.size() >= committed,
             qPrintable(u"%1 samples read back, %2 committed"_s.arg(rows.size()).arg(committed)));
    QSet<qint64> times;
    for (const auto& row : rows)
        times.insert(row.timeMs);
    QCOMPARE(times.size(), rows.size());

    // An alarm acknowledged while active stays acknowledged, by the same person, until it clears.
    kestavo::history::AlarmJournal journal;
    QVERIFY2(journal.open(path), qPrintable(journal.error()));
    for (qint64 id : std::as_const(acknowledged)) {
        const auto alarm = journal.alarm(id);
        QVERIFY(alarm);
        QVERIFY2(alarm->state == kestavo::history::AlarmState::ActiveAcknowledged ||
                     alarm->state == kestavo::history::AlarmState::Normal,
                 qPrintable(u"alarm %1 is %2 after its acknowledgement"_s.arg(id).arg(
                     kestavo::history::stateText(alarm->state))));
        QVERIFY2(!alarm->ackedBy.isEmpty(), qPrintable(u"alarm %1 lost who acknowledged it"_s.arg(id)));
    }
}

QTEST_GUILESS_MAIN(TestSharedHistory)
#include "tst_sharedhistory.moc"
