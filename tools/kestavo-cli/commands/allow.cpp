#include "clicommand.h"
#include "valueparsers.h"

namespace kestavo::cli {

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser&, Command* c)
{
    if (auto e = r.unit(1, c))
        return e;
    QString rule;
    if (auto e = r.word(2, QStringLiteral("RULE"), {QStringLiteral("all"), QStringLiteral("only")}, &rule))
        return e;
    if (rule == QStringLiteral("all")) {
        c->kind = CommandKind::AllowAll;
        return r.noMoreThan(3);
    }
    c->kind = CommandKind::AllowOnly;
    if (!r.has(3))
        return r.missing(QStringLiteral("IP"));
    for (qsizetype i = 3; i < r.size(); ++i) {
        const int number = static_cast<int>(i - 2);
        if (number > kMaxAllowedAddresses)
            return r.bad(QStringLiteral("IP %1").arg(number), i,
                         QStringLiteral("is one too many (at most five)"));
        const Parsed<std::array<int, 4>> address = parseIpv4(r.at(i));
        if (!address)
            return r.bad(QStringLiteral("IP %1").arg(number), i, address.error);
        c->allowed.push_back(*address);
    }
    return std::nullopt;
}

} // namespace

CommandDefinition allowCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("allow");
    definition.synopsis = QStringLiteral("allow UNIT all\n"
                                         "allow UNIT only IP…");
    definition.details =
        QStringLiteral("Let every client address talk to the unit, or only the one to five listed.\n"
                       "Example:\n"
                       "  kestavo-cli allow 127.0.0.1 only 127.0.0.1 192.168.1.20");
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
