// Fuzz entry point for the agent's reading of MQTT relay commands: the topic up to the first
// '\n', the payload after it. Never a crash; a command taken names a unit by 12 lower-case hex
// digits and relay 1 to 3, and its topic is exactly the one the agent would publish for it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <QByteArray>
#include <QString>

#include "relaycommand.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kestavo::agent;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\n');
    const std::string_view topic = input.substr(0, cut);
    const std::string_view payload =
        cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);
    const QString prefix = QStringLiteral("kestavo");
    const QString topicText = QString::fromUtf8(topic.data(), static_cast<qsizetype>(topic.size()));
    const auto parsed = parseRelayCommand(prefix, topicText,
                                          QByteArray(payload.data(), static_cast<qsizetype>(payload.size())));
    if (!std::holds_alternative<RelayCommand>(parsed))
        return 0;
    const RelayCommand& command = std::get<RelayCommand>(parsed);
    require(command.relay >= 1 && command.relay <= 3);
    require(command.unitId.size() == 12);
    require(topicText == QStringLiteral("%1/%2/relay/%3/set").arg(prefix, command.unitId).arg(command.relay));
    require(payload == (command.on ? "ON" : "OFF"));
    return 0;
}
