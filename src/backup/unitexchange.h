#pragma once

// Request and check over a UnitTransport: send a frame, wait for the reply of the wanted kind,
// or ask again until a reply shows a change took. Waiting runs a local event loop inside the
// transport, so a simulated unit in the same thread gets to answer.

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include "protocol/reply.h"

#include "backup/unittransport.h"

namespace kestavo::backup {

struct Timing
{
    int timeoutMs = 2000;   // how long a reply or a change may take
    int verifyPollMs = 250; // while a change is being checked, the unit is asked again this often
};

class UnitExchange
{
public:
    enum class Outcome { Got, Rejected, TimedOut, SendFailed };

    template <typename T> struct Awaited
    {
        Outcome outcome = Outcome::TimedOut;
        std::optional<T> value; // Got: the reply wanted; TimedOut in a check: the last one seen
    };

    template <typename T>
    using Decoder = std::function<std::optional<T>(std::string_view, const protocol::Classification&)>;

    UnitExchange(UnitTransport& transport, std::string password, const Timing& timing);

    const std::string& password() const { return m_password; }
    UnitTransport& transport() { return m_transport; }

    /// The next reply `decode` accepts, skipping others; a rejected password ends the wait.
    template <typename T> Awaited<T> await(const Decoder<T>& decode, int timeoutMs);
    template <typename T> Awaited<T> request(const std::string& frame, const Decoder<T>& decode);
    /// Sends `query` (at once, or only after a first quiet wait when queryFirst is false) and asks
    /// again every verifyPollMs until `accepted` passes or the timeout is over.
    template <typename T>
    Awaited<T> check(const std::string& query, bool queryFirst, const Decoder<T>& decode,
                     const std::function<bool(const T&)>& accepted);

    /// Why the last datagram that could not be used was unusable, for timeout messages; empty when
    /// every one could be read.
    const QString& lastProblem() const { return m_lastProblem; }

    Awaited<protocol::StatusReport> status();
    Awaited<protocol::SlotTable> slotTable();
    Awaited<std::array<std::string, 16>> boardListing();
    Awaited<protocol::BoardCodes> boardContents();
    /// Sends `frame` and waits for acknowledgement `kind`.
    Awaited<int> acknowledged(const std::string& frame, int kind);

    /// A sentence for an outcome other than Got: "timed out: no slot table from the unit within 2000 ms".
    QString describe(Outcome outcome, const QString& what) const;

    static std::optional<protocol::StatusReport> decodeStatusReply(std::string_view reply,
                                                                   const protocol::Classification& c);
    static std::optional<protocol::SlotTable> decodeSlotReply(std::string_view reply,
                                                              const protocol::Classification& c);
    static std::optional<std::array<std::string, 16>> decodeListingReply(std::string_view reply,
                                                                         const protocol::Classification& c);
    static std::optional<protocol::BoardCodes> decodeContentsReply(std::string_view reply,
                                                                   const protocol::Classification& c);

private:
    UnitTransport& m_transport;
    std::string m_password;
    Timing m_timing;
    QString m_lastProblem;
};

template <typename T> UnitExchange::Awaited<T> UnitExchange::await(const Decoder<T>& decode, int timeoutMs)
{
    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
    for (;;) {
        const std::optional<QByteArray> datagram =
            m_transport.receive(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)));
        if (!datagram)
            return {Outcome::TimedOut, std::nullopt};
        const std::string_view reply(datagram->constData(), std::size_t(datagram->size()));
        const auto classified = protocol::classify(reply);
        const auto* c = std::get_if<protocol::Classification>(&classified);
        if (!c) {
            m_lastProblem =
                QStringLiteral("a %1-byte datagram too short to be a reply").arg(datagram->size());
            continue;
        }
        if (!c->passwordAccepted)
            return {Outcome::Rejected, std::nullopt};
        if (std::optional<T> value = decode(reply, *c))
            return {Outcome::Got, std::move(value)};
        if (c->cls == protocol::ReplyClass::StatusReport && !decodeStatusReply(reply, *c))
            m_lastProblem = QStringLiteral("a status report too short for its firmware revision");
    }
}

template <typename T>
UnitExchange::Awaited<T> UnitExchange::request(const std::string& frame, const Decoder<T>& decode)
{
    if (!m_transport.send(frame))
        return {Outcome::SendFailed, std::nullopt};
    return await(decode, m_timing.timeoutMs);
}

template <typename T>
UnitExchange::Awaited<T> UnitExchange::check(const std::string& query, bool queryFirst,
                                             const Decoder<T>& decode,
                                             const std::function<bool(const T&)>& accepted)
{
    const QDeadlineTimer deadline(m_timing.timeoutMs);
    std::optional<T> last;
    bool ask = queryFirst;
    for (;;) {
        if (ask && !m_transport.send(query))
            return {Outcome::SendFailed, last};
        ask = true;
        const QDeadlineTimer slice(std::min<qint64>(deadline.remainingTime(), m_timing.verifyPollMs));
        while (!slice.hasExpired()) {
            Awaited<T> got = await(decode, static_cast<int>(slice.remainingTime()));
            if (got.outcome == Outcome::Rejected)
                return got;
            if (got.outcome != Outcome::Got)
                break;
            if (accepted(*got.value))
                return got;
            last = std::move(got.value);
        }
        if (deadline.hasExpired())
            return {Outcome::TimedOut, last};
    }
}

} // namespace kestavo::backup
