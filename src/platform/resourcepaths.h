#pragma once

#include <QIcon>
#include <QString>

// Names of the pictures, sounds and skin compiled into kestavo_platform.
namespace kestavo::platform::resources {

/// The application icon in all its sizes (64 and 256 pixels).
QIcon applicationIcon();
/// 64 or 256.
QString applicationIconPath(int size);
/// Relay-timer animation frame 1 to 4 (the pictures Image2 to Image5 of the main window).
QString timerFramePath(int frame);

enum class BoardItem { Relay, Output, Light };
/// The stock picture of a daughter-board item in its on or off state.
QString boardStatePath(BoardItem item, bool on);
/// The main window's daughter-board picture button.
QString daughterBoardButtonPath();
/// The product picture of the About box.
QString productPicturePath();

/// Compiled-in copy of an alarm wave file ("siren.wav" or "burgular2.wav"); the folder, for
/// EffectSoundPlayer, is soundsDirectory().
QString soundPath(const QString& fileName);
QString soundsDirectory();
/// The skin the console uses when the Skins folder beside it holds none.
QString defaultSkinPath();

} // namespace kestavo::platform::resources
