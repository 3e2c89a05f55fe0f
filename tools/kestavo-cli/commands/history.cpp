#include "historycommand.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include "stations/databaselocation.h"

#include "helptext.h"
#include "history/exportformat.h"
#include "history/historyreader.h"

namespace kestavo::cli {

namespace {

const QStringList kValues = {
    QStringLiteral("--db"),   QStringLiteral("--history"), QStringLiteral("--from"),
    QStringLiteral("--to"),   QStringLiteral("--step"),    QStringLiteral("--format"),
    QStringLiteral("--port"), QStringLiteral("--timeout"), QStringLiteral("--password")};

int usage(QTextStream& err, const QString& message)
{
    err << "kestavo-cli: history: " << message << "\nTry 'kestavo-cli history --help'.\n";
    err.flush();
    return ExitUsage;
}

} // namespace

std::optional<qint64> parseTime(const QString& text, qint64 nowMs)
{
    const QString t = text.trimmed();
    if (t == u"now")
        return nowMs;
    static const QRegularExpression relative(QStringLiteral("^-(\\d{1,9})([smhdw])$"));
    if (const auto m = relative.match(t); m.hasMatch()) {
        static const QHash<QString, qint64> unit{{QStringLiteral("s"), 1000},
                                                 {QStringLiteral("m"), 60'000},
                                                 {QStringLiteral("h"), 3'600'000},
                                                 {QStringLiteral("d"), 86'400'000},
                                                 {QStringLiteral("w"), 7 * 86'400'000LL}};
        return nowMs - m.captured(1).toLongLong() * unit.value(m.captured(2));
    }
    QDateTime when = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!when.isValid())
        when = QDateTime::fromString(t, Qt::ISODate);
    if (!when.isValid())
        return std::nullopt;
    if (when.timeSpec() == Qt::LocalTime)
        when.setTimeSpec(Qt::UTC); // a time without a zone is UTC, like every time we print
    return when.toMSecsSinceEpoch();
}

QString historyPath(const QString& historyOption, const QString& dbOption, const QString& applicationDir)
{
    if (!historyOption.isEmpty())
        return historyOption;
    const QString db = stations::resolveDatabasePath(dbOption, applicationDir);
    return QFileInfo(db).absoluteDir().filePath(QStringLiteral("history.db"));
}

int runHistoryCommand(const QStringList& arguments, QTextStream& out, QTextStream& err,
                      const CliEnvironment& environment)
{
    QHash<QString, QString> values;
    QStringList positional;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == u"--help" || a == u"-h") {
            out << commandHelp(QStringLiteral("history"));
            out.flush();
            return ExitDone;
        }
        if (!a.startsWith(u"--")) {
            positional << a;
            continue;
        }
        const qsizetype equals = a.indexOf(u'=');
        const QString name = equals > 2 ? a.left(equals) : a;
        if (!kValues.contains(name))
            return usage(err, QStringLiteral("unknown option %1").arg(name));
        if (equals > 2) {
            values.insert(name, a.mid(equals + 1));
        } else if (i + 1 < arguments.size()) {
            values.insert(name, arguments.at(++i));
        } else {
            return usage(err, QStringLiteral("%1 needs a value").arg(name));
        }
    }
    if (positional.size() != 2)
        return usage(err, positional.size() < 2
                              ? QStringLiteral("UNIT is missing")
                              : QStringLiteral("unexpected argument '%1'").arg(positional.at(2)));
    const QString unit = positional.at(1);

    const qint64 now = environment.now().toMSecsSinceEpoch();
    qint64 from = now - 86'400'000;
    qint64 to = now;
    for (const auto& [option, target] :
         {std::pair{QStringLiteral("--from"), &from}, {QStringLiteral("--to"), &to}}) {
        if (!values.contains(option))
            continue;
        const auto parsed = parseTime(values.value(option), now);
        if (!parsed)
            return usage(err,
                         QStringLiteral("%1 '%2' is not a time (ISO 8601 like 2026-01-31T08:00:00Z, or now, "
                                        "-90m, -24h, -7d)")
                             .arg(option, values.value(option)));
        *target = *parsed;
    }
    if (to <= from)
        return usage(err, QStringLiteral("--to must be later than --from"));
    const auto step = history::stepFromName(values.value(QStringLiteral("--step"), QStringLiteral("raw")));
    if (!step)
        return usage(
            err,
            QStringLiteral("--step '%1' must be raw, 1m or 1h").arg(values.value(QStringLiteral("--step"))));
    const QString format = values.value(QStringLiteral("--format"), QStringLiteral("text"));
    if (format != u"text" && format != u"json" && format != u"csv")
        return usage(err, QStringLiteral("--format '%1' must be text, json or csv").arg(format));

    const QString path = historyPath(values.value(QStringLiteral("--history")),
                                     values.value(QStringLiteral("--db")), environment.applicationDir);
    history::HistoryReader reader;
    if (!reader.open(path)) {
        err << "kestavo-cli: history: " << reader.error() << '\n';
        err.flush();
        return ExitDatabase;
    }
    const history::Series series = reader.read(unit, from, to, *step);
    const QStringList header = history::exportHeader(*step);
    if (format == u"csv") {
        out << history::csvRecord(header) << "\r\n";
        for (const history::Row& row : series.rows)
            out << history::csvRecord(history::exportValues(row, *step)) << "\r\n";
    } else if (format == u"json") {
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

} // namespace kestavo::cli
