#include <memory>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include "session/consolestate.h"

#include "gui/main/consoledialog.h"
#include "gui/main/dialogregistry.h"
#include "gui/main/mainform.h"
#include "gui/relays/relaydialog.h"
#include "gui/relays/relaydialogs.h"
#include "ksv-sim/simulatedunit.h"
#include "support/consolefixture.h"

using namespace kestavo;
using kestavo::testsupport::ConsoleFixture;
using kestavo::testsupport::ReplyBuilder;

namespace {

// "secret" as the station record keeps it and as it goes on the wire.
const QByteArray kWirePassword("secret****");

QByteArray header(char opcode)
{
    return QByteArray("&^ZQK2001") + opcode + kWirePassword;
}

QList<QByteArray> framesWithOpcode(testsupport::RecordingPeer& peer, char opcode)
{
    QList<QByteArray> found;
    const auto frames = peer.frames();
    for (const QByteArray& frame : frames) {
        if (frame.size() >= 10 && frame.at(9) == opcode)
            found.append(frame);
    }
    return found;
}

bool waitForOpcode(testsupport::RecordingPeer& peer, char opcode)
{
    for (int round = 0; round < 100 && framesWithOpcode(peer, opcode).isEmpty(); ++round)
        peer.waitFrames(int(peer.frames().size()) + 1, 20);
    return !framesWithOpcode(peer, opcode).isEmpty();
}

} // namespace

class TestRelayDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void controls_data();
    void controls();
    void frames_data();
    void frames();
    void sliderStartsAtReportedDelay_data();
    void sliderStartsAtReportedDelay();
    void sliderBeforeAnyReport();
    void closingSendsNothingAndReleasesMainWindow_data();
    void closingSendsNothingAndReleasesMainWindow();
    void droppedSessionSendsNothing_data();
    void droppedSessionSendsNothing();
    void registryServesRelaysOneToThree_data();
    void registryServesRelaysOneToThree();
    void switchesSimulatedUnit_data();
    void switchesSimulatedUnit();

private:
    relays::RelayDialog* open(int relay);

    std::unique_ptr<ConsoleFixture> m_fixture;
    std::unique_ptr<QWidget> m_mainWindow;
};

void TestRelayDialog::init()
{
    m_fixture = std::make_unique<ConsoleFixture>();
    // No poll frames in between and no watchdog Stop while a test runs.
    m_fixture->session.setTiming({60000, 200, 60000});
    m_mainWindow = std::make_unique<QWidget>();
    m_fixture->context.mainWindow = m_mainWindow.get();
    relays::registerRelayDialogs(m_fixture->dialogs);
}

void TestRelayDialog::cleanup()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w != m_mainWindow.get())
            delete w;
    }
    m_fixture.reset();
    m_mainWindow.reset();
}

relays::RelayDialog* TestRelayDialog::open(int relay)
{
    return qobject_cast<relays::RelayDialog*>(
        m_fixture->dialogs.open(core::DialogId::Relay, m_fixture->context, relay));
}

void TestRelayDialog::controls_data()
{
    QTest::addColumn<int>("relay");
    QTest::newRow("relay 1") << 1;
    QTest::newRow("relay 2") << 2;
    QTest::newRow("relay 3") << 3;
}

