#include "backup/configrestore.h"

#include "protocol/codes.h"
#include "protocol/conversions.h"
#include "protocol/frames.h"
#include "protocol/unitrules.h"

namespace kestavo::backup {

namespace p = protocol;
using Outcome = UnitExchange::Outcome;

namespace {

constexpr std::size_t kNameWidth = 20;
constexpr int kMinRelayDelay = 1;
constexpr int kMaxRelayDelay = 60;
// The temperature window's sliders and the CLI's `temp` take whole degrees in this range.
constexpr int kMaxThreshold = 49;
// Acknowledgement kinds of the trigger and switch frames.
constexpr int kAckIo = 6;
constexpr int kAckTemperature = 7;
constexpr int kAckHttp = 8;
constexpr int kAckSnmp = 12;

std::string latin1(const QString& text)
{
    return text.toLatin1().toStdString();
}

std::vector<std::string> stdSteps(const QStringList& steps)
{
    std::vector<std::string> list;
    for (const QString& s : steps)
        list.push_back(s.toStdString());
    return list;
}

int codeOf(int slot)
{
    return slot > 0 ? p::slotCode(slot) : 0;
}

// What the firmware lacks for an item, or empty when it has it.
QString missingFeature(const Change& change, const UnitReadings& unit)
{
    const long long revision = unit.report.revision;
    switch (change.item) {
    case Change::Item::StationName:
        return revision < p::kScriptsRevision ? QStringLiteral("no station name setting") : QString();
    case Change::Item::RelayScript:
        return revision < p::kScriptsRevision ? QStringLiteral("no relay scripts") : QString();
    case Change::Item::IoTrigger:
    case Change::Item::TemperatureTrigger:
        return revision < p::kScriptsRevision ? QStringLiteral("no triggers") : QString();
    case Change::Item::Http:
        return revision < p::kHttpRevision ? QStringLiteral("no status web page switch") : QString();
    case Change::Item::Snmp:
        return revision < p::kSnmpRevision ? QStringLiteral("no SNMP switch") : QString();
    case Change::Item::BoardScript:
        return revision < p::kBoardRevision || !unit.boardListing ? QStringLiteral("no daughter boards")
                                                                  : QString();
    case Change::Item::RelayDelay:
    case Change::Item::AllowedIp:
        break;
    }
    return QString();
}

class Restorer
{
public:
    // What the unit holds is compared before a restore starts; the steps need only the file.
    Restorer(UnitExchange& exchange, [[maybe_unused]] const UnitReadings& unit, const UnitConfig& file)
        : m_x(exchange), m_file(file)
    {
    }

    // Empty when written and checked, otherwise why not.
    QString write(const Change& change)
    {
        switch (change.item) {
        case Change::Item::StationName:
            return stationName();
        case Change::Item::RelayScript:
            return relayScript(change.index);
        case Change::Item::BoardScript:
            return boardScript(change.index);
        case Change::Item::IoTrigger:
            return ioTrigger(change.index);
        case Change::Item::TemperatureTrigger:
            return temperature();
        case Change::Item::Http:
            return featureSwitch(p::httpFrame(*m_file.httpOn ? 0 : 1, pw()), kAckHttp,
                                 [on = *m_file.httpOn](const p::StatusReport& r) {
                                     return r.httpState && (*r.httpState == 0) == on;
                                 });
        case Change::Item::Snmp:
            return featureSwitch(p::snmpFrame(*m_file.snmpOn ? 0 : 1, pw()), kAckSnmp,
                                 [on = *m_file.snmpOn](const p::StatusReport& r) {
                                     return r.snmpState && (*r.snmpState == 0) == on;
                                 });
        case Change::Item::RelayDelay:
            return relayDelay(change.index);
        case Change::Item::AllowedIp:
            return allowedIp();
        }
        return QString();
    }

private:
    const std::string& pw() const { return m_x.password(); }

    template <typename T>
    QString verified(const UnitExchange::Awaited<T>& got, const QString& what, const QString& still)
    {
        if (got.outcome == Outcome::Got)
            return QString();
        if (got.outcome == Outcome::TimedOut && got.value)
            return QStringLiteral("timed out: the unit still shows %1").arg(still);
        return m_x.describe(got.outcome, what);
    }

    QString statusCheck(const std::function<bool(const p::StatusReport&)>& accepted, const QString& still)
    {
        const auto got =
            m_x.check<p::StatusReport>(p::pollFrame(pw()), true, UnitExchange::decodeStatusReply, accepted);
        return verified(got, QStringLiteral("status report"), still);
    }

