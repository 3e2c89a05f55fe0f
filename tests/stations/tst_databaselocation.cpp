#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "stations/databaselocation.h"

using namespace kestavo::stations;
using namespace Qt::StringLiterals;

class TestDatabaseLocation final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void precedence_data();
    void precedence();
    void relativeOptionBecomesAbsolute();

private:
    QString m_oldDataHome;
    QString m_oldCurrent;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestDatabaseLocation::initTestCase()
{
    QCoreApplication::setOrganizationName(u"Kestavo"_s);
    QCoreApplication::setApplicationName(u"kestavo-test"_s);
    m_oldDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    m_oldCurrent = QDir::currentPath();
}

void TestDatabaseLocation::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // The per-user data directory is redirected into the temporary folder: nothing touches $HOME.
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir->filePath(u"data"_s)));
    QVERIFY(QDir().mkpath(m_dir->filePath(u"app"_s)));
}

void TestDatabaseLocation::cleanup()
{
    QDir::setCurrent(m_oldCurrent);
    if (m_oldDataHome.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_oldDataHome));
    m_dir.reset();
}

void TestDatabaseLocation::precedence_data()
{
    QTest::addColumn<QString>("option");   // relative to the temporary folder; empty: no --db
    QTest::addColumn<QString>("beside");   // what lies at app/ksv.dat: "", "file" or "folder"
    QTest::addColumn<QString>("expected"); // relative to the temporary folder

    QTest::newRow("--db wins over a file beside the executable")
        << u"elsewhere/my.dat"_s << u"file"_s << u"elsewhere/my.dat"_s;
    QTest::newRow("--db wins when nothing is beside") << u"other.dat"_s << QString() << u"other.dat"_s;
    QTest::newRow("portable file beside the executable") << QString() << u"file"_s << u"app/ksv.dat"_s;
    QTest::newRow("per-user data directory")
        << QString() << QString() << u"data/Kestavo/kestavo-test/ksv.dat"_s;
    QTest::newRow("a folder named ksv.dat is not a database")
        << QString() << u"folder"_s << u"data/Kestavo/kestavo-test/ksv.dat"_s;
}

void TestDatabaseLocation::precedence()
{
    QFETCH(QString, option);
    QFETCH(QString, beside);
    QFETCH(QString, expected);

    const QString besidePath = m_dir->filePath(u"app/ksv.dat"_s);
    if (beside == u"file"_s) {
        QFile file(besidePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (beside == u"folder"_s) {
        QVERIFY(QDir().mkpath(besidePath));
    }

    const QString dbOption = option.isEmpty() ? QString() : m_dir->filePath(option);
    const QString resolved = resolveDatabasePath(dbOption, m_dir->filePath(u"app"_s));
    QCOMPARE(resolved, QFileInfo(m_dir->filePath(expected)).absoluteFilePath());
    if (expected.startsWith(u"data/"_s)) {
        QVERIFY2(QFileInfo(resolved).absoluteDir().exists(), "the data directory is created");
        QVERIFY2(!QFileInfo::exists(resolved), "only the folder is created, the store makes the file");
    }
}

void TestDatabaseLocation::relativeOptionBecomesAbsolute()
{
    QVERIFY(QDir::setCurrent(m_dir->path()));
    const QString resolved = resolveDatabasePath(u"sub/stations.dat"_s, m_dir->filePath(u"app"_s));
    QVERIFY(QFileInfo(resolved).isAbsolute());
    QCOMPARE(resolved, QDir(m_dir->path()).absoluteFilePath(u"sub/stations.dat"_s));
}

QTEST_GUILESS_MAIN(TestDatabaseLocation)
#include "tst_databaselocation.moc"
