#include "stations/stationextras.h"

#include "backup/configdiff.h"
#include "clicommand.h"
#include "valueparsers.h"

namespace kestavo::cli {

QList<QCommandLineOption> fleetOperationOptions(bool rollout)
{
    QList<QCommandLineOption> options = {
        QCommandLineOption(QStringLiteral("tag"), QStringLiteral("every station with this tag"),
                           QStringLiteral("TAG")),
        yesOption(),
        QCommandLineOption(QStringLiteral("parallel"), QStringLiteral("units at a time (default 4)"),
                           QStringLiteral("N")),
        QCommandLineOption(
            QStringLiteral("max-failures"),
            QStringLiteral("start no further unit after this many failed (default 1; 0: never)"),
            QStringLiteral("K"))};
    if (rollout) {
        options << QCommandLineOption(QStringLiteral("stations"), QStringLiteral("these stations"),
                                      QStringLiteral("A,B,…"))
                << QCommandLineOption(QStringLiteral("only"), QStringLiteral("only these parts"),
                                      QStringLiteral("LIST"))
                << QCommandLineOption(QStringLiteral("dry-run"),
                                      QStringLiteral("compare only; nothing but the reads is sent"));
    }
    return options;
}

std::optional<UsageError> parseTagOption(const Reader& r, const QCommandLineParser& options, Command* c)
{
    c->tagFilter = options.value(QStringLiteral("tag"));
    if (const QString problem = stations::tagProblem(c->tagFilter); !problem.isEmpty())
        return r.error(QStringLiteral("--tag: %1").arg(problem));
    if (auto e = optionInteger(r, options, QStringLiteral("parallel"), 1, 64, &c->parallel))
        return e;
    return optionInteger(r, options, QStringLiteral("max-failures"), 0, 1000000, &c->maxFailures);
}

namespace {

constexpr qsizetype kMaxListedStations = 100000;

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser& options, Command* c)
{
    c->kind = CommandKind::Rollout;
    if (!r.has(1))
        return r.missing(QStringLiteral("FILE"));
    c->file = r.at(1);
    if (auto e = r.noMoreThan(2))
        return e;
    const bool tag = options.isSet(QStringLiteral("tag"));
    const bool listed = options.isSet(QStringLiteral("stations"));
    if (tag == listed)
        return r.error(QStringLiteral("give the stations with either --tag TAG or --stations A,B,…"));
    if (tag) {
        if (auto e = parseTagOption(r, options, c))
            return e;
    } else {
        if (auto e = optionInteger(r, options, QStringLiteral("parallel"), 1, 64, &c->parallel))
            return e;
        if (auto e = optionInteger(r, options, QStringLiteral("max-failures"), 0, 1000000, &c->maxFailures))
            return e;
        for (const QString& part : options.value(QStringLiteral("stations")).split(u',')) {
            const QString address = part.trimmed();
            const Parsed<std::array<int, 4>> octets = parseIpv4(address);
            if (!octets)
                return r.error(QStringLiteral("--stations '%1' %2").arg(address, octets.error));
            if (!c->stationList.contains(address))
                c->stationList << address;
        }
        if (c->stationList.size() > kMaxListedStations)
            return r.error(QStringLiteral("--stations lists more than %1 stations").arg(kMaxListedStations));
    }
    if (options.isSet(QStringLiteral("only"))) {
        for (const QString& group : options.value(QStringLiteral("only")).split(u',')) {
            const QString name = group.trimmed().toLower();
            if (!backup::groupFromName(name))
                return r.error(
                    QStringLiteral("--only '%1' must be a list of name, scripts, boards, triggers, "
                                   "security and delays")
                        .arg(group));
            if (!c->only.contains(name))
                c->only << name;
        }
    }
    c->dryRun = options.isSet(QStringLiteral("dry-run"));
    c->yes = options.isSet(QStringLiteral("yes"));
    return std::nullopt;
}

} // namespace

CommandDefinition rolloutCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("rollout");
    definition.synopsis = QStringLiteral("rollout FILE (--tag TAG | --stations A,B,…) [--only ITEMS] "
                                         "[--parallel N] [--max-failures K] [--dry-run] [--yes]");
    definition.details =
        QStringLiteral("Write a unit backup (or the parts of it --only names: name, scripts, boards,\n"
                       "triggers, security, delays) to many units, a few at a time (--parallel, default 4).\n"
                       "Each unit is compared first: an equal unit is skipped, so running the command again\n"
                       "resumes where it stopped. A unit that differs gets the differences written as\n"
                       "restore writes them (the lockout guard, the firmware gates, never the password,\n"
                       "IP or MAC address) and is read again to verify. After --max-failures failed units\n"
                       "(default 1; 0: never) no further unit is started; Ctrl-C lets the units in flight\n"
                       "finish and starts no more. --dry-run only compares and sends nothing but reads.\n"
                       "One question names the file, the parts and the count (--yes answers it; with\n"
                       "nobody to ask nothing is sent). One line per unit (address, description, equal,\n"
                       "written: …, refused: reason, no answer) and a summary. Exit 0 when every unit\n"
                       "is done or equal, 1 when any failed or was not started, 2 when refused before\n"
                       "anything was sent.\n"
                       "Example:\n"
                       "  kestavo-cli rollout pumphouse.json --tag north/pumps --only scripts --parallel 8");
    definition.options = fleetOperationOptions(true);
    definition.parse = parse;
    definition.run = runWithRunner;
    return definition;
}

} // namespace kestavo::cli
