// The UnitBackup window with a console session to the simulated unit on 127.0.0.1: back up to a
// file, compare, restore only the ticked items, and what it refuses.

#include <QFile>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "gui/backup/unitbackupdialogs.h"
#include "gui/backup/unitbackupwindow.h"
#include "gui/main/dialogregistry.h"
#include "ksv-sim/simulatedunit.h"
#include "platform/filechooser.h"
#include "support/consolefixture.h"

using kestavo::sim::SimulatedUnit;
using kestavo::testsupport::ConsoleFixture;
using kestavo::unitbackup::UnitBackupWindow;

namespace {

constexpr int kWaitMs = 5000;

class FakeFileChooser final : public kestavo::platform::FileChooser
{
public:
    QString openFile(QWidget*, const QString&) override
    {
        ++opened;
        return path;
    }
    QString saveFile(QWidget*, const QString&, const QString&) override { return path; }
    QString path;
    int opened = 0;
};

SimulatedUnit::Config unitConfig()
{
    SimulatedUnit::Config config;
    config.unit.password = "secret";
    config.port = 0;
    config.realTime = false;
    return config;
}

struct SimConsole
{
    SimConsole() : unit(unitConfig())
    {
        unitStarted = unit.start();
        fixture.session.setUnitPort(unit.port());
        fixture.session.setTiming({20, 600000, 400});
        files.path = dir.filePath(QStringLiteral("unit.json"));
        unit.model().setRelayScript(3, "35", "Fans");
    }
    ~SimConsole() { delete window.data(); }
    SimConsole(const SimConsole&) = delete;
    SimConsole& operator=(const SimConsole&) = delete;

    bool startAndOpen()
    {
        QSignalSpy reports(&fixture.state, &kestavo::core::ConsoleState::statusDecoded);
        fixture.session.start(fixture.stationEntry());
        if (!reports.wait(kWaitMs))
            return false;
        window = new UnitBackupWindow(fixture.context, files, {1000, 50});
        window->show();
        return true;
    }
    QListWidget* list() const { return window->findChild<QListWidget*>(QStringLiteral("Changes")); }

    QTemporaryDir dir;
    SimulatedUnit unit;
    ConsoleFixture fixture{QStringLiteral("secret")};
    FakeFileChooser files;
    QPointer<UnitBackupWindow> window;
    bool unitStarted = false;
};

} // namespace

class TestUnitBackupWindow final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void backUpThenRestoreTickedItems();
    void badFileSendsNothing();
    void needsASession();
};

void TestUnitBackupWindow::backUpThenRestoreTickedItems()
{
    SimConsole console;
    QVERIFY(console.unitStarted);
    QVERIFY(console.startAndOpen());
    console.window->findChild<QPushButton*>(QStringLiteral("BackUpButton"))->click();
    QFile file(console.files.path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray document = file.readAll();
    QVERIFY(document.contains("\"Fans\""));
    QVERIFY(!document.contains("secret"));

    console.unit.model().setRelayScript(3, "6", "Other");
    console.unit.model().setStationName("Renamed");
    console.window->findChild<QPushButton*>(QStringLiteral("CompareButton"))->click();
    QListWidget* list = console.list();
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("station name: 'Renamed' \u2192 'KSV Simulator'"));
    QCOMPARE(list->item(0)->checkState(), Qt::Checked);
    list->item(0)->setCheckState(Qt::Unchecked);

    // Every frame of the restore goes out on the session's own path.
    QSignalSpy sent(&console.fixture.session, &kestavo::core::Session::frameSent);
    console.window->findChild<QPushButton*>(QStringLiteral("RestoreButton"))->click();
    QCOMPARE(console.fixture.prompter.calls().at(console.fixture.prompter.calls().size() - 2).buttons,
             kestavo::platform::Prompter::Buttons::YesNo);
    QVERIFY2(console.fixture.prompter.lastText().startsWith(
                 QStringLiteral("Restore finished. Written: relay script 3.")),
             qPrintable(console.fixture.prompter.lastText()));
    QCOMPARE(console.unit.model().relayScript(3).description.substr(0, 4), std::string("Fans"));
    QCOMPARE(console.unit.model().stationName().substr(0, 7), std::string("Renamed"));
    bool upload = false;
    for (const QList<QVariant>& args : sent)
        upload = upload || args.at(0).toByteArray().at(9) == 'J';
    QVERIFY(upload);
    QCOMPARE(list->count(), 1); // what still differs: the name left unticked
}

void TestUnitBackupWindow::badFileSendsNothing()
{
    SimConsole console;
    QVERIFY(console.startAndOpen());
    QFile file(console.files.path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"kind\": \"kestavo-unit-configuration\", \"format\": 1, \"station_name\": 5}");
    file.close();
    QSignalSpy sent(&console.fixture.session, &kestavo::core::Session::frameSent);
    console.window->compare();
    QVERIFY2(console.fixture.prompter.lastText().contains(QStringLiteral("station_name: must be a text")),
             qPrintable(console.fixture.prompter.lastText()));
    for (const QList<QVariant>& args : sent)
        QCOMPARE(args.at(0).toByteArray().at(9), '1'); // polls only
    QCOMPARE(console.list()->count(), 0);
}

void TestUnitBackupWindow::needsASession()
{
    SimConsole console;
    kestavo::core::DialogRegistry registry;
    kestavo::unitbackup::registerUnitBackupWindow(registry, console.files);
    QPointer<QWidget> window = registry.open(kestavo::core::DialogId::UnitBackup, console.fixture.context, 1);
    QVERIFY(window);
    QTRY_COMPARE(console.fixture.prompter.lastText(), QStringLiteral("Aquire Data First!"));
    QCOMPARE(console.files.opened, 0);
    delete window.data();
}

QTEST_MAIN(TestUnitBackupWindow)
#include "tst_unitbackupwindow.moc"
