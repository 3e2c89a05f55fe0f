#pragma once

#include <memory>

#include <QUrl>

#include "platform/soundplayer.h"

class QSoundEffect;

namespace kestavo::platform {

/// One sound device over QSoundEffect. The wave file is looked up in a folder (":/sounds" works
/// for the copies compiled into the console); a missing file or sound device stays silent.
class EffectSoundPlayer final : public SoundPlayer
{
public:
    EffectSoundPlayer(const QString& directory, const QString& fileName);
    ~EffectSoundPlayer() override;
    EffectSoundPlayer(const EffectSoundPlayer&) = delete;
    EffectSoundPlayer& operator=(const EffectSoundPlayer&) = delete;

    /// Whether the system offers any audio output at all (asks the multimedia back end: slow the
    /// first time, so not on the way to the first window).
    static bool hasOutputDevice();

    QString fileName() const override;
    void replay() override;

    /// The file played, or an empty URL when it does not exist.
    QUrl source() const;

private:
    QString m_fileName;
    QUrl m_source;
    // Created at the first replay, so that a console that never sounds an alarm never opens the
    // audio device.
    std::unique_ptr<QSoundEffect> m_effect;
};

} // namespace kestavo::platform
