#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocument>

#include "session/consolestate.h"

#include "gui/periphery/browserwindow.h"
#include "ksv-sim/simulatedunit.h"
#include "ksv-sim/statuspage.h"
#include "platform/processwebview.h"
#include "platform/textbrowserview.h"
#include "support/consolefixture.h"

using namespace kestavo;
using testsupport::ConsoleFixture;

namespace {

// QtWebEngine draws in kestavo-browser, a process of its own; the text browser in this one.
std::unique_ptr<platform::WebView> viewFor(bool webEngine)
{
#ifdef KESTAVO_BROWSER_PROGRAM
    if (webEngine)
        return std::make_unique<platform::ProcessWebView>(QStringLiteral(KESTAVO_BROWSER_PROGRAM));
#endif
    Q_UNUSED(webEngine);
    return std::make_unique<platform::TextBrowserView>();
}

} // namespace

// The browser against the simulated unit's status page on loopback, in the real views: the text
// browser everywhere, QtWebEngine where the console is built with it.
class TestBrowserLive : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statusPageTitleReachesTheCaption_data();
    void statusPageTitleReachesTheCaption();
    void searchShowsOurPage_data();
    void searchShowsOurPage();
};

void TestBrowserLive::statusPageTitleReachesTheCaption_data()
{
    QTest::addColumn<bool>("webEngine");
    QTest::newRow("text browser") << false;
    QTest::newRow("QtWebEngine") << true;
}

void TestBrowserLive::statusPageTitleReachesTheCaption()
{
    QFETCH(bool, webEngine);
#ifndef KESTAVO_BROWSER_PROGRAM
    if (webEngine)
        QSKIP("The console is built without QtWebEngine: the browser uses the text browser only.");
#endif
    ConsoleFixture fixture;
    QWidget mainWindow;
    fixture.context.mainWindow = &mainWindow;

    sim::SimulatedUnit::Config config;
    config.port = 0;
    config.httpPort = 0;
    config.realTime = false;
    sim::SimulatedUnit unit(config);
    QVERIFY2(unit.start(), qPrintable(unit.errorString()));
    QVERIFY(unit.httpPort() > 0);
    const QUrl page(QStringLiteral("http://127.0.0.1:%1/").arg(unit.httpPort()));
    fixture.state.setStatusPageUrl(page);

    // The title the page carries, as a reader sees it.
    const QString html = QString::fromUtf8(sim::StatusPage(unit.model()).html());
    const auto match = QRegularExpression(QStringLiteral("<title>(.*)</title>")).match(html);
    QVERIFY(match.hasMatch());
    QTextDocument unescape;
    unescape.setHtml(match.captured(1));
    const QString title = unescape.toPlainText();
    QVERIFY(title.contains(QStringLiteral("KSV unit status")));

    std::unique_ptr<platform::WebView> view = viewFor(webEngine);
    auto* browser = new periphery::BrowserWindow(fixture.context, std::move(view));
    browser->show();
    QCOMPARE(browser->findChild<QWidget*>(QStringLiteral("brwWebBrowser"))->inherits("QTextBrowser"),
             !webEngine);

    QTRY_COMPARE_WITH_TIMEOUT(browser->windowTitle(), title, 20000);
    auto* address = browser->findChild<QComboBox*>(QStringLiteral("cboAddress"));
    QTRY_VERIFY_WITH_TIMEOUT(address->count() >= 1, 5000);
    QCOMPARE(address->itemText(0), page.toString());
    QVERIFY(fixture.prompter.calls().isEmpty());

    delete browser;
    QVERIFY(mainWindow.isEnabled());
}

void TestBrowserLive::searchShowsOurPage_data()
{
    statusPageTitleReachesTheCaption_data();
}

void TestBrowserLive::searchShowsOurPage()
{
    QFETCH(bool, webEngine);
#ifndef KESTAVO_BROWSER_PROGRAM
    if (webEngine)
        QSKIP("The console is built without QtWebEngine: the browser uses the text browser only.");
#endif
    ConsoleFixture fixture;
    QWidget mainWindow;
    fixture.context.mainWindow = &mainWindow;
    // Home leads nowhere here: no page is served on the unit's address in this test.
    fixture.state.setStatusPageUrl(QUrl(QStringLiteral("about:blank")));

    std::unique_ptr<platform::WebView> view = viewFor(webEngine);
    auto* browser = new periphery::BrowserWindow(fixture.context, std::move(view));
    browser->show();
    browser->runToolbarButton(QStringLiteral("Search"));
    QTRY_COMPARE_WITH_TIMEOUT(browser->windowTitle(), QStringLiteral("No search provider"), 20000);
    auto* address = browser->findChild<QComboBox*>(QStringLiteral("cboAddress"));
    QTRY_COMPARE_WITH_TIMEOUT(address->currentText(), periphery::BrowserWindow::ownSearchPage().toString(),
                              5000);
    delete browser;
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestBrowserLive test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_browserlive.moc"
