#pragma once

#include <QString>

namespace kestavo::platform {

/// A desktop notification ("toast"), one per call.
class DesktopNotifier
{
public:
    virtual ~DesktopNotifier() = default;
    virtual void notify(const QString& title, const QString& text) = 0;
};

} // namespace kestavo::platform
