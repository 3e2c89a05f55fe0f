#include "platform/webengineview.h"

#include <QCoreApplication>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace kestavo::platform {

namespace {

// Navigations (links, redirects, scripts, frames) pass the view's filter like typed addresses.
class FilteredPage final : public QWebEnginePage
{
public:
    FilteredPage(std::function<bool(const QUrl&)> admits, QObject* parent)
        : QWebEnginePage(parent), m_admits(std::move(admits))
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override { return m_admits(url); }

private:
    std::function<bool(const QUrl&)> m_admits;
};

// Page resources (scripts, images, requests) from refused addresses are blocked without a word.
class FilteredRequests final : public QWebEngineUrlRequestInterceptor
{
public:
    FilteredRequests(std::function<bool(const QUrl&)> allows, QObject* parent)
        : QWebEngineUrlRequestInterceptor(parent), m_allows(std::move(allows))
    {
    }
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (!m_allows(info.requestUrl()))
            info.block(true);
    }

private:
    std::function<bool(const QUrl&)> m_allows;
};

} // namespace

void WebEngineView::prepareApplication()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

bool WebEngineView::disableSandboxForRoot()
{
#ifdef Q_OS_UNIX
    if (geteuid() != 0)
        return false;
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        qInfo("Running as root: the QtWebEngine sandbox is disabled for this process, as QtWebEngine "
              "refuses to start as root with it.");
    }
    return true;
#else
    return false;
#endif
}

WebEngineView::WebEngineView(QWidget* parent) : m_view(new QWebEngineView(parent))
{
    auto* page = new FilteredPage([this](const QUrl& url) { return admits(url); }, m_view);
    page->setUrlRequestInterceptor(
        new FilteredRequests([this](const QUrl& url) { return allows(url); }, page));
    m_view->setPage(page);
    m_view->setObjectName(QStringLiteral("brwWebBrowser"));
    m_view->setAccessibleName(QCoreApplication::translate("kestavo::platform", "Web page"));
    QObject::connect(m_view, &QWebEngineView::loadStarted, m_view, [this] { m_busy = true; });
    QObject::connect(m_view, &QWebEngineView::loadFinished, m_view, [this](bool) {
        m_busy = false;
        if (m_onNavigationComplete)
            m_onNavigationComplete();
        if (m_onDownloadComplete)
            m_onDownloadComplete();
    });
}

WebEngineView::~WebEngineView()
{
    delete m_view.data();
}

QWidget* WebEngineView::widget()
{
    return m_view;
}

void WebEngineView::navigate(const QUrl& url)
{
    // The page's own navigation check sees this load too and tells the refused handler.
    if (m_view)
        m_view->load(url.scheme().isEmpty() ? QUrl::fromUserInput(url.toString()) : url);
}

void WebEngineView::back()
{
    if (m_view)
        m_view->back();
}

void WebEngineView::forward()
{
    if (m_view)
        m_view->forward();
}

void WebEngineView::reload()
{
    if (m_view)
        m_view->reload();
}

void WebEngineView::stop()
{
    if (m_view)
        m_view->stop();
}

bool WebEngineView::isBusy() const
{
    return m_busy;
}

QString WebEngineView::locationName() const
{
    return m_view ? m_view->title() : QString();
}

QUrl WebEngineView::locationUrl() const
{
    return m_view ? m_view->url() : QUrl();
}

void WebEngineView::setNavigationCompleteHandler(std::function<void()> handler)
{
    m_onNavigationComplete = std::move(handler);
}

void WebEngineView::setDownloadCompleteHandler(std::function<void()> handler)
{
    m_onDownloadComplete = std::move(handler);
}

} // namespace kestavo::platform
