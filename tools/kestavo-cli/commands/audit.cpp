#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "history/auditlog.h"
#include "historycommands.h"
#include "reportformat.h"
#include "valueparsers.h"

namespace kestavo::cli {

namespace h = kestavo::history;

namespace {

// --since: an ISO date or date-time (UTC unless it says otherwise), or a duration back from
// now in the timer's notation ("24h", "7d", "1h30m").
std::optional<qint64> sinceMs(const QString& text, const QDateTime& now)
{
    QDateTime at = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!at.isValid())
        at = QDateTime(QDate::fromString(text, Qt::ISODate), QTime(0, 0));
    if (at.isValid()) {
        if (at.timeSpec() == Qt::LocalTime)
            at.setTimeSpec(Qt::UTC);
        return at.toMSecsSinceEpoch();
    }
    const Parsed<std::uint32_t> back = parseDuration(text);
    if (!back)
        return std::nullopt;
    return now.toMSecsSinceEpoch() - qint64(*back) * 1000;
}

} // namespace

int runAudit(HistoryCommandContext& context)
{
    const Command& c = context.command;
    h::AuditFilter filter;
    filter.address = c.station;
    if (c.since) {
        const auto from = sinceMs(*c.since, context.environment.now());
        if (!from) {
            context.err
                << "kestavo-cli: audit: --since '" << *c.since
                << "' is neither a date (2026-12-08, 2026-12-08T06:00:00Z) nor a time back (24h, 7d)\n"
                << "Try 'kestavo-cli audit --help'.\n";
            return ExitUsage;
        }
        filter.fromMs = *from;
    }
    h::AuditLog log;
    if (!log.open(historyPath(c, context.environment))) {
        context.err << "kestavo-cli: audit: " << log.error() << '\n';
        return ExitDatabase;
    }
    const QList<h::AuditRecord> records = log.records(filter);
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

} // namespace kestavo::cli
