#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>

#include "httpresponder.h"
#include "platform/processwebview.h"
#include "platform/textbrowserview.h"
#include "platform/webviewfactory.h"

using kestavo::platform::ProcessWebView;
using kestavo::platform::TextBrowserView;
using kestavo::platform::WebView;

namespace {

const QByteArray kStatusPage = "<html><head><title>KSV Status</title></head>"
                               "<body><h1>Relay 1 ON</h1><a href=\"setup/net\">Network</a></body></html>";

// Counts the two completion events of a view.
struct Completions
{
    explicit Completions(WebView& view)
    {
        view.setNavigationCompleteHandler([this] { ++navigations; });
        view.setDownloadCompleteHandler([this] { ++downloads; });
    }
    int navigations = 0;
    int downloads = 0;
};

} // namespace

class TestWebViews : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void pages_data();
    void pages();
    void unreachableAddressShowsAnErrorPage();
    void busyWhileTheRequestRuns();
    void historyOnFreshViewDoesNothing();
    void backAndForward();
    void navigatingAfterBackDropsForwardHistory();
    void stopAbandonsTheRequest();
    void linksAreFetchedByTheView();
    void factoryGivesAViewWithAWidget_data();
    void factoryGivesAViewWithAWidget();
#ifdef KESTAVO_BROWSER_PROGRAM
    void browserProcessTitleReachesLocationName();
    void browserProcessAsksBeforeLeavingTheAdmittedHost();
    void browserProcessThatCannotStartSaysSo();
#endif

private:
    std::unique_ptr<HttpResponder> m_server;
};

void TestWebViews::init()
{
    m_server = std::make_unique<HttpResponder>();
    QVERIFY(m_server->isListening());
    m_server->setPage(QStringLiteral("/"), {200, "text/html", kStatusPage});
    m_server->setPage(QStringLiteral("/untitled"),
                      {200, "text/html", "<html><body>No title here</body></html>"});
    m_server->setPage(QStringLiteral("/log.txt"), {200, "text/plain", "<b>uptime 12 s</b>"});
    m_server->setPage(QStringLiteral("/latin1"),
                      {200, "text/html",
                       "<html><head><meta charset=\"iso-8859-1\"><title>Temp 21\xb0"
                       "C</title></head></html>"});
    m_server->setPage(
        QStringLiteral("/missing"),
        {404, "text/html", "<html><head><title>No such page</title></head><body>404</body></html>"});
}

void TestWebViews::pages_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("locationName"); // "%1" stands for the page's address
    QTest::addColumn<QString>("shown");

    QTest::newRow("title reaches the location name") << "/"
                                                     << "KSV Status"
                                                     << "Relay 1 ON";
    QTest::newRow("no title: the address") << "/untitled"
                                           << "%1"
                                           << "No title here";
    QTest::newRow("plain text is not parsed") << "/log.txt"
                                              << "%1"
                                              << "<b>uptime 12 s</b>";
    QTest::newRow("declared character set") << "/latin1" << QStringLiteral("Temp 21\u00b0C") << "";
    QTest::newRow("error page of the server is shown") << "/missing"
                                                       << "No such page"
                                                       << "404";
}

void TestWebViews::pages()
{
    QFETCH(QString, path);
    QFETCH(QString, locationName);
    QFETCH(QString, shown);

    TextBrowserView view;
    Completions done(view);
    const QUrl address = m_server->url(path);
    view.navigate(address);
    QTRY_COMPARE(done.navigations, 1);
    QCOMPARE(done.downloads, 1);
    QVERIFY(!view.isBusy());
    QCOMPARE(view.locationUrl(), address);
    QCOMPARE(view.locationName(), locationName == QLatin1String("%1") ? address.toString() : locationName);
    QVERIFY2(view.plainText().contains(shown), qPrintable(view.plainText()));
}

