#pragma once

#include <QPointer>

#include "platform/webview.h"

class QWebEngineView;

namespace kestavo::platform {

/// The browser window's view over QWebEngineView. Busy from loadStarted to loadFinished; both
/// completion events are raised by loadFinished. Owns its widget unless a parent deletes it first.
class WebEngineView final : public WebView
{
public:
    explicit WebEngineView(QWidget* parent = nullptr);
    ~WebEngineView() override;
    WebEngineView(const WebEngineView&) = delete;
    WebEngineView& operator=(const WebEngineView&) = delete;

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

    /// Call before the QApplication is constructed: QtWebEngine wants shared OpenGL contexts from
    /// the start.
    static void prepareApplication();
    /// QtWebEngine refuses to run as root with its sandbox on and ends the process. Disables the
    /// sandbox for this process when running as root (logged); returns whether it runs as root.
    static bool disableSandboxForRoot();

private:
    QPointer<QWebEngineView> m_view;
    bool m_busy = false;
    std::function<void()> m_onNavigationComplete;
    std::function<void()> m_onDownloadComplete;
};

} // namespace kestavo::platform
