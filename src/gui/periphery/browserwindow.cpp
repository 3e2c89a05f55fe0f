#include "gui/periphery/browserwindow.h"

#include <algorithm>

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "session/consolestate.h"

#include "platform/prompter.h"
#include "platform/webview.h"
#include "platform/webviewfactory.h"

namespace kestavo::periphery {

namespace {

QString qs(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

// The window's measures were drawn in twips (1/1440 inch, 15 to a pixel on a 96 dpi screen).
constexpr int twips(int t)
{
    return (t + 7) / 15;
}
constexpr int kEdge = twips(100); // taken from the width and height the page may use
constexpr int kLeft = twips(50);  // address box and page start this far from the left
constexpr int kBelowLabel = twips(15);

struct ToolbarKey
{
    const char* key;
    QStyle::StandardPixmap icon;
    QKeySequence::StandardKey shortcut;
};
constexpr ToolbarKey kToolbarKeys[] = {
    {"Back", QStyle::SP_ArrowBack, QKeySequence::Back},
    {"Forward", QStyle::SP_ArrowForward, QKeySequence::Forward},
    {"Refresh", QStyle::SP_BrowserReload, QKeySequence::Refresh},
    {"Home", QStyle::SP_DirHomeIcon, QKeySequence::UnknownKey},
    {"Search", QStyle::SP_FileDialogContentsView, QKeySequence::UnknownKey},
    {"Stop", QStyle::SP_BrowserStop, QKeySequence::UnknownKey},
};

} // namespace

QUrl BrowserWindow::ownSearchPage()
{
    return QUrl(qs("qrc:/periphery/search.html"));
}

QString BrowserWindow::searchSettingKey()
{
    return qs("browser/searchUrl");
}

QUrl BrowserWindow::searchUrl()
{
    const QString configured = QSettings().value(searchSettingKey()).toString().trimmed();
    if (configured.isEmpty())
        return ownSearchPage();
    const QUrl url = QUrl::fromUserInput(configured);
    return url.isValid() ? url : ownSearchPage();
}

BrowserWindow::BrowserWindow(core::Context& context, std::unique_ptr<platform::WebView> view, bool asRoot)
    : ConsoleDialog(context), m_view(std::move(view))
{
    setObjectName(qs("browser"));
    setWindowTitle(QCoreApplication::translate("kestavo::periphery", "Web Browser"));
    setAccessibleName(QCoreApplication::translate("kestavo::periphery", "Web Browser"));
    setSizeGripEnabled(true);
    setMinimumSize(360, 240);

    if (!m_view)
        m_view = platform::createWebView(this);
    QWidget* page = m_view->widget();
    page->setParent(this);
    page->setObjectName(qs("brwWebBrowser"));
    if (page->accessibleName().isEmpty())
        page->setAccessibleName(QCoreApplication::translate("kestavo::periphery", "Web page"));

    buildToolbar();

    m_strip = new QFrame(this);
    m_strip->setObjectName(qs("picAddress"));
    m_strip->setAccessibleName(QCoreApplication::translate("kestavo::periphery", "Address strip"));
    m_label = new QLabel(qs("&Address:"), m_strip);
    m_label->setObjectName(qs("lblAddress"));
    m_label->setAccessibleName(qs("Address"));
    m_address = new QComboBox(m_strip);
    m_address->setObjectName(qs("cboAddress"));
    m_address->setAccessibleName(qs("Address"));
    // When editing ends (the focus leaves the box) the combo box reports a typed address that
    // matches an entry as chosen. Only a real choice or Enter navigates, so that report is
    // bracketed: the first connection runs before the combo box's own, the second after it.
    auto* edit = new QLineEdit(m_address);
    connect(edit, &QLineEdit::editingFinished, this, [this] { m_editingFinished = true; });
    m_address->setLineEdit(edit);
    connect(edit, &QLineEdit::editingFinished, this, [this] { m_editingFinished = false; });
    edit->installEventFilter(this);
    // The list is ours to keep: visited addresses only, rewritten after each navigation.
    m_address->setInsertPolicy(QComboBox::NoInsert);
    m_address->setEditText(homeUrl().toString());
    m_label->setBuddy(m_address);
    connect(m_address, &QComboBox::activated, this, [this](int index) {
        if (!m_editingFinished)
            navigateToAddress(m_address->itemText(index));
    });

    m_busy = new QTimer(this);
    m_busy->setObjectName(qs("timTimer"));
    m_busy->setInterval(kBusyIntervalMs);
    connect(m_busy, &QTimer::timeout, this, &BrowserWindow::onBusyTick);

    if (asRoot) {
        // Without its sandbox a page could reach this computer with root's rights: keep the view to
        // pages we know. Said once in the log, and at every refusal in a message.
        qInfo("Running as root: the web browser runs without its sandbox and shows only the unit's "
              "own pages and the console's own pages.");
        m_view->setNavigationFilter(
            [this](const QUrl& url) { return isUnitOrOwnPage(url); },
            [this](const QUrl& url) {
                this->context().prompter.inform(
                    QCoreApplication::translate("kestavo::periphery",
                                                "The console runs as root, where the web browser has "
                                                "no sandbox, so it shows only the unit's own pages (%1) "
                                                "and the console's own pages. %2 was not opened; run "
                                                "the console as an ordinary user to browse elsewhere.")
                        .arg(homeUrl().toString(), url.toString()));
            });
    }
    m_view->setNavigationCompleteHandler([this] { onNavigationComplete(); });
    m_view->setDownloadCompleteHandler([this] { showLocationName(); });

    resize(800, 600);
    layOut();
    navigateToAddress(m_address->currentText());
}

BrowserWindow::~BrowserWindow()
{
    // Hiding the window as it goes ends any editing in the address box; the view is gone by then.
    m_address->lineEdit()->removeEventFilter(this);
    m_address->lineEdit()->disconnect(this);
    m_address->disconnect(this);
    // The view may report a last completion while it is torn down.
    m_view->setNavigationCompleteHandler({});
    m_view->setDownloadCompleteHandler({});
}

void BrowserWindow::buildToolbar()
{
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(qs("tbToolBar"));
    m_toolbar->setAccessibleName(tr("Browser toolbar"));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setMovable(false);
    for (const ToolbarKey& k : kToolbarKeys) {
        const QString key = qs(k.key);
        QAction* action = m_toolbar->addAction(style()->standardIcon(k.icon), key);
        action->setObjectName(key);
        action->setData(key);
        if (k.shortcut != QKeySequence::UnknownKey)
            action->setShortcut(k.shortcut);
        connect(action, &QAction::triggered, this, [this, key] { runToolbarButton(key); });
    }
    // Buttons carry their captions for screen readers too.
    for (QAction* action : m_toolbar->actions()) {
        if (QWidget* button = m_toolbar->widgetForAction(action))
            button->setAccessibleName(action->text());
    }
}

QUrl BrowserWindow::homeUrl() const
{
    const QUrl page = context().state.statusPageUrl();
    if (page.isValid() && !page.isEmpty())
        return page;
    QString address = context().state.selectedAddress().trimmed();
    if (address.isEmpty())
        address = stations::addressOf(context().store.ips());
    if (address.isEmpty())
        return QUrl(qs("about:blank"));
    return QUrl(qs("http://") + address + qs("/"));
}

bool BrowserWindow::isUnitOrOwnPage(const QUrl& url) const
{
    const QString scheme = url.scheme().toLower();
    if (scheme == qs("qrc") || scheme == qs("about") || scheme == qs("data"))
        return true;
    if (scheme != qs("http") && scheme != qs("https"))
        return false;
    const QString host = url.host();
    return !host.isEmpty() &&
           (host == homeUrl().host() || host == context().state.selectedAddress().trimmed());
}

void BrowserWindow::navigateToAddress(const QString& text)
{
    if (m_noNavigate)
        return;
    const QString typed = text.trimmed();
    if (typed.isEmpty())
        return;
    startBusy();
    m_view->navigate(QUrl::fromUserInput(typed));
}

void BrowserWindow::runToolbarButton(const QString& key)
{
    startBusy();
    // The view answers a step it cannot take (Back with no history…) by doing nothing; no
    // navigation call is reported to the user.
    if (key == qs("Back")) {
        m_view->back();
    } else if (key == qs("Forward")) {
        m_view->forward();
    } else if (key == qs("Refresh")) {
        m_view->reload();
    } else if (key == qs("Home")) {
        m_view->navigate(homeUrl());
    } else if (key == qs("Search")) {
        m_view->navigate(searchUrl());
    } else if (key == qs("Stop")) {
        m_busy->stop();
        m_view->stop();
    } else {
        m_busy->stop();
    }
}

void BrowserWindow::startBusy()
{
    m_busy->start();
}

void BrowserWindow::onBusyTick()
{
    if (m_view->isBusy()) {
        setWindowTitle(qs("Working..."));
        return;
    }
    m_busy->stop();
    showLocationName();
}

void BrowserWindow::showLocationName()
{
    QString name = m_view->locationName();
    if (name.isEmpty())
        name = m_view->locationUrl().toString();
    if (!name.isEmpty())
        setWindowTitle(name);
}

void BrowserWindow::onNavigationComplete()
{
    showLocationName();
    const QString location = m_view->locationUrl().toString();
    if (location.isEmpty())
        return;
    const int found = m_address->findText(location, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    m_noNavigate = true;
    if (found >= 0)
        m_address->removeItem(found);
    m_address->insertItem(0, location);
    m_address->setCurrentIndex(0);
    m_noNavigate = false;
}

void BrowserWindow::resizeEvent(QResizeEvent* event)
{
    ConsoleDialog::resizeEvent(event);
    layOut();
}

bool BrowserWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the address box goes where it says. Taken here, before the combo box sees it: the
    // combo box would also report a typed address that is already in the list as chosen.
    if (watched == m_address->lineEdit() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            navigateToAddress(m_address->currentText());
            return true;
        }
    }
    return ConsoleDialog::eventFilter(watched, event);
}

void BrowserWindow::layOut()
{
    // The address box and the page follow the window's width, the page its height, keeping the
    // same margins whatever the size.
    const int width = this->width();
    const int height = this->height();
    const int toolbarHeight = m_toolbar->sizeHint().height();
    m_toolbar->setGeometry(0, 0, width, toolbarHeight);

    const QSize label = m_label->sizeHint();
    m_label->setGeometry(kLeft, kLeft, label.width(), label.height());
    const int addressTop = m_label->y() + m_label->height() + kBelowLabel;
    m_address->setGeometry(kLeft, addressTop, std::max(0, width - kEdge), m_address->sizeHint().height());
    m_strip->setGeometry(0, toolbarHeight, width, m_address->geometry().bottom() + 1 + kLeft);

    const int pageTop = m_strip->y() + m_strip->height();
    m_view->widget()->setGeometry(kLeft, pageTop, std::max(0, width - kEdge),
                                  std::max(0, height - pageTop - kEdge));
}

} // namespace kestavo::periphery
