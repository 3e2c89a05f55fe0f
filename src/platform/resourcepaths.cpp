#include "platform/resourcepaths.h"

namespace kestavo::platform::resources {

QIcon applicationIcon()
{
    QIcon icon;
    icon.addFile(applicationIconPath(64));
    icon.addFile(applicationIconPath(256));
    return icon;
}

QString applicationIconPath(int size)
{
    return QStringLiteral(":/images/kestavo-%1.png").arg(size);
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

} // namespace kestavo::platform::resources
