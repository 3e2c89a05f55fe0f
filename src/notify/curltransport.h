#pragma once

// Webhooks (HTTP(S) POST) and mail (SMTP with STARTTLS, or SMTPS) through libcurl. Secrets are
// read from their files at each send, so a changed token needs no restart and none is stored.

#include <functional>

#include "notify/transport.h"

namespace kestavo::notify {

class CurlTransport final : public Transport
{
public:
    struct Options
    {
        int connectTimeoutMs = 10'000;
        int timeoutMs = 30'000;
        QString caFile;                // empty: the system's CA store
        std::function<qint64()> clock; // the mail's Date; the system clock when empty
    };

    CurlTransport();
    explicit CurlTransport(const Options& options);
    ~CurlTransport() override;
    CurlTransport(const CurlTransport&) = delete;
    CurlTransport& operator=(const CurlTransport&) = delete;

    SendResult send(const Route& route, const Message& message,
                    const std::atomic<bool>* cancel = nullptr) override;

private:
    SendResult webhook(const Route& route, const Message& message, const std::atomic<bool>* cancel);
    SendResult mail(const Route& route, const Message& message, const std::atomic<bool>* cancel);

    Options m_options;
};

/// The lines of a header file ("Name: value", blank lines and # comments skipped); false with
/// `error` naming the file when it cannot be read or a line is not a header.
bool readHeaderFile(const QString& path, QList<QByteArray>* headers, QString* error);

} // namespace kestavo::notify
