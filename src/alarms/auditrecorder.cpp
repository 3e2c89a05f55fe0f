#include "alarms/auditrecorder.h"

#include <QDateTime>
#include <QTimer>

namespace kestavo::alarms {

namespace {
QString fromStd(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}
} // namespace

AuditRecorder::AuditRecorder(history::AuditLog* log, const Options& options, QObject* parent)
    : QObject(parent), m_log(log), m_options(options)
{
}

AuditRecorder::~AuditRecorder()
{
    finish();
}

qint64 AuditRecorder::now() const
{
    return m_options.clock ? m_options.clock() : QDateTime::currentMSecsSinceEpoch();
}

void AuditRecorder::frameSent(const QString& address, const QString& description, const QByteArray& frame)
{
    const auto command =
        protocol::describeCommand(std::string_view(frame.constData(), std::size_t(frame.size())));
    if (!command)
        return;
    history::AuditRecord record;
    record.utcMs = now();
    record.user = m_options.user;
    record.host = m_options.host;
    record.program = m_options.program;
    record.address = address;
    record.description = description;
    record.action = fromStd(command->text);
    if (!command->answered) {
        // The console sends the MAC frame twice in a row: one request, one record.
        if (m_lastUnanswered.first == address && m_lastUnanswered.second == frame)
            return;
        m_lastUnanswered = {address, frame};
        record.outcome = QStringLiteral("sent");
        record.detail = QStringLiteral("the unit does not answer this command");
        write(record);
        return;
    }
    const quint64 serial = ++m_serial;
    m_pending.push_back(Pending{serial, *command, record});
    QTimer::singleShot(m_options.answerTimeoutMs, this,
                       [this, serial] { resolve(serial, QStringLiteral("no answer"), {}); });
}

void AuditRecorder::replyReceived(const QString& address, const QByteArray& reply)
{
    m_lastUnanswered = {};
    const std::string_view bytes(reply.constData(), std::size_t(reply.size()));
    for (const Pending& pending : m_pending) {
        if (pending.record.address != address)
            continue;
        if (const auto verdict = protocol::judgeReply(pending.command, bytes)) {
            resolve(pending.serial,
                    verdict->accepted ? QStringLiteral("acknowledged") : QStringLiteral("refused"),
                    fromStd(verdict->text));
            return;
        }
    }
}

void AuditRecorder::finish()
{
    while (!m_pending.empty())
        resolve(m_pending.front().serial, QStringLiteral("no answer"), {});
}

void AuditRecorder::finishUnverified()
{
    while (!m_pending.empty())
        resolve(m_pending.front().serial, QStringLiteral("sent"), QStringLiteral("not verified"));
}

void AuditRecorder::resolve(quint64 serial, const QString& outcome, const QString& detail)
{
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        if (it->serial != serial)
            continue;
        history::AuditRecord record = it->record;
        m_pending.erase(it);
        record.outcome = outcome;
        record.detail = detail;
        write(record);
        return;
    }
}

void AuditRecorder::write(history::AuditRecord record)
{
    if (m_log && m_log->isOpen())
        m_log->append(record);
    Q_EMIT recorded(record);
}

} // namespace kestavo::alarms
