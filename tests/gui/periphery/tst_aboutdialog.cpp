#include <memory>

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "gui/main/dialogregistry.h"
#include "gui/periphery/aboutdialog.h"
#include "gui/periphery/browserwindow.h"
#include "gui/periphery/peripherydialogs.h"
#include "support/consolefixture.h"
#include "support/fakewebview.h"

using namespace kestavo;
using testsupport::ConsoleFixture;
using testsupport::FakeWebView;
using testsupport::ReplyBuilder;

namespace {

QString qs(const char* text)
{
    return QString::fromLatin1(text);
}

QList<QWidget*> visibleWindows(const QString& objectName)
{
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == objectName && w->isVisible())
            found << w;
    }
    return found;
}

} // namespace

class TestAboutDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void showsVersionAndRevision_data();
    void showsVersionAndRevision();
    void describesTheUnit();
    void linksOpenTheBrowser_data();
    void linksOpenTheBrowser();
    void secondClickBringsTheSameBrowser();
    void closingGivesTheMainWindowBack_data();
    void closingGivesTheMainWindowBack();
    void registeredForTheAboutButton();

private:
    periphery::AboutDialog* open();
    template <typename T> T* child(const char* name) const
    {
        return m_about ? m_about->findChild<T*>(qs(name)) : nullptr;
    }

    std::unique_ptr<ConsoleFixture> m_fixture;
    std::unique_ptr<QWidget> m_mainWindow;
    QPointer<periphery::AboutDialog> m_about;
    QList<FakeWebView*> m_views; // made by the About box's factory, owned by their browsers
};

void TestAboutDialog::init()
{
    m_fixture = std::make_unique<ConsoleFixture>();
    m_mainWindow = std::make_unique<QWidget>();
    m_fixture->context.mainWindow = m_mainWindow.get();
    m_views.clear();
}

void TestAboutDialog::cleanup()
{
    // Pop-ups of combo boxes and tool bars are top-level too and go with their windows.
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != m_mainWindow.get() && !w->parentWidget())
            windows << w;
    }
    qDeleteAll(windows);
    m_fixture.reset();
    m_mainWindow.reset();
}

periphery::AboutDialog* TestAboutDialog::open()
{
    m_about = new periphery::AboutDialog(m_fixture->context, [this] {
        auto view = std::make_unique<FakeWebView>();
        m_views << view.get();
        return view;
    });
    m_about->show();
    return m_about;
}

void TestAboutDialog::showsVersionAndRevision_data()
{
    QTest::addColumn<QList<QList<int>>>("reports"); // revision bytes of each report, in order
    QTest::addColumn<QString>("firmware");

    QTest::newRow("before any report") << QList<QList<int>>{} << qs("*.*");
    QTest::newRow("1, 7, 0") << QList<QList<int>>{{1, 7, 0}} << qs("1.7.0");
    QTest::newRow("two-digit and three-digit bytes") << QList<QList<int>>{{2, 10, 255}} << qs("2.10.255");
    QTest::newRow("the unit last heard from") << QList<QList<int>>{{1, 6, 9}, {1, 7, 2}} << qs("1.7.2");
}

void TestAboutDialog::showsVersionAndRevision()
{
    QFETCH(QList<QList<int>>, reports);
    QFETCH(QString, firmware);
    for (const auto& r : reports)
        m_fixture->feed(ReplyBuilder().revision(r[0], r[1], r[2]).bytes());

    QVERIFY(open());
    QCOMPARE(m_about->objectName(), qs("About"));
    QCOMPARE(m_about->windowTitle(), qs("About KSV"));
    QCOMPARE(child<QLabel>("Label10")->text(), qs("Client Rev"));
    QCOMPARE(child<QLabel>("Label9")->text(), qs("1.7.2"));
    QCOMPARE(child<QLabel>("Label11")->text(), qs("Firmware Rev"));
    QCOMPARE(child<QLabel>("Label12")->text(), firmware);
    QVERIFY(!m_mainWindow->isEnabled());
}

void TestAboutDialog::describesTheUnit()
{
    QVERIFY(open());
    const QString description = child<QLabel>("Label1")->text();
    for (const char* part : {"three power relays", "eight voltage inputs", "temperature", "five", "I/O pins",
                             "daughter boards", "scripts"})
        QVERIFY2(description.contains(qs(part)), part);
    QCOMPARE(child<QLabel>("Label2")->text(), qs("KSV was created by:"));
    QVERIFY(!child<QLabel>("Label3")->text().isEmpty());
    QVERIFY(!child<QLabel>("Picture1")->pixmap().isNull());
    QCOMPARE(child<QLabel>("Picture1")->pixmap().size(), QSize(240, 160));
    QCOMPARE(child<QPushButton>("Command1")->text(), qs("OK"));
    // A screen reader can name every control.
    for (QWidget* w : m_about->findChildren<QWidget*>()) {
        if (qobject_cast<QLabel*>(w) || qobject_cast<QPushButton*>(w))
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
}

void TestAboutDialog::linksOpenTheBrowser_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("opens");

    QTest::newRow("credits heading") << qs("Label2") << int(Qt::LeftButton) << true;
    QTest::newRow("product picture") << qs("Picture1") << int(Qt::LeftButton) << true;
    QTest::newRow("right click on the heading") << qs("Label2") << int(Qt::RightButton) << false;
    QTest::newRow("description") << qs("Label1") << int(Qt::LeftButton) << false;
    QTest::newRow("credited names") << qs("Label3") << int(Qt::LeftButton) << false;
    QTest::newRow("firmware revision") << qs("Label12") << int(Qt::LeftButton) << false;
}

