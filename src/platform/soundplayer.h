#pragma once

#include <QString>

namespace kestavo::platform {

/// One alarm sound device: holds one wave file and restarts it from the beginning on play().
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    virtual QString fileName() const = 0;
    /// Close, open and play: the file restarts from its beginning. Failures are silent.
    virtual void replay() = 0;
};

} // namespace kestavo::platform
