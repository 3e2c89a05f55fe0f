#pragma once

// Sends one message over one route and says how it went. Called on a route's worker thread, so
// an implementation keeps no state shared between calls of different routes.

#include <atomic>

#include <QString>

#include "notify/message.h"
#include "notify/route.h"

namespace kestavo::notify {

struct SendResult
{
    bool ok = false;
    QString detail; // "HTTP 200", "250 OK", or what failed, in words
};

class Transport
{
public:
    virtual ~Transport() = default;
    /// `cancel` (may be null) set from another thread ends a transfer early (shutdown).
    virtual SendResult send(const Route& route, const Message& message,
                            const std::atomic<bool>* cancel = nullptr) = 0;
};

} // namespace kestavo::notify
