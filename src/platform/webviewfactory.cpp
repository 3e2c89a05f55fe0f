#include "platform/webviewfactory.h"

#include <QCoreApplication>
#include <QtGlobal>

#include "platform/textbrowserview.h"
#ifdef KESTAVO_HAVE_WEBENGINE
#include "platform/webengineview.h"
#endif

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace kestavo::platform {

bool hasWebEngine()
{
#ifdef KESTAVO_HAVE_WEBENGINE
    return true;
#else
    return false;
#endif
}

void prepareApplicationForWebViews()
{
#ifdef KESTAVO_HAVE_WEBENGINE
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
}

bool runsAsRoot()
{
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

bool disableWebEngineSandboxForRoot()
{
#ifdef Q_OS_UNIX
    static bool done = false;
    if (geteuid() != 0)
        return false;
    if (!done && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        qInfo("Running as root: the QtWebEngine sandbox is disabled for this process, as QtWebEngine "
              "refuses to start as root with it.");
    }
    done = true;
    return true;
#else
    return false;
#endif
}

std::unique_ptr<WebView> createWebView(QWidget* parent)
{
#ifdef KESTAVO_HAVE_WEBENGINE
    disableWebEngineSandboxForRoot();
    return std::make_unique<WebEngineView>(parent);
#else
    return std::make_unique<TextBrowserView>(parent);
#endif
}

} // namespace kestavo::platform
