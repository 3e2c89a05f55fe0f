#include <cstdio>

#include <QApplication>
#include <QMessageBox>

#include "app/application.h"
#include "platform/webviewfactory.h"

int main(int argc, char** argv)
{
    // QtWebEngine needs its settings in place before the application object exists.
    kestavo::platform::prepareApplicationForWebViews();
    QApplication qapp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Kestavo"));
    QCoreApplication::setApplicationName(QStringLiteral("Kestavo"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.7.2"));

    const auto options = kestavo::app::Application::parse(QCoreApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "kestavo: %s\n", qPrintable(options.error));
        return 2;
    }
    kestavo::app::Application app(options);
    if (!app.start())
        return 1;
    return QApplication::exec();
}
