// Fuzz entry point for everything that reads a datagram from a unit. Besides crashes and reads
// past the end (which the sanitizers catch), it checks the promises the decoders make to their callers.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <variant>

#include "protocol/reply.h"

namespace {

using namespace kestavo::protocol;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::size_t neededLength(long long revision)
{
    if (revision > 170)
        return kStatusSnmpLength;
    if (revision > 169)
        return kStatusBoardsLength;
    if (revision > 167)
        return kStatusHttpLength;
    return kStatusBaseLength;
}

// Revision as the decoder reads it: decimal texts of positions 66-68 joined.
long long revisionOf(std::string_view reply)
{
    long long revision = 0;
    for (std::size_t pos = 65; pos < 68; ++pos) {
        const unsigned b = static_cast<std::uint8_t>(reply[pos]);
        revision = revision * (b >= 100 ? 1000 : b >= 10 ? 100 : 10) + b;
    }
    return revision;
}

void checkStatus(std::string_view reply, const Classification* c)
{
    const bool isStatus = c && c->cls == ReplyClass::StatusReport;
    const auto decoded = decodeStatus(reply);
    if (const auto* error = std::get_if<DecodeError>(&decoded)) {
        // Turned away only when of another kind or shorter than the base fields.
        if (*error == DecodeError::WrongKind)
            require(c && !isStatus);
        else
            require(!isStatus || reply.size() < kStatusBaseLength);
        return;
    }
    const StatusReport& r = std::get<StatusReport>(decoded);
    require(isStatus);
    require(r.revision == revisionOf(reply));
    // Short of its revision's tail: flagged, and only the tail fields it carries are filled.
    require(r.shortForRevision == (reply.size() < neededLength(r.revision)));
    require(r.httpState.has_value() == (r.revision > 167 && reply.size() >= kStatusHttpLength));
    require(r.boardPresence.has_value() == (r.revision > 169 && reply.size() >= kStatusBoardsLength));
    require(r.snmpState.has_value() == (r.revision > 170 && reply.size() >= kStatusSnmpLength));
    require(r.temperatureC.has_value() == r.temperatureText.has_value());
    require(r.macText == macText(r.mac));
    require(r.stationNameRaw.size() == 20);
    require(r.countdown.seconds < 60 && r.countdown.minutes < 60 && r.countdown.hours < 24);
    for (std::size_t relay = 0; relay < r.relayOn.size(); ++relay)
        require(r.relayOn[relay].has_value() == (static_cast<std::uint8_t>(reply[36 + relay]) <= 1));
}

template <typename Decoder>
void checkTable(std::string_view reply, const Classification* c, ReplyClass cls, Decoder decode)
{
    const auto decoded = decode(reply);
    if (decoded.index() == 0) {
        require(c && c->cls == cls);
        require(reply.size() >= kSlotTableLength);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view reply(reinterpret_cast<const char*>(data), size);

    const auto classified = classify(reply);
    const Classification* c = std::get_if<Classification>(&classified);
    require(c != nullptr || size < kKindPosition);

    checkStatus(reply, c);
    checkTable(reply, c, ReplyClass::SlotTable, decodeSlotTable);
    checkTable(reply, c, ReplyClass::BoardListing, decodeBoardListing);
    checkTable(reply, c, ReplyClass::BoardContents, decodeBoardContents);
    return 0;
}
