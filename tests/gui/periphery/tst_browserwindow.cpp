#include <memory>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "session/consolestate.h"

#include "gui/periphery/browserwindow.h"
#include "support/consolefixture.h"
#include "support/fakewebview.h"

using namespace kestavo;
using testsupport::ConsoleFixture;
using testsupport::FakeWebView;

namespace {

QString qs(const char* text)
{
    return QString::fromLatin1(text);
}

QStringList items(const QComboBox* box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

} // namespace

class TestBrowserWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void loadShowsTheControlsAndGoesHome();
    void homeAddress_data();
    void homeAddress();
    void visitedList_data();
    void visitedList();
    void toolbarButtons_data();
    void toolbarButtons();
    void busyCaptionThenLocationName_data();
    void busyCaptionThenLocationName();
    void backOnAFreshWindowDoesNothing();
    void noSecondNavigationWhileTheListIsRewritten_data();
    void noSecondNavigationWhileTheListIsRewritten();
    void enterInTheAddressBox_data();
    void enterInTheAddressBox();
    void leavingTheAddressBoxDoesNotNavigate_data();
    void leavingTheAddressBoxDoesNotNavigate();
    void searchPage_data();
    void searchPage();
    void resizeRule_data();
    void resizeRule();
    void closingGivesTheMainWindowBack();
    void asRootOnlyTheUnitsPages_data();
    void asRootOnlyTheUnitsPages();

private:
    periphery::BrowserWindow* open(bool asRoot = false);
    QComboBox* addressBox() const { return m_browser->findChild<QComboBox*>(qs("cboAddress")); }
    QAction* action(const QString& key) const { return m_browser->findChild<QAction*>(key); }
    QTimer* busyTimer() const { return m_browser->findChild<QTimer*>(qs("timTimer")); }

    std::unique_ptr<ConsoleFixture> m_fixture;
    std::unique_ptr<QWidget> m_mainWindow;
    QPointer<periphery::BrowserWindow> m_browser;
    FakeWebView* m_view = nullptr; // owned by m_browser
};

void TestBrowserWindow::asRootOnlyTheUnitsPages_data()
{
    QTest::addColumn<bool>("asRoot");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("loads");
    QTest::newRow("the unit's page") << true << "http://127.0.0.1/status.html" << true;
    QTest::newRow("the unit on another port, https") << true << "https://127.0.0.1:8443/" << true;
    QTest::newRow("our search page") << true << "qrc:/periphery/search.html" << true;
    QTest::newRow("blank page") << true << "about:blank" << true;
    QTest::newRow("another address") << true << "http://127.0.0.9/" << false;
    QTest::newRow("a site by name") << true << "www.example.org" << false;
    QTest::newRow("a local file") << true << "file:///etc/passwd" << false;
    QTest::newRow("not root: anywhere") << false << "http://127.0.0.9/" << true;
}

void TestBrowserWindow::asRootOnlyTheUnitsPages()
{
    // Typed addresses and a page's own links take the same way through the view's filter.
    QFETCH(bool, asRoot);
    QFETCH(QString, typed);
    QFETCH(bool, loads);
    m_fixture->state.setSelectedAddress(qs("127.0.0.1"));
    open(asRoot);
    QCOMPARE(m_view->calls(), QStringList{qs("navigate http://127.0.0.1/")}); // home is the unit's page
    m_view->clearCalls();
    m_browser->navigateToAddress(typed);
    const QString url = QUrl::fromUserInput(typed).toString();
    QCOMPARE(m_view->calls(), QStringList{(loads ? qs("navigate ") : qs("refused ")) + url});
    if (loads) {
        QVERIFY(m_fixture->prompter.calls().isEmpty());
    } else {
        QCOMPARE(
            m_fixture->prompter.lastText(),
            qs("The console runs as root, where the web browser has no sandbox, so it shows only the "
               "unit's own pages (http://127.0.0.1/) and the console's own pages. %1 was not opened; run "
               "the console as an ordinary user to browse elsewhere.")
                .arg(url));
    }
}

void TestBrowserWindow::initTestCase()
{
    // Settings go to a test folder, never the user's.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(qs("KestavoTest"));
    QCoreApplication::setApplicationName(qs("tst_browserwindow"));
    QSettings().clear();
}

