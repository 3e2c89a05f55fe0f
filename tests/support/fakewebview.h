#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "platform/webview.h"

namespace kestavo::testsupport {

/// Records the browser's calls as "navigate <url>" (or "refused <url>" when the navigation filter
/// refuses it), "back", "forward", "reload", "stop"; the test
/// sets busy state and location and fires the two completion events itself.
class FakeWebView final : public platform::WebView
{
public:
    FakeWebView();
    ~FakeWebView() override;

    QWidget* widget() override;
    void navigate(const QUrl& url) override;
    void back() override { m_calls << QStringLiteral("back"); }
    void forward() override { m_calls << QStringLiteral("forward"); }
    void reload() override { m_calls << QStringLiteral("reload"); }
    void stop() override { m_calls << QStringLiteral("stop"); }
    bool isBusy() const override { return m_busy; }
    QString locationName() const override { return m_locationName; }
    QUrl locationUrl() const override { return m_locationUrl; }
    void setNavigationCompleteHandler(std::function<void()> handler) override;
    void setDownloadCompleteHandler(std::function<void()> handler) override;

    const QStringList& calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }
    void setBusy(bool busy) { m_busy = busy; }
    void setLocation(const QUrl& url, const QString& name);

    void fireNavigationComplete();
    void fireDownloadComplete();
    /// A page finished loading: location set, busy cleared, navigation complete fired.
    void completeNavigation(const QUrl& url, const QString& name);

private:
    QPointer<QWidget> m_widget; // owned here unless a parent deletes it first
    QStringList m_calls;
    bool m_busy = false;
    QString m_locationName;
    QUrl m_locationUrl;
    std::function<void()> m_onNavigationComplete;
    std::function<void()> m_onDownloadComplete;
};

} // namespace kestavo::testsupport
