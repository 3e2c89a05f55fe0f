#include "support/fakesoundplayer.h"

namespace kestavo::testsupport {

FakeSoundPlayer::FakeSoundPlayer(const QString& fileName) : m_fileName(fileName) {}

} // namespace kestavo::testsupport
