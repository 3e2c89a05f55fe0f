#include "backup/unitexchange.h"

#include "protocol/frames.h"

namespace kestavo::backup {

namespace p = protocol;

UnitExchange::UnitExchange(UnitTransport& transport, std::string password, const Timing& timing)
    : m_transport(transport), m_password(std::move(password)), m_timing(timing)
{
}

std::optional<p::StatusReport> UnitExchange::decodeStatusReply(std::string_view reply,
                                                               const p::Classification& c)
{
    if (c.cls != p::ReplyClass::StatusReport)
        return std::nullopt;
    auto decoded = p::decodeStatus(reply);
    if (auto* report = std::get_if<p::StatusReport>(&decoded))
        return std::move(*report);
    return std::nullopt;
}

std::optional<p::SlotTable> UnitExchange::decodeSlotReply(std::string_view reply, const p::Classification& c)
{
    if (c.cls != p::ReplyClass::SlotTable)
        return std::nullopt;
    auto decoded = p::decodeSlotTable(reply);
    if (auto* table = std::get_if<p::SlotTable>(&decoded))
        return std::move(*table);
    return std::nullopt;
}

std::optional<std::array<std::string, 16>> UnitExchange::decodeListingReply(std::string_view reply,
                                                                            const p::Classification& c)
{
    if (c.cls != p::ReplyClass::BoardListing)
        return std::nullopt;
    auto decoded = p::decodeBoardListing(reply);
    if (auto* listing = std::get_if<std::array<std::string, 16>>(&decoded))
        return std::move(*listing);
    return std::nullopt;
}

std::optional<p::BoardCodes> UnitExchange::decodeContentsReply(std::string_view reply,
                                                               const p::Classification& c)
{
    if (c.cls != p::ReplyClass::BoardContents)
        return std::nullopt;
    auto decoded = p::decodeBoardContents(reply);
    if (auto* codes = std::get_if<p::BoardCodes>(&decoded))
        return *codes;
    return std::nullopt;
}

UnitExchange::Awaited<p::StatusReport> UnitExchange::status()
{
    return request<p::StatusReport>(p::pollFrame(m_password), decodeStatusReply);
}

UnitExchange::Awaited<p::SlotTable> UnitExchange::slotTable()
{
    return request<p::SlotTable>(p::readRequestFrame(m_password), decodeSlotReply);
}

UnitExchange::Awaited<std::array<std::string, 16>> UnitExchange::boardListing()
{
    return request<std::array<std::string, 16>>(p::boardListingFrame(m_password), decodeListingReply);
}

UnitExchange::Awaited<p::BoardCodes> UnitExchange::boardContents()
{
    return request<p::BoardCodes>(p::boardContentsFrame(m_password), decodeContentsReply);
}

UnitExchange::Awaited<int> UnitExchange::acknowledged(const std::string& frame, int kind)
{
    const Decoder<int> ack = [kind](std::string_view, const p::Classification& c) -> std::optional<int> {
        return c.cls == p::ReplyClass::Acknowledgement && c.kind == kind ? std::optional<int>(kind)
                                                                         : std::nullopt;
    };
    return request(frame, ack);
}

QString UnitExchange::describe(Outcome outcome, const QString& what) const
{
    switch (outcome) {
    case Outcome::Rejected:
        return QStringLiteral("the unit rejected the password: Bad Password!");
    case Outcome::SendFailed:
        return m_transport.errorString();
    case Outcome::TimedOut:
    case Outcome::Got:
        break;
    }
    return QStringLiteral("timed out: no %1 from the unit within %2 ms").arg(what).arg(m_timing.timeoutMs);
}

} // namespace kestavo::backup
