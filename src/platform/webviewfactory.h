#pragma once

#include <memory>

#include "platform/webview.h"

namespace kestavo::platform {

/// True when the console was built with QtWebEngine.
bool hasWebEngine();

/// Call before the QApplication is constructed: QtWebEngine wants shared OpenGL contexts from the
/// start. Does nothing in a build without QtWebEngine.
void prepareApplicationForWebViews();

/// Whether the console runs as root (where the web view runs without its sandbox).
bool runsAsRoot();

/// QtWebEngine refuses to run as root with its sandbox on and ends the process. Disables the
/// sandbox for this process when running as root (once, logged); returns whether it did.
bool disableWebEngineSandboxForRoot();

/// The browser window's view: QtWebEngine when the console was built with it, else a text browser.
/// Create it only when the browser opens, never at start-up.
std::unique_ptr<WebView> createWebView(QWidget* parent);

} // namespace kestavo::platform
