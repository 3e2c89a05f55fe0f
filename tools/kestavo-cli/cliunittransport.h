#pragma once

#include <functional>
#include <string>

#include "backup/unittransport.h"

namespace kestavo::cli {

class UnitLink;

/// The backup library's way to the unit from the command line: frames go out through the
/// runner's send function (the path every command's frames take), replies come from its link.
class CliUnitTransport final : public backup::UnitTransport
{
public:
    CliUnitTransport(UnitLink& link, std::function<bool(const std::string&)> send);

    bool send(const std::string& frame) override;
    std::optional<QByteArray> receive(int timeoutMs) override;
    QString errorString() const override;
    std::optional<std::uint32_t> localIpv4() const override;

private:
    UnitLink& m_link;
    std::function<bool(const std::string&)> m_send;
};

} // namespace kestavo::cli