    QString stationName()
    {
        const std::string name = latin1(m_file.stationName);
        if (!m_x.transport().send(p::stationNameFrame(name, pw())))
            return m_x.transport().errorString();
        const std::string wanted = p::padField(name, kNameWidth);
        return statusCheck([&](const p::StatusReport& r) { return r.stationNameRaw == wanted; },
                           QStringLiteral("the old station name"));
    }

    QString relayScript(int slot)
    {
        const ScriptSlot& s = m_file.relayScripts[std::size_t(slot - 1)];
        const std::string codeField = p::codeFieldFor(stdSteps(s.steps));
        const std::string description = latin1(s.description);
        if (!m_x.transport().send(p::scriptUploadFrame(p::slotCode(slot), codeField, description, pw())))
            return m_x.transport().errorString();
        const p::SlotEntry wanted{p::padField(codeField), p::padField(description)};
        const auto got = m_x.check<p::SlotTable>(
            p::readRequestFrame(pw()), true, UnitExchange::decodeSlotReply, [&](const p::SlotTable& table) {
                const p::SlotEntry& e = table[std::size_t(slot - 1)];
                return e.codeField == wanted.codeField && e.description == wanted.description;
            });
        return verified(got, QStringLiteral("slot table"),
                        QStringLiteral("other contents in slot %1").arg(slot));
    }

    QString boardScript(int slot)
    {
        const ScriptSlot& s = (*m_file.boardScripts)[std::size_t(slot - 1)];
        const auto codes = p::boardCodesFor(stdSteps(s.steps));
        const std::string description = latin1(s.description);
        if (!m_x.transport().send(p::boardUploadFrame(p::boardSlotCode(slot), description, codes, pw())))
            return m_x.transport().errorString();
        const auto index = std::size_t(slot - 1);
        const std::string field = p::padField(description);
        const auto listing = m_x.check<std::array<std::string, 16>>(
            p::boardListingFrame(pw()), true, UnitExchange::decodeListingReply,
            [&](const std::array<std::string, 16>& d) { return d[index] == field; });
        if (QString why = verified(listing, QStringLiteral("board slot listing"),
                                   QStringLiteral("another description in board slot %1").arg(slot));
            !why.isEmpty())
            return why;
        const auto contents =
            m_x.check<p::BoardCodes>(p::boardContentsFrame(pw()), true, UnitExchange::decodeContentsReply,
                                     [&](const p::BoardCodes& c) { return c[index] == codes; });
        return verified(contents, QStringLiteral("board slot contents"),
                        QStringLiteral("other steps in board slot %1").arg(slot));
    }

    QString acknowledged(const std::string& frame, int kind)
    {
        const auto got = m_x.acknowledged(frame, kind);
        return got.outcome == Outcome::Got ? QString()
                                           : m_x.describe(got.outcome, QStringLiteral("acknowledgement"));
    }

    QString ioTrigger(int box)
    {
        const IoTrigger& t = m_file.ioTriggers[std::size_t(box - 1)];
        const int action = t.active ? 1 : 0;
        const int code0 = t.active ? codeOf(t.slotFor0) : 0;
        const int code1 = t.active ? codeOf(t.slotFor1) : 0;
        if (QString why = acknowledged(p::ioTriggerFrame(box - 1, action, code0, code1, pw()), kAckIo);
            !why.isEmpty())
            return why;
        const auto first = std::size_t(box - 1) * 3;
        return statusCheck(
            [&](const p::StatusReport& r) {
                return r.ioSettings[first] == action && r.ioSettings[first + 1] == code0 &&
                       r.ioSettings[first + 2] == code1;
            },
            QStringLiteral("the old setting"));
    }

    QString temperature()
    {
        const TemperatureTrigger& t = m_file.temperature;
        const std::array<int, 5> wanted{t.active ? 1 : 0, t.active ? codeOf(t.upperSlot) : 0,
                                        t.active ? codeOf(t.lowerSlot) : 0, t.upper, t.lower};
        if (QString why = acknowledged(
                p::temperatureTriggerFrame(wanted[0], wanted[1], wanted[2], wanted[3], wanted[4], pw()),
                kAckTemperature);
            !why.isEmpty())
            return why;
        return statusCheck(
            [&](const p::StatusReport& r) {
                for (std::size_t i = 0; i < wanted.size(); ++i) {
                    if (r.temperatureSetting[i] != wanted[i])
                        return false;
                }
                return true;
            },
            QStringLiteral("the old setting"));
    }

