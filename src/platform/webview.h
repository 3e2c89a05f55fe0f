#pragma once

#include <functional>

#include <QString>
#include <QUrl>

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

    /// Which addresses may load, whether typed, followed from a page or requested by it. A refused
    /// navigation is never loaded and goes to `refused`; a refused page resource is blocked
    /// quietly. Without a filter everything may load.
    void setNavigationFilter(std::function<bool(const QUrl&)> allow, std::function<void(const QUrl&)> refused)
    {
        m_allow = std::move(allow);
        m_refused = std::move(refused);
        filterChanged();
    }

protected:
    /// A view that filters elsewhere (another process) learns here that a filter now applies.
    virtual void filterChanged() {}
    /// Whether a navigation to `url` may go ahead; tells the refused handler when not.
    bool admits(const QUrl& url) const
    {
        if (allows(url))
            return true;
        if (m_refused)
            m_refused(url);
        return false;
    }
    bool allows(const QUrl& url) const { return !m_allow || m_allow(url); }

private:
    std::function<bool(const QUrl&)> m_allow;
    std::function<void(const QUrl&)> m_refused;
};

} // namespace kestavo::platform
