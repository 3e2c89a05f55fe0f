// The Rollout window against simulated units on loopback: only the tag's units hear frames, an
// equal unit is skipped, a refusing unit's row says so, pause starts no new unit, stop lets the
// units in flight finish, and No at the question sends nothing.

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "alarms/auditrecorder.h"
#include "backup/unitconfig.h"
#include "fleetrig.h"
#include "gui/backup/rolloutwindow.h"
#include "platform/filechooser.h"
#include "support/consolefixture.h"
#include "support/fakeprompter.h"

using namespace kestavo;
using testsupport::ConsoleFixture;
using testsupport::FakePrompter;
using testsupport::SimFleetRig;
using unitbackup::RolloutWindow;

namespace {

constexpr int kWaitMs = 10000;
constexpr int kUnits = 5;
constexpr int kRefusing = 2; // its station holds a wrong password
constexpr int kUntagged = 4; // not in the group

class FixedFile final : public platform::FileChooser
{
public:
    QString openFile(QWidget*, const QString&) override { return path; }
    QString saveFile(QWidget*, const QString&, const QString&) override { return path; }
    QString path;
};

alarms::AuditRecorder::Options auditOptions()
{
    alarms::AuditRecorder::Options options;
    options.program = QStringLiteral("console");
    return options;
}

struct Rig
{
    Rig() : fleet(kUnits, "Fl33t")
    {
        console.session.setUnitPort(fleet.fleet->port());
        for (int k = 0; k < kUnits; ++k) {
            const QString address = fleet.fleet->address(k).toString();
            ok =
                ok &&
                console.store.add(address, k == kRefusing ? QStringLiteral("Wr0ng") : QStringLiteral("Fl33t"),
                                  QStringLiteral("Site %1").arg(k + 1)) &&
                console.store.addTags(
                    address, {k == kUntagged ? QStringLiteral("south") : QStringLiteral("north/pumps")});
        }
        // The file: two relay scripts none of the units holds.
        backup::UnitConfig config;
        config.relayScripts[0] = {QStringLiteral("Blink"),
                                  {QStringLiteral("Relay 1 ON"), QStringLiteral("Relay 1 OFF")}};
        config.relayScripts[1] = {
            QStringLiteral("All on"),
            {QStringLiteral("Relay 1 ON"), QStringLiteral("Relay 2 ON"), QStringLiteral("Relay 3 ON")}};
        files.path = dir.filePath(QStringLiteral("pumps.json"));
        QFile out(files.path);
        ok = ok && out.open(QIODevice::WriteOnly) && out.write(backup::toDocument(config)) > 0;
        out.close();

        window = new RolloutWindow(console.context, files, &recorder, backup::Timing{400, 40});
        window->show();
        window->findChild<QPushButton*>(QStringLiteral("ChooseFileButton"))->click();
        for (auto* box : window->findChildren<QCheckBox*>()) {
            if (box->objectName().startsWith(QStringLiteral("Item_")))
                box->setChecked(box->objectName() == QStringLiteral("Item_scripts"));
        }
        window->findChild<QRadioButton*>(QStringLiteral("ByTag"))->setChecked(true);
        auto* tag = window->findChild<QComboBox*>(QStringLiteral("Tag"));
        tag->setCurrentIndex(tag->findText(QStringLiteral("north")));
        window->findChild<QSpinBox*>(QStringLiteral("MaxFailures"))->setValue(0);
    }
    ~Rig() { delete window.data(); }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    QPushButton* button(const char* name) const
    {
        return window->findChild<QPushButton*>(QLatin1String(name));
    }
    QAbstractItemModel* units() const
    {
        return window->findChild<QTableView*>(QStringLiteral("Units"))->model();
    }
    QString result(int row) const { return units()->index(row, 2).data().toString(); }
    void setParallel(int n) const { window->findChild<QSpinBox*>(QStringLiteral("Parallel"))->setValue(n); }
    bool waitDone() const
    {
        return QTest::qWaitFor([this] { return !window->isRunning(); }, kWaitMs);
    }
    std::size_t framesAt(int k) const { return fleet.fleet->model(k).frames().size(); }
    void clearLogs()
    {
        for (int k = 0; k < kUnits; ++k)
            fleet.fleet->model(k).clearLogs();
    }

    SimFleetRig fleet;
    ConsoleFixture console{QStringLiteral("secret")};
    alarms::AuditRecorder recorder{nullptr, auditOptions()};
    QTemporaryDir dir;
    FixedFile files;
    QPointer<RolloutWindow> window;
    bool ok = true;
};

} // namespace

class TestRolloutWindow final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tagOnlyAndEqualSkippedOnTheSecondRun();
    void pauseAndStop_data();
    void pauseAndStop();
};