    QString featureSwitch(const std::string& frame, int kind,
                          const std::function<bool(const p::StatusReport&)>& done)
    {
        if (QString why = acknowledged(frame, kind); !why.isEmpty())
            return why;
        return statusCheck(done, QStringLiteral("the old setting"));
    }

    QString relayDelay(int relay)
    {
        const int delay = m_file.relayDelays[std::size_t(relay - 1)];
        if (!m_x.transport().send(p::relayCycleFrame(relay, delay, pw())))
            return m_x.transport().errorString();
        return statusCheck(
            [&](const p::StatusReport& r) { return r.relayDelays[std::size_t(relay - 1)] == delay; },
            QStringLiteral("the old delay"));
    }

    QString allowedIp()
    {
        // The answer is a status report whose position 13 carries the result.
        const UnitExchange::Decoder<QByteArray> head =
            [](std::string_view reply, const p::Classification& c) -> std::optional<QByteArray> {
            if (c.cls != p::ReplyClass::StatusReport || reply.size() < p::kAdminIpResultPosition)
                return std::nullopt;
            return QByteArray(reply.data(), qsizetype(reply.size()));
        };
        const bool only = m_file.onlyListed;
        const auto got = m_x.request(p::allowedIpFrame(only, m_file.allowedOctets, pw()), head);
        if (got.outcome != Outcome::Got)
            return m_x.describe(got.outcome, QStringLiteral("answer to the allowed-IP change"));
        if (got.value->at(qsizetype(p::kAdminIpResultPosition - 1)) != 0)
            return QStringLiteral("the unit kept its allowed-IP rule: IP Status change error... re-try");
        return statusCheck(
            [&](const p::StatusReport& r) {
                if (r.allowedRule != (only ? 1 : 0))
                    return false;
                for (std::size_t i = 0; only && i < r.allowedOctets.size(); ++i) {
                    if (r.allowedOctets[i] != m_file.allowedOctets[i])
                        return false;
                }
                return true;
            },
            QStringLiteral("the old list"));
    }

