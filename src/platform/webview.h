#pragma once

#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

namespace kestavo::platform {

/// The browser window's web view: the operations it needs and its two completion events.
class WebView
{
public:
    virtual ~WebView() = default;
    virtual QWidget* widget() = 0;
    virtual void navigate(const QUrl& url) = 0;
    virtual void back() = 0;
    virtual void forward() = 0;
    virtual void reload() = 0;
    virtual void stop() = 0;
    virtual bool isBusy() const = 0;
    virtual QString locationName() const = 0;
    virtual QUrl locationUrl() const = 0;
    virtual void setNavigationCompleteHandler(std::function<void()> handler) = 0;
    virtual void setDownloadCompleteHandler(std::function<void()> handler) = 0;
};

} // namespace kestavo::platform
