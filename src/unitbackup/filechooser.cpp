#include "unitbackup/filechooser.h"

#include <QCoreApplication>
#include <QFileDialog>

namespace kestavo::unitbackup {

namespace {
// Asked for at each use: the translator is installed after static initialisation.
QString filter()
{
    return QCoreApplication::translate("kestavo::unitbackup", "Unit configuration (*.json);;All files (*)");
}
} // namespace

QString DialogFileChooser::openFile(QWidget* parent, const QString& title)
{
    return QFileDialog::getOpenFileName(parent, title, QString(), filter());
}

QString DialogFileChooser::saveFile(QWidget* parent, const QString& title, const QString& suggested)
{
    return QFileDialog::getSaveFileName(parent, title, suggested, filter());
}

} // namespace kestavo::unitbackup