    UnitExchange& m_x;
    const UnitConfig& m_file;
};

} // namespace

std::variant<UnitReadings, QString> readUnit(UnitExchange& exchange)
{
    UnitReadings readings;
    const auto status = exchange.status();
    if (status.outcome != Outcome::Got)
        return exchange.describe(status.outcome, QStringLiteral("status report"));
    readings.report = *status.value;
    const long long revision = readings.report.revision;
    if (revision >= p::kScriptsRevision) {
        const auto table = exchange.slotTable();
        if (table.outcome != Outcome::Got)
            return exchange.describe(table.outcome, QStringLiteral("slot table"));
        readings.slotTable = *table.value;
    }
    if (revision >= p::kBoardRevision && readings.report.boardPresence) {
        const auto listing = exchange.boardListing();
        if (listing.outcome != Outcome::Got)
            return exchange.describe(listing.outcome, QStringLiteral("board slot listing"));
        const auto contents = exchange.boardContents();
        if (contents.outcome != Outcome::Got)
            return exchange.describe(contents.outcome, QStringLiteral("board slot contents"));
        readings.boardListing = *listing.value;
        readings.boardContents = *contents.value;
    }
    return readings;
}

Preflight preflight(const UnitReadings& unit, const UnitConfig& file, const QList<Change>& chosen,
                    std::optional<std::uint32_t> local)
{
    Preflight result;
    const auto refuse = [&result](const QString& why) {
        result.refusal = why;
        return result;
    };
    const auto warnEmpty = [&result](const QString& label, int slot) {
        result.warnings << QStringLiteral("%1: slot %2 will hold no relay script; the trigger is written as "
                                          "the file has it and does nothing until slot %2 holds one")
                               .arg(label)
                               .arg(slot);
    };
    // The slot table as it will be once the chosen relay scripts are written.
    std::array<bool, 8> holdsScript{};
    for (std::size_t s = 0; s < holdsScript.size(); ++s)
        holdsScript[s] = !p::trimSpaces(unit.slotTable[s].codeField).empty();
    for (const Change& c : chosen) {
        if (c.item == Change::Item::RelayScript && missingFeature(c, unit).isEmpty())
            holdsScript[std::size_t(c.index - 1)] =
                !file.relayScripts[std::size_t(c.index - 1)].steps.isEmpty();
    }
    auto emptySlot = [&](int slot) {
        return slot < 1 || !holdsScript[std::size_t(slot - 1)];
    };

    for (const Change& c : chosen) {
        if (!missingFeature(c, unit).isEmpty())
            continue;
        const QString label = c.label();
        switch (c.item) {
        case Change::Item::IoTrigger: {
            const IoTrigger& t = file.ioTriggers[std::size_t(c.index - 1)];
            for (const int slot : {t.slotFor0, t.slotFor1}) {
                if (t.active && emptySlot(slot))
                    warnEmpty(label, slot);
            }
            break;
        }
        case Change::Item::TemperatureTrigger: {
            const TemperatureTrigger& t = file.temperature;
            if (t.upper > kMaxThreshold || t.lower > kMaxThreshold)
                return refuse(
                    QStringLiteral(
                        "%1: thresholds of %2 and %3 \u00B0C cannot be set; they are 0 to %4 \u00B0C")
                        .arg(label)
                        .arg(t.upper)
                        .arg(t.lower)
                        .arg(kMaxThreshold));
            if (!t.active)
                break;
            for (const int slot : {t.upperSlot, t.lowerSlot}) {
                if (emptySlot(slot))
                    warnEmpty(label, slot);
            }
            if (t.upper == t.lower)
                return refuse(label +
                              QStringLiteral(": There should be at least one degree difference between "
                                             "the two temperature thresholds !"));
            if (t.upper < t.lower)
                return refuse(label +
                              QStringLiteral(": The top slider should be GREATER than the bottom slider !"));
            break;
        }
        case Change::Item::RelayDelay: {
            const int delay = file.relayDelays[std::size_t(c.index - 1)];
            if (delay < kMinRelayDelay || delay > kMaxRelayDelay)
                return refuse(QStringLiteral("%1: %2 s cannot be set; a relay delay is %3 to %4 s")
                                  .arg(label)
                                  .arg(delay)
                                  .arg(kMinRelayDelay)
                                  .arg(kMaxRelayDelay));
            break;
        }
        case Change::Item::AllowedIp:
            if (file.onlyListed && !(local && p::listsAddress(file.allowedOctets, *local))) {
                const QString self = local ? QStringLiteral("%1.%2.%3.%4")
                                                 .arg(*local >> 24)
                                                 .arg(*local >> 16 & 0xFF)
                                                 .arg(*local >> 8 & 0xFF)
                                                 .arg(*local & 0xFF)
                                           : QStringLiteral("an address that could not be read");
                return refuse(
                    QStringLiteral(
                        "%1: this computer reaches the unit from %2, which is not one of the five "
                        "allowed IP numbers in the file; once the unit took this list it would stop "
                        "answering this computer (add this computer to the list in the file, or "
                        "leave security out of the restore)")
                        .arg(label, self));
            }
            break;
        default:
            break;
        }
    }
    return result;
}

QString RestoreResult::summary() const
{
    QStringList parts;
    if (!failure.isEmpty())
        parts << QStringLiteral("Stopped: %1.").arg(failure);
    parts << QStringLiteral("Written: %1.")
                 .arg(written.isEmpty() ? QStringLiteral("nothing") : written.join(QStringLiteral(", ")));
    if (!notWritten.isEmpty())
        parts << QStringLiteral("Not written: %1.").arg(notWritten.join(QStringLiteral(", ")));
    if (!skipped.isEmpty())
        parts << QStringLiteral("Skipped: %1.").arg(skipped.join(QStringLiteral("; ")));
    return parts.join(u' ');
}

RestoreResult restoreChanges(UnitExchange& exchange, const UnitReadings& unit, const UnitConfig& file,
                             const QList<Change>& chosen, const std::function<void(const QString&)>& progress)
{
    RestoreResult result;
    Restorer restorer(exchange, unit, file);
    for (qsizetype i = 0; i < chosen.size(); ++i) {
        const Change& c = chosen[i];
        if (const QString missing = missingFeature(c, unit); !missing.isEmpty()) {
            const QString line =
                QStringLiteral("%1: skipped, firmware %2 has %3")
                    .arg(c.label(), QString::fromStdString(p::revisionDotted(unit.report.revisionBytes)),
                         missing);
            result.skipped << line;
            if (progress)
                progress(line);
            continue;
        }
        if (const QString why = restorer.write(c); !why.isEmpty()) {
            result.failure = QStringLiteral("%1: %2").arg(c.label(), why);
            for (qsizetype k = i; k < chosen.size(); ++k)
                result.notWritten << chosen[k].label();
            return result;
        }
        result.written << c.label();
        if (progress)
            progress(QStringLiteral("%1: written").arg(c.label()));
    }
    return result;
}

} // namespace kestavo::backup
