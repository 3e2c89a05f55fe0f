#include "protocol/unitrules.h"

namespace kestavo::protocol {

bool listsAddress(const std::array<int, 20>& octets, std::uint32_t ipv4)
{
    for (std::size_t row = 0; row < 5; ++row) {
        bool same = true;
        for (std::size_t k = 0; k < 4; ++k) {
            const int wanted = static_cast<int>(ipv4 >> (24 - 8 * k) & 0xFF);
            same = same && octets[row * 4 + k] == wanted;
        }
        if (same)
            return true;
    }
    return false;
}

} // namespace kestavo::protocol