void TestRelayDialog::controls()
{
    QFETCH(int, relay);
    const QString n = QString::number(relay);
    auto* dialog = open(relay);
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName(), QStringLiteral("Switch") + n);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Relay %1 Control").arg(relay));
    QVERIFY(dialog->isVisible());
    QVERIFY(!m_mainWindow->isEnabled());

    QStringList labels;
    for (auto* label : dialog->findChildren<QLabel*>())
        labels << label->text();
    for (const QString& text : {QStringLiteral("Power Relay ") + n, QStringLiteral("1"), QStringLiteral("60"),
                                QStringLiteral("1 second delays"), QStringLiteral("(1 minute Max)")})
        QVERIFY2(labels.contains(text), qPrintable(text));

    const QStringList captions{QStringLiteral(" Relay %1 ON").arg(relay),
                               QStringLiteral(" Relay %1 OFF").arg(relay),
                               QStringLiteral(" Relay %1 OFF then ON").arg(relay)};
    for (int i = 0; i < 3; ++i) {
        auto* option = dialog->findChild<QRadioButton*>(QStringLiteral("Option%1").arg(i + 1));
        QVERIFY(option);
        QCOMPARE(option->text(), captions[i]);
        QCOMPARE(option->isChecked(), i == 0);
    }
    auto* slider = dialog->findChild<QSlider*>(QStringLiteral("Slider1"));
    QVERIFY(slider);
    QCOMPARE(slider->minimum(), 1);
    QCOMPARE(slider->maximum(), 60);

    const QList<QPair<QString, QString>> buttons{{QStringLiteral("Command1"), QStringLiteral("OK")},
                                                 {QStringLiteral("Command2"), QStringLiteral("Cancel")},
                                                 {QStringLiteral("Command3"), QStringLiteral("?")}};
    for (const auto& [name, caption] : buttons) {
        auto* button = dialog->findChild<QPushButton*>(name);
        QVERIFY2(button, qPrintable(name));
        QCOMPARE(button->text(), caption);
    }
    QCOMPARE(dialog->findChild<QPushButton*>(QStringLiteral("Command3"))->toolTip(),
             QStringLiteral("Quick Notes"));

    // Every control a screen reader can reach has a name.
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QSlider*>(w))
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
}

void TestRelayDialog::frames_data()
{
    QTest::addColumn<int>("relay");
    QTest::addColumn<int>("option");
    QTest::addColumn<int>("delay");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray fill112(112, '*');
    QTest::newRow("relay 1 ON") << 1 << 1 << 0 << header('2') + fill112;
    QTest::newRow("relay 1 OFF") << 1 << 2 << 0 << header('3') + fill112;
    // Positions 22-126 hold the '*' run; 127-130 are read back past it and hold '*' here too.
    QTest::newRow("relay 1 OFF then ON, 60 s") << 1 << 3 << 60 << header('4') + '\x3C' + QByteArray(109, '*');
    QTest::newRow("relay 1 OFF then ON, 1 s") << 1 << 3 << 1 << header('4') + '\x01' + QByteArray(109, '*');
    QTest::newRow("relay 2 ON") << 2 << 1 << 0 << header('5') + fill112;
    QTest::newRow("relay 2 OFF") << 2 << 2 << 0 << header('6') + fill112;
    // 42 is the fill character itself: the delay byte must still be there, not swallowed.
    QTest::newRow("relay 2 OFF then ON, 42 s") << 2 << 3 << 42 << header('7') + '*' + QByteArray(109, '*');
    QTest::newRow("relay 2 OFF then ON, 30 s") << 2 << 3 << 30 << header('7') + '\x1E' + QByteArray(109, '*');
    QTest::newRow("relay 3 ON") << 3 << 1 << 0 << header('8') + fill112;
    QTest::newRow("relay 3 OFF") << 3 << 2 << 0 << header('9') + fill112;
    QTest::newRow("relay 3 OFF then ON, 60 s") << 3 << 3 << 60 << header('A') + '\x3C' + QByteArray(119, '*');
    QTest::newRow("relay 3 OFF then ON, 17 s") << 3 << 3 << 17 << header('A') + '\x11' + QByteArray(119, '*');
}

void TestRelayDialog::frames()
{
    QFETCH(int, relay);
    QFETCH(int, option);
    QFETCH(int, delay);
    QFETCH(QByteArray, expected);

    QVERIFY(m_fixture->start());
    QPointer<relays::RelayDialog> dialog = open(relay);
    QVERIFY(dialog);
    dialog->findChild<QRadioButton*>(QStringLiteral("Option%1").arg(option))->click();
    if (delay > 0)
        dialog->findChild<QSlider*>(QStringLiteral("Slider1"))->setValue(delay);

    const int sentBefore = m_fixture->session.sent();
    QSignalSpy sent(&m_fixture->session, &core::Session::frameSent);
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);

    QCOMPARE(sent.count(), 1); // exactly one frame per OK
    QCOMPARE(m_fixture->session.sent(), sentBefore + 1);
    const char opcode = expected.at(9);
    QVERIFY(waitForOpcode(m_fixture->peer, opcode));
    const QList<QByteArray> received = framesWithOpcode(m_fixture->peer, opcode);
    QCOMPARE(received.size(), 1);
    const QByteArray& frame = received.first();
    QCOMPARE(frame.size(), expected.size());
    if (option == 3) {
        QCOMPARE(int(static_cast<unsigned char>(frame.at(20))), delay);
        const int fillEnd = relay == 3 ? 136 : 126;
        QCOMPARE(frame.mid(21, fillEnd - 21), QByteArray(fillEnd - 21, '*'));
    }
    QCOMPARE(frame, expected);

    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 1000);
    QVERIFY(m_mainWindow->isEnabled());
    QVERIFY(m_fixture->prompter.calls().isEmpty());
}

