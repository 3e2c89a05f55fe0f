#include <cstdio>
#include <string_view>

#include <QApplication>
#include <QMessageBox>

#include "app/application.h"
#include "platform/translations.h"

namespace {

void nameApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Kestavo"));
    QCoreApplication::setApplicationName(QStringLiteral("Kestavo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTAVO_VERSION));
}

// --help and --version only print. They must work without a display: the man page is made from
// them at build time, and a packager checks the installed program over ssh.
bool onlyPrints(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--")
            break;
        for (std::string_view option : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (argument == option)
                return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (onlyPrints(argc, argv)) {
        QCoreApplication core(argc, argv);
        nameApplication();
        // Prints and exits, unless another argument is wrong.
        const auto options = kestavo::app::Application::parse(QCoreApplication::arguments());
        std::fprintf(stderr, "kestavo: %s\n", qPrintable(options.error));
        return 2;
    }
    QApplication qapp(argc, argv);
    nameApplication();
    // Wayland matches the window to kestavo.desktop (menu entry, icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("kestavo"));
    const kestavo::platform::Translations translations(
        QLocale::system(),
        kestavo::platform::Translations::catalogueDirectory(QCoreApplication::applicationDirPath()));

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
