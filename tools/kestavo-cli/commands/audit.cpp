#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "clicommand.h"
#include "history/auditlog.h"
#include "history/timetext.h"
#include "historycommands.h"
#include "reportformat.h"
#include "subcommandio.h"

namespace kestavo::cli {

namespace h = kestavo::history;

int runAudit(HistoryCommandContext& context)
{
    const Command& c = context.command;
    h::AuditFilter filter;
    filter.address = c.station;
    if (c.since) {
        const auto from = h::parseTimeText(*c.since, context.environment.now().toMSecsSinceEpoch());
        if (!from) {
            context.err
                << "kestavo-cli: audit: --since '" << *c.since
                << "' is neither a date (2026-12-08, 2026-12-08T06:00:00Z) nor a time back (24h, -7d)\n"
                << "Try 'kestavo-cli audit --help'.\n";
            return ExitUsage;
        }
        filter.fromMs = *from;
    }
    // Reading never creates the history file: without one there is nothing to list.
    const QString path = historyPath(c, context.environment);
    const bool noHistory = !historyExists(path);
    QList<h::AuditRecord> records;
    if (!noHistory) {
        h::AuditLog log;
        if (!log.open(path)) {
            context.err << "kestavo-cli: audit: " << log.error() << '\n';
            return ExitDatabase;
        }
        records = log.records(filter);
    }
    switch (c.options.format) {
    case OutputFormat::Json: {
        QJsonArray array;
        for (const h::AuditRecord& r : records) {
            const QStringList f = h::AuditLog::csvFields(r);
            const QStringList names = h::AuditLog::csvHeader();
            QJsonObject o;
            for (qsizetype i = 0; i < names.size(); ++i)
                o.insert(names[i], f[i]);
            array.append(o);
        }
        context.out
            << QJsonDocument(QJsonObject{{QStringLiteral("audit"), array}}).toJson(QJsonDocument::Compact)
            << '\n';
        break;
    }
    case OutputFormat::Csv:
        context.out << csvRecord(h::AuditLog::csvHeader());
        for (const h::AuditRecord& r : records)
            context.out << csvRecord(h::AuditLog::csvFields(r));
        break;
    case OutputFormat::Text:
        if (noHistory)
            context.out << "no history yet (\"" << path << "\" does not exist): no audit records\n";
        for (const h::AuditRecord& r : records) {
            context.out << h::isoUtc(r.utcMs) << "  " << r.user << '@' << r.host << "  " << r.program << "  "
                        << r.address
                        << (r.description.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(r.description))
                        << "  " << r.action << "  " << r.outcome
                        << (r.detail.isEmpty() ? QString() : QStringLiteral(": ") + r.detail) << '\n';
        }
        break;
    }
    context.out.flush();
    return ExitDone;
}

CommandDefinition auditCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("audit");
    definition.synopsis = QStringLiteral("audit [--since TIME] [--station UNIT]");
    definition.details =
        QStringLiteral("Print the audit log: every command that changed a unit, sent by the console,\n"
                       "this client or the agent, with who sent it and what the unit answered. TIME is\n"
                       "a date or date-time in UTC (2026-12-08, 2026-12-08T06:00:00Z) or a time back\n"
                       "from now (24h, 7d, or -24h as history writes it). Without a history file there\n"
                       "is nothing to list (\"no history yet\"). With --store URL, the team's audit log.\n"
                       "Examples:\n"
                       "  kestavo-cli audit --since 24h\n"
                       "  kestavo-cli audit --station 127.0.0.1 --format csv > audit.csv");
    definition.options = {QCommandLineOption(QStringLiteral("since"),
                                             QStringLiteral("only records from TIME on"),
                                             QStringLiteral("TIME")),
                          QCommandLineOption(QStringLiteral("station"),
                                             QStringLiteral("only records of UNIT"), QStringLiteral("UNIT"))};
    definition.csvKinds = {CommandKind::Audit};
    definition.parse = [](const Reader& r, const QCommandLineParser& options,
                          Command* c) -> std::optional<UsageError> {
        c->kind = CommandKind::Audit;
        if (auto e = r.noMoreThan(1))
            return e;
        for (const QString& name : {QStringLiteral("since"), QStringLiteral("station")}) {
            if (options.isSet(name) && options.value(name).isEmpty())
                return r.error(QStringLiteral("--%1 is empty").arg(name));
        }
        if (options.isSet(QStringLiteral("since")))
            c->since = options.value(QStringLiteral("since"));
        c->station = options.value(QStringLiteral("station"));
        return std::nullopt;
    };
    definition.run = [](const Command& command, QTextStream& out, QTextStream& err,
                        const CliEnvironment& env) {
        HistoryCommandContext context{command, out, err, env};
        return runAudit(context);
    };
    return definition;
}

} // namespace kestavo::cli