void TestRolloutWindow::tagOnlyAndEqualSkippedOnTheSecondRun()
{
    Rig rig;
    QVERIFY(rig.ok);
    QVERIFY(rig.fleet.started);
    QSignalSpy audited(&rig.recorder, &alarms::AuditRecorder::recorded);
    for (QWidget* control : rig.window->findChildren<QWidget*>()) {
        const bool own = !qobject_cast<QAbstractSpinBox*>(control->parentWidget()) &&
                         !qobject_cast<QComboBox*>(control->parentWidget()) &&
                         !qobject_cast<QHeaderView*>(control);
        const bool isControl =
            qobject_cast<QAbstractButton*>(control) || qobject_cast<QComboBox*>(control) ||
            qobject_cast<QAbstractSpinBox*>(control) || qobject_cast<QLineEdit*>(control) ||
            qobject_cast<QAbstractItemView*>(control) || qobject_cast<QProgressBar*>(control);
        if (own && isControl && control->window() == rig.window)
            QVERIFY2(!control->accessibleName().isEmpty(),
                     qPrintable(control->objectName() + QLatin1String(control->metaObject()->className())));
    }

    // No at the question: nothing goes out.
    rig.console.prompter.queueAnswer(platform::Prompter::Answer::No);
    rig.button("StartButton")->click();
    QCOMPARE(rig.console.prompter.lastText(),
             QStringLiteral("Roll out pumps.json (scripts) at 4 stations (tag north)?"));
    QVERIFY(!rig.window->isRunning());
    QTest::qWait(100);
    for (int k = 0; k < kUnits; ++k)
        QCOMPARE(rig.framesAt(k), std::size_t(0));

    rig.button("StartButton")->click();
    QVERIFY(rig.window->isRunning());
    QVERIFY(rig.waitDone());
    QCOMPARE(rig.units()->rowCount(), 4); // the fixture's own station and the south one are not in it
    for (int row = 0; row < 4; ++row) {
        const int k = row; // rows follow the directory: units 0..3
        QCOMPARE(rig.units()->index(row, 0).data().toString(), rig.fleet.fleet->address(k).toString());
        if (k == kRefusing)
            QVERIFY2(rig.result(row).startsWith(QStringLiteral("refused: ")), qPrintable(rig.result(row)));
        else
            QVERIFY2(rig.result(row).startsWith(QStringLiteral("written: ")), qPrintable(rig.result(row)));
    }
    QCOMPARE(rig.framesAt(kUntagged), std::size_t(0));
    QCOMPARE(rig.window->findChild<QLabel*>(QStringLiteral("Status"))->text(),
             QStringLiteral("4 stations, 3 written, 1 failed."));
    // Every changing frame is audited, each for a unit that was written.
    QVERIFY(!audited.isEmpty());
    for (const QList<QVariant>& record : std::as_const(audited)) {
        const QString unit = record.first().value<history::AuditRecord>().address;
        QVERIFY2(unit != rig.fleet.fleet->address(kRefusing).toString(), qPrintable(unit));
    }

    // A second run: the written units are equal and only read.
    rig.clearLogs();
    audited.clear();
    rig.button("StartButton")->click();
    QVERIFY(rig.waitDone());
    QCOMPARE(rig.result(0), QStringLiteral("equal"));
    QCOMPARE(rig.result(1), QStringLiteral("equal"));
    QCOMPARE(rig.result(3), QStringLiteral("equal"));
    QVERIFY(audited.isEmpty());
    QCOMPARE(rig.framesAt(kUntagged), std::size_t(0));
}

void TestRolloutWindow::pauseAndStop_data()
{
    QTest::addColumn<QString>("button"); // pressed while the first unit is in flight
    QTest::addColumn<int>("parallel");
    QTest::newRow("pause, then resume") << QStringLiteral("PauseButton") << 1;
    QTest::newRow("stop") << QStringLiteral("StopButton") << 2;
}

void TestRolloutWindow::pauseAndStop()
{
    QFETCH(QString, button);
    QFETCH(int, parallel);
    Rig rig;
    QVERIFY(rig.ok);
    rig.setParallel(parallel);
    auto* press = rig.window->findChild<QPushButton*>(button);
    // Pressed as soon as the first unit is shown working: it is talking to its unit by then.
    QMetaObject::Connection pressing = connect(rig.units(), &QAbstractItemModel::dataChanged, this, [&] {
        if (rig.result(0) == QStringLiteral("working\u2026")) {
            disconnect(pressing);
            press->click();
        }
    });
    rig.button("StartButton")->click();
    if (button == QStringLiteral("PauseButton")) {
        QVERIFY(
            QTest::qWaitFor([&] { return rig.result(0).startsWith(QStringLiteral("written")); }, kWaitMs));
        QTest::qWait(300);
        QVERIFY(rig.window->isRunning());
        QCOMPARE(rig.result(1), QString());
        QCOMPARE(rig.framesAt(1), std::size_t(0));
        QCOMPARE(press->text(), QStringLiteral("Resume"));
        press->click();
        QVERIFY(rig.waitDone());
        QVERIFY2(rig.result(3).startsWith(QStringLiteral("written")), qPrintable(rig.result(3)));
        return;
    }
    QVERIFY(rig.waitDone());
    // The units in flight finished; the others never heard a frame.
    int notStarted = 0;
    for (int row = 0; row < rig.units()->rowCount(); ++row) {
        const int k = row;
        if (rig.result(row) == QStringLiteral("not started")) {
            ++notStarted;
            QCOMPARE(rig.framesAt(k), std::size_t(0));
        } else {
            QVERIFY2(!rig.result(row).startsWith(QStringLiteral("working")), qPrintable(rig.result(row)));
        }
    }
    QVERIFY2(notStarted >= 4 - 2 * parallel, qPrintable(QString::number(notStarted)));
    QVERIFY(notStarted >= 1);
    QVERIFY2(rig.window->findChild<QLabel*>(QStringLiteral("Status"))
                 ->text()
                 .contains(QStringLiteral("(stopped)")),
             qPrintable(rig.window->findChild<QLabel*>(QStringLiteral("Status"))->text()));
}

QTEST_MAIN(TestRolloutWindow)
#include "tst_rolloutwindow.moc"
