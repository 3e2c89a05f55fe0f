#include "platform/effectsoundplayer.h"

#include <QDir>
#include <QFileInfo>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>

namespace kestavo::platform {

EffectSoundPlayer::EffectSoundPlayer(const QString& directory, const QString& fileName) : m_fileName(fileName)
{
    const QString path = QDir(directory).filePath(fileName);
    if (!QFileInfo(path).isFile())
        return;
    if (path.startsWith(QLatin1Char(':')))
        m_source = QUrl(QStringLiteral("qrc") + path);
    else
        m_source = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
}

EffectSoundPlayer::~EffectSoundPlayer() = default;

bool EffectSoundPlayer::hasOutputDevice()
{
    return !QMediaDevices::audioOutputs().isEmpty();
}

QString EffectSoundPlayer::fileName() const
{
    return m_fileName;
}

void EffectSoundPlayer::replay()
{
    if (m_source.isEmpty())
        return;
    if (!m_effect) {
        m_effect = std::make_unique<QSoundEffect>();
        m_effect->setSource(m_source);
    }
    // Stop and play again: the file restarts from its beginning on every tick.
    m_effect->stop();
    m_effect->play();
}

QUrl EffectSoundPlayer::source() const
{
    return m_source;
}

} // namespace kestavo::platform
