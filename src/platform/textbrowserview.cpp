#include "platform/textbrowserview.h"

#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStringDecoder>
#include <QTextBrowser>

namespace kestavo::platform {

TextBrowserView::TextBrowserView(QWidget* parent)
    : m_browser(new QTextBrowser(parent)), m_network(new QNetworkAccessManager(m_browser))
{
    m_browser->setObjectName(QStringLiteral("brwWebBrowser"));
    m_browser->setAccessibleName(QStringLiteral("Web page"));
    // Links go through navigate() so that they enter our history and are fetched by us.
    m_browser->setOpenLinks(false);
    m_browser->setOpenExternalLinks(false);
    QObject::connect(m_browser, &QTextBrowser::anchorClicked, m_browser, [this](const QUrl& link) {
        if (link.isRelative() && link.path().isEmpty() && link.hasFragment()) {
            m_browser->scrollToAnchor(link.fragment());
            return;
        }
        navigate(m_url.resolved(link));
    });
}

TextBrowserView::~TextBrowserView()
{
    delete m_browser.data();
}

QWidget* TextBrowserView::widget()
{
    return m_browser;
}

void TextBrowserView::navigate(const QUrl& url)
{
    const QUrl target = url.scheme().isEmpty() ? QUrl::fromUserInput(url.toString()) : url;
    if (!target.isValid() || !m_browser || !admits(target))
        return;
    m_history.erase(m_history.begin() + (m_position + 1), m_history.end());
    m_history.append(target);
    m_position = m_history.size() - 1;
    load(target);
}

void TextBrowserView::back()
{
    if (m_position <= 0)
        return;
    --m_position;
    load(m_history.at(m_position));
}

void TextBrowserView::forward()
{
    if (m_position + 1 >= m_history.size())
        return;
    ++m_position;
    load(m_history.at(m_position));
}

void TextBrowserView::reload()
{
    if (m_position >= 0)
        load(m_history.at(m_position));
}

void TextBrowserView::stop()
{
    if (QNetworkReply* reply = m_reply.data()) {
        m_reply = nullptr;
        reply->disconnect(m_browser);
        reply->abort();
        reply->deleteLater();
    }
}

bool TextBrowserView::isBusy() const
{
    return !m_reply.isNull();
}

QString TextBrowserView::locationName() const
{
    return m_title.isEmpty() ? m_url.toString() : m_title;
}

QUrl TextBrowserView::locationUrl() const
{
    return m_url;
}

void TextBrowserView::setNavigationCompleteHandler(std::function<void()> handler)
{
    m_onNavigationComplete = std::move(handler);
}

void TextBrowserView::setDownloadCompleteHandler(std::function<void()> handler)
{
    m_onDownloadComplete = std::move(handler);
}

QString TextBrowserView::plainText() const
{
    return m_browser ? m_browser->toPlainText() : QString();
}

void TextBrowserView::load(const QUrl& url)
{
    if (!m_browser)
        return;
    stop(); // the newest request wins
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Kestavo"));
    QNetworkReply* reply = m_network->get(request);
    m_reply = reply;
    QObject::connect(reply, &QNetworkReply::finished, m_browser, [this, reply] {
        if (reply != m_reply)
            return;
        m_reply = nullptr;
        show(reply);
        reply->deleteLater();
        if (m_onNavigationComplete)
            m_onNavigationComplete();
        if (m_onDownloadComplete)
            m_onDownloadComplete();
    });
}

void TextBrowserView::show(QNetworkReply* reply)
{
    m_url = reply->url();
    const QByteArray body = reply->readAll();
    const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString().toLower();
    const bool httpAnswered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();

    if (reply->error() != QNetworkReply::NoError && (!httpAnswered || body.isEmpty())) {
        m_title = QStringLiteral("Page not available");
        m_browser->setHtml(
            QStringLiteral("<html><head><title>%1</title></head><body><h2>The page could not be "
                           "loaded</h2><p>%2: %3</p><p>Check the address and that the unit "
                           "is reachable, then press Refresh.</p></body></html>")
                .arg(m_title, m_url.toString().toHtmlEscaped(), reply->errorString().toHtmlEscaped()));
        return;
    }

    if (type.startsWith(QLatin1String("image/"))) {
        m_browser->document()->addResource(QTextDocument::ImageResource, m_url, QImage::fromData(body));
        m_browser->setHtml(QStringLiteral("<img src=\"%1\">").arg(m_url.toString().toHtmlEscaped()));
        m_title.clear();
        return;
    }

    QStringDecoder decoder(QStringConverter::encodingForHtml(body).value_or(QStringConverter::Utf8));
    const QString text = decoder(body);
    if (type.startsWith(QLatin1String("text/plain"))) {
        m_browser->setPlainText(text);
        m_title.clear();
    } else {
        m_browser->setHtml(text);
        m_title = m_browser->documentTitle();
    }
}

} // namespace kestavo::platform
