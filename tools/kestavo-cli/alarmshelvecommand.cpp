#include "alarmshelvecommand.h"

#include <QFileInfo>

#include "alarms/shelving.h"
#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "history/timetext.h"
#include "notifycommand.h"
#include "subcommandio.h"

namespace kestavo::cli {

namespace h = kestavo::history;

QList<QCommandLineOption> alarmShelveOptions()
{
    return {{QStringLiteral("for"),
             QStringLiteral("Shelve: how long, at most the longest shelving (90m, 2h)."),
             QStringLiteral("DURATION")},
            {QStringLiteral("max-shelve"),
             QStringLiteral("Settings: the longest shelving for everyone on the history file (24h)."),
             QStringLiteral("DURATION")},
            {QStringLiteral("reason"), QStringLiteral("Shelve: why (required, kept in the event log)."),
             QStringLiteral("TEXT")}};
}

namespace {

int runSettings(const QCommandLineParser& p, Io& io, const CliEnvironment& environment)
{
    io.command = QStringLiteral("alarms settings");
    if (p.positionalArguments().size() > 2)
        return io.usage(QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().at(2)));
    if (p.isSet(QStringLiteral("for")) || p.isSet(QStringLiteral("reason")))
        return io.usage(QStringLiteral("settings takes neither --for nor --reason"));
    const QString path = historyFile(p, environment);
    std::optional<qint64> wanted;
    if (p.isSet(QStringLiteral("max-shelve"))) {
        wanted = parsePeriod(p.value(QStringLiteral("max-shelve")));
        if (!wanted)
            return io.usage(QStringLiteral("--max-shelve '%1' is not a duration (8h, 90m, 2d)")
                                .arg(p.value(QStringLiteral("max-shelve"))));
        if (const QString problem = alarms::maxShelveProblem(*wanted); !problem.isEmpty())
            return io.usage(problem);
    } else if (!historyExists(path)) {
        io.out << "longest shelving: " << alarms::durationWords(alarms::kMaxShelveMs)
               << " (the default; no history file yet)\n";
        return io.done();
    }
    h::AlarmJournal journal;
    if (!journal.open(path))
        return io.fail(journal.error());
    if (wanted && !alarms::setMaxShelveMs(journal, *wanted))
        return writeFailed(
            io, path,
            QStringLiteral("the setting could not be written to \"%1\"; is the file read-only?").arg(path),
            journal.lastError());
    const bool set = journal.setting(alarms::kMaxShelveSetting).has_value();
    io.out << "longest shelving: " << alarms::durationWords(alarms::maxShelveMs(journal))
           << (set ? "" : " (the default)") << '\n';
    return io.done();
}

} // namespace

int runAlarmShelve(const QStringList& arguments, QTextStream& out, QTextStream& err,
                   const CliEnvironment& environment)
{
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("alarms shelve ID --for DURATION --reason TEXT   hide and silence an alarm for a "
                       "while (at most the longest shelving, 24h unless set)\n"
                       "alarms unshelve ID                             bring it back now, acknowledged\n"
                       "alarms settings [--max-shelve DURATION]        show or set the longest shelving"));
    addGlobalOptions(p);
    p.addOptions(alarmShelveOptions());
    Io io{out, err, QStringLiteral("alarms shelve")};
    int code = ExitDone;
    if (!parse(p, arguments, io, &code))
        return code;
    if (p.positionalArguments().value(1).toLower() == u"settings")
        return runSettings(p, io, environment);
    if (p.isSet(QStringLiteral("max-shelve")))
        return io.usage(QStringLiteral("--max-shelve belongs to alarms settings"));
    const bool shelving = p.positionalArguments().value(1).toLower() != u"unshelve";
    if (!shelving)
        io.command = QStringLiteral("alarms unshelve");
    const QStringList pos = p.positionalArguments().mid(2); // "alarms shelve"
    if (pos.isEmpty())
        return io.usage(QStringLiteral("say which alarm: ID"));
    if (pos.size() > 1)
        return io.usage(QStringLiteral("unexpected argument '%1'").arg(pos.at(1)));
    bool ok = false;
    const qint64 id = pos.at(0).toLongLong(&ok);
    if (!ok || id <= 0)
        return io.usage(QStringLiteral("ID '%1' is not an alarm number").arg(pos.at(0)));
    qint64 duration = 0;
    const QString reason = p.value(QStringLiteral("reason")).trimmed();
    if (shelving) {
        const auto period = parsePeriod(p.value(QStringLiteral("for")));
        if (!period)
            return io.usage(p.isSet(QStringLiteral("for"))
                                ? QStringLiteral("--for '%1' is not a duration (90m, 2h)")
                                      .arg(p.value(QStringLiteral("for")))
                                : QStringLiteral("--for DURATION is missing"));
        duration = *period;
        // The length is checked against the file's setting once the file is open.
        if (const QString problem = alarms::shelveProblem(duration, reason, alarms::kMaxShelveCeilingMs);
            !problem.isEmpty())
            return io.usage(problem);
    } else if (p.isSet(QStringLiteral("for")) || p.isSet(QStringLiteral("reason"))) {
        return io.usage(QStringLiteral("unshelve takes neither --for nor --reason"));
    }

    const QString path = historyFile(p, environment);
    if (!historyExists(path))
        return io.fail(
            QStringLiteral("there is no alarm %1: no history yet (\"%2\" does not exist)").arg(id).arg(path),
            ExitRefused);
    h::AlarmJournal journal;
    if (!journal.open(path))
        return io.fail(journal.error());
    if (shelving)
        if (const QString problem = alarms::shelveProblem(duration, reason, alarms::maxShelveMs(journal));
            !problem.isEmpty())
            return io.usage(problem);
    const qint64 now = environment.now().toMSecsSinceEpoch();
    const QString who = h::AuditLog::localUser();
    // One conditional change each: shelve applies only to an open alarm, unshelve only to a
    // shelved one. The CLI does not know whether the condition still holds; the program
    // evaluating the station ends the alarm at its next look if it has gone.
    const h::AlarmChange change =
        shelving ? journal.shelve(id, now + duration, who, now, alarms::shelveText(now + duration, reason))
                 : journal.unshelve(id, h::AlarmState::ActiveAcknowledged, who, now,
                                    QStringLiteral("unshelved by hand"));
    if (change.failed())
        return writeFailed(
            io, path,
            QStringLiteral("alarm %1 could not be changed in \"%2\"; is the file read-only or locked?")
                .arg(id)
                .arg(path),
            change.error);
    if (!change.applied()) {
        if (!change.stored)
            return io.fail(QStringLiteral("there is no open alarm %1 in \"%2\"").arg(id).arg(path),
                           ExitRefused);
        return io.fail(QStringLiteral("alarm %1 is %2; there is nothing to %3")
                           .arg(id)
                           .arg(h::stateText(change.stored->state),
                                shelving ? QStringLiteral("shelve") : QStringLiteral("unshelve")),
                       ExitRefused);
    }
    if (shelving)
        out << "shelved alarm " << id << " (" << change.stored->text << ") until "
            << h::isoUtc(now + duration) << ".\n";
    else
        out << "unshelved alarm " << id << " (" << change.stored->text << "): now "
            << h::stateText(change.stored->state) << ".\n";
    return io.done();
}

} // namespace kestavo::cli
