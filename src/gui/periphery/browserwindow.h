#pragma once

#include <memory>

#include <QString>
#include <QUrl>

#include "gui/main/consoledialog.h"
#include "platform/webviewfactory.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QTimer;
class QToolBar;

namespace kestavo::platform {
class WebView;
}

namespace kestavo::periphery {

/// `browser`: a plain web browser for the unit's status page and whatever else the user types.
/// An address box with the visited addresses (most recent first, each once), a toolbar keyed
/// "Back", "Forward", "Refresh", "Home", "Search", "Stop", and the web view. The caption shows
/// "Working..." while a page loads, then the page's title.
class BrowserWindow final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BrowserWindow)

public:
    /// How often the busy caption looks at the view while a page loads.
    static constexpr int kBusyIntervalMs = 5;
    /// The search page shown when no search address is configured.
    static QUrl ownSearchPage();
    /// QSettings key of a configured search address.
    static QString searchSettingKey();

    /// `view`: the web view to show; by default the platform's (QtWebEngine, or a text browser
    /// where that is not installed), created now that the browser opens. Loads the home page.
    /// `asRoot`: the console runs as root, so the web view has no sandbox; the window then shows
    /// only the selected unit's own pages and the console's own pages (unitPagesOnly()).
    explicit BrowserWindow(core::Context& context, std::unique_ptr<platform::WebView> view = {},
                           bool asRoot = platform::runsAsRoot());
    ~BrowserWindow() override;

    /// The unit's status page: the console state's status page address when one is set (the
    /// demo's simulator), else http://<selected station address>/.
    QUrl homeUrl() const;
    /// The configured search address, else ownSearchPage().
    static QUrl searchUrl();

    /// Runs the toolbar button keyed `key`, as a click on it does.
    void runToolbarButton(const QString& key);
    /// Navigates to `text` as typed in the address box (Enter, or a choice from the list) unless
    /// the list is being rewritten.
    void navigateToAddress(const QString& text);

    platform::WebView& view() { return *m_view; }
    /// Whether `url` is one of the unit's pages (its address, any port, http or https) or one of
    /// the console's own (qrc:, about:, data:).
    bool isUnitOrOwnPage(const QUrl& url) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolbar();
    void layOut();
    void startBusy();
    void onBusyTick();
    void onNavigationComplete();
    void showLocationName();

    std::unique_ptr<platform::WebView> m_view;
    QToolBar* m_toolbar = nullptr;  // tbToolBar
    QFrame* m_strip = nullptr;      // picAddress
    QLabel* m_label = nullptr;      // lblAddress
    QComboBox* m_address = nullptr; // cboAddress
    QTimer* m_busy = nullptr;       // timTimer
    // True only while the navigation-complete handler rewrites the address list: selecting the
    // new top entry must not start another navigation.
    bool m_noNavigate = false;
    bool m_editingFinished = false; // see the address box's set-up
};

} // namespace kestavo::periphery
