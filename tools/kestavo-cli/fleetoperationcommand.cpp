#include "fleetoperationcommand.h"

#include <atomic>
#include <csignal>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "alarms/auditrecorder.h"
#include "fleet/fleetoperation.h"
#include "fleet/unitjobs.h"
#include "history/auditlog.h"
#include "historycommands.h"
#include "text/boundedfile.h"

namespace kestavo::cli {

namespace {

using fleet::UnitOutcome;

// Ctrl-C while units are being written: the ones in flight finish, no more start. A second
// Ctrl-C ends the program the ordinary way.
std::atomic<bool> g_interrupted{false};

void onInterrupt(int)
{
    g_interrupted = true;
    std::signal(SIGINT, SIG_DFL);
}

class InterruptGuard
{
public:
    InterruptGuard() : m_previous(std::signal(SIGINT, onInterrupt)) { g_interrupted = false; }
    ~InterruptGuard() { std::signal(SIGINT, m_previous); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    void (*m_previous)(int);
};

QString stationCount(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 station") : QStringLiteral("%1 stations").arg(count);
}

QString groupText(const Command& c)
{
    if (!c.tagFilter.isEmpty())
        return QStringLiteral("tag %1").arg(c.tagFilter);
    return QStringLiteral("listed");
}

QString relayActionText(const Command& c)
{
    switch (c.relayAction) {
    case protocol::RelayOn:
        return QStringLiteral("Switch relay %1 ON").arg(c.relay);
    case protocol::RelayOff:
        return QStringLiteral("Switch relay %1 OFF").arg(c.relay);
    case protocol::RelayCycle:
        return QStringLiteral("Switch relay %1 off and back ON after %2 s").arg(c.relay).arg(c.seconds);
    }
    return {};
}

struct Plan
{
    QString question; // without the count and group
    fleet::FleetOperation::Job job;
    bool changesUnits = true;
};

} // namespace

int runFleetOperation(const Command& c, stations::StationStore& store, QTextStream& out, QTextStream& err,
                      const CliEnvironment& environment)
{
    const QString word = commandLabel(c.kind);
    const auto refuse = [&](const QString& message) {
        err << "kestavo-cli: " << word << ": " << message << '\n';
        err.flush();
        return int(ExitUsage);
    };

    // The stations, in directory order for a tag and in the order given for a list.
    QStringList addresses;
    if (!c.tagFilter.isEmpty()) {
        addresses = store.addressesWithTag(c.tagFilter);
        if (addresses.isEmpty())
            return refuse(QStringLiteral("no station has the tag %1; nothing was sent").arg(c.tagFilter));
    } else {
        addresses = c.stationList;
    }
    QList<fleet::OperationTarget> targets;
    for (const QString& address : addresses) {
        const int position = store.findAddress(address);
        if (position < 0)
            return refuse(QStringLiteral("%1 is not in the station database \"%2\"; nothing was sent")
                              .arg(address, store.path()));
        const QString entry = store.entryAt(position);
        const QString password = c.options.password
                                     ? stations::padPassword(*c.options.password)
                                     : store.valueAt(position, QStringLiteral("password")).toString();
        targets << fleet::OperationTarget{address,
                                          entry.mid(stations::kAddressWidth + stations::kEntryGap).trimmed(),
                                          password.toLatin1().toStdString(), quint16(c.options.port)};
    }

    Plan plan;
    switch (c.kind) {
    case CommandKind::RelayTag:
        plan.question = relayActionText(c);
        plan.job = [relay = c.relay, action = c.relayAction,
                    seconds = c.seconds](backup::UnitExchange& x, const fleet::OperationTarget&) {
            return fleet::switchRelay(x, relay, action, seconds);
        };
        break;
    case CommandKind::ScriptRunTag:
        plan.question = QStringLiteral("Run the relay script in slot %1").arg(c.slot);
        plan.job = [slot = c.slot](backup::UnitExchange& x, const fleet::OperationTarget&) {
            return fleet::runScript(x, slot);
        };
        break;
    default: {
        const text::BoundedRead file = text::readBoundedFile(c.file, backup::kMaxDocumentBytes);
        if (!file.ok)
            return refuse(QStringLiteral("%1 Nothing was sent.").arg(file.error));
        auto parsed = backup::fromDocument(file.bytes);
        if (const auto* error = std::get_if<QString>(&parsed))
            return refuse(QStringLiteral("\"%1\" is refused: %2; nothing was sent").arg(c.file, *error));
        auto rollout = std::make_shared<fleet::RolloutPlan>();
        rollout->file = std::get<backup::UnitConfig>(std::move(parsed));
        rollout->dryRun = c.dryRun;
        QStringList names;
        for (const QString& name : c.only) {
            if (const auto group = backup::groupFromName(name))
                rollout->groups << *group;
        }
        if (rollout->groups.isEmpty())
            rollout->groups = backup::defaultGroups();
        for (const backup::Group group : rollout->groups)
            names << backup::groupName(group);
        plan.question = QStringLiteral("Roll out %1 (%2)").arg(c.file, names.join(QStringLiteral(", ")));
        plan.changesUnits = !c.dryRun;
        plan.job = [rollout](backup::UnitExchange& x, const fleet::OperationTarget&) {
            return fleet::rolloutUnit(x, *rollout);
        };
        break;
    }
    }

    // One question for the whole group; with nobody to ask, nothing goes out.
    const QString question =
        QStringLiteral("%1 at %2 (%3)?").arg(plan.question, stationCount(targets.size()), groupText(c));
    if (plan.changesUnits && !c.yes) {
        if (!environment.confirm)
            return refuse(QStringLiteral("%1 Nobody to ask: give --yes; nothing was sent").arg(question));
        if (!environment.confirm(question + QStringLiteral(" [y/N] ")))
            return refuse(QStringLiteral("cancelled; nothing was sent"));
    }

    fleet::FleetOperation::Options options;
    options.parallel = c.parallel;
    options.maxFailures = c.maxFailures;
    options.timing = backup::Timing{c.options.timeoutMs, environment.verifyPollMs};
    fleet::FleetOperation operation(options);

    // Every unit-changing frame becomes an audit record with the unit's answer, as for one unit.
    history::AuditLog auditLog;
    std::unique_ptr<alarms::AuditRecorder> recorder;
    if (plan.changesUnits) {
        const QString path = historyPath(c, environment);
        if (!auditLog.open(path))
            err << "kestavo-cli: the audit log cannot be written, so this command goes unrecorded: "
                << auditLog.error() << '\n';
        alarms::AuditRecorder::Options auditOptions;
        auditOptions.program = QStringLiteral("CLI");
        auditOptions.answerTimeoutMs = c.options.timeoutMs;
        auditOptions.clock = [&environment] {
            return environment.now().toMSecsSinceEpoch();
        };
        recorder =
            std::make_unique<alarms::AuditRecorder>(auditLog.isOpen() ? &auditLog : nullptr, auditOptions);
        QObject::connect(
            &operation, &fleet::FleetOperation::frameSent, recorder.get(),
            [&recorder](const QString& address, const QString& description, const QByteArray& frame) {
                recorder->frameSent(address, description, frame);
            });
        QObject::connect(&operation, &fleet::FleetOperation::replyReceived, recorder.get(),
                         [&recorder](const QString& address, const QByteArray& datagram) {
                             recorder->replyReceived(address, datagram);
                         });
    }

    const bool json = c.options.format == OutputFormat::Json;
    QObject::connect(
        &operation, &fleet::FleetOperation::unitFinished, &operation,
        [&](int index, const UnitOutcome& outcome) {
            const fleet::OperationTarget& t = targets.at(index);
            if (json) {
                out << QString::fromUtf8(
                           QJsonDocument(
                               QJsonObject{{QStringLiteral("command"), word},
                                           {QStringLiteral("unit"), t.address},
                                           {QStringLiteral("description"), t.description},
                                           {QStringLiteral("result"), UnitOutcome::word(outcome.result)},
                                           {QStringLiteral("ok"), !outcome.failed()},
                                           {QStringLiteral("message"), outcome.text}})
                               .toJson(QJsonDocument::Compact))
                    << '\n';
            } else {
                // A unit that did it says what it did; the others say how it ended first.
                const QString result = UnitOutcome::word(outcome.result);
                QString said = outcome.text;
                if (outcome.result != UnitOutcome::Result::Done || said.isEmpty())
                    said = said.isEmpty() || said == result ? result : result + QStringLiteral(": ") + said;
                out << t.address << "  " << (t.description.isEmpty() ? QStringLiteral("-") : t.description)
                    << "  " << said << '\n';
            }
            out.flush();
        });

    InterruptGuard guard;
    QTimer interruptWatch;
    QObject::connect(&interruptWatch, &QTimer::timeout, &operation, [&operation] {
        if (g_interrupted)
            operation.stop();
    });
    interruptWatch.start(50);
    const fleet::FleetOperation::Summary summary = operation.run(targets, plan.job);
    interruptWatch.stop();
    if (recorder)
        recorder->finish();

    QStringList parts;
    parts << stationCount(targets.size());
    if (summary.done > 0)
        parts << QStringLiteral("%1 %2")
                     .arg(summary.done)
                     .arg(c.kind == CommandKind::Rollout ? QStringLiteral("written")
                                                         : QStringLiteral("done"));
    if (summary.equal > 0)
        parts << QStringLiteral("%1 equal").arg(summary.equal);
    if (summary.differs > 0)
        parts << QStringLiteral("%1 differ").arg(summary.differs);
    if (summary.failed > 0)
        parts << QStringLiteral("%1 failed").arg(summary.failed);
    if (summary.notStarted > 0)
        parts << QStringLiteral("%1 not started (%2)")
                     .arg(summary.notStarted)
                     .arg(summary.stopped ? QStringLiteral("stopped")
                                          : QStringLiteral("after %1 failure(s)").arg(summary.failed));
    const QString line = parts.join(QStringLiteral(", "));
    if (json) {
        out << QString::fromUtf8(
                   QJsonDocument(QJsonObject{{QStringLiteral("command"), word},
                                             {QStringLiteral("ok"), summary.complete()},
                                             {QStringLiteral("summary"), line},
                                             {QStringLiteral("done"), summary.done},
                                             {QStringLiteral("equal"), summary.equal},
                                             {QStringLiteral("differ"), summary.differs},
                                             {QStringLiteral("failed"), summary.failed},
                                             {QStringLiteral("not_started"), summary.notStarted}})
                       .toJson(QJsonDocument::Compact))
            << '\n';
    } else {
        out << line << '\n';
    }
    out.flush();
    return summary.complete() ? ExitDone : ExitRefused;
}

} // namespace kestavo::cli
