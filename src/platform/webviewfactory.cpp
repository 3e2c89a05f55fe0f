#include "platform/webviewfactory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

#include "platform/processwebview.h"
#include "platform/textbrowserview.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace kestavo::platform {

QString browserProgram()
{
    const QDir bin(QCoreApplication::applicationDirPath());
    // Beside the console in the build tree; in the helper folder once installed.
    for (const QString& candidate :
         {bin.filePath(QStringLiteral("kestavo-browser")),
          bin.filePath(QStringLiteral(KESTAVO_LIBEXEC_FROM_BIN "/kestavo-browser"))}) {
        const QFileInfo file(candidate);
        if (file.isFile() && file.isExecutable())
            return file.canonicalFilePath();
    }
    return {};
}

bool runsAsRoot()
{
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

std::unique_ptr<WebView> createWebView(QWidget* parent, const QString& program)
{
    if (!program.isEmpty())
        return std::make_unique<ProcessWebView>(program, parent);
    return std::make_unique<TextBrowserView>(parent);
}

} // namespace kestavo::platform
