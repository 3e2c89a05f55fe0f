// What the four automation dialogs share: the main window's requests reach them, every control
// carries a name a screen reader can speak, and none offers another unit's settings.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QSlider>
#include <QTest>

#include "stations/stationformat.h"

#include "automationharness.h"
#include "gui/admin/admindialogs.h"
#include "gui/automation/automationdialogs.h"

using kestavo::core::DialogId;
using kestavo::test::AutomationHarness;

Q_DECLARE_METATYPE(kestavo::core::DialogId)

class TestAutomationDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void registry_data();
    void registry();
    void accessibleNames_data();
    void accessibleNames();
    void anotherUnitsSettingsAreNotOffered_data();
    void anotherUnitsSettingsAreNotOffered();
};

void TestAutomationDialogs::anotherUnitsSettingsAreNotOffered_data()
{
    QTest::addColumn<DialogId>("id");
    QTest::addColumn<QString>("sendButton");
    QTest::addColumn<bool>("otherUnit");
    for (const bool other : {true, false}) {
        const char* unit = other ? "another unit" : "the same unit";
        QTest::addRow("security, %s", unit) << DialogId::Security << QStringLiteral("Command3") << other;
        QTest::addRow("I/O box, %s", unit) << DialogId::IoBox << QStringLiteral("Upload") << other;
        QTest::addRow("temperature, %s", unit) << DialogId::Temperature << QStringLiteral("Upload") << other;
    }
}

void TestAutomationDialogs::anotherUnitsSettingsAreNotOffered()
{
    QFETCH(DialogId, id);
    QFETCH(QString, sendButton);
    QFETCH(bool, otherUnit);

    AutomationHarness h;
    QVERIFY(h.start());
    auto& f = h.fixture;
    // Unit A allows listed IPs only, runs a script on I/O box 1 and on temperature.
    const QByteArray settingsOfA =
        kestavo::testsupport::ReplyBuilder().at(41, 1).at(42, 127).at(103, 1).at(118, 1).bytes();
    f.feed(settingsOfA);
    f.session.stop();
    f.store.add(QStringLiteral("127.0.0.2"), QStringLiteral("bsecret"), QStringLiteral("Unit B"));
    f.session.start(
        otherUnit ? kestavo::stations::formatEntry(QStringLiteral("127.0.0.2"), QStringLiteral("Unit B"))
                  : f.stationEntry());
    QCOMPARE(f.state.allowedRule(), otherUnit ? 0 : 1);
    QCOMPARE(f.state.allowedOctet(0), otherUnit ? 0 : 127);
    QCOMPARE(f.state.ioSetting(0, 0), otherUnit ? 0 : 1);
    QCOMPARE(f.state.temperatureSetting(0), otherUnit ? 0 : 1);

    kestavo::automation::registerAutomationDialogs(f.dialogs);
    kestavo::admin::registerAdminDialogs(f.dialogs);
    QPointer<QWidget> dialog = f.dialogs.open(id, f.context, 0);
    QVERIFY(dialog);
    auto* send = dialog->findChild<QAbstractButton*>(sendButton);
    QVERIFY(send);
    QCOMPARE(send->isEnabled(), !otherUnit);
    f.feed(settingsOfA); // the unit's own first report
    QVERIFY(send->isEnabled());
    delete dialog;
}

void TestAutomationDialogs::registry_data()
{
    QTest::addColumn<DialogId>("id");
    QTest::addColumn<int>("ioBox"); // box index the main window put in the console state
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("title");

    QTest::newRow("Run/Make") << DialogId::RelayScripting << 0 << "RelayScripting"
                              << QStringLiteral("Relay Scripting     ") +
                                     AutomationHarness().fixture.stationEntry();
    QTest::newRow("timer") << DialogId::Timer << 0 << "Timer"
                           << "Relay Timer";
    QTest::newRow("I/O box 1") << DialogId::IoBox << 0 << "ioBox"
                               << "I/O BOX 1";
    QTest::newRow("I/O box 4") << DialogId::IoBox << 3 << "ioBox"
                               << "I/O BOX 4";
    QTest::newRow("temperature") << DialogId::Temperature << 0 << "tempBox"
                                 << QString::fromUtf8("Temperature Control         (0\u00B0C    32\u00B0F)");
}

void TestAutomationDialogs::registry()
{
    QFETCH(DialogId, id);
    QFETCH(int, ioBox);
    QFETCH(QString, objectName);
    QFETCH(QString, title);

    AutomationHarness h;
    QVERIFY(h.start());
    kestavo::automation::registerAutomationDialogs(h.fixture.dialogs);
    h.fixture.state.setIoBoxIndex(ioBox);
    QPointer<QWidget> dialog = h.fixture.dialogs.open(id, h.fixture.context, ioBox);
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->isWindow());
    QCOMPARE(dialog->objectName(), objectName);
    QCOMPARE(dialog->windowTitle(), title);
    QVERIFY(!h.mainWindow.isEnabled());
    dialog->close();
    QVERIFY(h.mainWindow.isEnabled());
    QTRY_VERIFY(dialog.isNull());
}

void TestAutomationDialogs::accessibleNames_data()
{
    QTest::addColumn<DialogId>("id");
    QTest::newRow("RelayScripting") << DialogId::RelayScripting;
    QTest::newRow("Timer") << DialogId::Timer;
    QTest::newRow("ioBox") << DialogId::IoBox;
    QTest::newRow("tempBox") << DialogId::Temperature;
}

void TestAutomationDialogs::accessibleNames()
{
    QFETCH(DialogId, id);
    AutomationHarness h;
    QVERIFY(h.start());
    kestavo::automation::registerAutomationDialogs(h.fixture.dialogs);
    QPointer<QWidget> dialog = h.fixture.dialogs.open(id, h.fixture.context, 0);
    QVERIFY(dialog);
    int checked = 0;
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QListWidget*>(w) ||
                             qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                             qobject_cast<QSlider*>(w) || qobject_cast<QLabel*>(w) ||
                             qobject_cast<QGroupBox*>(w);
        // Line edits inside combo boxes speak with their box's name.
        if (!control || qobject_cast<QComboBox*>(w->parentWidget()))
            continue;
        QVERIFY2(!w->accessibleName().isEmpty(),
                 qPrintable(QString::fromLatin1(w->metaObject()->className()) + QStringLiteral(" ") +
                            w->objectName()));
        QVERIFY2(!w->objectName().isEmpty(), qPrintable(w->accessibleName()));
        ++checked;
    }
    QVERIFY(checked > 10);
    delete dialog;
}

QTEST_MAIN(TestAutomationDialogs)
#include "tst_automationdialogs.moc"
