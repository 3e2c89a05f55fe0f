// What the four automation dialogs share: the main window's requests reach them, and every
// control carries a name a screen reader can speak.

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

#include "automation/automationdialogs.h"
#include "automationharness.h"

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
};

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
                                 << "Temperature Control         ()";
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