void TestBrowserWindow::init()
{
    m_fixture = std::make_unique<ConsoleFixture>();
    m_mainWindow = std::make_unique<QWidget>();
    m_fixture->context.mainWindow = m_mainWindow.get();
}

void TestBrowserWindow::cleanup()
{
    // Pop-ups of combo boxes and tool bars are top-level too and go with their windows.
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != m_mainWindow.get() && !w->parentWidget())
            windows << w;
    }
    qDeleteAll(windows);
    m_view = nullptr;
    m_fixture.reset();
    m_mainWindow.reset();
    QSettings().clear();
}

periphery::BrowserWindow* TestBrowserWindow::open(bool asRoot)
{
    auto view = std::make_unique<FakeWebView>();
    m_view = view.get();
    m_browser = new periphery::BrowserWindow(m_fixture->context, std::move(view), asRoot);
    m_browser->show();
    return m_browser;
}

void TestBrowserWindow::loadShowsTheControlsAndGoesHome()
{
    QVERIFY(open());
    QCOMPARE(m_browser->objectName(), qs("browser"));
    QCOMPARE(m_browser->findChild<QLabel*>(qs("lblAddress"))->text(), qs("&Address:"));
    QCOMPARE(m_browser->findChild<QLabel*>(qs("lblAddress"))->buddy(), addressBox());
    QVERIFY(addressBox()->isEditable());
    QCOMPARE(addressBox()->currentText(), qs("http://127.0.0.1/"));
    QVERIFY(m_browser->findChild<QFrame*>(qs("picAddress"))->isAncestorOf(addressBox()));
    QCOMPARE(m_browser->findChild<QWidget*>(qs("brwWebBrowser")), m_view->widget());
    QVERIFY(m_view->widget()->isVisible());

    auto* toolbar = m_browser->findChild<QToolBar*>(qs("tbToolBar"));
    QVERIFY(toolbar);
    QStringList keys;
    for (QAction* a : toolbar->actions())
        keys << a->objectName();
    QCOMPARE(keys,
             (QStringList{qs("Back"), qs("Forward"), qs("Refresh"), qs("Home"), qs("Search"), qs("Stop")}));

    QCOMPARE(busyTimer()->interval(), periphery::BrowserWindow::kBusyIntervalMs);
    QCOMPARE(busyTimer()->interval(), 5);
    // Load goes to the address box's text, once.
    QCOMPARE(m_view->calls(), QStringList{qs("navigate http://127.0.0.1/")});
    QCOMPARE(addressBox()->count(), 0);
    QVERIFY(!m_mainWindow->isEnabled());
    QVERIFY(m_fixture->prompter.calls().isEmpty());
}

void TestBrowserWindow::homeAddress_data()
{
    QTest::addColumn<QString>("statusPage");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("home");

    QTest::newRow("the simulator's page in demo mode")
        << qs("http://127.0.0.1:8123/") << qs("127.0.0.1") << qs("http://127.0.0.1:8123/");
    QTest::newRow("the selected station") << QString() << qs("127.0.0.9") << qs("http://127.0.0.9/");
    QTest::newRow("nothing selected yet: the current record")
        << QString() << QString() << qs("http://127.0.0.1/");
    QTest::newRow("selected address with spaces")
        << QString() << qs(" 127.0.0.4 ") << qs("http://127.0.0.4/");
}

void TestBrowserWindow::homeAddress()
{
    QFETCH(QString, statusPage);
    QFETCH(QString, selected);
    QFETCH(QString, home);
    m_fixture->state.setStatusPageUrl(QUrl(statusPage));
    m_fixture->state.setSelectedAddress(selected);

    QVERIFY(open());
    QCOMPARE(m_browser->homeUrl(), QUrl(home));
    QCOMPARE(addressBox()->currentText(), home);
    m_view->completeNavigation(QUrl(qs("http://127.0.0.1/elsewhere")), qs("Elsewhere"));
    m_view->clearCalls();
    action(qs("Home"))->trigger();
    QCOMPARE(m_view->calls(), QStringList{qs("navigate ") + home});
}

