#include "fleet/unitjobs.h"

#include <algorithm>

#include "protocol/codes.h"
#include "protocol/conversions.h"
#include "protocol/frames.h"
#include "protocol/reply.h"

#include "backup/configrestore.h"

namespace kestavo::fleet {

namespace p = protocol;
using Outcome = backup::UnitExchange::Outcome;
using Result = UnitOutcome::Result;

namespace {

constexpr int kAckScriptExecuted = 3;

UnitOutcome notGot(const backup::UnitExchange& exchange, Outcome outcome, const QString& what)
{
    return {outcome == Outcome::TimedOut ? Result::NoAnswer : Result::Refused,
            exchange.describe(outcome, what)};
}

// A message of the backup library (read or restore) that ended in a timeout is no answer.
UnitOutcome failure(const QString& text)
{
    return {text.contains(QStringLiteral("timed out: no ")) ? Result::NoAnswer : Result::Refused, text};
}

QString onOff(const std::optional<bool>& on)
{
    return on ? (*on ? QStringLiteral("ON") : QStringLiteral("OFF")) : QStringLiteral("in no known state");
}

} // namespace

UnitOutcome switchRelay(backup::UnitExchange& exchange, int relay, p::RelayAction action, int seconds)
{
    const std::string& pw = exchange.password();
    std::string frame;
    switch (action) {
    case p::RelayOn:
        frame = p::relayOnFrame(relay, pw);
        break;
    case p::RelayOff:
        frame = p::relayOffFrame(relay, pw);
        break;
    case p::RelayCycle:
        frame = p::relayCycleFrame(relay, seconds, pw);
        break;
    }
    if (!exchange.transport().send(frame))
        return {Result::Refused, exchange.transport().errorString()};
    const auto index = std::size_t(relay - 1);
    // An off-then-on shows as OFF, or already back ON with the delay the unit took from the frame.
    const std::function<bool(const p::StatusReport&)> switched = [&](const p::StatusReport& report) {
        const std::optional<bool>& on = report.relayOn[index];
        switch (action) {
        case p::RelayOn:
            return on == true;
        case p::RelayOff:
            return on == false;
        case p::RelayCycle:
            return on == false || (on == true && report.relayDelays[index] == seconds);
        }
        return false;
    };
    const auto got = exchange.check<p::StatusReport>(p::pollFrame(pw), false,
                                                     backup::UnitExchange::decodeStatusReply, switched);
    if (got.outcome == Outcome::TimedOut && got.value)
        return {Result::Refused,
                QStringLiteral("relay %1 did not switch; the unit's last status report shows it %2")
                    .arg(relay)
                    .arg(onOff(got.value->relayOn[index]))};
    if (got.outcome != Outcome::Got)
        return notGot(exchange, got.outcome, QStringLiteral("status report"));
    QString text = QStringLiteral("relay %1 is %2").arg(relay).arg(onOff(got.value->relayOn[index]));
    if (action == p::RelayCycle && got.value->relayOn[index] == false)
        text += QStringLiteral(", back ON in %1 s").arg(seconds);
    return {Result::Done, text};
}

UnitOutcome runScript(backup::UnitExchange& exchange, int slot)
{
    const auto table = exchange.slotTable();
    if (table.outcome != Outcome::Got)
        return notGot(exchange, table.outcome, QStringLiteral("slot table"));
    if (p::slotPreview((*table.value)[std::size_t(slot - 1)].codeField).empty())
        return {Result::Refused,
                QStringLiteral("slot %1 holds no relay script: Make a Script First!").arg(slot)};
    const auto ack = exchange.acknowledged(p::scriptExecuteFrame(p::slotCode(slot), exchange.password()),
                                           kAckScriptExecuted);
    if (ack.outcome != Outcome::Got)
        return notGot(exchange, ack.outcome, QStringLiteral("\"Relay Script Executed !\""));
    return {Result::Done, QStringLiteral("Relay Script Executed ! (slot %1)").arg(slot)};
}

UnitOutcome rolloutUnit(backup::UnitExchange& exchange, const RolloutPlan& plan)
{
    auto read = backup::readUnit(exchange);
    if (const auto* error = std::get_if<QString>(&read))
        return failure(*error);
    const backup::UnitReadings readings = std::get<backup::UnitReadings>(std::move(read));
    const auto differences = [&plan](const backup::UnitReadings& r) {
        return backup::changesIn(backup::compareConfigs(backup::configFromUnit(r, {}, {}, {}), plan.file),
                                 plan.groups);
    };
    const QList<backup::Change> chosen = differences(readings);
    if (chosen.isEmpty())
        return {Result::Equal, QStringLiteral("equal")};
    QStringList labels;
    for (const backup::Change& c : chosen)
        labels << c.label();
    if (plan.dryRun)
        return {Result::Differs, QStringLiteral("would write %1").arg(labels.join(QStringLiteral(", ")))};

    const backup::Preflight checked =
        backup::preflight(readings, plan.file, chosen, exchange.transport().localIpv4());
    if (!checked.refusal.isEmpty())
        return {Result::Refused, checked.refusal + QStringLiteral("; nothing was written")};
    const backup::RestoreResult restored = backup::restoreChanges(exchange, readings, plan.file, chosen);
    if (!restored.ok())
        return failure(restored.summary());

    // Each item was checked as it went; one more read shows nothing else changed it meanwhile.
    auto again = backup::readUnit(exchange);
    if (const auto* error = std::get_if<QString>(&again))
        return failure(QStringLiteral("written, but not read back: %1").arg(*error));
    QStringList still;
    for (const backup::Change& c : differences(std::get<backup::UnitReadings>(again))) {
        const bool skipped =
            std::any_of(restored.skipped.cbegin(), restored.skipped.cend(),
                        [&](const QString& line) { return line.startsWith(c.label() + u':'); });
        if (!skipped)
            still << c.label();
    }
    if (!still.isEmpty())
        return {Result::Refused, QStringLiteral("written, but the unit still differs in %1")
                                     .arg(still.join(QStringLiteral(", ")))};
    QString text = QStringLiteral("written: %1").arg(restored.written.join(QStringLiteral(", ")));
    if (!restored.skipped.isEmpty())
        text += QStringLiteral("; %1").arg(restored.skipped.join(QStringLiteral("; ")));
    for (const QString& warning : checked.warnings)
        text += QStringLiteral("; warning: %1").arg(warning);
    return {Result::Done, text};
}

} // namespace kestavo::fleet
