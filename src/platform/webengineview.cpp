#include "platform/webengineview.h"

#include <QCoreApplication>
#include <QWebEngineView>

namespace kestavo::platform {

WebEngineView::WebEngineView(QWidget* parent) : m_view(new QWebEngineView(parent))
{
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
