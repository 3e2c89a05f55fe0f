#pragma once

#include <functional>
#include <memory>

#include <QPointer>

#include "gui/main/consoledialog.h"

class QLabel;

namespace kestavo::platform {
class WebView;
}

namespace kestavo::periphery {

class BrowserWindow;

/// `About` ("About KSV"): the console's version, the firmware revision of the unit last heard
/// from, what a KSV unit is and who made the console. The credits heading and the product
/// picture open the web browser; the About box stays open beside it.
class AboutDialog final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutDialog)

public:
    /// Makes the browser's web view; empty means the platform's.
    using WebViewFactory = std::function<std::unique_ptr<platform::WebView>()>;

    explicit AboutDialog(core::Context& context, WebViewFactory webViews = {});
    ~AboutDialog() override;

    /// Shows the browser window, or brings the one already open to the front.
    BrowserWindow* openBrowser();
    BrowserWindow* browser() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* addLabel(const char* name, const QString& text);

    WebViewFactory m_webViews;
    QLabel* m_heading = nullptr; // Label2
    QLabel* m_picture = nullptr; // Picture1
    QPointer<BrowserWindow> m_browser;
};

} // namespace kestavo::periphery
