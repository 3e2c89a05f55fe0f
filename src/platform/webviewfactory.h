#pragma once

#include <memory>

#include <QString>

#include "platform/webview.h"

namespace kestavo::platform {

/// The program that draws web pages with QtWebEngine (kestavo-browser) beside the console or in
/// its installed helper folder; empty when it is not there (a build without QtWebEngine).
QString browserProgram();

/// Whether the console runs as root (where the web view runs without its sandbox).
bool runsAsRoot();

/// The browser window's view: kestavo-browser in a process of its own when `program` names one,
/// else a text browser. Create it only when the browser opens, never at start-up.
std::unique_ptr<WebView> createWebView(QWidget* parent, const QString& program = browserProgram());

} // namespace kestavo::platform