void TestBrowserWindow::visitedList_data()
{
    QTest::addColumn<QStringList>("locations"); // completed navigations, in order
    QTest::addColumn<QStringList>("list");

    const QString a = qs("http://127.0.0.1/");
    const QString b = qs("http://127.0.0.1:8080/status");
    const QString c = qs("http://127.0.0.2/");
    QTest::newRow("same address twice") << QStringList{a, a} << QStringList{a};
    QTest::newRow("most recent first") << QStringList{a, b, c} << QStringList{c, b, a};
    QTest::newRow("back to the first moves it up") << QStringList{a, b, c, a} << QStringList{a, c, b};
    QTest::newRow("the top one again") << QStringList{a, b, b} << QStringList{b, a};
    QTest::newRow("case matters in paths") << QStringList{qs("http://127.0.0.1/A"), qs("http://127.0.0.1/a")}
                                           << QStringList{qs("http://127.0.0.1/a"), qs("http://127.0.0.1/A")};
    QTest::newRow("a view with no location adds nothing") << QStringList{a, QString()} << QStringList{a};
}

void TestBrowserWindow::visitedList()
{
    QFETCH(QStringList, locations);
    QFETCH(QStringList, list);
    QVERIFY(open());
    m_view->clearCalls();
    for (const QString& location : locations)
        m_view->completeNavigation(QUrl(location), qs("Page"));

    QCOMPARE(items(addressBox()), list);
    QCOMPARE(addressBox()->currentIndex(), 0);
    QCOMPARE(addressBox()->currentText(), list.first());
    // Rewriting the list never navigates.
    QCOMPARE(m_view->calls(), QStringList{});
}

void TestBrowserWindow::toolbarButtons_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("call");
    QTest::addColumn<bool>("busyTimerRuns");

    QTest::newRow("Back") << qs("Back") << qs("back") << true;
    QTest::newRow("Forward") << qs("Forward") << qs("forward") << true;
    QTest::newRow("Refresh") << qs("Refresh") << qs("reload") << true;
    QTest::newRow("Home") << qs("Home") << qs("navigate http://127.0.0.1:8123/") << true;
    QTest::newRow("Search") << qs("Search") << qs("navigate qrc:/periphery/search.html") << true;
    QTest::newRow("Stop") << qs("Stop") << qs("stop") << false;
}

void TestBrowserWindow::toolbarButtons()
{
    QFETCH(QString, key);
    QFETCH(QString, call);
    QFETCH(bool, busyTimerRuns);
    m_fixture->state.setStatusPageUrl(QUrl(qs("http://127.0.0.1:8123/")));
    QVERIFY(open());
    m_view->completeNavigation(QUrl(qs("http://127.0.0.1:8123/")), qs("Unit"));
    busyTimer()->stop();
    m_view->clearCalls();
    m_view->setBusy(true); // a page is loading, so the timer keeps running

    QTest::mouseClick(m_browser->findChild<QToolBar*>(qs("tbToolBar"))->widgetForAction(action(key)),
                      Qt::LeftButton);
    QCOMPARE(m_view->calls(), QStringList{call});
    QCOMPARE(busyTimer()->isActive(), busyTimerRuns);
    QVERIFY(m_fixture->prompter.calls().isEmpty());
}

void TestBrowserWindow::busyCaptionThenLocationName_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");

    QTest::newRow("Refresh, titled page") << qs("Refresh") << qs("KSV unit status") << qs("KSV unit status");
    QTest::newRow("Home, titled page") << qs("Home") << qs("Unit 7") << qs("Unit 7");
    QTest::newRow("Back, untitled page: its address")
        << qs("Back") << QString() << qs("http://127.0.0.1/next");
}

