#include "gui/fleet/fleetbulkcommand.h"

#include "protocol/frames.h"

#include "stations/stationformat.h"

#include "alarms/auditrecorder.h"
#include "fleet/fleetpoller.h"
#include "fleet/unitjobs.h"
#include "gui/fleet/fleetmodel.h"
#include "platform/prompter.h"

namespace kestavo::fleetui {

namespace {

using fleet::UnitOutcome;
using Kind = FleetBulkCommand::Action::Kind;

QString actionText(const FleetBulkCommand::Action& action)
{
    switch (action.kind) {
    case Kind::RelayOn:
        return FleetBulkCommand::tr("Switch relay %1 ON").arg(action.relay);
    case Kind::RelayOff:
        return FleetBulkCommand::tr("Switch relay %1 OFF").arg(action.relay);
    case Kind::RelayPulse:
        return FleetBulkCommand::tr("Switch relay %1 off and back ON after %2 s")
            .arg(action.relay)
            .arg(action.seconds);
    case Kind::Script:
        return FleetBulkCommand::tr("Run the relay script in slot %1").arg(action.slot);
    }
    return {};
}

// A stored password of fill characters only is one nobody typed: the unit's is not known.
bool passwordKnown(const QString& stored)
{
    for (const QChar c : stored) {
        if (c != stations::kPasswordFill)
            return true;
    }
    return false;
}

} // namespace

FleetBulkCommand::FleetBulkCommand(FleetModel& model, platform::Prompter& prompter, QObject* parent)
    : QObject(parent), m_model(model), m_prompter(prompter)
{
}

FleetBulkCommand::~FleetBulkCommand() = default;

QString FleetBulkCommand::question(const Action& action, int count, const QString& group)
{
    if (group.isEmpty())
        return count == 1 ? tr("%1 at 1 selected station?").arg(actionText(action))
                          : tr("%1 at %2 selected stations?").arg(actionText(action)).arg(count);
    return count == 1 ? tr("%1 at 1 station (%2)?").arg(actionText(action), group)
                      : tr("%1 at %2 stations (%3)?").arg(actionText(action)).arg(count).arg(group);
}

bool FleetBulkCommand::isRunning() const
{
    return m_operation && m_operation->isRunning();
}

void FleetBulkCommand::stop()
{
    if (m_operation)
        m_operation->stop();
}

bool FleetBulkCommand::start(const Action& action, const Scope& scope)
{
    if (isRunning())
        return false;
    const fleet::FleetPoller& poller = m_model.poller();
    QList<fleet::OperationTarget> targets;
    QList<QPair<QString, QString>> leftOut; // address, why
    for (const int unit : scope.units) {
        if (unit < 0 || unit >= poller.count())
            continue;
        const fleet::FleetStation& station = poller.unit(unit).station;
        if (!poller.unit(unit).invalidReason.isEmpty())
            leftOut.append({station.address, tr("not sent: %1").arg(poller.unit(unit).invalidReason)});
        else if (!passwordKnown(station.password))
            leftOut.append({station.address, tr("not sent: no password is stored for this station")});
        else
            targets << fleet::OperationTarget{station.address, station.description,
                                              station.password.toLatin1().toStdString(), poller.unitPort()};
    }
    if (targets.isEmpty() && leftOut.isEmpty())
        return false;

    const auto markLeftOut = [&] {
        for (const auto& [address, why] : leftOut)
            m_model.setCommandOutcome(address, why);
    };
    if (targets.isEmpty()) {
        markLeftOut();
        m_prompter.tell(leftOut.size() == 1
                            ? tr("The station cannot be sent to (see its row); nothing was sent.")
                            : tr("None of the %1 stations can be sent to (see their rows); nothing was sent.")
                                  .arg(leftOut.size()));
        return false;
    }
    QString text = question(action, int(targets.size()), scope.group);
    if (!leftOut.isEmpty())
        text += leftOut.size() == 1
                    ? tr("\n1 more station is left out: it has no password stored or no valid "
                         "address.")
                    : tr("\n%1 more stations are left out: they have no password stored or no "
                         "valid address.")
                          .arg(leftOut.size());
    if (!m_prompter.confirmOurs(text))
        return false;

    m_model.clearCommandOutcomes();
    markLeftOut();
    for (const fleet::OperationTarget& target : targets)
        m_model.setCommandOutcome(target.address, tr("waiting"));
    m_targets = targets;
    m_finished = m_done = m_failed = 0;

    fleet::FleetOperation::Options options = m_options;
    // Each unit on its own: one that does not answer stops nobody else's switch.
    options.maxFailures = 0;
    m_operation = std::make_unique<fleet::FleetOperation>(options);
    if (m_recorder) {
        connect(m_operation.get(), &fleet::FleetOperation::frameSent, m_recorder,
                &alarms::AuditRecorder::frameSent);
        connect(m_operation.get(), &fleet::FleetOperation::replyReceived, m_recorder,
                &alarms::AuditRecorder::replyReceived);
    }
    connect(m_operation.get(), &fleet::FleetOperation::unitStarted, this,
            [this](int index) { m_model.setCommandOutcome(m_targets.at(index).address, tr("sending…")); });
    connect(m_operation.get(), &fleet::FleetOperation::unitFinished, this,
            [this](int index, const UnitOutcome& outcome) {
                ++m_finished;
                if (outcome.failed())
                    ++m_failed;
                else
                    ++m_done;
                const QString word = UnitOutcome::word(outcome.result);
                const QString said = outcome.result == UnitOutcome::Result::Done && !outcome.text.isEmpty()
                                         ? outcome.text
                                     : outcome.text.isEmpty() || outcome.text == word
                                         ? word
                                         : word + QStringLiteral(": ") + outcome.text;
                m_model.setCommandOutcome(m_targets.at(index).address, said);
                report();
            });
    connect(m_operation.get(), &fleet::FleetOperation::finished, this,
            [this](const fleet::FleetOperation::Summary& summary) {
                if (summary.notStarted > 0) {
                    // Rows still waiting were never started: say so rather than "waiting" forever.
                    for (const fleet::OperationTarget& target : std::as_const(m_targets)) {
                        const int row = m_model.poller().indexOf(target.address);
                        if (row >= 0 &&
                            m_model.data(m_model.index(row, FleetModel::Command)).toString() == tr("waiting"))
                            m_model.setCommandOutcome(target.address, tr("not started (stopped)"));
                    }
                }
                m_model.flush();
                report();
                Q_EMIT finished(summary);
            });

    const Action chosen = action;
    m_operation->start(targets, [chosen](backup::UnitExchange& x, const fleet::OperationTarget&) {
        switch (chosen.kind) {
        case Kind::RelayOn:
            return fleet::switchRelay(x, chosen.relay, protocol::RelayOn, 0);
        case Kind::RelayOff:
            return fleet::switchRelay(x, chosen.relay, protocol::RelayOff, 0);
        case Kind::RelayPulse:
            return fleet::switchRelay(x, chosen.relay, protocol::RelayCycle, chosen.seconds);
        case Kind::Script:
            break;
        }
        return fleet::runScript(x, chosen.slot);
    });
    m_model.flush();
    report();
    return true;
}

void FleetBulkCommand::report()
{
    QString text = tr("%1 of %2 stations: %3 done, %4 failed")
                       .arg(m_finished)
                       .arg(m_targets.size())
                       .arg(m_done)
                       .arg(m_failed);
    if (!isRunning() && m_finished < m_targets.size())
        text += tr(", %1 not started").arg(m_targets.size() - m_finished);
    Q_EMIT progress(text);
}

} // namespace kestavo::fleetui
