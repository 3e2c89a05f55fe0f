// Fuzz entry point for the simulated unit's frame handling: a run of datagrams, as one unit would
// receive them, with time passing between them. Besides crashes and reads past the end, it checks
// the promises the simulator's counters and replies make to the tests that rely on them.
//
// Input layout, repeated until the bytes run out:
//   control byte  bit 0: put a valid header and the unit's current password in front of the body
//                 bits 1-3: let (value * 1500) ms of unit time pass before the frame
//                 bit 6: the body is 256 bytes longer than the length byte says
//                 bit 7: the frame comes from 127.0.0.9 instead of 127.0.0.1
//   length byte   body length (plus 256 with bit 6)
//   body          the frame (after the header when bit 0 is set)
// At most kMaxFrames frames per input: longer runs add little and would slow every input down.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "protocol/frames.h"
#include "protocol/reply.h"

#include "ksv-sim/unitmodel.h"

namespace {

using kestavo::sim::Ipv4;
using kestavo::sim::UnitModel;
namespace p = kestavo::protocol;

constexpr std::uint64_t kMaxFrames = 24;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::uint64_t outcomesCounted(const UnitModel::Counters& c)
{
    return c.accepted + c.wrongPassword + c.filtered + c.dropped();
}

// Everything a reply can show about the unit; a refused frame must leave all of it as it was.
// Slots are copied field by field: building the table replies for every frame would cost more
// than the frame itself.
std::string observable(const UnitModel& unit)
{
    std::string seen;
    seen.reserve(1024);
    seen += unit.statusReport();
    seen += unit.password();
    for (int slot = 1; slot <= UnitModel::kRelaySlots; ++slot) {
        seen += unit.relayScript(slot).codeField;
        seen += unit.relayScript(slot).description;
    }
    for (int slot = 1; slot <= UnitModel::kBoardSlots; ++slot) {
        const auto& script = unit.boardScript(slot);
        seen += script.description;
        seen.append(reinterpret_cast<const char*>(script.codes.data()), script.codes.size());
    }
    return seen;
}

// An accepted poll is answered with a report that the console's own decoder reads back as the
// state the simulator holds.
void checkStatusAgainstModel(const std::string& reply, const UnitModel& unit)
{
    const auto decoded = p::decodeStatus(reply);
    require(std::holds_alternative<p::StatusReport>(decoded));
    const auto& report = std::get<p::StatusReport>(decoded);
    require(report.mac == unit.mac());
    require(report.revision == unit.revisionNumber());
    for (int relay = 1; relay <= UnitModel::kRelays; ++relay) {
        const auto& shown = report.relayOn[static_cast<std::size_t>(relay - 1)];
        require(shown.has_value() && *shown == unit.relayOn(relay));
    }
    require(report.stationNameRaw == unit.stationName());
    require(report.timerRemaining == unit.timerRemaining());
}

void checkOne(UnitModel& unit, std::string_view frame, const Ipv4& source, std::uint64_t seen)
{
    // Only a frame with the header, the unit's password and an allowed source may change anything.
    // For every other frame the unit's state is recorded first, to prove it stays as it was.
    const bool mayChange = frame.size() >= 20 && frame.starts_with(p::kFrameHeader) &&
                           frame.substr(10, p::kPasswordLength) == unit.password() && unit.accepts(source);
    const std::string before = mayChange ? std::string() : observable(unit);
    const std::vector<std::string> replies = unit.handleFrame(frame, source);
    const UnitModel::Counters& c = unit.counters();

    require(c.received == seen);
    require(outcomesCounted(c) == seen);
    require(replies.size() <= 1);
    require(!unit.frames().empty() && unit.frames().back().bytes == frame);

    const UnitModel::Outcome outcome = unit.frames().back().outcome;
    switch (outcome) {
    case UnitModel::Outcome::Accepted:
        require(mayChange);
        for (const std::string& reply : replies) {
            const auto classified = p::classify(reply);
            require(std::holds_alternative<p::Classification>(classified));
            require(std::get<p::Classification>(classified).passwordAccepted);
        }
        if (frame.size() > 9 && frame[9] == '1') {
            require(replies.size() == 1);
            checkStatusAgainstModel(replies.front(), unit);
        }
        break;
    case UnitModel::Outcome::WrongPassword:
        require(replies.size() == 1);
        require(replies.front().size() >= p::kKindPosition);
        require(replies.front()[p::kVerdictPosition - 1] == 1);
        require(!mayChange && observable(unit) == before);
        break;
    case UnitModel::Outcome::Filtered:
    case UnitModel::Outcome::BadHeader:
    case UnitModel::Outcome::TooShort:
    case UnitModel::Outcome::UnknownOpcode:
        require(replies.empty());
        require(mayChange || observable(unit) == before);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    UnitModel::Config config;
    config.boards = {true, false, false, true, false, false};
    UnitModel unit(config);
    const Ipv4 local{127, 0, 0, 1};
    const Ipv4 stranger{127, 0, 0, 9};

    std::size_t at = 0;
    std::uint64_t seen = 0;
    while (at + 2 <= size && seen < kMaxFrames) {
        const std::uint8_t control = data[at];
        std::size_t length = data[at + 1] + ((control & 0x40) ? 256u : 0u);
        at += 2;
        if (length > size - at)
            length = size - at;
        const std::string_view body(reinterpret_cast<const char*>(data + at), length);
        at += length;

        unit.advance(static_cast<std::int64_t>((control >> 1) & 0x7) * 1500);
        std::string frame;
        if (control & 0x01)
            frame = std::string(p::kFrameHeader) + std::string(body.substr(0, 1)) + unit.password() +
                    std::string(body.substr(body.empty() ? 0 : 1));
        else
            frame = std::string(body);
        checkOne(unit, frame, (control & 0x80) ? stranger : local, ++seen);
    }
    return 0;
}
