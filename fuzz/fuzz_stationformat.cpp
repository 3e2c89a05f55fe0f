// Fuzz entry point for the station entry and password texts: whatever is typed into the add-station
// boxes, the address read back from an entry is the address that was typed, the description stays
// as typed, and a stored password is the typed one filled with '*' to ten characters.
//
// Input: IP text, description and password as UTF-8, separated by '\n' (missing parts are empty).
// Invalid UTF-8 becomes replacement characters, as it would from a paste.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <QString>

#include "stations/stationformat.h"

namespace {

using namespace kestavo::stations;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

QString takePart(std::string_view& rest)
{
    const std::size_t cut = rest.find('\n');
    const std::string_view part = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    return QString::fromUtf8(part.data(), static_cast<qsizetype>(part.size()));
}

void checkEntry(const QString& ip, const QString& description)
{
    const QString entry = formatEntry(ip, description);
    const QString typed = trimSpaces(ip);
    require(!typed.startsWith(u' ') && !typed.endsWith(u' '));
    require(trimSpaces(typed) == typed);

    if (typed.size() <= kAddressWidth) {
        // Fixed columns: address, fill, gap, then the description untouched.
        require(entry.size() == kAddressWidth + kEntryGap + description.size());
        require(addressOf(entry) == typed);
        require(entry.mid(kAddressWidth + kEntryGap) == description);
        require(entry.mid(typed.size(), kAddressWidth + kEntryGap - typed.size()) ==
                QString(kAddressWidth + kEntryGap - typed.size(), u' '));
        // What the station box shows for this entry finds it again by address.
        require(addressOf(formatEntry(addressOf(entry), description)) == typed);
    } else {
        // Kept whole; a lookup sees only the first columns.
        require(entry.startsWith(typed));
        require(addressOf(entry) == trimSpaces(typed.left(kAddressWidth)));
    }
    require(addressOf(entry).size() <= kAddressWidth);
}

void checkPassword(const QString& typed)
{
    const QString stored = padPassword(typed);
    require(stored.startsWith(typed));
    if (typed.size() <= kPasswordWidth) {
        require(stored.size() == kPasswordWidth);
        for (qsizetype i = typed.size(); i < stored.size(); ++i)
            require(stored.at(i) == kPasswordFill);
        require(padPassword(stored) == stored);
        // The password box refuses '*', so for anything it lets through the fill comes off again.
        if (!typed.contains(kPasswordFill)) {
            QString unpadded = stored;
            while (unpadded.endsWith(kPasswordFill))
                unpadded.chop(1);
            require(unpadded == typed);
        }
    } else {
        require(stored == typed);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const QString ip = takePart(rest);
    const QString description = takePart(rest);
    const QString password = takePart(rest);

    checkEntry(ip, description);
    checkEntry(description, ip);
    checkPassword(password);
    checkPassword(ip);
    return 0;
}