void TestBrowserWindow::busyCaptionThenLocationName()
{
    QFETCH(QString, key);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QVERIFY(open());
    m_view->completeNavigation(QUrl(qs("http://127.0.0.1/")), qs("First"));
    QTRY_COMPARE_WITH_TIMEOUT(m_browser->windowTitle(), qs("First"), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(!busyTimer()->isActive(), 1000);

    m_view->setBusy(true);
    action(key)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_browser->windowTitle(), qs("Working..."), 1000);
    QVERIFY(busyTimer()->isActive());

    // The page arrives but the view only reports it through its busy state.
    m_view->setLocation(QUrl(qs("http://127.0.0.1/next")), name);
    m_view->setBusy(false);
    QTRY_COMPARE_WITH_TIMEOUT(m_browser->windowTitle(), caption, 1000);
    QTRY_VERIFY_WITH_TIMEOUT(!busyTimer()->isActive(), 1000);

    // The download-complete event sets the caption too.
    m_view->setLocation(QUrl(qs("http://127.0.0.1/other")), qs("Other"));
    m_view->fireDownloadComplete();
    QCOMPARE(m_browser->windowTitle(), qs("Other"));
}

void TestBrowserWindow::backOnAFreshWindowDoesNothing()
{
    QVERIFY(open());
    m_view->clearCalls();
    const QString title = m_browser->windowTitle();
    action(qs("Back"))->trigger();

    QCOMPARE(m_view->calls(), QStringList{qs("back")});
    QTRY_VERIFY_WITH_TIMEOUT(!busyTimer()->isActive(), 1000);
    QCOMPARE(m_browser->windowTitle(), title);
    QCOMPARE(addressBox()->count(), 0);
    QVERIFY(m_fixture->prompter.calls().isEmpty());
    QVERIFY(m_browser->isVisible());
}

void TestBrowserWindow::noSecondNavigationWhileTheListIsRewritten_data()
{
    QTest::addColumn<bool>("byEnter"); // the user's choice: a list entry, or Enter in the box
    QTest::newRow("entry chosen from the list") << false;
    QTest::newRow("Enter typed in the box") << true;
}

void TestBrowserWindow::noSecondNavigationWhileTheListIsRewritten()
{
    QFETCH(bool, byEnter);
    QVERIFY(open());
    m_view->completeNavigation(QUrl(qs("http://127.0.0.1/a")), qs("A"));
    m_view->clearCalls();

    // The user acts at the moment the list changes under them.
    QComboBox* box = addressBox();
    int choices = 0;
    auto choose = [&] {
        ++choices;
        if (byEnter)
            QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        else
            Q_EMIT box->activated(box->currentIndex());
    };
    auto connection = connect(box, &QComboBox::currentIndexChanged, this, choose);
    m_view->completeNavigation(QUrl(qs("http://127.0.0.1/b")), qs("B"));
    disconnect(connection);

    QVERIFY(choices > 0);
    QCOMPARE(m_view->calls(), QStringList{});
    QCOMPARE(items(box), (QStringList{qs("http://127.0.0.1/b"), qs("http://127.0.0.1/a")}));

    // Afterwards the same choice navigates, once.
    box->setCurrentIndex(1);
    choose();
    QCOMPARE(m_view->calls(), QStringList{qs("navigate http://127.0.0.1/a")});
}

void TestBrowserWindow::enterInTheAddressBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("full address") << qs("http://127.0.0.1:8080/status")
                                  << QStringList{qs("navigate http://127.0.0.1:8080/status")};
    QTest::newRow("without scheme") << qs("127.0.0.1:8080/x")
                                    << QStringList{qs("navigate http://127.0.0.1:8080/x")};
    QTest::newRow("surrounding spaces")
        << qs("  127.0.0.3  ") << QStringList{qs("navigate http://127.0.0.3")};
    QTest::newRow("only spaces") << qs("   ") << QStringList{};
    // Already in the list: the combo box would report it as chosen too; it still goes once.
    QTest::newRow("an address in the list")
        << qs("http://127.0.0.1/visited") << QStringList{qs("navigate http://127.0.0.1/visited")};
}

void TestBrowserWindow::enterInTheAddressBox()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, calls);
    QVERIFY(open());
    m_view->completeNavigation(QUrl(qs("http://127.0.0.1/visited")), qs("Visited"));
    m_view->completeNavigation(QUrl(qs("http://127.0.0.1/")), qs("Home"));
    QTRY_VERIFY_WITH_TIMEOUT(!busyTimer()->isActive(), 1000);
    m_view->clearCalls();

    QLineEdit* edit = addressBox()->lineEdit();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, typed);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(m_view->calls(), calls);
    QCOMPARE(busyTimer()->isActive(), !calls.isEmpty());
    QCOMPARE(addressBox()->count(), 2); // typing adds nothing until the page arrives
}

