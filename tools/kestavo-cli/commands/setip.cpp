#include "clicommand.h"
#include "valueparsers.h"

namespace kestavo::cli {

QCommandLineOption yesOption()
{
    return QCommandLineOption(QStringLiteral("yes"), QStringLiteral("go ahead without asking"));
}

std::optional<UsageError> requireYes(const Reader& r, const QCommandLineParser& options, Command* c)
{
    c->yes = options.isSet(QStringLiteral("yes"));
    if (c->yes)
        return std::nullopt;
    return r.error(QStringLiteral("%1 changes the unit's address and ends every session with it; add "
                                  "--yes to go ahead")
                       .arg(r.word()));
}

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser& options, Command* c)
{
    c->kind = CommandKind::SetIp;
    if (auto e = r.unit(1, c))
        return e;
    if (!r.has(2))
        return r.missing(QStringLiteral("A.B.C.D"));
    const Parsed<std::array<int, 4>> address = parseIpv4(r.at(2));
    if (!address)
        return r.bad(QStringLiteral("A.B.C.D"), 2, address.error);
    c->newIp = *address;
    if (auto e = r.noMoreThan(3))
        return e;
    return requireYes(r, options, c);
}

} // namespace

CommandDefinition setIpCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("set-ip");
    definition.synopsis = QStringLiteral("set-ip UNIT A.B.C.D --yes");
    definition.details =
        QStringLiteral("Give the unit a new IP address. The unit does not answer; it stops answering at\n"
                       "the old address, and the station record keeps the old one (add the new address\n"
                       "with `stations add`). Needs --yes.\n"
                       "Example:\n"
                       "  kestavo-cli set-ip 127.0.0.1 127.0.0.2 --yes");
    definition.options = {yesOption()};
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
