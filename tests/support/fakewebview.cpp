#include "support/fakewebview.h"

namespace kestavo::testsupport {

FakeWebView::FakeWebView() : m_widget(new QWidget)
{
    m_widget->setObjectName(QStringLiteral("brwWebBrowser"));
}

FakeWebView::~FakeWebView()
{
    delete m_widget.data();
}

QWidget* FakeWebView::widget()
{
    return m_widget;
}

void FakeWebView::navigate(const QUrl& url)
{
    if (!admits(url)) {
        m_calls << QStringLiteral("refused ") + url.toString();
        return;
    }
    m_calls << QStringLiteral("navigate ") + url.toString();
}

void FakeWebView::setNavigationCompleteHandler(std::function<void()> handler)
{
    m_onNavigationComplete = std::move(handler);
}

void FakeWebView::setDownloadCompleteHandler(std::function<void()> handler)
{
    m_onDownloadComplete = std::move(handler);
}

void FakeWebView::setLocation(const QUrl& url, const QString& name)
{
    m_locationUrl = url;
    m_locationName = name;
}

void FakeWebView::fireNavigationComplete()
{
    if (m_onNavigationComplete)
        m_onNavigationComplete();
}

void FakeWebView::fireDownloadComplete()
{
    if (m_onDownloadComplete)
        m_onDownloadComplete();
}

void FakeWebView::completeNavigation(const QUrl& url, const QString& name)
{
    setLocation(url, name);
    m_busy = false;
    fireNavigationComplete();
}

} // namespace kestavo::testsupport
