// The yardstick for the console's start-up: a bare QMainWindow that links the same Qt modules as
// the console (Widgets, Network, Sql, Multimedia; QtWebEngine lives in kestavo-browser), so the
// difference is the console's own work. Each module is referenced so the linker keeps it.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMediaDevices>
#include <QSqlDriver>
#include <QUdpSocket>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Symbols of every module, never used beyond this: the dynamic loader must map them all.
    volatile const void* modules[] = {
        &QUdpSocket::staticMetaObject,
        &QSqlDriver::staticMetaObject,
        &QMediaDevices::staticMetaObject,
    };
    (void)modules;
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setCentralWidget(new QLabel(QStringLiteral("Bare window"), &window));
    window.resize(640, 480);
    window.show();
    return QApplication::exec();
}
