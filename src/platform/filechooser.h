#pragma once

#include <QString>

class QWidget;

namespace kestavo::platform {

/// Where the backup window asks for a file: the real one shows a file dialog, tests answer.
class FileChooser
{
public:
    virtual ~FileChooser() = default;
    /// An existing file to read, or empty when the user cancelled.
    virtual QString openFile(QWidget* parent, const QString& title) = 0;
    /// A file to write (`suggested` preset), or empty when the user cancelled.
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& suggested) = 0;
};

class DialogFileChooser final : public FileChooser
{
public:
    /// The file types offered for `suggested`: CSV for a CSV export, unit configurations else.
    static QString filterFor(const QString& suggested);

    QString openFile(QWidget* parent, const QString& title) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& suggested) override;
};

} // namespace kestavo::platform
