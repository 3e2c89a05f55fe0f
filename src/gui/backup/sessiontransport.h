#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

#include "backup/unittransport.h"

namespace kestavo::core {
class Session;
}

namespace kestavo::unitbackup {

/// The backup library's way to the unit from the console: every frame goes out through the
/// session's send (the main socket, the "Sent:" counter and its frame signal), and every reply
/// the session's decoder takes is heard here too.
class SessionTransport final : public QObject, public backup::UnitTransport
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SessionTransport)

public:
    explicit SessionTransport(core::Session& session, QObject* parent = nullptr);

    bool send(const std::string& frame) override;
    std::optional<QByteArray> receive(int timeoutMs) override;
    QString errorString() const override;
    std::optional<std::uint32_t> localIpv4() const override;

private:
    core::Session& m_session;
    QList<QByteArray> m_replies;
};

} // namespace kestavo::unitbackup