void TestBrowserWindow::leavingTheAddressBoxDoesNotNavigate_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("an address in the list") << qs("http://127.0.0.1/visited");
    QTest::newRow("a new address") << qs("http://127.0.0.1/new");
}

void TestBrowserWindow::leavingTheAddressBoxDoesNotNavigate()
{
    QFETCH(QString, typed);
    QVERIFY(open());
    m_view->completeNavigation(QUrl(qs("http://127.0.0.1/visited")), qs("Visited"));
    m_view->completeNavigation(QUrl(qs("http://127.0.0.1/")), qs("Home"));
    m_view->clearCalls();

    QLineEdit* edit = addressBox()->lineEdit();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, typed);
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(edit, &leave);
    QCOMPARE(m_view->calls(), QStringList{});
    QCOMPARE(edit->text(), typed);

    // Enter still goes there, once.
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(m_view->calls(), QStringList{qs("navigate ") + typed});
}

void TestBrowserWindow::searchPage_data()
{
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QString>("call");

    QTest::newRow("none configured: our page") << QString() << qs("navigate qrc:/periphery/search.html");
    QTest::newRow("configured address")
        << qs("http://127.0.0.1:9000/find") << qs("navigate http://127.0.0.1:9000/find");
    QTest::newRow("configured without scheme") << qs("127.0.0.1/s") << qs("navigate http://127.0.0.1/s");
    QTest::newRow("blank setting: our page") << qs("  ") << qs("navigate qrc:/periphery/search.html");
}

void TestBrowserWindow::searchPage()
{
    QFETCH(QString, configured);
    QFETCH(QString, call);
    if (!configured.isNull())
        QSettings().setValue(periphery::BrowserWindow::searchSettingKey(), configured);
    QVERIFY(open());
    m_view->clearCalls();
    action(qs("Search"))->trigger();
    QCOMPARE(m_view->calls(), QStringList{call});

    // Our page is there to be shown, and says how to configure one.
    QFile page(qs(":/periphery/search.html"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    QVERIFY(html.contains(qs("<title>No search provider</title>")));
    QVERIFY(html.contains(qs("searchUrl")));
    QVERIFY(html.contains(qs("[browser]")));
}

void TestBrowserWindow::resizeRule_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("800 x 600") << QSize(800, 600);
    QTest::newRow("small") << QSize(400, 260);
    QTest::newRow("wide") << QSize(1200, 500);
    QTest::newRow("tall") << QSize(500, 900);
}

void TestBrowserWindow::resizeRule()
{
    QFETCH(QSize, size);
    QVERIFY(open());
    m_browser->resize(size);
    QTRY_COMPARE_WITH_TIMEOUT(m_browser->size(), size, 1000);

    // 100 twips (7 pixels) less than the inner width; the page below the address strip, 100
    // twips short of the bottom.
    const int edge = 7;
    auto* strip = m_browser->findChild<QFrame*>(qs("picAddress"));
    QCOMPARE(addressBox()->width(), size.width() - edge);
    QCOMPARE(m_view->widget()->width(), size.width() - edge);
    QCOMPARE(m_view->widget()->y(), strip->y() + strip->height());
    QCOMPARE(m_view->widget()->height(), size.height() - (strip->y() + strip->height()) - edge);
    // The address box sits below its label, inside the strip.
    auto* label = m_browser->findChild<QLabel*>(qs("lblAddress"));
    QCOMPARE(addressBox()->x(), 3);
    QCOMPARE(addressBox()->y(), label->y() + label->height() + 1);
    QVERIFY(addressBox()->geometry().bottom() < strip->height());
}

void TestBrowserWindow::closingGivesTheMainWindowBack()
{
    QVERIFY(open());
    QPointer<QWidget> page = m_view->widget();
    QVERIFY(!m_mainWindow->isEnabled());
    m_browser->close();
    QVERIFY(m_mainWindow->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(m_browser.isNull(), 1000);
    QVERIFY(page.isNull());
}

QTEST_MAIN(TestBrowserWindow)
#include "tst_browserwindow.moc"