void TestRelayDialog::sliderStartsAtReportedDelay_data()
{
    QTest::addColumn<int>("relay");
    QTest::addColumn<int>("reported");
    QTest::addColumn<int>("shown");

    QTest::newRow("relay 1 at 37") << 1 << 37 << 37;
    QTest::newRow("relay 2 at 60") << 2 << 60 << 60;
    QTest::newRow("relay 3 at 1") << 3 << 1 << 1;
    QTest::newRow("relay 1 reported 0 -> 1") << 1 << 0 << 1;
    QTest::newRow("relay 2 reported 200 -> 60") << 2 << 200 << 60;
    QTest::newRow("relay 3 reported 61 -> 60") << 3 << 61 << 60;
}

void TestRelayDialog::sliderStartsAtReportedDelay()
{
    QFETCH(int, relay);
    QFETCH(int, reported);
    QFETCH(int, shown);

    // The other two relays report a different delay so a mix-up of relays shows.
    ReplyBuilder report;
    for (int r = 1; r <= 3; ++r)
        report.at(std::size_t(70 + r), r == relay ? reported : 5);
    m_fixture->feed(report.bytes());
    QCOMPARE(m_fixture->state.relayDelay(relay), reported);

    auto* dialog = open(relay);
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QSlider*>(QStringLiteral("Slider1"))->value(), shown);
}

void TestRelayDialog::sliderBeforeAnyReport()
{
    auto* dialog = open(2);
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QSlider*>(QStringLiteral("Slider1"))->value(), 1);
}

void TestRelayDialog::closingSendsNothingAndReleasesMainWindow_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << QStringLiteral("Cancel");
    QTest::newRow("close box") << QStringLiteral("close box");
    QTest::newRow("Escape") << QStringLiteral("Escape");
}

void TestRelayDialog::closingSendsNothingAndReleasesMainWindow()
{
    QFETCH(QString, how);
    QVERIFY(m_fixture->start());
    QPointer<relays::RelayDialog> dialog = open(1);
    QVERIFY(dialog);
    QVERIFY(!m_mainWindow->isEnabled());
    const int sentBefore = m_fixture->session.sent();
    QSignalSpy sent(&m_fixture->session, &core::Session::frameSent);

    if (how == QStringLiteral("Cancel"))
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    else if (how == QStringLiteral("close box"))
        dialog->close();
    else
        QTest::keyClick(dialog, Qt::Key_Escape);

    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 1000);
    QVERIFY(m_mainWindow->isEnabled());
    QCOMPARE(sent.count(), 0);
    QCOMPARE(m_fixture->session.sent(), sentBefore);
}

void TestRelayDialog::droppedSessionSendsNothing_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<bool>("startedFirst");
    QTest::newRow("ON after Stop") << 1 << true;
    QTest::newRow("OFF after Stop") << 2 << true;
    QTest::newRow("OFF then ON after Stop") << 3 << true;
    QTest::newRow("ON, never started") << 1 << false;
}

void TestRelayDialog::droppedSessionSendsNothing()
{
    QFETCH(int, option);
    QFETCH(bool, startedFirst);
    if (startedFirst)
        QVERIFY(m_fixture->start());
    QPointer<relays::RelayDialog> dialog = open(3);
    QVERIFY(dialog);
    dialog->findChild<QRadioButton*>(QStringLiteral("Option%1").arg(option))->click();
    m_fixture->session.stop();
    const int framesBefore = int(m_fixture->peer.frames().size());
    const int sentBefore = m_fixture->session.sent();
    QSignalSpy sent(&m_fixture->session, &core::Session::frameSent);

    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);

    QCOMPARE(m_fixture->prompter.lastText(), core::ConsoleDialog::noSessionText());
    QCOMPARE(m_fixture->prompter.calls().size(), 1);
    QCOMPARE(sent.count(), 0);
    QCOMPARE(m_fixture->session.sent(), sentBefore);
    QCOMPARE(int(m_fixture->peer.frames().size()), framesBefore);
    // The main window holds the Start button: the dialog gets out of the way.
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 1000);
    QVERIFY(m_mainWindow->isEnabled());
}

