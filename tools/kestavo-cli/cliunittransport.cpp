#include "cliunittransport.h"

#include "unitlink.h"

namespace kestavo::cli {

CliUnitTransport::CliUnitTransport(UnitLink& link, std::function<bool(const std::string&)> send)
    : m_link(link), m_send(std::move(send))
{
}

bool CliUnitTransport::send(const std::string& frame)
{
    return m_send(frame);
}

std::optional<QByteArray> CliUnitTransport::receive(int timeoutMs)
{
    return m_link.receive(timeoutMs);
}

QString CliUnitTransport::errorString() const
{
    return m_link.errorString();
}

std::optional<std::uint32_t> CliUnitTransport::localIpv4() const
{
    return m_link.localIpv4();
}

} // namespace kestavo::cli
