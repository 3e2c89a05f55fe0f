#pragma once

// Pairs every unit-changing frame a program sends with the unit's answer and writes one audit
// record for it: acknowledged, refused (with the unit's words), or no answer. The program feeds
// it what it sent and what came back; it never sees a password, only the words the protocol
// library reads out of the frame.

#include <deque>
#include <functional>

#include <QByteArray>
#include <QObject>
#include <QString>

#include "protocol/commanddescription.h"

#include "history/auditlog.h"

namespace kestavo::alarms {

class AuditRecorder final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AuditRecorder)

public:
    struct Options
    {
        QString program; // "console", "CLI", "agent"
        QString user = history::AuditLog::localUser();
        QString host = history::AuditLog::localHost();
        int answerTimeoutMs = 3000;    // after this the command is recorded as unanswered
        std::function<qint64()> clock; // UTC ms; the system clock when empty
    };

    /// `log` may be null (nothing is written, recorded() is still emitted); it must outlive this.
    AuditRecorder(history::AuditLog* log, const Options& options, QObject* parent = nullptr);
    ~AuditRecorder() override; // unanswered commands are written as such

    /// A frame went out to the unit at `address` (whose station description is `description`).
    /// Frames that change nothing are ignored.
    void frameSent(const QString& address, const QString& description, const QByteArray& frame);
    /// A datagram came back from the unit at `address`.
    void replyReceived(const QString& address, const QByteArray& reply);
    /// Writes every command still waiting as unanswered.
    void finish();
    /// Writes every command still waiting as "sent", "not verified": the program did not ask the
    /// unit whether it carried them out (--no-verify), so their silence is no failure.
    void finishUnverified();

    int pendingCount() const { return int(m_pending.size()); }

Q_SIGNALS:
    void recorded(const kestavo::history::AuditRecord& record);

private:
    struct Pending
    {
        quint64 serial = 0;
        protocol::CommandDescription command;
        history::AuditRecord record;
    };
    void resolve(quint64 serial, const QString& outcome, const QString& detail);
    void write(history::AuditRecord record);
    qint64 now() const;

    history::AuditLog* m_log;
    Options m_options;
    std::deque<Pending> m_pending;
    quint64 m_serial = 0;
    std::pair<QString, QByteArray> m_lastUnanswered;
};

} // namespace kestavo::alarms
