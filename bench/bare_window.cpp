// The yardstick for the console's start-up: a bare QMainWindow that links the same Qt modules as
// the console (Widgets, Network, Sql, Multimedia and, when the console uses it, WebEngine), so the
// difference is the console's own work. Each module is referenced so the linker keeps it.
// With --share-opengl-contexts it also asks for the shared OpenGL context QtWebEngine needs, as the
// console does before its application object exists, which separates that cost from the rest.

#include <cstring>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMediaDevices>
#include <QSqlDriver>
#include <QUdpSocket>
#ifdef KESTAVO_BARE_WEBENGINE
#include <QWebEngineView>
#endif

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--share-opengl-contexts") == 0)
            QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    }
    QApplication app(argc, argv);
    // Symbols of every module, never used beyond this: the dynamic loader must map them all.
    volatile const void* modules[] = {
        &QUdpSocket::staticMetaObject,
        &QSqlDriver::staticMetaObject,
        &QMediaDevices::staticMetaObject,
#ifdef KESTAVO_BARE_WEBENGINE
        &QWebEngineView::staticMetaObject,
#endif
    };
    (void)modules;
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setCentralWidget(new QLabel(QStringLiteral("Bare window"), &window));
    window.resize(640, 480);
    window.show();
    return QApplication::exec();
}
