#include <memory>

#include <QLabel>
#include <QPointer>
#include <QTest>

#include "session/consolestate.h"

#include "gui/relays/notificationpopup.h"
#include "gui/relays/relaydialogs.h"
#include "gui/relays/relaysuccess.h"
#include "support/consolefixture.h"

using namespace kestavo;
using kestavo::testsupport::ConsoleFixture;
using kestavo::testsupport::ReplyBuilder;

class TestNotificationPopup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void textsByKind_data();
    void textsByKind();
    void acknowledgementFromUnit_data();
    void acknowledgementFromUnit();
    void closesAfterItsTimer();
    void defaultCloseTime();
    void secondRaiseOnlyBringsForward();
    void nextRaiseAfterCloseLoadsAfresh();

private:
    QString shownMessage() const;

    std::unique_ptr<ConsoleFixture> m_fixture;
    std::unique_ptr<QWidget> m_mainWindow;
    relays::NotificationPopup* m_popups = nullptr;
};

void TestNotificationPopup::init()
{
    m_fixture = std::make_unique<ConsoleFixture>();
    m_mainWindow = std::make_unique<QWidget>();
    m_fixture->context.mainWindow = m_mainWindow.get();
    m_popups = relays::attachNotifications(m_fixture->state, m_mainWindow.get());
}

void TestNotificationPopup::cleanup()
{
    m_fixture.reset();
    m_mainWindow.reset(); // takes the manager and its pop-up along
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

QString TestNotificationPopup::shownMessage() const
{
    auto* label =
        m_popups->current() ? m_popups->current()->findChild<QLabel*>(QStringLiteral("Label1")) : nullptr;
    return label ? label->text() : QString();
}

void TestNotificationPopup::textsByKind_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("message");

    QTest::newRow("3") << 3 << QStringLiteral("Relay Script") << QStringLiteral("Relay Script Executed !");
    QTest::newRow("4") << 4 << QStringLiteral("Timer") << QStringLiteral("Timer Stopped Forcefully !");
    QTest::newRow("5") << 5 << QStringLiteral("Timer") << QStringLiteral("Timer Data Received !");
    QTest::newRow("6") << 6 << QStringLiteral("I/O Action") << QStringLiteral("I/O Data Received !");
    QTest::newRow("7") << 7 << QStringLiteral("Temperature Action")
                       << QStringLiteral("Temperature Data Received !");
    QTest::newRow("8") << 8 << QStringLiteral("HTTP Server Action")
                       << QStringLiteral("HTTP Server Status Changed !");
    QTest::newRow("9") << 9 << QStringLiteral("Relay Daughter Board")
                       << QStringLiteral("RDB Command Success !");
    QTest::newRow("10") << 10 << QStringLiteral("Relay Daughter Board")
                        << QStringLiteral("RDB Command Failure !");
    QTest::newRow("11") << 11 << QStringLiteral("Relay Daughter Board")
                        << QStringLiteral("RDB Timer Failure !");
    QTest::newRow("12") << 12 << QStringLiteral("SNMP Server Action")
                        << QStringLiteral("SNMP Access Changed !");
    QTest::newRow("100") << 100 << QStringLiteral("Relay Daughter Board")
                         << QStringLiteral("One Toggle Timer Only !");
    // Kinds outside the table keep the window's resting texts.
    QTest::newRow("2 unknown") << 2 << QStringLiteral("Relay Script")
                               << QStringLiteral("Relay Script Executed !");
    QTest::newRow("13 unknown") << 13 << QStringLiteral("Relay Script")
                                << QStringLiteral("Relay Script Executed !");
    QTest::newRow("99 unknown") << 99 << QStringLiteral("Relay Script")
                                << QStringLiteral("Relay Script Executed !");
}

