#include "gui/alarms/csvexport.h"

#include <QCoreApplication>
#include <QSaveFile>

#include "history/auditlog.h"
#include "platform/filechooser.h"
#include "platform/prompter.h"

namespace kestavo::alarmwindows {

void exportCsv(QWidget* parent, platform::FileChooser& files, platform::Prompter& prompter,
               const QString& suggested, const QStringList& header, const QList<QStringList>& rows)
{
    const QString path =
        files.saveFile(parent, QCoreApplication::translate("kestavo::alarms", "Export CSV"), suggested);
    if (path.isEmpty())
        return;
    QByteArray text = history::csvLine(header).toUtf8() + "\r\n";
    for (const QStringList& row : rows)
        text += history::csvLine(row).toUtf8() + "\r\n";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        prompter.tell(
            QCoreApplication::translate(
                "kestavo::alarms", "The CSV file \"%1\" could not be written (%2); choose another folder.")
                .arg(path, file.errorString()));
}

} // namespace kestavo::alarmwindows
