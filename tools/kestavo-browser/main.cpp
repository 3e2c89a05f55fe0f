// kestavo-browser: the web page of the console's browser window, drawn by QtWebEngine in a
// process of its own so that the console itself never loads QtWebEngine nor the OpenGL driver it
// needs. The console starts it, speaks to it over stdin and stdout (platform/browserprotocol.h)
// and holds its window inside the browser window where the display allows. It quits when its
// input ends, which is also what happens when the console goes.

#include <cstdio>
#include <memory>
#include <unistd.h>

#include <QApplication>
#include <QSet>
#include <QSocketNotifier>
#include <QWebEngineHistory>
#include <QWebEngineView>
#include <QWindow>

#include "platform/browserprotocol.h"
#include "platform/webengineview.h"

namespace {

namespace bp = kestavo::platform::browserprotocol;

class BrowserHost final : public QObject
{
public:
    explicit BrowserHost(bool confined) : m_confined(confined), m_input(STDIN_FILENO, QSocketNotifier::Read)
    {
        m_page = qobject_cast<QWebEngineView*>(m_view.widget());
        m_view.setNavigationFilter([this](const QUrl& url) { return admitted(url); },
                                   [this](const QUrl& url) {
                                       send("ask", {url.toString(QUrl::FullyEncoded)});
                                       send("busy", {QStringLiteral("0")});
                                   });
        m_view.setNavigationCompleteHandler([this] {
            send("done", {m_view.locationUrl().toString(QUrl::FullyEncoded), m_view.locationName()});
        });
        connect(m_page, &QWebEngineView::loadStarted, this, [this] { send("busy", {QStringLiteral("1")}); });
        connect(&m_input, &QSocketNotifier::activated, this, &BrowserHost::readInput);
        m_page->setWindowTitle(QStringLiteral("Kestavo web page"));
        m_page->resize(800, 600);
    }

private:
    bool admitted(const QUrl& url) const
    {
        if (!m_confined)
            return true;
        const QString scheme = url.scheme().toLower();
        if (scheme == QLatin1String("qrc") || scheme == QLatin1String("about") ||
            scheme == QLatin1String("data"))
            return true;
        return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
               m_hosts.contains(url.host());
    }

    void send(const char* word, const QStringList& arguments = {})
    {
        const QByteArray line = bp::line(word, arguments);
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
    }

    void readInput()
    {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            m_input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        m_pending.append(buffer, got);
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QStringList message = bp::parse(m_pending.left(end));
            m_pending.remove(0, end + 1);
            run(message);
        }
    }

    void run(const QStringList& message)
    {
        const QString word = message.value(0);
        if (word == QLatin1String("go")) {
            const QUrl url(message.value(1));
            // The console admitted it: so is its host, for the page's own links and resources.
            if (!url.host().isEmpty())
                m_hosts.insert(url.host());
            m_view.navigate(url);
        } else if (word == QLatin1String("back")) {
            if (m_page->history()->canGoBack())
                m_view.back();
            else
                send("busy", {QStringLiteral("0")});
        } else if (word == QLatin1String("forward")) {
            if (m_page->history()->canGoForward())
                m_view.forward();
            else
                send("busy", {QStringLiteral("0")});
        } else if (word == QLatin1String("reload")) {
            m_view.reload();
        } else if (word == QLatin1String("stop")) {
            m_view.stop();
        } else if (word == QLatin1String("confine")) {
            m_confined = true;
        } else if (word == QLatin1String("embed")) {
            // A child of the console's page frame: it moves, hides and goes with that window.
            m_host.reset(QWindow::fromWinId(WId(message.value(1).toULongLong())));
            m_page->winId();
            m_page->windowHandle()->setParent(m_host.get());
            m_page->setGeometry(0, 0, message.value(2).toInt(), message.value(3).toInt());
            m_page->show();
        } else if (word == QLatin1String("size")) {
            m_page->resize(message.value(1).toInt(), message.value(2).toInt());
        } else if (word == QLatin1String("show")) {
            m_page->show();
        }
    }

    bool m_confined;
    QSet<QString> m_hosts;
    // The console's page frame when embedded; outlives the view, whose window is its child.
    std::unique_ptr<QWindow> m_host;
    kestavo::platform::WebEngineView m_view;
    QWebEngineView* m_page = nullptr;
    QSocketNotifier m_input;
    QByteArray m_pending;
};

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--help" || argument == "-h" || argument == "--version" || argument == "-v") {
            std::puts("kestavo-browser: the web page of the Kestavo console's browser window. The console "
                      "starts it; it reads its commands from standard input.");
            return 0;
        }
    }
    // Without its sandbox (root) a page could act with root's rights: only admitted hosts then.
    const bool asRoot = kestavo::platform::WebEngineView::disableSandboxForRoot();
    kestavo::platform::WebEngineView::prepareApplication();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Kestavo"));
    QCoreApplication::setApplicationName(QStringLiteral("Kestavo web page"));
    BrowserHost host(asRoot);
    return QApplication::exec();
}
