// Fuzz entry point for reading a unit configuration document (backup, restore, compare): any
// bytes. Never a crash; a document taken is written back and read again to the same document,
// and none of its texts holds a control character.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QByteArray>

#include "backup/unitconfig.h"
#include "text/printable.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kestavo;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto read = backup::fromDocument(bytes);
    if (!std::holds_alternative<backup::UnitConfig>(read))
        return 0;
    const backup::UnitConfig& config = std::get<backup::UnitConfig>(read);
    require(!text::hasControl(config.stationName));
    const QByteArray written = backup::toDocument(config);
    const auto again = backup::fromDocument(written);
    require(std::holds_alternative<backup::UnitConfig>(again));
    require(backup::toDocument(std::get<backup::UnitConfig>(again)) == written);
    return 0;
}
