#include "unitbackup/filechooser.h"

#include <QFileDialog>

namespace kestavo::unitbackup {

namespace {
const QString kFilter = QStringLiteral("Unit configuration (*.json);;All files (*)");
}

QString DialogFileChooser::openFile(QWidget* parent, const QString& title)
{
    return QFileDialog::getOpenFileName(parent, title, QString(), kFilter);
}

QString DialogFileChooser::saveFile(QWidget* parent, const QString& title, const QString& suggested)
{
    return QFileDialog::getSaveFileName(parent, title, suggested, kFilter);
}

} // namespace kestavo::unitbackup
