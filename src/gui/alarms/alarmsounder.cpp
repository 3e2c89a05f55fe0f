#include "gui/alarms/alarmsounder.h"

#include <utility>

#include <QCoreApplication>

#include "alarms/alarmengine.h"
#include "platform/soundplayer.h"

namespace kestavo::alarmwindows {

QString AlarmSounder::noDeviceText()
{
    return QCoreApplication::translate("kestavo::alarms", "No sound device: alarms are silent");
}

AlarmSounder::AlarmSounder(alarms::AlarmEngine& engine, platform::SoundPlayer* siren,
                           platform::SoundPlayer* ioSound, int repeatMs, QObject* parent)
    : QObject(parent), m_engine(engine), m_siren(siren), m_ioSound(ioSound)
{
    for (QTimer* timer : {&m_sirenTimer, &m_ioTimer})
        timer->setInterval(repeatMs);
    connect(&m_sirenTimer, &QTimer::timeout, this, [this] { m_siren->replay(); });
    connect(&m_ioTimer, &QTimer::timeout, this, [this] { m_ioSound->replay(); });
    connect(&m_engine, &alarms::AlarmEngine::alarmChanged, this, &AlarmSounder::update);
}

void AlarmSounder::setMuted(bool muted)
{
    if (m_muted == muted)
        return;
    m_muted = muted;
    update();
    Q_EMIT mutedChanged(muted);
}

void AlarmSounder::setSilentReason(const QString& reason)
{
    m_probe = nullptr;
    m_silentReason = reason;
    if (!reason.isEmpty())
        Q_EMIT silenced(reason);
}

QString AlarmSounder::silentReason()
{
    if (m_probe) {
        const auto probe = std::exchange(m_probe, nullptr);
        setSilentReason(probe());
    }
    return m_silentReason;
}

void AlarmSounder::update()
{
    bool siren = false;
    bool io = false;
    for (const history::AlarmRecord& alarm : m_engine.openAlarms()) {
        const bool waiting = alarm.state == history::AlarmState::ActiveUnacknowledged ||
                             alarm.state == history::AlarmState::ClearedUnacknowledged;
        if (!waiting || (m_suppressed && m_suppressed(alarm.address)))
            continue;
        siren = siren || alarm.priority == history::AlarmPriority::High;
        for (const history::AlarmRule& rule : m_engine.rules())
            io = io || (rule.id == alarm.rule && rule.kind == history::AlarmRuleKind::PinIs);
    }
    if (siren || io)
        silentReason(); // the first alarm to sound finds out whether it can
    drive(m_sirenTimer, m_siren, siren && !m_muted);
    drive(m_ioTimer, m_ioSound, io && !m_muted);
}

void AlarmSounder::drive(QTimer& timer, platform::SoundPlayer* player, bool wanted)
{
    if (!player || wanted == timer.isActive())
        return;
    if (wanted) {
        player->replay(); // at once, then on every tick
        timer.start();
    } else {
        timer.stop();
    }
}

} // namespace kestavo::alarmwindows