void TestRelayDialog::registryServesRelaysOneToThree_data()
{
    QTest::addColumn<int>("argument");
    QTest::addColumn<QString>("objectName");
    QTest::newRow("0") << 0 << QString();
    QTest::newRow("1") << 1 << QStringLiteral("Switch1");
    QTest::newRow("3") << 3 << QStringLiteral("Switch3");
    QTest::newRow("4") << 4 << QString();
}

void TestRelayDialog::registryServesRelaysOneToThree()
{
    QFETCH(int, argument);
    QFETCH(QString, objectName);
    QWidget* dialog = m_fixture->dialogs.open(core::DialogId::Relay, m_fixture->context, argument);
    QCOMPARE(dialog ? dialog->objectName() : QString(), objectName);
    QCOMPARE(m_mainWindow->isEnabled(), objectName.isEmpty());
}

void TestRelayDialog::switchesSimulatedUnit_data()
{
    QTest::addColumn<int>("relay");
    QTest::addColumn<bool>("onBefore");
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("shownAfter");

    QTest::newRow("relay 1 OFF") << 1 << true << 2 << QStringLiteral("OFF");
    QTest::newRow("relay 2 ON") << 2 << false << 1 << QStringLiteral("ON");
    QTest::newRow("relay 3 OFF then ON") << 3 << true << 3 << QStringLiteral("OFF");
}

// The whole road on loopback: main window button, dialog, frame, unit, next report, relay label.
void TestRelayDialog::switchesSimulatedUnit()
{
    QFETCH(int, relay);
    QFETCH(bool, onBefore);
    QFETCH(int, option);
    QFETCH(QString, shownAfter);

    sim::SimulatedUnit::Config config;
    config.unit.password = "secret";
    config.port = 0;
    config.realTime = false; // the OFF-then-ON delay runs only when the test moves the clock
    sim::SimulatedUnit unit(config);
    QVERIFY2(unit.start(), qPrintable(unit.errorString()));
    for (int r = 1; r <= 3; ++r)
        unit.model().setRelay(r, r == relay ? onBefore : !onBefore);

    m_fixture->session.setTiming({40, 20, 5000});
    m_fixture->session.setUnitPort(unit.port());
    m_fixture->context.mainWindow = nullptr;
    core::MainForm form(m_fixture->context, m_fixture->dialogs);
    form.loadStations();
    auto* label = form.findChild<QLabel*>(QStringLiteral("Label%1").arg(8 + relay));
    QVERIFY(label);
    const QString before = onBefore ? QStringLiteral("ON") : QStringLiteral("OFF");

    m_fixture->session.start(form.stationBoxText());
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), before, 5000);

    form.findChild<QPushButton*>(QStringLiteral("Command%1").arg(5 + relay))->click();
    QPointer<relays::RelayDialog> dialog;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QStringLiteral("Switch%1").arg(relay))
            dialog = qobject_cast<relays::RelayDialog*>(w);
    }
    QVERIFY(dialog);
    QVERIFY(!form.isEnabled());
    dialog->findChild<QRadioButton*>(QStringLiteral("Option%1").arg(option))->click();
    dialog->findChild<QSlider*>(QStringLiteral("Slider1"))->setValue(5);
    dialog->findChild<QPushButton*>(QStringLiteral("Command1"))->click();

    QTRY_COMPARE_WITH_TIMEOUT(label->text(), shownAfter, 5000);
    QCOMPARE(unit.model().relayOn(relay), shownAfter == QStringLiteral("ON"));
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 1000);
    QVERIFY(form.isEnabled());
    if (option == 3) {
        // Back on once the unit's clock has passed the delay chosen on the slider.
        unit.advance(4000);
        QVERIFY(!unit.model().relayOn(relay));
        unit.advance(1500);
        QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("ON"), 5000);
        QCOMPARE(m_fixture->state.relayDelay(relay), 5);
    }
    m_fixture->session.stop();
}

QTEST_MAIN(TestRelayDialog)
#include "tst_relaydialog.moc"
