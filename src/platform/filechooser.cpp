#include "platform/filechooser.h"

#include <QCoreApplication>
#include <QFileDialog>

namespace kestavo::platform {

namespace {
// Asked for at each use: the translator is installed after static initialisation.
QString filter()
{
    return QCoreApplication::translate("kestavo::unitbackup", "Unit configuration (*.json);;All files (*)");
}
} // namespace

QString DialogFileChooser::filterFor(const QString& suggested)
{
    // The alarm and audit exports suggest a .csv name: offering unit configurations there hid it.
    if (suggested.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return QCoreApplication::translate("kestavo::unitbackup", "CSV files (*.csv);;All files (*)");
    return filter();
}

QString DialogFileChooser::openFile(QWidget* parent, const QString& title)
{
    return QFileDialog::getOpenFileName(parent, title, QString(), filter());
}

QString DialogFileChooser::saveFile(QWidget* parent, const QString& title, const QString& suggested)
{
    return QFileDialog::getSaveFileName(parent, title, suggested, filterFor(suggested));
}

} // namespace kestavo::platform
