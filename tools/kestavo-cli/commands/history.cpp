#include <QDir>
#include <QFileInfo>

#include "stations/databaselocation.h"

#include "clicommand.h"
#include "history/exportformat.h"
#include "history/historyreader.h"
#include "history/timetext.h"
#include "historycommand.h"

namespace kestavo::cli {

namespace {

int usage(QTextStream& err, const QString& message)
{
    err << "kestavo-cli: history: " << message << "\nTry 'kestavo-cli history --help'.\n";
    err.flush();
    return ExitUsage;
}

} // namespace

QString historyPath(const QString& historyOption, const QString& dbOption, const QString& applicationDir)
{
    if (!historyOption.isEmpty())
        return historyOption;
    const QString db = stations::resolveDatabasePath(dbOption, applicationDir);
    return QFileInfo(db).absoluteDir().filePath(QStringLiteral("history.db"));
}

namespace {

std::optional<UsageError> parse(const Reader& r, const QCommandLineParser& options, Command* c)
{
    c->kind = CommandKind::History;
    if (auto e = r.unit(1, c))
        return e;
    if (auto e = r.noMoreThan(2))
        return e;
    for (const QString& name : {QStringLiteral("from"), QStringLiteral("to")}) {
        if (options.isSet(name))
            (name == u"from" ? c->from : c->to) = options.value(name);
    }
    c->step = options.value(QStringLiteral("step"));
    if (!history::stepFromName(c->step))
        return r.error(QStringLiteral("--step '%1' must be raw, 1m or 1h").arg(c->step));
    return std::nullopt;
}

int run(const Command& c, QTextStream& out, QTextStream& err, const CliEnvironment& environment)
{
    const qint64 now = environment.now().toMSecsSinceEpoch();
    qint64 from = now - 86'400'000;
    qint64 to = now;
    for (const auto& [option, text, target] :
         {std::tuple{QStringLiteral("--from"), &c.from, &from}, {QStringLiteral("--to"), &c.to, &to}}) {
        if (!*text)
            continue;
        const auto parsed = history::parseTimeText(**text, now);
        if (!parsed)
            return usage(err,
                         QStringLiteral("%1 '%2' is not a time (ISO 8601 like 2026-01-31T08:00:00Z, or now, "
                                        "-90m, -24h, -7d)")
                             .arg(option, **text));
        *target = *parsed;
    }
    if (to <= from)
        return usage(err, QStringLiteral("--to must be later than --from"));
    const auto step = history::stepFromName(c.step);
    const OutputFormat format = c.options.format;

    const QString path = historyPath(c.historyFile, c.options.db, environment.applicationDir);
    history::HistoryReader reader;
    if (!reader.open(path)) {
        err << "kestavo-cli: history: " << reader.error() << '\n';
        err.flush();
        return ExitDatabase;
    }
    const history::Series series = reader.read(c.unit, from, to, *step);
    const QStringList header = history::exportHeader(*step);
    if (format == OutputFormat::Csv) {
        out << history::csvRecord(header) << "\r\n";
        for (const history::Row& row : series.rows)
            out << history::csvRecord(history::exportValues(row, *step)) << "\r\n";
    } else if (format == OutputFormat::Json) {
        for (const history::Row& row : series.rows)
            out << history::jsonRecord(header, history::exportValues(row, *step)) << '\n';
    } else {
        out << header.join(u' ') << '\n';
        for (const history::Row& row : series.rows) {
            QStringList v = history::exportValues(row, *step);
            for (QString& field : v)
                if (field.isEmpty())
                    field = QStringLiteral("-");
            out << v.join(u' ') << '\n';
        }
    }
    out.flush();
    return ExitDone;
}

} // namespace

CommandDefinition historyCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("history");
    definition.synopsis = QStringLiteral("history UNIT [--from TIME] [--to TIME] [--step raw|1m|1h]");
    definition.details =
        QStringLiteral("Print UNIT's recorded readings from the history file (--history FILE, default\n"
                       "history.db beside the station database): time, v1 … v8 in volts,\n"
                       "temperature_c, relay1 … relay3, io1 … io5, and for 1m / 1h steps a min and max\n"
                       "column per reading and the sample count. TIME is ISO 8601 (UTC unless a zone\n"
                       "is given), now, or a time back from now: -90m, -24h, -7d (default: the last\n"
                       "24 h). --format text, json (JSON Lines) or csv (RFC 4180, the columns of the\n"
                       "Trends window's export). Exit 3 when the history file is missing or unreadable.\n"
                       "Example:\n"
                       "  kestavo-cli history 127.0.0.1 --from -7d --step 1h --format csv");
    definition.options = {
        QCommandLineOption(QStringLiteral("from"), QStringLiteral("the first time (default: 24 h ago)"),
                           QStringLiteral("TIME")),
        QCommandLineOption(QStringLiteral("to"), QStringLiteral("the last time (default: now)"),
                           QStringLiteral("TIME")),
        QCommandLineOption(QStringLiteral("step"), QStringLiteral("raw samples, or minute or hour roll-ups"),
                           QStringLiteral("raw|1m|1h"), QStringLiteral("raw"))};
    definition.csvKinds = {CommandKind::History};
    definition.parse = parse;
    definition.run = run;
    return definition;
}

} // namespace kestavo::cli
