#include "clicommand.h"
#include "valueparsers.h"

namespace kestavo::cli {

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser& options, Command* c)
{
    c->kind = CommandKind::SetMac;
    if (auto e = r.unit(1, c))
        return e;
    if (!r.has(2))
        return r.missing(QStringLiteral("MAC"));
    const Parsed<std::array<int, 6>> mac = parseMac(r.at(2));
    if (!mac)
        return r.bad(QStringLiteral("MAC"), 2, mac.error);
    c->newMac = *mac;
    if (auto e = r.noMoreThan(3))
        return e;
    return requireYes(r, options, c);
}

} // namespace

CommandDefinition setMacCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("set-mac");
    definition.synopsis = QStringLiteral("set-mac UNIT XX:XX:XX:XX:XX:XX --yes");
    definition.details =
        QStringLiteral("Give the unit a new MAC address (sent twice, as the console does). Needs --yes.\n"
                       "Example:\n"
                       "  kestavo-cli set-mac 127.0.0.1 00:0A:1B:2C:3D:4F --yes");
    definition.options = {yesOption()};
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
