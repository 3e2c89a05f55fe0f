#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace kestavo::platform {
class Prompter;
}
namespace kestavo::platform {
class FileChooser;
}

namespace kestavo::alarmwindows {

/// "Export CSV…": asks for a file and writes the header and rows; says so when it cannot.
void exportCsv(QWidget* parent, platform::FileChooser& files, platform::Prompter& prompter,
               const QString& suggested, const QStringList& header, const QList<QStringList>& rows);

} // namespace kestavo::alarmwindows
