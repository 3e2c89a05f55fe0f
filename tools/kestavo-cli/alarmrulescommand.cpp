#include "alarmrulescommand.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "protocol/ipv4.h"

#include "alarms/rulesfile.h"
#include "alarms/rulevalidation.h"
#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "reportformat.h"
#include "subcommandio.h"
#include "text/boundedfile.h"

namespace kestavo::cli {

namespace {

using history::AlarmRule;

QString stationText(const AlarmRule& r)
{
    return r.address.isEmpty() ? QStringLiteral("all") : r.address;
}

int list(const QList<AlarmRule>& rules, const QString& format, Io& io)
{
    if (format == u"json") {
        io.out << QJsonDocument::fromJson(alarms::rulesToJson(rules)).toJson(QJsonDocument::Compact) << '\n';
    } else if (format == u"csv") {
        io.out << csvRecord({QStringLiteral("id"), QStringLiteral("station"), QStringLiteral("kind"),
                             QStringLiteral("channel"), QStringLiteral("limit"), QStringLiteral("deadband"),
                             QStringLiteral("on_delay"), QStringLiteral("off_delay"),
                             QStringLiteral("priority"), QStringLiteral("enabled"), QStringLiteral("text")});
        for (const AlarmRule& r : rules)
            io.out << csvRecord(
                {QString::number(r.id), stationText(r), alarms::kindName(r.kind), QString::number(r.channel),
                 QString::number(r.limit, 'g', 6), QString::number(r.deadband, 'g', 6),
                 QString::number(r.onDelayS), QString::number(r.offDelayS), history::priorityText(r.priority),
                 r.enabled ? QStringLiteral("yes") : QStringLiteral("no"), alarms::ruleText(r)});
    } else if (rules.isEmpty()) {
        io.out << "no alarm rules\n";
    } else {
        for (const AlarmRule& r : rules)
            io.out << QString::number(r.id).rightJustified(5) << "  "
                   << history::priorityText(r.priority).leftJustified(7) << stationText(r).leftJustified(17)
                   << alarms::ruleText(r) << (r.enabled ? QString() : QStringLiteral(" (disabled)")) << '\n';
    }
    return io.done();
}

std::optional<QString> ruleFromOptions(const QCommandLineParser& p, AlarmRule* r)
{
    const auto kind = alarms::kindFromName(p.value(QStringLiteral("kind")));
    if (!kind)
        return QStringLiteral("--kind '%1' must be one of %2")
            .arg(p.value(QStringLiteral("kind")), alarms::kindNames().join(u", "));
    r->kind = *kind;
    const QString station = p.value(QStringLiteral("station"));
    if (!station.isEmpty() && station != u"all") {
        const auto address = protocol::parseIpv4(station.toStdString());
        if (!address)
            return QStringLiteral("--station '%1' is not an IPv4 address (four decimal numbers 0-255)")
                .arg(station);
        r->address = QString::fromStdString(protocol::ipv4Text(*address));
    }
    const auto number = [&](const QString& name, double* out) -> std::optional<QString> {
        if (!p.isSet(name))
            return std::nullopt;
        bool ok = false;
        *out = p.value(name).toDouble(&ok);
        if (!ok)
            return QStringLiteral("--%1 '%2' is not a number").arg(name, p.value(name));
        return std::nullopt;
    };
    const auto whole = [&](const QString& name, int* out) -> std::optional<QString> {
        if (!p.isSet(name))
            return std::nullopt;
        bool ok = false;
        *out = p.value(name).toInt(&ok);
        if (!ok)
            return QStringLiteral("--%1 '%2' is not a whole number").arg(name, p.value(name));
        return std::nullopt;
    };
    if (!p.isSet(QStringLiteral("limit")) && *kind != history::AlarmRuleKind::BadPassword)
        return QStringLiteral("--limit is needed");
    for (const auto& [name, field] :
         {std::pair{QStringLiteral("limit"), &r->limit}, std::pair{QStringLiteral("deadband"), &r->deadband}})
        if (auto e = number(name, field))
            return e;
    for (const auto& [name, field] : {std::pair{QStringLiteral("channel"), &r->channel},
                                      std::pair{QStringLiteral("on-delay"), &r->onDelayS},
                                      std::pair{QStringLiteral("off-delay"), &r->offDelayS}})
        if (auto e = whole(name, field))
            return e;
    if (p.isSet(QStringLiteral("priority"))) {
        const auto priority = history::priorityFromText(p.value(QStringLiteral("priority")));
        if (!priority)
            return QStringLiteral("--priority '%1' must be high, medium or low")
                .arg(p.value(QStringLiteral("priority")));
        r->priority = *priority;
    }
    r->text = p.value(QStringLiteral("text"));
    return std::nullopt;
}

} // namespace

QList<QCommandLineOption> alarmRulesOptions()
{
    return {{QStringLiteral("kind"), QStringLiteral("Rules: what the rule watches."), QStringLiteral("KIND")},
            {QStringLiteral("station"), QStringLiteral("Rules: one station's address, or all."),
             QStringLiteral("ADDRESS")},
            {QStringLiteral("channel"), QStringLiteral("Rules: voltage 1-8, I/O pin 1-5 or relay 1-3."),
             QStringLiteral("N")},
            {QStringLiteral("limit"), QStringLiteral("Rules: the limit (V, °C, 0/1, or seconds offline)."),
             QStringLiteral("X")},
            {QStringLiteral("deadband"), QStringLiteral("Rules: how far back past the limit to clear."),
             QStringLiteral("D")},
            {QStringLiteral("on-delay"), QStringLiteral("Rules: seconds the condition must hold."),
             QStringLiteral("S")},
            {QStringLiteral("off-delay"), QStringLiteral("Rules: seconds it must be gone to clear."),
             QStringLiteral("S")},
            {QStringLiteral("priority"), QStringLiteral("Rules: high, medium or low."), QStringLiteral("P")},
            {QStringLiteral("text"), QStringLiteral("Rules: the alarm's text."), QStringLiteral("T")},
            {QStringLiteral("replace"),
             QStringLiteral("Rules import: remove the rules the file does not have.")}};
}

int runAlarmRules(const QStringList& arguments, QTextStream& out, QTextStream& err,
                  const CliEnvironment& environment)
{
    Io io{out, err, QStringLiteral("alarms rules")};
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "alarms rules                     list the alarm rules\n"
        "alarms rules add --kind KIND [--station ADDRESS|all] [--channel N] --limit X [--deadband D]\n"
        "    [--on-delay S] [--off-delay S] [--priority high|medium|low] [--text T]\n"
        "alarms rules remove ID           remove a rule and close its open alarms\n"
        "alarms rules export              the rules as JSON\n"
        "alarms rules import FILE [--replace]   add or update the file's rules, all or nothing"));
    addGlobalOptions(p);
    p.addOptions(alarmRulesOptions());
    int code = ExitDone;
    if (!parse(p, arguments, io, &code))
        return code;
    QStringList pos = p.positionalArguments();
    pos = pos.mid(2); // "alarms rules"
    const QString sub = pos.value(0);
    static const QStringList kSubs{QStringLiteral("list"), QStringLiteral("add"), QStringLiteral("remove"),
                                   QStringLiteral("export"), QStringLiteral("import")};
    if (!sub.isEmpty() && !kSubs.contains(sub))
        return io.usage(QStringLiteral("unknown subcommand '%1' (%2)").arg(sub, kSubs.join(u", ")));
    const bool needsArgument = sub == u"remove" || sub == u"import";
    if (needsArgument && pos.size() < 2)
        return io.usage(sub == u"remove" ? QStringLiteral("say which rule: ID")
                                         : QStringLiteral("say which FILE"));
    if (pos.size() > (needsArgument ? 2 : 1))
        return io.usage(QStringLiteral("unexpected argument '%1'").arg(pos.value(needsArgument ? 2 : 1)));
    const QString format = p.value(QStringLiteral("format"));
    const QString path = historyFile(p, environment);
    const bool reads = sub.isEmpty() || sub == u"list" || sub == u"export";
    // Reading never creates the history file.
    if (reads && !historyExists(path)) {
        if (sub == u"export")
            out << alarms::rulesToJson({});
        else
            list({}, format, io);
        return io.done();
    }
    AlarmRule candidate;
    if (sub == u"add")
        if (const auto problem = ruleFromOptions(p, &candidate))
            return io.usage(*problem);
    QList<AlarmRule> imported;
    if (sub == u"import") {
        const text::BoundedRead file = text::readBoundedFile(pos.value(1), 16 * 1024 * 1024);
        if (!file.ok)
            return io.fail(file.error, ExitUsage);
        auto parsed = alarms::rulesFromJson(file.bytes);
        if (const auto* why = std::get_if<QString>(&parsed))
            return io.fail(QStringLiteral("\"%1\" was not imported: %2").arg(pos.value(1), *why), ExitUsage);
        imported = std::get<QList<AlarmRule>>(parsed);
    }
    history::AlarmJournal journal;
    if (!journal.open(path))
        return io.fail(journal.error());
    const QList<AlarmRule> rules = journal.rules();
    const qint64 now = environment.now().toMSecsSinceEpoch();
    const QString who = history::AuditLog::localUser();
    if (reads)
        return sub == u"export" ? (out << alarms::rulesToJson(rules), io.done()) : list(rules, format, io);
    if (sub == u"add") {
        if (const QString problem = alarms::validateRule(candidate, rules); !problem.isEmpty())
            return io.usage(problem);
        if (!journal.saveRule(candidate, now, who))
            return writeFailed(
                io, path,
                QStringLiteral("the rule could not be written to \"%1\"; is it read-only or locked?")
                    .arg(path),
                journal.lastError());
        if (format == u"json")
            out << QJsonDocument(QJsonObject{{QStringLiteral("added"), candidate.id}})
                       .toJson(QJsonDocument::Compact)
                << '\n';
        else
            out << candidate.id << '\n';
        return io.done();
    }
    if (sub == u"remove") {
        bool ok = false;
        const qint64 id = pos.value(1).toLongLong(&ok);
        if (!ok || id <= 0)
            return io.usage(QStringLiteral("ID '%1' is not a rule number").arg(pos.value(1)));
        if (std::none_of(rules.begin(), rules.end(), [id](const AlarmRule& r) { return r.id == id; }))
            return io.fail(QStringLiteral("there is no rule %1 in \"%2\"").arg(id).arg(path), ExitRefused);
        if (!journal.removeRule(id, now, who))
            return writeFailed(
                io, path,
                QStringLiteral("rule %1 could not be removed from \"%2\"; is it read-only or locked?")
                    .arg(id)
                    .arg(path),
                journal.lastError());
        out << "removed rule " << id << '\n';
        return io.done();
    }
    // import: checked against the rules it keeps, then written in one transaction.
    const bool replace = p.isSet(QStringLiteral("replace"));
    QList<AlarmRule> kept;
    if (!replace)
        for (const AlarmRule& r : rules)
            if (std::none_of(imported.begin(), imported.end(),
                             [&](const AlarmRule& i) { return i.id == r.id; }))
                kept.append(r);
    for (qsizetype i = 0; i < imported.size(); ++i)
        if (const QString problem = alarms::validateRule(imported[i], kept); !problem.isEmpty())
            return io.fail(QStringLiteral("\"%1\" was not imported: rules[%2]: %3")
                               .arg(pos.value(1))
                               .arg(i)
                               .arg(problem),
                           ExitUsage);
    if (!journal.saveRules(imported, replace, now, who))
        return writeFailed(
            io, path,
            QStringLiteral("nothing was imported: \"%1\" could not be written; is it read-only or locked?")
                .arg(path),
            journal.lastError());
    out << "imported " << imported.size() << (imported.size() == 1 ? " rule" : " rules")
        << (replace ? QStringLiteral("; the file's rules are now the only ones") : QString()) << '\n';
    return io.done();
}

} // namespace kestavo::cli
