#include "platform/resourcepaths.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

// Set by the build from the install layout (GNUInstallDirs): the data folder relative to bin.
#ifndef KESTAVO_DATA_FROM_BIN
#define KESTAVO_DATA_FROM_BIN "../share/kestavo"
#endif

namespace kestavo::platform::resources {

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : kApplicationIconSizes)
        icon.addPixmap(picture(applicationIconPath(size)));
    return icon;
}

QPixmap picture(const QString& path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

QString applicationIconPath(int size)
{
    return QStringLiteral(":/icons/hicolor/%1x%1/apps/kestavo.png").arg(size);
}

QString timerFramePath(int frame)
{
    return QStringLiteral(":/images/timer%1.png").arg(frame);
}

QString boardStatePath(BoardItem item, bool on)
{
    QString name;
    switch (item) {
    case BoardItem::Relay:
        name = QStringLiteral("relay");
        break;
    case BoardItem::Output:
        name = QStringLiteral("output");
        break;
    case BoardItem::Light:
        name = QStringLiteral("light");
        break;
    }
    return QStringLiteral(":/images/%1_%2.png").arg(name, on ? QStringLiteral("on") : QStringLiteral("off"));
}

QString daughterBoardButtonPath()
{
    return QStringLiteral(":/images/daughterboard.png");
}

QString productPicturePath()
{
    return QStringLiteral(":/images/product.png");
}

QString soundPath(const QString& fileName)
{
    return soundsDirectory() + QLatin1Char('/') + fileName;
}

QString soundsDirectory()
{
    return QStringLiteral(":/sounds");
}

QString defaultSkinPath()
{
    return QStringLiteral(":/skins/Default.qss");
}

QStringList runtimeDirectories(const QString& applicationDir)
{
    const QDir bin(applicationDir);
    return {bin.absolutePath(), QDir::cleanPath(bin.absoluteFilePath(QStringLiteral(KESTAVO_DATA_FROM_BIN)))};
}

QString runtimeDirectoryHolding(const QString& applicationDir, const QString& relativePath)
{
    const QStringList directories = runtimeDirectories(applicationDir);
    for (const QString& directory : directories) {
        if (QFileInfo::exists(QDir(directory).filePath(relativePath)))
            return directory;
    }
    return directories.first();
}

} // namespace kestavo::platform::resources
