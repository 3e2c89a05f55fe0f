// The UnitBackup window with a console session to the simulated unit on 127.0.0.1: back up to a
// file, compare, restore only the ticked items, and what it refuses.

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "protocol/codes.h"
#include "protocol/frames.h"

#include "gui/backup/unitbackupdialogs.h"
#include "gui/backup/unitbackupwindow.h"
#include "gui/main/dialogregistry.h"
#include "ksv-sim/simulatedunit.h"
#include "platform/filechooser.h"
#include "support/consolefixture.h"
#include "support/fakeprompter.h"

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

// Answers like the fake, and like a real box hands the focus to its parent when it closes.
class StealingPrompter final : public kestavo::platform::Prompter
{
public:
    explicit StealingPrompter(QWidget* parent) : m_parent(parent) {}
    Answer ask(const QString& text, const QString& title, Buttons buttons, Icon icon) override
    {
        m_fake.ask(text, title, buttons, icon);
        m_parent->activateWindow();
        (void)QTest::qWaitFor([this] { return QApplication::activeWindow() == m_parent; }, kWaitMs);
        return Answer::Ok;
    }
    const QList<kestavo::testsupport::FakePrompter::Call>& calls() const { return m_fake.calls(); }
    QString lastText() const { return m_fake.lastText(); }
    kestavo::testsupport::FakePrompter::Call lastCall() const { return m_fake.lastCall(); }

private:
    QWidget* m_parent;
    kestavo::testsupport::FakePrompter m_fake;
};

} // namespace

class TestUnitBackupWindow final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void backUpThenRestoreTickedItems();
    void badFileSendsNothing();
    void triggerOnEmptySlotIsWrittenWithAWarning();
    void messagesAreOursAndStayInFront_data();
    void messagesAreOursAndStayInFront();
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
    QVERIFY2(console.fixture.prompter.lastText().contains(
                 QStringLiteral("Station name: must be a text (station_name)")),
             qPrintable(console.fixture.prompter.lastText()));
    for (const QList<QVariant>& args : sent)
        QCOMPARE(args.at(0).toByteArray().at(9), '1'); // polls only
    QCOMPARE(console.list()->count(), 0);
}

// The unit's own state restores: its trigger on an empty slot goes back as it was, and the question
// says so first.
void TestUnitBackupWindow::triggerOnEmptySlotIsWrittenWithAWarning()
{
    SimConsole console;
    QVERIFY(console.startAndOpen());
    const std::string pw = kestavo::protocol::padPassword("secret");
    auto& model = console.unit.model();
    model.handleFrame(kestavo::protocol::ioTriggerFrame(0, 1, kestavo::protocol::slotCode(5),
                                                        kestavo::protocol::slotCode(3), pw),
                      {127, 0, 0, 1});
    console.window->findChild<QPushButton*>(QStringLiteral("BackUpButton"))->click();
    model.handleFrame(kestavo::protocol::ioTriggerFrame(0, 0, 0, 0, pw), {127, 0, 0, 1});
    console.window->findChild<QPushButton*>(QStringLiteral("CompareButton"))->click();
    QCOMPARE(console.list()->count(), 1);

    console.window->findChild<QPushButton*>(QStringLiteral("RestoreButton"))->click();
    const auto& calls = console.fixture.prompter.calls();
    QVERIFY(calls.size() >= 2);
    QVERIFY2(
        calls.at(calls.size() - 2)
            .text.contains(QStringLiteral("Warning: I/O box 1 trigger: slot 5 will hold no relay script")),
        qPrintable(calls.at(calls.size() - 2).text));
    QVERIFY2(console.fixture.prompter.lastText().startsWith(QStringLiteral("Restore finished.")),
             qPrintable(console.fixture.prompter.lastText()));
    QCOMPARE(int(model.ioSetting(1).action), 1);
    QCOMPARE(int(model.ioSetting(1).codeFor0), kestavo::protocol::slotCode(5));
}

void TestUnitBackupWindow::messagesAreOursAndStayInFront_data()
{
    QTest::addColumn<QString>("session"); // "none", "waiting" (started, no report yet) or "bad file"
    QTest::addColumn<QString>("text");
    QTest::newRow("no session") << "none"
                                << "Start a session with the unit first.";
    QTest::newRow("no report yet") << "waiting"
                                   << "The unit has not sent a report yet";
    QTest::newRow("bad file") << "bad file"
                              << "is not a configuration this console can restore";
}

void TestUnitBackupWindow::messagesAreOursAndStayInFront()
{
    QFETCH(QString, session);
    QFETCH(QString, text);
    SimConsole console;
    QVERIFY(console.unitStarted);
    auto& f = console.fixture;
    // The box gives the focus back to the main window, as a real one parented there does.
    QWidget mainWindow;
    mainWindow.show();
    StealingPrompter prompter(&mainWindow);
    kestavo::core::Context context{f.state, f.session, f.store, prompter, f.commands, &mainWindow};
    if (session == u"waiting") {
        f.session.setUnitPort(f.peer.port());
        QVERIFY(f.start()); // the recording peer never answers
    }
    if (session == u"bad file") {
        QSignalSpy reports(&f.state, &kestavo::core::ConsoleState::statusDecoded);
        f.session.start(f.stationEntry());
        QVERIFY(reports.wait(kWaitMs));
        QFile file(console.files.path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"kind\": 5}");
    }
    UnitBackupWindow window(context, console.files, {1000, 50});
    window.show();
    window.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &window);
    window.start(session == u"bad file" ? UnitBackupWindow::Compare : UnitBackupWindow::BackUp);
    QCOMPARE(prompter.calls().size(), 1);
    QVERIFY2(prompter.lastText().contains(text), qPrintable(prompter.lastText()));
    QCOMPARE(prompter.lastCall().title, kestavo::platform::Prompter::ourTitle());
    QTRY_COMPARE(QApplication::activeWindow(), &window);
    if (session != u"bad file")
        QCOMPARE(console.files.opened, 0);
}

QTEST_MAIN(TestUnitBackupWindow)
#include "tst_unitbackupwindow.moc"