void TestAboutDialog::linksOpenTheBrowser()
{
    QFETCH(QString, control);
    QFETCH(int, button);
    QFETCH(bool, opens);
    QVERIFY(open());
    QTest::mouseClick(m_about->findChild<QLabel*>(control), Qt::MouseButton(button));

    QCOMPARE(visibleWindows(qs("browser")).size(), opens ? 1 : 0);
    QCOMPARE(m_about->browser() != nullptr, opens);
    QCOMPARE(int(m_views.size()), opens ? 1 : 0);
    // The About box stays open and usable; the main window stays disabled.
    QVERIFY(m_about->isVisible());
    QVERIFY(m_about->isEnabled());
    QVERIFY(!m_mainWindow->isEnabled());
    if (opens) {
        QCOMPARE(m_views.first()->calls(), QStringList{qs("navigate http://127.0.0.1/")});
        QCOMPARE(m_about->browser()->findChild<QWidget*>(qs("brwWebBrowser")), m_views.first()->widget());
    }
}

void TestAboutDialog::secondClickBringsTheSameBrowser()
{
    QVERIFY(open());
    QTest::mouseClick(child<QLabel>("Label2"), Qt::LeftButton);
    QPointer<periphery::BrowserWindow> first = m_about->browser();
    QTest::mouseClick(child<QLabel>("Picture1"), Qt::LeftButton);
    QCOMPARE(m_about->browser(), first.data());
    QCOMPARE(visibleWindows(qs("browser")).size(), 1);
    QCOMPARE(int(m_views.size()), 1);

    // Once closed, the next click opens a fresh one.
    first->close();
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 1000);
    QTest::mouseClick(child<QLabel>("Label2"), Qt::LeftButton);
    QVERIFY(m_about->browser());
    QCOMPARE(int(m_views.size()), 2);
}

void TestAboutDialog::closingGivesTheMainWindowBack_data()
{
    QTest::addColumn<bool>("withBrowser");
    QTest::addColumn<QString>("closeFirst"); // "OK", "close box", "Escape", "browser"

    QTest::newRow("OK") << false << qs("OK");
    QTest::newRow("close box") << false << qs("close box");
    QTest::newRow("Escape") << false << qs("Escape");
    // Each window gives the main window back as it closes, whichever goes first.
    QTest::newRow("OK with the browser open") << true << qs("OK");
    QTest::newRow("browser closed first") << true << qs("browser");
}

void TestAboutDialog::closingGivesTheMainWindowBack()
{
    QFETCH(bool, withBrowser);
    QFETCH(QString, closeFirst);
    QVERIFY(open());
    QPointer<periphery::BrowserWindow> browser;
    if (withBrowser) {
        QTest::mouseClick(child<QLabel>("Label2"), Qt::LeftButton);
        browser = m_about->browser();
        QVERIFY(browser);
    }
    QVERIFY(!m_mainWindow->isEnabled());

    if (closeFirst == qs("OK"))
        QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    else if (closeFirst == qs("close box"))
        m_about->close();
    else if (closeFirst == qs("Escape"))
        QTest::keyClick(m_about, Qt::Key_Escape);
    else
        browser->close();
    QVERIFY(m_mainWindow->isEnabled());

    if (closeFirst == qs("browser")) {
        QTRY_VERIFY_WITH_TIMEOUT(browser.isNull(), 1000);
        QVERIFY(m_about);
        QVERIFY(m_about->isVisible());
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(m_about.isNull(), 1000);
        QCOMPARE(browser.isNull(), !withBrowser);
        if (browser)
            QVERIFY(browser->isVisible());
    }
}

void TestAboutDialog::registeredForTheAboutButton()
{
    periphery::registerPeripheryDialogs(m_fixture->dialogs);
    QVERIFY(m_fixture->dialogs.has(core::DialogId::About));
    QPointer<QWidget> w = m_fixture->dialogs.open(core::DialogId::About, m_fixture->context);
    QVERIFY(qobject_cast<periphery::AboutDialog*>(w.data()));
    QVERIFY(w->isVisible());
    QVERIFY(!m_mainWindow->isEnabled());
    w->close();
    QTRY_VERIFY_WITH_TIMEOUT(w.isNull(), 1000);
    QVERIFY(m_mainWindow->isEnabled());
}

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