void TestNotificationPopup::textsByKind()
{
    QFETCH(int, kind);
    QFETCH(QString, caption);
    QFETCH(QString, message);

    m_fixture->state.raiseNotification(kind);
    relays::RelaySuccess* popup = m_popups->current();
    QVERIFY(popup);
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->objectName(), QStringLiteral("RelaySuccess"));
    QCOMPARE(popup->windowTitle(), caption);
    QCOMPARE(shownMessage(), message);
    auto* label = popup->findChild<QLabel*>(QStringLiteral("Label1"));
    QCOMPARE(label->font().pointSizeF(), 13.5);
    QVERIFY(label->alignment() & Qt::AlignHCenter);
    QVERIFY(!label->accessibleName().isEmpty());
    QVERIFY(popup->isWindow());
    QVERIFY(m_mainWindow->isEnabled()); // it asks nothing, so it holds nothing
}

void TestNotificationPopup::acknowledgementFromUnit_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("timer stopped") << 4 << QStringLiteral("Timer Stopped Forcefully !");
    QTest::newRow("SNMP changed") << 12 << QStringLiteral("SNMP Access Changed !");
}

void TestNotificationPopup::acknowledgementFromUnit()
{
    QFETCH(int, kind);
    QFETCH(QString, message);
    QVERIFY(m_fixture->start());
    m_fixture->feed(ReplyBuilder(20, kind).bytes());
    QVERIFY(m_popups->current());
    QCOMPARE(shownMessage(), message);
}

void TestNotificationPopup::closesAfterItsTimer()
{
    m_popups->setCloseInterval(30);
    m_fixture->state.raiseNotification(5);
    QPointer<relays::RelaySuccess> popup = m_popups->current();
    QVERIFY(popup);
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->closeTimer().interval(), 30);
    QVERIFY(popup->closeTimer().isActive());
    QTRY_VERIFY_WITH_TIMEOUT(popup.isNull(), 2000);
    QVERIFY(!m_popups->current());
}

void TestNotificationPopup::defaultCloseTime()
{
    QCOMPARE(m_popups->closeInterval(), 1800);
    m_fixture->state.raiseNotification(3);
    QVERIFY(m_popups->current());
    QCOMPARE(m_popups->current()->closeTimer().objectName(), QStringLiteral("Timer1"));
    QCOMPARE(m_popups->current()->closeTimer().interval(), 1800);
    QVERIFY(m_popups->current()->closeTimer().isSingleShot());
}

void TestNotificationPopup::secondRaiseOnlyBringsForward()
{
    m_popups->setCloseInterval(300);
    m_fixture->state.raiseNotification(3);
    QPointer<relays::RelaySuccess> popup = m_popups->current();
    QVERIFY(popup);
    // Let part of its time run out, so a restarted timer would show.
    QTRY_VERIFY_WITH_TIMEOUT(popup->closeTimer().remainingTime() < 200, 1000);
    const int remaining = popup->closeTimer().remainingTime();

    m_fixture->state.raiseNotification(10);

    QCOMPARE(m_popups->current(), popup.data());
    QCOMPARE(popup->windowTitle(), QStringLiteral("Relay Script"));
    QCOMPARE(shownMessage(), QStringLiteral("Relay Script Executed !"));
    QVERIFY(popup->closeTimer().remainingTime() <= remaining);
    QCOMPARE(QApplication::topLevelWidgets().count(), 2); // the main window and one pop-up
    QTRY_VERIFY_WITH_TIMEOUT(popup.isNull(), 2000);
}

void TestNotificationPopup::nextRaiseAfterCloseLoadsAfresh()
{
    m_popups->setCloseInterval(20);
    m_fixture->state.raiseNotification(6);
    QPointer<relays::RelaySuccess> first = m_popups->current();
    QVERIFY(first);
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 2000);

    m_fixture->state.raiseNotification(7);
    QVERIFY(m_popups->current());
    QCOMPARE(m_popups->current()->windowTitle(), QStringLiteral("Temperature Action"));
    QCOMPARE(shownMessage(), QStringLiteral("Temperature Data Received !"));
    QVERIFY(m_popups->current()->closeTimer().isActive());
}

QTEST_MAIN(TestNotificationPopup)
#include "tst_notificationpopup.moc"