void TestWebViews::unreachableAddressShowsAnErrorPage()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const QUrl address(QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort()));
    closed.close();

    TextBrowserView view;
    Completions done(view);
    view.navigate(address);
    QTRY_COMPARE(done.navigations, 1);
    QCOMPARE(view.locationName(), QStringLiteral("Page not available"));
    QCOMPARE(view.locationUrl(), address);
    QVERIFY2(view.plainText().contains(address.toString()), qPrintable(view.plainText()));
}

void TestWebViews::busyWhileTheRequestRuns()
{
    TextBrowserView view;
    Completions done(view);
    view.navigate(m_server->url(QStringLiteral("/")));
    QVERIFY(view.isBusy());
    QTRY_VERIFY(!view.isBusy());
    QCOMPARE(done.navigations, 1);
}

void TestWebViews::historyOnFreshViewDoesNothing()
{
    TextBrowserView view;
    Completions done(view);
    view.back();
    view.forward();
    view.reload();
    view.stop();
    QVERIFY(!view.isBusy());
    QVERIFY(view.locationUrl().isEmpty());
    QVERIFY(view.locationName().isEmpty());
    QCOMPARE(done.navigations, 0);
    QVERIFY(m_server->requests().isEmpty());
}

void TestWebViews::backAndForward()
{
    TextBrowserView view;
    Completions done(view);
    view.navigate(m_server->url(QStringLiteral("/")));
    QTRY_COMPARE(done.navigations, 1);
    view.navigate(m_server->url(QStringLiteral("/untitled")));
    QTRY_COMPARE(done.navigations, 2);

    view.back();
    QTRY_COMPARE(done.navigations, 3);
    QCOMPARE(view.locationName(), QStringLiteral("KSV Status"));
    view.back(); // already at the first page
    view.forward();
    QTRY_COMPARE(done.navigations, 4);
    QCOMPARE(view.locationUrl(), m_server->url(QStringLiteral("/untitled")));
    view.forward(); // already at the last page
    view.reload();
    QTRY_COMPARE(done.navigations, 5);
    QCOMPARE(m_server->requests(),
             (QStringList{QStringLiteral("/"), QStringLiteral("/untitled"), QStringLiteral("/"),
                          QStringLiteral("/untitled"), QStringLiteral("/untitled")}));
}

void TestWebViews::navigatingAfterBackDropsForwardHistory()
{
    TextBrowserView view;
    Completions done(view);
    for (const QString& path : {QStringLiteral("/"), QStringLiteral("/untitled")}) {
        view.navigate(m_server->url(path));
        QTRY_VERIFY(!view.isBusy());
    }
    view.back();
    QTRY_VERIFY(!view.isBusy());
    view.navigate(m_server->url(QStringLiteral("/log.txt")));
    QTRY_VERIFY(!view.isBusy());
    const int before = done.navigations;
    view.forward();
    QVERIFY(!view.isBusy());
    QCOMPARE(done.navigations, before);
    view.back();
    QTRY_COMPARE(view.locationName(), QStringLiteral("KSV Status"));
}

void TestWebViews::stopAbandonsTheRequest()
{
    TextBrowserView view;
    Completions done(view);
    view.navigate(m_server->url(QStringLiteral("/hang")));
    QTRY_COMPARE(m_server->requests().size(), 1);
    QVERIFY(view.isBusy());
    view.stop();
    QVERIFY(!view.isBusy());

    view.navigate(m_server->url(QStringLiteral("/")));
    QTRY_COMPARE(done.navigations, 1); // the abandoned request raised no event
    QCOMPARE(view.locationName(), QStringLiteral("KSV Status"));
}

void TestWebViews::linksAreFetchedByTheView()
{
    m_server->setPage(QStringLiteral("/setup/net"), {200, "text/html", "<title>Network setup</title>"});
    TextBrowserView view;
    Completions done(view);
    view.navigate(m_server->url(QStringLiteral("/")));
    QTRY_COMPARE(done.navigations, 1);

    auto* browser = qobject_cast<QTextBrowser*>(view.widget());
    QVERIFY(browser);
    Q_EMIT browser->anchorClicked(QUrl(QStringLiteral("setup/net")));
    QTRY_COMPARE(done.navigations, 2);
    QCOMPARE(view.locationName(), QStringLiteral("Network setup"));
    view.back();
    QTRY_COMPARE(view.locationName(), QStringLiteral("KSV Status"));
}

