#include "protocol/ipv4.h"

namespace kestavo::protocol {

namespace {

void refuse(std::string* problem, const std::string& why)
{
    if (problem)
        *problem = "is no IPv4 address (" + why + ")";
}

} // namespace

std::optional<Ipv4Octets> parseIpv4(std::string_view text, std::string* problem)
{
    std::array<std::string_view, 4> parts;
    std::size_t count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        if (count == parts.size()) {
            refuse(problem, "four numbers joined by dots");
            return std::nullopt;
        }
        parts[count++] = text.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    if (count != parts.size()) {
        refuse(problem, "four numbers joined by dots");
        return std::nullopt;
    }
    Ipv4Octets octets{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string_view part = parts[i];
        const std::string octet = "octet " + std::to_string(i + 1);
        if (part.empty() || part.size() > 3 ||
            part.find_first_not_of("0123456789") != std::string_view::npos) {
            refuse(problem, octet + " is not a number from 0 to 255");
            return std::nullopt;
        }
        int value = 0;
        for (const char c : part)
            value = value * 10 + (c - '0');
        if (value > 255) {
            refuse(problem, octet + " is " + std::to_string(value) + ", above 255");
            return std::nullopt;
        }
        if (part.size() > 1 && part.front() == '0') {
            refuse(problem, octet + " has a leading zero, which some programs read as octal");
            return std::nullopt;
        }
        octets[i] = static_cast<std::uint8_t>(value);
    }
    return octets;
}

std::string ipv4Text(const Ipv4Octets& octets)
{
    std::string text;
    for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i > 0)
            text += '.';
        text += std::to_string(octets[i]);
    }
    return text;
}

std::uint32_t ipv4Number(const Ipv4Octets& octets)
{
    return (std::uint32_t{octets[0]} << 24) | (std::uint32_t{octets[1]} << 16) |
           (std::uint32_t{octets[2]} << 8) | std::uint32_t{octets[3]};
}

} // namespace kestavo::protocol
