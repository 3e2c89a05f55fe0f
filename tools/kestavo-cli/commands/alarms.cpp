#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "alarmrulescommand.h"
#include "alarmshelvecommand.h"
#include "clicommand.h"
#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "historycommand.h"
#include "historycommands.h"
#include "notifycommand.h"
#include "reportformat.h"
#include "subcommandio.h"

namespace kestavo::cli {

namespace h = kestavo::history;

QString historyPath(const Command& command, const CliEnvironment& environment)
{
    if (!command.storeUrl.isEmpty())
        return command.storeUrl;
    return historyPath(command.historyFile, command.options.db, environment.applicationDir);
}

namespace {

QString valueText(const std::optional<double>& value)
{
    return value ? QString::number(*value, 'g', 6) : QString();
}

QStringList fields(const h::AlarmRecord& a)
{
    return {QString::number(a.id),       h::stateText(a.state),
            h::priorityText(a.priority), a.address,
            h::isoUtc(a.raisedMs),       a.text,
            valueText(a.value),          a.ackedBy};
}

int list(HistoryCommandContext& context, const QList<h::AlarmRecord>& alarms, bool noHistory)
{
    const OutputFormat format = context.command.options.format;
    if (format == OutputFormat::Json) {
        QJsonArray array;
        for (const h::AlarmRecord& a : alarms) {
            QJsonObject o{{QStringLiteral("id"), a.id},
                          {QStringLiteral("state"), h::stateText(a.state)},
                          {QStringLiteral("priority"), h::priorityText(a.priority)},
                          {QStringLiteral("station"), a.address},
                          {QStringLiteral("raised"), h::isoUtc(a.raisedMs)},
                          {QStringLiteral("text"), a.text},
                          {QStringLiteral("acknowledged_by"), a.ackedBy}};
            if (a.value)
                o.insert(QStringLiteral("value"), *a.value);
            array.append(o);
        }
        context.out
            << QJsonDocument(QJsonObject{{QStringLiteral("alarms"), array}}).toJson(QJsonDocument::Compact)
            << '\n';
    } else if (format == OutputFormat::Csv) {
        context.out << csvRecord({QStringLiteral("id"), QStringLiteral("state"), QStringLiteral("priority"),
                                  QStringLiteral("station"), QStringLiteral("raised"), QStringLiteral("text"),
                                  QStringLiteral("value"), QStringLiteral("acknowledged_by")});
        for (const h::AlarmRecord& a : alarms)
            context.out << csvRecord(fields(a));
    } else if (noHistory) {
        context.out << "no history yet (\"" << historyPath(context.command, context.environment)
                    << "\" does not exist): no alarms\n";
    } else if (alarms.isEmpty()) {
        context.out << "no active alarms\n";
    } else {
        for (const h::AlarmRecord& a : alarms) {
            const QStringList f = fields(a);
            context.out << f[0].rightJustified(5) << "  " << f[2].leftJustified(7) << f[1].leftJustified(25)
                        << f[3].leftJustified(17) << f[4] << "  " << f[5]
                        << (a.value ? QStringLiteral(" (%1)").arg(f[6]) : QString()) << '\n';
        }
    }
    return ExitDone;
}

int acknowledge(HistoryCommandContext& context, h::AlarmJournal& journal)
{
    const Command& c = context.command;
    QList<h::AlarmRecord> targets;
    if (c.alarmId == 0) {
        targets = journal.alarms(true);
    } else if (const auto one = journal.alarm(c.alarmId)) {
        targets.append(*one);
    } else {
        context.err << "kestavo-cli: alarms: there is no alarm " << c.alarmId << " in \""
                    << historyPath(c, context.environment) << "\"\n";
        return ExitRefused;
    }
    const QString who = h::AuditLog::localUser();
    int count = 0;
    for (const h::AlarmRecord& target : targets) {
        const h::AlarmChange change =
            journal.acknowledge(target.id, who, context.environment.now().toMSecsSinceEpoch());
        if (change.failed()) {
            if (!c.storeUrl.isEmpty()) {
                context.err << "kestavo-cli: alarms: " << change.error << '\n';
                return isRefusal(change.error) ? ExitRefused : ExitDatabase;
            }
            context.err << "kestavo-cli: alarms: alarm " << target.id << " could not be acknowledged in \""
                        << historyPath(c, context.environment) << "\"; is the file read-only or locked?\n";
            return ExitDatabase;
        }
        if (!change.applied()) {
            // Nothing to acknowledge, or another program acknowledged or closed it first.
            if (c.alarmId != 0) {
                context.err << "kestavo-cli: alarms: alarm " << target.id << " is "
                            << h::stateText(change.stored ? change.stored->state : h::AlarmState::Normal)
                            << "; there is nothing to acknowledge\n";
                return ExitRefused;
            }
            continue;
        }
        const h::AlarmRecord& a = *change.stored;
        ++count;
        if (c.options.format == OutputFormat::Json)
            context.out << QJsonDocument(QJsonObject{{QStringLiteral("acknowledged"), a.id},
                                                     {QStringLiteral("state"), h::stateText(a.state)}})
                               .toJson(QJsonDocument::Compact)
                        << '\n';
        else
            context.out << "acknowledged alarm " << a.id << " (" << a.text << "): now "
                        << h::stateText(a.state) << '\n';
    }
    if (count == 0 && c.options.format != OutputFormat::Json)
        context.out << "no alarm was waiting for acknowledgement\n";
    return ExitDone;
}

} // namespace

int runAlarms(HistoryCommandContext& context)
{
    // Reading never creates the history file: without one there is nothing to list.
    if (!historyExists(historyPath(context.command, context.environment))) {
        const Command& c = context.command;
        int code = ExitDone;
        if (c.kind != CommandKind::AlarmsAck) {
            code = list(context, {}, true);
        } else if (c.alarmId != 0) {
            context.err << "kestavo-cli: alarms: there is no alarm " << c.alarmId << ": no history yet (\""
                        << historyPath(c, context.environment) << "\" does not exist)\n";
            code = ExitRefused;
        } else if (c.options.format != OutputFormat::Json) {
            context.out << "no alarm was waiting for acknowledgement (no history yet)\n";
        }
        context.out.flush();
        context.err.flush();
        return code;
    }
    h::AlarmJournal journal;
    if (!journal.open(historyPath(context.command, context.environment))) {
        context.err << "kestavo-cli: alarms: " << journal.error() << '\n';
        return ExitDatabase;
    }
    const int code = context.command.kind == CommandKind::AlarmsAck
                         ? acknowledge(context, journal)
                         : list(context, journal.alarms(true), false);
    context.out.flush();
    context.err.flush();
    return code;
}

namespace {

std::optional<UsageError> parseAlarms(const Reader& r, const QCommandLineParser& options, Command* c)
{
    c->kind = CommandKind::Alarms;
    if (r.at(1).toLower() == QStringLiteral("report")) {
        c->kind = CommandKind::AlarmsReport; // notifycommand.cpp reads the rest
        return std::nullopt;
    }
    if (r.at(1).toLower() == QStringLiteral("rules")) {
        c->kind = CommandKind::AlarmsRules; // alarmrulescommand.cpp reads the rest
        return std::nullopt;
    }
    if (r.at(1).toLower() == QStringLiteral("shelve") || r.at(1).toLower() == QStringLiteral("unshelve") ||
        r.at(1).toLower() == QStringLiteral("settings")) {
        c->kind = CommandKind::AlarmsShelve; // alarmshelvecommand.cpp reads the rest
        return std::nullopt;
    }
    if (options.isSet(QStringLiteral("since")))
        return notHere(r, QStringLiteral("--since"), QStringLiteral("alarms report and audit"));
    if (!r.has(1))
        return std::nullopt;
    QString sub;
    if (auto e = r.word(1, QStringLiteral("subcommand"),
                        {QStringLiteral("ack"), QStringLiteral("report"), QStringLiteral("rules"),
                         QStringLiteral("shelve"), QStringLiteral("unshelve"), QStringLiteral("settings")},
                        &sub))
        return e;
    c->kind = CommandKind::AlarmsAck;
    if (!r.has(2))
        return r.missing(QStringLiteral("ID"));
    if (r.at(2).toLower() != QStringLiteral("all")) {
        bool ok = false;
        c->alarmId = r.at(2).toLongLong(&ok);
        if (!ok || c->alarmId <= 0)
            return r.bad(QStringLiteral("ID"), 2, QStringLiteral("is neither an alarm number nor 'all'"));
    }
    return r.noMoreThan(3);
}

} // namespace

CommandDefinition alarmsCommand()
{
    CommandDefinition definition;
    definition.word = QStringLiteral("alarms");
    definition.synopsis =
        QStringLiteral("alarms\nalarms ack ID|all\nalarms shelve ID --for 2h --reason TEXT\n"
                       "alarms unshelve ID\nalarms settings [--max-shelve 24h]\nalarms report [--since 7d]\n"
                       "alarms rules [add --kind KIND [--station A|all] [--channel N] --limit X\n"
                       "    [--deadband D] [--on-delay S] [--off-delay S] [--priority P] [--text T]\n"
                       "    | remove ID | export | import FILE [--replace]]");
    definition.details = QStringLiteral(
        "List the alarms still open in the history file (active, or cleared but not yet\n"
        "acknowledged), or acknowledge one alarm or all of them in your name. A running\n"
        "console picks the acknowledgement up within a few seconds (docs/alarms.md).\n"
        "Without a history file there is nothing to list (\"no history yet\"). With\n"
        "--store URL every form works on the team's store instead, and the name is the\n"
        "store's login; a viewer's acknowledgement is refused (exit code 1).\n"
        "Examples:\n"
        "  kestavo-cli alarms --format json\n"
        "  kestavo-cli alarms ack 12\n"
        "  kestavo-cli alarms shelve 12 --for 2h --reason \"sensor being replaced\"\n"
        "  kestavo-cli alarms settings --max-shelve 8h   (the longest shelving, for everyone on the file)\n"
        "  kestavo-cli alarms report --since 30d --format csv\n"
        "  kestavo-cli alarms rules add --kind voltage-below --channel 1 --limit 11.5 --priority high\n"
        "  kestavo-cli alarms rules export > rules.json");
    definition.options = alarmsReportOptions() + alarmRulesOptions() + alarmShelveOptions();
    definition.csvKinds = {CommandKind::Alarms, CommandKind::AlarmsReport, CommandKind::AlarmsRules};
    definition.parse = parseAlarms;
    definition.run = [](const Command& command, QTextStream& out, QTextStream& err,
                        const CliEnvironment& env) {
        if (command.kind == CommandKind::AlarmsReport)
            return runAlarmsReport(command.arguments, out, err, env);
        if (command.kind == CommandKind::AlarmsRules)
            return runAlarmRules(command.arguments, out, err, env);
        if (command.kind == CommandKind::AlarmsShelve)
            return runAlarmShelve(command.arguments, out, err, env);
        HistoryCommandContext context{command, out, err, env};
        return runAlarms(context);
    };
    return definition;
}

} // namespace kestavo::cli
