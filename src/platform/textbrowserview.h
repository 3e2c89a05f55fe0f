#pragma once

#include <QList>
#include <QPointer>

#include "platform/webview.h"

class QNetworkAccessManager;
class QNetworkReply;
class QTextBrowser;

namespace kestavo::platform {

/// The browser window's view when QtWebEngine is not installed: a QTextBrowser that fetches pages
/// itself (http, https, file, qrc and data addresses), shows their HTML and keeps its own history.
/// Good enough for the unit's plain status page. Owns its widget unless a parent deletes it first.
class TextBrowserView final : public WebView
{
public:
    explicit TextBrowserView(QWidget* parent = nullptr);
    ~TextBrowserView() override;
    TextBrowserView(const TextBrowserView&) = delete;
    TextBrowserView& operator=(const TextBrowserView&) = delete;

    QWidget* widget() override;
    void navigate(const QUrl& url) override;
    void back() override;
    void forward() override;
    void reload() override;
    void stop() override;
    bool isBusy() const override;
    QString locationName() const override;
    QUrl locationUrl() const override;
    void setNavigationCompleteHandler(std::function<void()> handler) override;
    void setDownloadCompleteHandler(std::function<void()> handler) override;

    /// The text shown, for tests and accessibility checks.
    QString plainText() const;

private:
    void load(const QUrl& url);
    void show(QNetworkReply* reply);

    QPointer<QTextBrowser> m_browser;
    QNetworkAccessManager* m_network = nullptr; // child of m_browser
    QPointer<QNetworkReply> m_reply;            // the request running, if any
    QList<QUrl> m_history;
    qsizetype m_position = -1; // index of the current page in m_history
    QUrl m_url;
    QString m_title;
    std::function<void()> m_onNavigationComplete;
    std::function<void()> m_onDownloadComplete;
};

} // namespace kestavo::platform