void TestWebViews::factoryGivesAViewWithAWidget_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("inProcess");
    QTest::newRow("no browser program: text browser") << QString() << true;
#ifdef KESTAVO_BROWSER_PROGRAM
    QTest::newRow("kestavo-browser") << QStringLiteral(KESTAVO_BROWSER_PROGRAM) << false;
#endif
}

void TestWebViews::factoryGivesAViewWithAWidget()
{
    QFETCH(QString, program);
    QFETCH(bool, inProcess);
    QWidget window;
    std::unique_ptr<WebView> view = kestavo::platform::createWebView(&window, program);
    QVERIFY(view);
    QCOMPARE(view->widget()->parentWidget(), &window);
    QCOMPARE(view->widget()->objectName(), QStringLiteral("brwWebBrowser"));
    QCOMPARE(view->widget()->inherits("QTextBrowser"), inProcess);
    view.reset();
    QVERIFY(window.children().isEmpty()); // the view took its widget with it
}

#ifdef KESTAVO_BROWSER_PROGRAM
void TestWebViews::browserProcessTitleReachesLocationName()
{
    QWidget window;
    ProcessWebView view(QStringLiteral(KESTAVO_BROWSER_PROGRAM), &window);
    Completions done(view);
    view.navigate(m_server->url(QStringLiteral("/")));
    QVERIFY(view.isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(done.navigations >= 1, 30000);
    QVERIFY(!view.isBusy());
    QCOMPARE(done.downloads, done.navigations);
    QCOMPARE(view.locationName(), QStringLiteral("KSV Status"));
    QCOMPARE(view.locationUrl(), m_server->url(QStringLiteral("/")));
    // Nothing to go back to: the view is not left busy.
    view.back();
    QTRY_VERIFY(!view.isBusy());
    QVERIFY(view.failure().isEmpty());
}

void TestWebViews::browserProcessAsksBeforeLeavingTheAdmittedHost()
{
    // The page sends itself to the same server under another name: the browser process may not
    // load it before the console's filter has said yes, and the filter says no.
    const QUrl elsewhere(QStringLiteral("http://localhost:%1/elsewhere").arg(m_server->serverPort()));
    m_server->setPage(QStringLiteral("/leave"),
                      {200, "text/html",
                       "<html><head><title>Leaving</title></head><body><script>location.href='" +
                           elsewhere.toString().toUtf8() + "';</script></body></html>"});
    QWidget window;
    ProcessWebView view(QStringLiteral(KESTAVO_BROWSER_PROGRAM), &window);
    QList<QUrl> refused;
    view.setNavigationFilter([this](const QUrl& url) { return url.host() == m_server->url({}).host(); },
                             [&refused](const QUrl& url) { refused << url; });
    view.navigate(elsewhere); // typed: refused here, never sent
    QCOMPARE(refused, QList<QUrl>{elsewhere});
    view.navigate(m_server->url(QStringLiteral("/leave")));
    QTRY_COMPARE_WITH_TIMEOUT(refused.size(), 2, 30000);
    QCOMPARE(refused.last(), elsewhere);
    QVERIFY(!m_server->requests().contains(QStringLiteral("/elsewhere")));
}

void TestWebViews::browserProcessThatCannotStartSaysSo()
{
    QWidget window;
    ProcessWebView view(QStringLiteral("/nonexistent/kestavo-browser"), &window);
    QTRY_VERIFY(view.failure().contains(QStringLiteral("/nonexistent/kestavo-browser")));
    view.navigate(m_server->url(QStringLiteral("/")));
    QVERIFY(m_server->requests().isEmpty());
}
#endif

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestWebViews test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_webviews.moc"
