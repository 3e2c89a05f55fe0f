#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

// Names of the pictures, sounds and skin compiled into kestavo_platform.
namespace kestavo::platform::resources {

/// The sizes, in pixels, of the application icon (the hicolor theme's sizes from 16 to 256).
inline constexpr int kApplicationIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
/// The application icon in all its sizes.
QIcon applicationIcon();
/// One of kApplicationIconSizes.
QString applicationIconPath(int size);
/// One of our compiled-in PNG pictures. Read by Qt's own PNG decoder: left to guess the format,
/// Qt loads every image plug-in to ask it first, a good part of the console's start-up.
QPixmap picture(const QString& path);
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

/// Folders that may hold the console's replaceable runtime files (the alarm wave files, the Skins
/// folder), in the order they are searched: beside the executable (the build tree, a copy run from
/// its own folder), then the installation's data folder seen from its bin folder (share/kestavo).
QStringList runtimeDirectories(const QString& applicationDir);
/// The first of runtimeDirectories() holding relativePath (a file or a folder); the executable's
/// own folder when none does, so that a missing file is reported there.
QString runtimeDirectoryHolding(const QString& applicationDir, const QString& relativePath);

} // namespace kestavo::platform::resources
