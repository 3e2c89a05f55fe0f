// Secrets stay secret: the station database stays owner-only when the console itself writes it,
// and no password, as typed or as stored, shows up in any log line, message box, command-line
// output or station listing, whatever the unit answers.

#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "stations/stationstore.h"

#include "session/consolestate.h"

#include "app/application.h"
#include "cli.h"
#include "gui/admin/securitydialog.h"
#include "gui/main/mainform.h"
#include "ksv-sim/simulatedunit.h"
#include "support/consolefixture.h"

using namespace kestavo;
using namespace Qt::StringLiterals;

namespace {

constexpr int kWaitMs = 5000;
// Distinctive enough that no fixed text of the console could contain them by chance.
const QString kTyped = QStringLiteral("Kq7Wz3");
const QString kStored = QStringLiteral("Kq7Wz3****");
const QString kNewTyped = QStringLiteral("Vb4Nx8");
const QString kNewStored = QStringLiteral("Vb4Nx8****");

QStringList g_log;
QtMessageHandler g_previous = nullptr;

void capture(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    g_log.append(message);
    if (g_previous)
        g_previous(type, context, message);
}

int modeOf(const QString& path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

template <typename T> T* topLevel(const QString& name)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == name && widget->isVisible())
            return qobject_cast<T*>(widget);
    }
    return nullptr;
}

sim::SimulatedUnit::Config unitConfig(const std::string& password)
{
    sim::SimulatedUnit::Config config;
    config.unit.password = password;
    config.port = 0;
    config.realTime = false;
    return config;
}

struct CliRun
{
    int code = -1;
    QString out;
    QString err;
};

CliRun runCli(const QStringList& arguments, const QString& applicationDir)
{
    CliRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    cli::CliEnvironment environment;
    environment.applicationDir = applicationDir;
    run.code = cli::runCli(arguments, out, err, environment);
    out.flush();
    err.flush();
    return run;
}

} // namespace

class TestSecurity : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { g_previous = qInstallMessageHandler(capture); }
    void cleanupTestCase() { qInstallMessageHandler(g_previous); }
    void init() { g_log.clear(); }

    void databaseStaysOwnerOnlyThroughTheConsole();
    void passwordNeverShown_data();
    void passwordNeverShown();
};

void TestSecurity::databaseStaysOwnerOnlyThroughTheConsole()
{
    // No umask to help: only the console's own choice keeps the file private.
    const mode_t oldMask = ::umask(0);
    const auto restore = qScopeGuard([oldMask] { ::umask(oldMask); });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ksv.dat"));

    app::Application::Options options;
    options.database = path;
    options.unitPort = 7007;
    app::Application console(options);
    QVERIFY(console.start());
    QCOMPARE(modeOf(path), 0600);

    for (const QString& ip : {QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2")}) {
        console.mainForm().findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        QPointer<QWidget> dialog;
        QTRY_VERIFY((dialog = topLevel<QWidget>(QStringLiteral("ADDIP1"))) != nullptr);
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("Text1")), ip);
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("Text3")), kTyped);
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("Text2")),
                         QStringLiteral("Owner only"));
        dialog->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        QTRY_VERIFY(dialog.isNull() || !dialog->isVisible());
        QCOMPARE(modeOf(path), 0600);
    }
    // "Set  Default IP" on the second station: every record is rewritten.
    auto* stationBox = console.mainForm().findChild<QComboBox*>(QStringLiteral("Combo1"));
    stationBox->setCurrentIndex(1);
    console.mainForm().findChild<QPushButton*>(QStringLiteral("Command1"))->click();

    stations::StationStore check;
    QVERIFY(check.open(path).ok);
    QCOMPARE(check.count(), 2);
    QCOMPARE(check.valueAt(1, QStringLiteral("default")).toInt(), 1);
    QCOMPARE(check.valueAt(0, QStringLiteral("password")).toString(), kStored);
    for (const QString& file : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")}) {
        if (QFile::exists(file))
            QVERIFY2(modeOf(file) == 0600, qPrintable(file));
    }
}

void TestSecurity::passwordNeverShown_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::newRow("session with reports and slot table") << QStringLiteral("session");
    QTest::newRow("unit rejects the password") << QStringLiteral("rejected");
    QTest::newRow("remote password changed") << QStringLiteral("change");
    QTest::newRow("cli station add and listings") << QStringLiteral("cli stations");
    QTest::newRow("cli status in every format") << QStringLiteral("cli status");
    QTest::newRow("cli wrong password and usage errors") << QStringLiteral("cli refusals");
}

