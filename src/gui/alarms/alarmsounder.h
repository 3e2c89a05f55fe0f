#pragma once

// The alarm sounds: "siren.wav" while a high-priority alarm waits for acknowledgement,
// "burgular2.wav" while an I/O-pin alarm does, each replayed every few seconds (the sound tick
// of the old sound timers) until acknowledged or muted.

#include <functional>
#include <utility>

#include <QObject>
#include <QString>
#include <QTimer>

namespace kestavo::platform {
class SoundPlayer;
}

namespace kestavo::alarms {
class AlarmEngine;
}

namespace kestavo::alarmwindows {

class AlarmSounder final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlarmSounder)

public:
    /// Either player may be null (no sound device).
    AlarmSounder(alarms::AlarmEngine& engine, platform::SoundPlayer* siren, platform::SoundPlayer* ioSound,
                 int repeatMs = 3000, QObject* parent = nullptr);

    void setMuted(bool muted);
    bool isMuted() const { return m_muted; }
    bool sirenSounding() const { return m_sirenTimer.isActive(); }
    bool ioSoundSounding() const { return m_ioTimer.isActive(); }

    /// Starts or stops each sound from the engine's open alarms.
    void update();
    /// Alarms of the stations this answers true for (in maintenance) make no sound.
    void setSuppressed(std::function<bool(const QString& address)> suppressed)
    {
        m_suppressed = std::move(suppressed);
    }

    /// Why alarms make no sound whatever happens (no sound device), for the Alarms window and the
    /// status bar; empty while they can sound. The probe asks the system once, when first needed
    /// (the first alarm to sound, or the Alarms window): asking loads the sound back end, which
    /// start-up does not need.
    void setSilenceProbe(std::function<QString()> probe) { m_probe = std::move(probe); }
    void setSilentReason(const QString& reason);
    QString silentReason();
    /// "No sound device: alarms are silent".
    static QString noDeviceText();

Q_SIGNALS:
    void mutedChanged(bool muted);
    /// The probe found that alarms are silent.
    void silenced(const QString& reason);

private:
    void drive(QTimer& timer, platform::SoundPlayer* player, bool wanted);

    alarms::AlarmEngine& m_engine;
    platform::SoundPlayer* m_siren;
    platform::SoundPlayer* m_ioSound;
    QTimer m_sirenTimer;
    QTimer m_ioTimer;
    bool m_muted = false;
    QString m_silentReason;
    std::function<QString()> m_probe; // run once, then dropped
    std::function<bool(const QString& address)> m_suppressed;
};

} // namespace kestavo::alarmwindows
