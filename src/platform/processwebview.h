#pragma once

#include <QPointer>
#include <QString>
#include <QUrl>

#include "platform/webview.h"

class QLabel;
class QProcess;
class QWidget;

namespace kestavo::platform {

/// The browser window's view when the page is drawn by kestavo-browser, a process of its own: the
/// console then never loads QtWebEngine nor its OpenGL set-up. The widget is a frame that holds
/// the browser's window where the display allows it (X11); elsewhere the page opens as a window
/// of its own. The navigation filter stays here: the browser asks before it leaves the admitted
/// hosts, and refused addresses reach the refused handler as with the other views.
/// Owns its widget unless a parent deletes it first; ends the process when it goes.
class ProcessWebView final : public WebView
{
public:
    ProcessWebView(const QString& program, QWidget* parent = nullptr);
    ~ProcessWebView() override;
    ProcessWebView(const ProcessWebView&) = delete;
    ProcessWebView& operator=(const ProcessWebView&) = delete;

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

    /// Whether the browser's page sits inside widget().
    bool embedded() const { return m_embedded; }
    /// The message shown in place of the page when the browser could not run; empty while it runs.
    QString failure() const;

private:
    class Frame;
    void send(const QByteArray& line);
    void readLines();
    void handle(const QStringList& message);
    void shown();
    void fail(const QString& why);
    void sizeChanged();
    void filterChanged() override;

    QPointer<QWidget> m_frame;
    QProcess* m_process = nullptr; // child of m_frame
    QLabel* m_message = nullptr;   // child of m_frame
    QByteArray m_pending;          // an unfinished line from the browser
    bool m_busy = false;
    bool m_confined = false;
    bool m_embedded = false;
    bool m_placed = false; // embedded or shown on its own, once
    QUrl m_url;
    QString m_title;
    std::function<void()> m_onNavigationComplete;
    std::function<void()> m_onDownloadComplete;
};

} // namespace kestavo::platform