void TestSecurity::passwordNeverShown()
{
    QFETCH(QString, scenario);
    QStringList shown; // everything a person or a log file could see, besides the log itself
    testsupport::ConsoleFixture fixture(kTyped);

    if (scenario == u"session" || scenario == u"rejected" || scenario == u"change") {
        sim::SimulatedUnit unit(unitConfig(scenario == u"rejected" ? "other" : kTyped.toStdString()));
        QVERIFY2(unit.start(), qPrintable(unit.errorString()));
        fixture.session.setUnitPort(unit.port());
        fixture.session.setTiming({20, 600000, 60000});
        QWidget mainWindow;
        fixture.context.mainWindow = &mainWindow;
        fixture.session.start(fixture.stationEntry());
        if (scenario == u"rejected") {
            QTRY_VERIFY_WITH_TIMEOUT(!fixture.state.acquiring(), kWaitMs);
            QCOMPARE(fixture.prompter.lastText(), QStringLiteral("Bad Password!"));
        } else {
            QSignalSpy table(&fixture.state, &core::ConsoleState::slotTableChanged);
            QVERIFY(table.wait(kWaitMs));
        }
        if (scenario == u"change") {
            QPointer<admin::SecurityDialog> dialog = new admin::SecurityDialog(fixture.context);
            dialog->show();
            auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("Text1"));
            box->clear();
            QTest::keyClicks(box, kNewTyped);
            dialog->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
            QTRY_COMPARE_WITH_TIMEOUT(unit.model().password(), kNewStored.toStdString(), kWaitMs);
            QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), kWaitMs);
            QCOMPARE(fixture.store.password(), kNewStored);
        }
        fixture.session.stop();
        QVERIFY(!fixture.prompter.calls().isEmpty() || scenario == u"session");
    } else {
        sim::SimulatedUnit unit(unitConfig(kTyped.toStdString()));
        QVERIFY2(unit.start(), qPrintable(unit.errorString()));
        const QString db = fixture.dir.filePath(QStringLiteral("cli.dat"));
        const QString port = QString::number(unit.port());
        QList<QStringList> lines;
        if (scenario == u"cli stations") {
            lines << QStringList{u"--db"_s,      db,     u"stations"_s,   u"add"_s,
                                 u"127.0.0.1"_s, kTyped, u"Secret unit"_s};
            for (const QString& format : {u"text"_s, u"json"_s, u"csv"_s})
                lines << QStringList{u"--db"_s, db, u"--format"_s, format, u"stations"_s, u"list"_s};
        } else if (scenario == u"cli status") {
            for (const QString& format : {u"text"_s, u"json"_s, u"csv"_s})
                lines << QStringList{u"--port"_s,   port,   u"--password"_s, kTyped,
                                     u"--format"_s, format, u"status"_s,     u"127.0.0.1"_s};
        } else {
            unit.model().setPassword("other");
            lines << QStringList{u"--port"_s, port, u"--password"_s, kTyped, u"status"_s, u"127.0.0.1"_s}
                  << QStringList{u"--port"_s, port,           u"--password"_s, kTyped,
                                 u"relay"_s,  u"127.0.0.1"_s, u"7"_s,          u"on"_s}
                  << QStringList{u"--password"_s, kTyped, u"status"_s}
                  << QStringList{u"--db"_s,        db,         u"stations"_s, u"add"_s, u"127.0.0.1"_s,
                                 kTyped + u" x"_s, u"Spaced"_s}
                  << QStringList{u"--port"_s, port, u"password"_s, u"127.0.0.1"_s, kNewTyped, u"extra"_s};
        }
        for (const QStringList& line : lines) {
            const CliRun run = runCli(line, fixture.dir.path());
            shown << run.out << run.err;
        }
        // The listings and reports really came out: an empty output would pass trivially.
        QVERIFY(shown.join(QString()).size() > 40);
        if (scenario == u"cli stations") {
            // The secret is in the system (the station file keeps it): the outputs leave it out.
            stations::StationStore store;
            QVERIFY(store.open(db).ok);
            QCOMPARE(store.valueAt(0, u"password"_s).toString(), kStored);
            QVERIFY(shown.join(QString()).contains(u"Secret unit"_s));
        }
    }

    shown << fixture.prompter.texts();
    for (const auto& call : fixture.prompter.calls())
        shown << call.title;
    shown << g_log;
    const QString all = shown.join(u'\n');
    for (const QString& secret : {kTyped, kStored, kNewTyped, kNewStored})
        QVERIFY2(!all.contains(secret),
                 qPrintable(QStringLiteral("%1 shown in: %2").arg(secret, all.left(2000))));
}

QTEST_MAIN(TestSecurity)
#include "tst_security.moc"
