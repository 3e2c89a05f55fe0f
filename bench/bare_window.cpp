// The yardstick for the console's start-up: a bare QMainWindow that links the same Qt modules as
// the console (Widgets, Network, Sql, Multimedia, Charts; QtWebEngine lives in kestavo-browser), so
// the difference is the console's own work. Each module is used where the compiler cannot prove it
// unused, so that the linker keeps it (`ldd bare_window` lists them all).

#include <cstdio>

#include <QApplication>
#include <QChart>
#include <QLabel>
#include <QMainWindow>
#include <QMediaDevices>
#include <QSqlDriver>
#include <QUdpSocket>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Never true when run by bench/startup.py; the dynamic loader maps every module all the same.
    if (argc > 1000) {
        for (const QMetaObject* module : {&QUdpSocket::staticMetaObject, &QSqlDriver::staticMetaObject,
                                          &QMediaDevices::staticMetaObject, &QChart::staticMetaObject})
            std::puts(module->className());
    }
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setCentralWidget(new QLabel(QStringLiteral("Bare window"), &window));
    window.resize(640, 480);
    window.show();
    return QApplication::exec();
}
