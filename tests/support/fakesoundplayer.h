#pragma once

#include "platform/soundplayer.h"

namespace kestavo::testsupport {

/// Counts replays instead of making a sound.
class FakeSoundPlayer final : public platform::SoundPlayer
{
public:
    explicit FakeSoundPlayer(const QString& fileName = QString());

    QString fileName() const override { return m_fileName; }
    void replay() override { ++m_replays; }

    int replays() const { return m_replays; }
    void clear() { m_replays = 0; }

private:
    QString m_fileName;
    int m_replays = 0;
};

} // namespace kestavo::testsupport
