#include "commandrunner.h"

#include <algorithm>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>

#include "protocol/codes.h"
#include "protocol/conversions.h"
#include "protocol/frames.h"
#include "protocol/unitrules.h"

#include "stations/databaselocation.h"
#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "alarms/auditrecorder.h"
#include "backup/unitconfig.h"
#include "cliunittransport.h"
#include "configcommands.h"
#include "fleetcommand.h"
#include "fleetoperationcommand.h"
#include "history/auditlog.h"
#include "history/timetext.h"
#include "historycommands.h"
#include "stationtransfer.h"
#include "storelink/storeconnection.h"
#include "store/teamstations.h"
#include "unitlink.h"
#include "valueparsers.h"

namespace kestavo::cli {

namespace {

namespace p = protocol;

using p::kBoardRevision;
using p::kHttpRevision;
using p::kSnmpRevision;
constexpr std::uint8_t kBoardFitted = 255;
constexpr std::size_t kStationNameWidth = 20;

std::string latin1(const QString& text)
{
    return text.toLatin1().toStdString();
}

std::string_view view(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

int byteAt(std::string_view reply, std::size_t position)
{
    return position <= reply.size() ? static_cast<unsigned char>(reply[position - 1]) : -1;
}

using Exchange = backup::UnitExchange;
const auto decodeStatusReply = &Exchange::decodeStatusReply;
const auto decodeSlotReply = &Exchange::decodeSlotReply;
const auto decodeListingReply = &Exchange::decodeListingReply;
const auto decodeContentsReply = &Exchange::decodeContentsReply;

// The administration replies ('G', 'H') are status reports whose positions 12 and 13 carry the
// result; only the head is needed.
std::optional<QByteArray> adminReply(std::string_view reply, const p::Classification& c)
{
    if (c.cls != p::ReplyClass::StatusReport || reply.size() < p::kKindPosition)
        return std::nullopt;
    return QByteArray(reply.data(), static_cast<qsizetype>(reply.size()));
}

QString revisionText(const p::StatusReport& report)
{
    return QString::fromStdString(p::revisionDotted(report.revisionBytes));
}

QString stepsText(const QStringList& steps)
{
    return steps.isEmpty() ? QStringLiteral("no steps") : steps.join(QStringLiteral(", "));
}

using backup::relayStepTexts;

bool readsOnly(CommandKind kind)
{
    switch (kind) {
    case CommandKind::Status:
    case CommandKind::Watch:
    case CommandKind::Scripts:
    case CommandKind::BoardScripts:
    case CommandKind::Backup:
    case CommandKind::Diff:
        return true;
    default:
        return false;
    }
}

bool boardBit(const p::StatusReport& report, int board, p::BoardItem item)
{
    return report.boardState &&
           ((*report.boardState)[static_cast<std::size_t>(board - 1)] & p::itemMask(item)) != 0;
}

} // namespace

CommandRunner::CommandRunner(const Command& command, QTextStream& out, QTextStream& err,
                             const CliEnvironment& environment)
    : m_command(command), m_out(out), m_err(err), m_env(environment)
{
}

CommandRunner::~CommandRunner() = default;

int CommandRunner::run()
{
    switch (m_command.kind) {
    case CommandKind::StationsList:
        return listStations();
    case CommandKind::StationsAdd:
        return addStation();
    case CommandKind::StationsRemove:
        return removeStation();
    case CommandKind::StationsDefault:
        return setDefaultStation();
    case CommandKind::StationsImport:
        if (const int code = openDatabase(true); code != ExitDone)
            return code;
        return importStations(m_command.file, *m_store, m_out, m_err);
    case CommandKind::StationsExport:
        return exportStationsTo(m_command.file);
    case CommandKind::StationsTag:
    case CommandKind::StationsUntag:
    case CommandKind::StationsSet:
        return changeStationExtras();
    case CommandKind::Fleet: {
        if (const int code = openDatabase(false); code != ExitDone)
            return code;
        if (const QString refusal = m_store->commandRefusal(); !refusal.isEmpty())
            return fail(ExitRefused, refusal);
        FleetCommand fleet(m_command, m_out, m_err, m_env);
        return fleet.run(*m_store);
    }
    case CommandKind::RelayTag:
    case CommandKind::ScriptRunTag:
    case CommandKind::Rollout:
        if (const int code = openDatabase(false); code != ExitDone)
            return code;
        if (const QString refusal = m_store->commandRefusal(); !refusal.isEmpty())
            return fail(ExitRefused, refusal);
        return runFleetOperation(m_command, *m_store, m_out, m_err, m_env);
    default:
        break;
    }

    if (const int code = prepareUnit(); code != ExitDone)
        return code;
    // Only what changes a unit is audited; reading one never creates or touches the history file.
    const bool audited = !readsOnly(m_command.kind);
    if (audited && !startAudit())
        return ExitRefused;
    const int code = runUnitCommand();
    if (audited)
        finishAudit();
    return code;
}

int CommandRunner::runUnitCommand()
{

    const Command& c = m_command;
    switch (c.kind) {
    case CommandKind::Status:
        return status();
    case CommandKind::Watch:
        return watch();
    case CommandKind::Relay:
        return relay();
    case CommandKind::Scripts:
        return scripts();
    case CommandKind::ScriptUpload:
        return scriptUpload();
    case CommandKind::ScriptRun:
        return scriptRun();
    case CommandKind::TimerSet:
        return timerSet();
    case CommandKind::TimerStop:
        return acknowledged(p::timerStopFrame(m_password), 4, {});
    case CommandKind::IoOff:
        return acknowledged(p::ioTriggerFrame(c.box - 1, 0, 0, 0, m_password), 6,
                            {{QStringLiteral("box"), c.box}, {QStringLiteral("active"), false}});
    case CommandKind::IoOn:
        return ioOn();
    case CommandKind::TemperatureOff:
        return acknowledged(p::temperatureTriggerFrame(0, 0, 0, c.upper, c.lower, m_password), 7,
                            {{QStringLiteral("active"), false},
                             {QStringLiteral("upper_c"), c.upper},
                             {QStringLiteral("lower_c"), c.lower}});
    case CommandKind::TemperatureOn:
        return temperatureOn();
    case CommandKind::Name:
        return name();
    case CommandKind::Password:
        return password();
    case CommandKind::AllowAll:
    case CommandKind::AllowOnly:
        return allow();
    case CommandKind::Http:
    case CommandKind::Snmp:
        return featureSwitch();
    case CommandKind::SetIp:
    case CommandKind::SetMac:
        return addressChange();
    case CommandKind::Board:
        return board();
    case CommandKind::BoardScripts:
        return boardScripts();
    case CommandKind::BoardScriptUpload:
        return boardScriptUpload();
    case CommandKind::BoardScriptRun:
        return boardScriptRun();
    case CommandKind::Backup:
    case CommandKind::Diff:
    case CommandKind::Restore:
        return configCommand();
    default:
        return fail(ExitUsage, QStringLiteral("nothing to do"));
    }
}

// ---- station database ------------------------------------------------------------------------

QString CommandRunner::databasePath() const
{
    return stations::resolveDatabasePath(m_command.options.db, m_env.applicationDir);
}

int CommandRunner::openDatabase(bool createWhenMissing)
{
    if (teamMode())
        return openTeamDirectory();
    const QString path = databasePath();
    if (!createWhenMissing && !QFileInfo::exists(path)) {
        return fail(ExitDatabase,
                    QStringLiteral("the station database \"%1\" does not exist; add a station with "
                                   "`kestavo-cli stations add` or name the file with --db.")
                        .arg(path));
    }
    m_store = std::make_unique<stations::StationStore>();
    const stations::StationStore::OpenResult opened = m_store->open(path);
    if (!opened.ok)
        return fail(ExitDatabase, opened.error);
    return ExitDone;
}

// The team's directory, as this login may read it; the store, not a file, is then named in every
// message.
int CommandRunner::openTeamDirectory()
{
    const store::StoreUrlParse parsed = store::parseStoreUrl(m_command.storeUrl);
    if (!parsed.ok())
        return fail(ExitUsage, parsed.error);
    m_storeConnection = std::make_unique<store::StoreConnection>();
    if (!m_storeConnection->open(parsed.url, QStringLiteral("kestavo-cli")))
        return fail(ExitDatabase, m_storeConnection->error());
    m_store = std::make_unique<stations::StationStore>();
    if (const stations::StationStore::OpenResult opened =
            store::openTeamStations(*m_store, *m_storeConnection);
        !opened.ok)
        return fail(ExitDatabase, opened.error);
    return ExitDone;
}

// A change the team's store refused for want of a role is a refusal (exit 1), as the unit's are.
int CommandRunner::refusedOrFailed()
{
    return fail(m_store->lastErrorIsRefusal() ? ExitRefused : ExitDatabase, m_store->lastError());
}

int CommandRunner::listStations()
{
    if (const int code = openDatabase(false); code != ExitDone)
        return code;
    QJsonArray list;
    if (csv())
        m_out << csvRecord(
            {QStringLiteral("address"), QStringLiteral("description"), QStringLiteral("default")});
    const QString& tag = m_command.tagFilter;
    for (int position = 0; position < m_store->count(); ++position) {
        const QString entry = m_store->entryAt(position);
        const QString address = stations::addressOf(entry);
        const QString description = stations::descriptionOf(entry);
        const bool isDefault = m_store->valueAt(position, QStringLiteral("default")).toInt() != 0;
        const QStringList tags = m_store->tagsOf(address);
        if (!tag.isEmpty() && !stations::tagMatches(tags, tag))
            continue;
        if (json()) {
            const stations::StationSite site = m_store->siteOf(address);
            QJsonObject object{{QStringLiteral("address"), address},
                               {QStringLiteral("description"), description},
                               {QStringLiteral("default"), isDefault},
                               {QStringLiteral("tags"), QJsonArray::fromStringList(tags)},
                               {QStringLiteral("location"), site.location},
                               {QStringLiteral("zone"), site.zone}};
            object.insert(QStringLiteral("latitude"),
                          site.latitude ? QJsonValue(*site.latitude) : QJsonValue(QJsonValue::Null));
            object.insert(QStringLiteral("longitude"),
                          site.longitude ? QJsonValue(*site.longitude) : QJsonValue(QJsonValue::Null));
            list.append(object);
        } else if (csv()) {
            m_out << csvRecord(
                {address, description, isDefault ? QStringLiteral("true") : QStringLiteral("false")});
        } else {
            m_out << address.leftJustified(stations::kAddressWidth + stations::kEntryGap) << description
                  << (isDefault ? QStringLiteral("   (default)") : QString())
                  << (tags.isEmpty() ? QString()
                                     : QStringLiteral("   [%1]").arg(tags.join(QStringLiteral(", "))))
                  << '\n';
        }
    }
    if (json())
        emitJson(
            QJsonObject{{QStringLiteral("database"), m_store->path()}, {QStringLiteral("stations"), list}});
    m_out.flush();
    return ExitDone;
}

int CommandRunner::exportStationsTo(const QString& file)
{
    if (const int code = openDatabase(false); code != ExitDone)
        return code;
    if (file.isEmpty() || file == QStringLiteral("-")) {
        exportStations(*m_store, m_out);
        return ExitDone;
    }
    QFile output(file);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return fail(
            ExitUsage,
            QStringLiteral("stations export: cannot write \"%1\": %2").arg(file, output.errorString()));
    }
    QTextStream stream(&output);
    exportStations(*m_store, stream);
    return ExitDone;
}

int CommandRunner::changeStationExtras()
{
    if (const int code = openDatabase(false); code != ExitDone)
        return code;
    const Command& c = m_command;
    const QString& address = c.stationAddress;
    if (m_store->positionOf(address) < 0)
        return fail(ExitDatabase,
                    QStringLiteral("%1 is not in %2: %3").arg(address, m_store->path(), stations::kNotFound));
    bool ok = false;
    QString said;
    if (c.kind == CommandKind::StationsSet) {
        stations::StationSite site = m_store->siteOf(address);
        if (c.siteLocation)
            site.location = *c.siteLocation;
        if (c.sitePosition) {
            site.latitude = *c.sitePosition ? std::optional<double>((*c.sitePosition)->first) : std::nullopt;
            site.longitude =
                *c.sitePosition ? std::optional<double>((*c.sitePosition)->second) : std::nullopt;
        }
        if (c.siteZone)
            site.zone = *c.siteZone;
        ok = m_store->setSite(address, site);
        QStringList parts;
        parts << QStringLiteral("location \"%1\"").arg(site.location);
        parts << (site.hasPosition()
                      ? QStringLiteral("position %1, %2").arg(*site.latitude).arg(*site.longitude)
                      : QStringLiteral("no position"));
        parts << QStringLiteral("zone %1").arg(site.zone.isEmpty() ? QStringLiteral("of this machine")
                                                                   : site.zone);
        said = QStringLiteral("%1: %2").arg(address, parts.join(QStringLiteral(", ")));
    } else {
        ok = c.kind == CommandKind::StationsTag ? m_store->addTags(address, c.tags)
                                                : m_store->removeTags(address, c.tags);
        const QStringList tags = m_store->tagsOf(address);
        said = QStringLiteral("%1 tags: %2")
                   .arg(address, tags.isEmpty() ? QStringLiteral("(none)") : tags.join(QStringLiteral(", ")));
    }
    if (!ok)
        return refusedOrFailed();
    return done(said, {{QStringLiteral("address"), address},
                       {QStringLiteral("tags"), QJsonArray::fromStringList(m_store->tagsOf(address))}});
}

int CommandRunner::addStation()
{
    if (const int code = openDatabase(true); code != ExitDone)
        return code;
    const Command& c = m_command;
    if (!m_store->add(c.stationAddress, c.stationPassword, c.stationDescription))
        return refusedOrFailed();
    const QString address = stations::trimSpaces(c.stationAddress);
    return done(
        QStringLiteral("added %1 \"%2\" to %3").arg(address, c.stationDescription, m_store->path()),
        {{QStringLiteral("address"), address}, {QStringLiteral("description"), c.stationDescription}});
}

int CommandRunner::removeStation()
{
    if (const int code = openDatabase(false); code != ExitDone)
        return code;
    const QString& address = m_command.stationAddress;
    int position = -1;
    switch (m_store->checkRemove(address, &position)) {
    case stations::StationStore::RemoveCheck::NotFound:
        return fail(ExitDatabase, QStringLiteral("%1 is not in the station database \"%2\": %3")
                                      .arg(address, m_store->path(), stations::kNotFound));
    case stations::StationStore::RemoveCheck::FirstRecord:
        return fail(ExitDatabase,
                    QStringLiteral("%1 is the first station of \"%2\", which is never removed: %3")
                        .arg(address, m_store->path(), stations::kDontDelete));
    case stations::StationStore::RemoveCheck::Ok:
        break;
    }
    if (!m_store->removeAt(position))
        return refusedOrFailed();
    return done(QStringLiteral("removed %1 from %2").arg(address, m_store->path()),
                {{QStringLiteral("address"), address}});
}

int CommandRunner::setDefaultStation()
{
    if (const int code = openDatabase(false); code != ExitDone)
        return code;
    const QString& address = m_command.stationAddress;
    if (!m_store->setDefault(address)) {
        if (m_store->lastError() == stations::kNotFound) {
            return fail(ExitDatabase, QStringLiteral("%1 is not in the station database \"%2\": %3")
                                          .arg(address, m_store->path(), stations::kNotFound));
        }
        return refusedOrFailed();
    }
    return done(QStringLiteral("%1 is now the default station in %2").arg(address, m_store->path()),
                {{QStringLiteral("address"), address}});
}

// ---- the unit ----------------------------------------------------------------------------

int CommandRunner::prepareUnit()
{
    const Command& c = m_command;
    if (teamMode()) {
        // On a team's store the store decides who commands units, --password or not: the audit
        // record this command owes can only be written by a role that may.
        if (const int code = openDatabase(false); code != ExitDone)
            return code;
        if (const QString refusal = m_store->commandRefusal(); !refusal.isEmpty())
            return fail(ExitRefused, refusal);
    }
    if (c.options.password) {
        m_password = latin1(stations::padPassword(*c.options.password));
        if (!teamMode())
            readRecordQuietly();
        else if (const int position = m_store->findAddress(c.unit); position >= 0)
            m_rangeFlags = {m_store->valueAt(position, QStringLiteral("JP6")).toInt(),
                            m_store->valueAt(position, QStringLiteral("JP7")).toInt()};
    } else {
        if (!m_store) {
            if (const int code = openDatabase(false); code != ExitDone)
                return code;
        }
        const int position = m_store->findAddress(c.unit);
        if (position < 0) {
            return fail(ExitDatabase,
                        QStringLiteral("%1 is not in the station database \"%2\": %3 (or give its "
                                       "password with --password)")
                            .arg(c.unit, m_store->path(), stations::kNotFound));
        }
        m_password = latin1(m_store->valueAt(position, QStringLiteral("password")).toString());
        m_rangeFlags = {m_store->valueAt(position, QStringLiteral("JP6")).toInt(),
                        m_store->valueAt(position, QStringLiteral("JP7")).toInt()};
        m_passwordFromDatabase = true;
    }
    m_link = std::make_unique<UnitLink>(QHostAddress(ipv4Text(c.unitOctets)),
                                        static_cast<quint16>(c.options.port));
    if (!m_link->open())
        return fail(ExitRefused, m_link->errorString());
    m_transport =
        std::make_unique<CliUnitTransport>(*m_link, [this](const std::string& frame) { return send(frame); });
    m_exchange = std::make_unique<backup::UnitExchange>(
        *m_transport, m_password, backup::Timing{c.options.timeoutMs, m_env.verifyPollMs});
    return ExitDone;
}

// With --password the database is optional: its record still says how inputs 1 and 2 are wired,
// but a missing or unreadable file is no reason to stop, and none is created.
void CommandRunner::readRecordQuietly()
{
    const QString path = databasePath();
    if (!QFileInfo::exists(path))
        return;
    m_store = std::make_unique<stations::StationStore>();
    if (!m_store->open(path).ok) {
        m_store.reset();
        return;
    }
    const int position = m_store->findAddress(m_command.unit);
    if (position >= 0) {
        m_rangeFlags = {m_store->valueAt(position, QStringLiteral("JP6")).toInt(),
                        m_store->valueAt(position, QStringLiteral("JP7")).toInt()};
    }
}

bool CommandRunner::send(const std::string& frame)
{
    const bool sent = m_link->send(frame);
    if (sent && m_recorder)
        m_recorder->frameSent(m_command.unit, m_description,
                              QByteArray(frame.data(), qsizetype(frame.size())));
    return sent;
}

// Every unit-changing frame this run sends becomes one record in the history file's audit log,
// with the unit's answer. A history file that cannot be written is reported, not fatal: the
// operator asked for the command, not for the log.
bool CommandRunner::startAudit()
{
    m_description = stationDescription();
    m_auditLog = std::make_unique<history::AuditLog>();
    const QString location = teamMode() ? m_command.storeUrl : historyPath(m_command, m_env);
    if (!m_auditLog->open(location)) {
        // A team's audit log is the team's record of who commanded what: without it, no command.
        if (teamMode()) {
            fail(ExitRefused,
                 QStringLiteral("the audit log on the store cannot be written, so nothing was sent: %1")
                     .arg(m_auditLog->error()));
            return false;
        }
        note(QStringLiteral("the audit log cannot be written, so this command goes unrecorded: %1")
                 .arg(m_auditLog->error()));
    }
    alarms::AuditRecorder::Options options;
    options.program = QStringLiteral("CLI");
    // With --no-verify the unit was not asked to confirm anything: finishAudit() closes what is still
    // open after its wait as "sent, not verified", before the recorder would call it unanswered.
    options.answerTimeoutMs = m_command.options.timeoutMs * (m_command.options.noVerify ? 2 : 1);
    options.clock = [this] {
        return m_env.now().toMSecsSinceEpoch();
    };
    m_recorder = std::make_unique<alarms::AuditRecorder>(m_auditLog.get(), options);
    m_link->setReceiveObserver(
        [this](const QByteArray& datagram) { m_recorder->replyReceived(m_command.unit, datagram); });
    return true;
}

// A command that did not wait for its answer (--no-verify) still gets it recorded: read what the
// unit sends back for at most the timeout, only while a command is waiting for one.
void CommandRunner::finishAudit()
{
    const QDeadlineTimer deadline(m_command.options.timeoutMs);
    while (m_recorder->pendingCount() > 0 && !deadline.hasExpired())
        if (!m_link->receive(int(std::max<qint64>(deadline.remainingTime(), 0))))
            break;
    if (m_command.options.noVerify)
        m_recorder->finishUnverified();
    else
        m_recorder->finish();
    m_link->setReceiveObserver({});
}

QString CommandRunner::stationDescription() const
{
    if (!m_store)
        return {};
    const int position = m_store->findAddress(m_command.unit);
    if (position < 0)
        return {};
    const QString entry = m_store->entryAt(position);
    return entry.mid(stations::kAddressWidth + stations::kEntryGap).trimmed();
}

CommandRunner::Awaited<p::StatusReport> CommandRunner::requestStatus()
{
    return request<p::StatusReport>(p::pollFrame(m_password), decodeStatusReply);
}

CommandRunner::Awaited<p::SlotTable> CommandRunner::requestSlotTable()
{
    return request<p::SlotTable>(p::readRequestFrame(m_password), decodeSlotReply);
}

int CommandRunner::failed(Outcome outcome, const QString& what)
{
    switch (outcome) {
    case Outcome::Rejected:
        return fail(ExitRefused,
                    QStringLiteral("%1 rejected the password: Bad Password!").arg(unitDescription()));
    case Outcome::SendFailed:
        return fail(ExitRefused, m_link->errorString());
    case Outcome::TimedOut:
    case Outcome::Got:
        break;
    }
    QString message = QStringLiteral("timed out: no %1 from %2 within %3 ms")
                          .arg(what, unitDescription())
                          .arg(m_command.options.timeoutMs);
    if (m_exchange && !m_exchange->lastProblem().isEmpty())
        message += QStringLiteral(" (the last datagram was %1)").arg(m_exchange->lastProblem());
    return fail(ExitRefused, message);
}

// Commands the unit answers with one acknowledgement kind: send, wait for it, print its text.
int CommandRunner::acknowledged(const std::string& frame, int kind, QJsonObject details)
{
    const Decoder<int> ack = [kind](std::string_view, const p::Classification& c) -> std::optional<int> {
        return c.cls == p::ReplyClass::Acknowledgement && c.kind == kind ? std::optional<int>(kind)
                                                                         : std::nullopt;
    };
    const Awaited<int> got = request(frame, ack);
    if (got.outcome != Outcome::Got)
        return failed(got.outcome, QStringLiteral("\"%1\" acknowledgement").arg(acknowledgementText(kind)));
    details.insert(QStringLiteral("ack"), kind);
    return done(acknowledgementText(kind), details);
}

// The dialogs refuse to point the timer or a trigger at an empty slot, and to execute one; the
// slot table tells. forExecute picks the wording of the execute refusal.
int CommandRunner::requireScript(int slot, bool forExecute)
{
    if (m_command.options.noVerify)
        return ExitDone;
    const Awaited<p::SlotTable> table = requestSlotTable();
    if (table.outcome != Outcome::Got)
        return failed(table.outcome, QStringLiteral("slot table"));
    const p::SlotEntry& entry = (*table.value)[static_cast<std::size_t>(slot - 1)];
    if (forExecute && p::slotPreview(entry.codeField).empty()) {
        return fail(ExitRefused, QStringLiteral("slot %1 of %2 holds no relay script: Make a Script First!")
                                     .arg(slot)
                                     .arg(m_command.unit));
    }
    if (!forExecute && p::trimSpaces(entry.codeField).empty()) {
        return fail(ExitRefused,
                    QStringLiteral("slot %1 of %2 holds no relay script: Make a Relay Script first!")
                        .arg(slot)
                        .arg(m_command.unit));
    }
    return ExitDone;
}

int CommandRunner::status()
{
    const Awaited<p::StatusReport> got =
        request<p::StatusReport>(p::startFrame(m_password), decodeStatusReply);
    if (got.outcome != Outcome::Got)
        return failed(got.outcome, QStringLiteral("status report"));
    if (json()) {
        emitJson(statusJson(*got.value, m_rangeFlags, m_command.unit));
    } else if (csv()) {
        m_out << csvRecord(statusCsvHeader())
              << csvRecord(statusCsvRow(*got.value, m_rangeFlags, m_command.unit, m_env.now()));
    } else {
        m_out << statusText(*got.value, m_rangeFlags, m_command.unit);
    }
    m_out.flush();
    return ExitDone;
}

// Polls like the console's session: the start frame, then a poll frame every interval, each
// report printed as it comes; silence for the watchdog time ends it.
int CommandRunner::watch()
{
    const Command& c = m_command;
    if (csv()) {
        m_out << csvRecord(statusCsvHeader());
        m_out.flush();
    }
    QElapsedTimer clock;
    clock.start();
    QDeadlineTimer silence(m_env.watchdogMs);
    qint64 nextPoll = 0;
    bool first = true;
    int printed = 0;
    for (;;) {
        if (clock.elapsed() >= nextPoll) {
            if (!send(first ? p::startFrame(m_password) : p::pollFrame(m_password)))
                return failed(Outcome::SendFailed, QString());
            first = false;
            nextPoll = std::max(nextPoll + c.intervalMs, clock.elapsed() + 1);
        }
        const qint64 untilPoll = std::max<qint64>(nextPoll - clock.elapsed(), 0);
        const Awaited<p::StatusReport> got = await<p::StatusReport>(
            decodeStatusReply, static_cast<int>(std::min(untilPoll, silence.remainingTime())));
        if (got.outcome == Outcome::Rejected)
            return failed(got.outcome, QString());
        if (got.outcome == Outcome::Got) {
            silence.setRemainingTime(m_env.watchdogMs);
            const QDateTime now = m_env.now();
            if (json()) {
                QJsonObject line = statusJson(*got.value, m_rangeFlags, c.unit);
                line.insert(QStringLiteral("time"), history::isoUtc(now.toMSecsSinceEpoch()));
                emitJson(line);
            } else if (csv()) {
                m_out << csvRecord(statusCsvRow(*got.value, m_rangeFlags, c.unit, now));
            } else {
                m_out << statusLine(*got.value, m_rangeFlags, now) << '\n';
            }
            m_out.flush();
            if (c.count > 0 && ++printed >= c.count)
                return ExitDone;
        }
        if (silence.hasExpired()) {
            return fail(ExitRefused,
                        QStringLiteral("timed out: no status report from %1 for %2 ms; the unit has "
                                       "fallen silent")
                            .arg(unitDescription())
                            .arg(m_env.watchdogMs));
        }
    }
}

int CommandRunner::relay()
{
    const Command& c = m_command;
    std::string frame;
    switch (c.relayAction) {
    case p::RelayOn:
        frame = p::relayOnFrame(c.relay, m_password);
        break;
    case p::RelayOff:
        frame = p::relayOffFrame(c.relay, m_password);
        break;
    case p::RelayCycle:
        frame = p::relayCycleFrame(c.relay, c.seconds, m_password);
        break;
    }
    if (!send(frame))
        return failed(Outcome::SendFailed, QString());
    QJsonObject details{{QStringLiteral("relay"), c.relay}};
    if (c.options.noVerify) {
        details.insert(QStringLiteral("verified"), false);
        return done(QStringLiteral("relay %1 command sent (not verified)").arg(c.relay), details);
    }

    const auto index = static_cast<std::size_t>(c.relay - 1);
    // An off-then-on shows as OFF, or already back ON with the delay the unit took from the frame.
    const std::function<bool(const p::StatusReport&)> switched = [&](const p::StatusReport& report) {
        const std::optional<bool>& on = report.relayOn[index];
        switch (c.relayAction) {
        case p::RelayOn:
            return on == true;
        case p::RelayOff:
            return on == false;
        case p::RelayCycle:
            return on == false || (on == true && report.relayDelays[index] == c.seconds);
        }
        return false;
    };
    const Awaited<p::StatusReport> got =
        check<p::StatusReport>(p::pollFrame(m_password), false, decodeStatusReply, switched);
    if (got.outcome == Outcome::TimedOut && got.value) {
        const std::optional<bool>& on = got.value->relayOn[index];
        return fail(ExitRefused,
                    QStringLiteral("timed out: relay %1 did not switch; the last status report from %2 "
                                   "shows it %3")
                        .arg(c.relay)
                        .arg(unitDescription(), on ? (*on ? QStringLiteral("ON") : QStringLiteral("OFF"))
                                                   : QStringLiteral("in no known state")));
    }
    if (got.outcome != Outcome::Got)
        return failed(got.outcome, QStringLiteral("status report"));
    const bool on = got.value->relayOn[index] == true;
    QString message =
        QStringLiteral("relay %1 is %2").arg(c.relay).arg(on ? QStringLiteral("ON") : QStringLiteral("OFF"));
    if (c.relayAction == p::RelayCycle && !on)
        message += QStringLiteral(", back ON in %1 s").arg(c.seconds);
    details.insert(QStringLiteral("state"), on ? QStringLiteral("ON") : QStringLiteral("OFF"));
    details.insert(QStringLiteral("verified"), true);
    return done(message, details);
}

int CommandRunner::scripts()
{
    const Awaited<p::SlotTable> got = requestSlotTable();
    if (got.outcome != Outcome::Got)
        return failed(got.outcome, QStringLiteral("slot table"));
    if (json()) {
        emitJson(QJsonObject{{QStringLiteral("unit"), m_command.unit},
                             {QStringLiteral("slots"), scriptsJson(*got.value)}});
    } else if (csv()) {
        m_out << csvRecord(scriptsCsvHeader());
        for (const QStringList& row : scriptsCsvRows(*got.value))
            m_out << csvRecord(row);
    } else {
        m_out << scriptsText(*got.value);
    }
    m_out.flush();
    return ExitDone;
}

int CommandRunner::scriptUpload()
{
    const Command& c = m_command;
    const std::string description = latin1(c.description);
    if (!send(p::scriptUploadFrame(p::slotCode(c.slot), c.codeField, description, m_password)))
        return failed(Outcome::SendFailed, QString());
    const QStringList steps = relayStepTexts(p::padField(c.codeField));
    QJsonObject details{{QStringLiteral("slot"), c.slot},
                        {QStringLiteral("description"), c.description},
                        {QStringLiteral("steps"), QJsonArray::fromStringList(steps)}};
    if (c.options.noVerify) {
        details.insert(QStringLiteral("verified"), false);
        return done(QStringLiteral("script sent to slot %1 (not verified)").arg(c.slot), details);
    }
    // The unit says nothing about an upload; the slot table it sends back shows whether it took it.
    const std::string codeField = p::padField(c.codeField);
    const std::string descriptionField = p::padField(description);
    const auto slot = static_cast<std::size_t>(c.slot - 1);
    const Awaited<p::SlotTable> got = check<p::SlotTable>(
        p::readRequestFrame(m_password), true, decodeSlotReply, [&](const p::SlotTable& table) {
            return table[slot].codeField == codeField && table[slot].description == descriptionField;
        });
    if (got.outcome == Outcome::TimedOut && got.value) {
        const p::SlotEntry& entry = (*got.value)[slot];
        return fail(ExitRefused, QStringLiteral("timed out: slot %1 of %2 still reads \"%3\" (%4)")
                                     .arg(c.slot)
                                     .arg(unitDescription(), unitText(entry.description),
                                          stepsText(relayStepTexts(entry.codeField))));
    }
    if (got.outcome != Outcome::Got)
        return failed(got.outcome, QStringLiteral("slot table"));
    details.insert(QStringLiteral("verified"), true);
    return done(QStringLiteral("slot %1 holds \"%2\": %3").arg(c.slot).arg(c.description, stepsText(steps)),
                details);
}

int CommandRunner::scriptRun()
{
    const Command& c = m_command;
    if (const int code = requireScript(c.slot, true); code != ExitDone)
        return code;
    return acknowledged(p::scriptExecuteFrame(p::slotCode(c.slot), m_password), 3,
                        {{QStringLiteral("slot"), c.slot}});
}

int CommandRunner::timerSet()
{
    const Command& c = m_command;
    if (const int code = requireScript(c.slot, false); code != ExitDone)
        return code;
    return acknowledged(
        p::timerSetFrame(c.durationSeconds, p::slotCode(c.slot), c.continuous ? 1 : 0, m_password), 5,
        {{QStringLiteral("slot"), c.slot},
         {QStringLiteral("seconds"), static_cast<qint64>(c.durationSeconds)},
         {QStringLiteral("continuous"), c.continuous}});
}

int CommandRunner::ioOn()
{
    const Command& c = m_command;
    if (!c.options.noVerify) {
        const Awaited<p::SlotTable> table = requestSlotTable();
        if (table.outcome != Outcome::Got)
            return failed(table.outcome, QStringLiteral("slot table"));
        for (const int slot : {c.slotFor0, c.slotFor1}) {
            if (p::trimSpaces((*table.value)[static_cast<std::size_t>(slot - 1)].codeField).empty()) {
                return fail(ExitRefused,
                            QStringLiteral("slot %1 of %2 holds no relay script: Make a Relay Script first!")
                                .arg(slot)
                                .arg(c.unit));
            }
        }
    }
    return acknowledged(
        p::ioTriggerFrame(c.box - 1, 1, p::slotCode(c.slotFor0), p::slotCode(c.slotFor1), m_password), 6,
        {{QStringLiteral("box"), c.box},
         {QStringLiteral("active"), true},
         {QStringLiteral("slot_for_0"), c.slotFor0},
         {QStringLiteral("slot_for_1"), c.slotFor1}});
}

int CommandRunner::temperatureOn()
{
    const Command& c = m_command;
    if (!c.options.noVerify) {
        const Awaited<p::SlotTable> table = requestSlotTable();
        if (table.outcome != Outcome::Got)
            return failed(table.outcome, QStringLiteral("slot table"));
        for (const int slot : {c.upperSlot, c.lowerSlot}) {
            if (p::trimSpaces((*table.value)[static_cast<std::size_t>(slot - 1)].codeField).empty()) {
                return fail(ExitRefused,
                            QStringLiteral("slot %1 of %2 holds no relay script: Make a Relay Script first!")
                                .arg(slot)
                                .arg(c.unit));
            }
        }
    }
    return acknowledged(p::temperatureTriggerFrame(1, p::slotCode(c.upperSlot), p::slotCode(c.lowerSlot),
                                                   c.upper, c.lower, m_password),
                        7,
                        {{QStringLiteral("active"), true},
                         {QStringLiteral("upper_slot"), c.upperSlot},
                         {QStringLiteral("lower_slot"), c.lowerSlot},
                         {QStringLiteral("upper_c"), c.upper},
                         {QStringLiteral("lower_c"), c.lower}});
}

int CommandRunner::name()
{
    const Command& c = m_command;
    if (!send(p::stationNameFrame(latin1(c.stationName), m_password)))
        return failed(Outcome::SendFailed, QString());
    if (c.options.noVerify)
        return done(QStringLiteral("station name sent (not verified)"),
                    {{QStringLiteral("verified"), false}});
    const QString wanted = unitText(p::padField(latin1(c.stationName), kStationNameWidth));
    const Awaited<p::StatusReport> got = check<p::StatusReport>(
        p::pollFrame(m_password), false, decodeStatusReply,
        [&](const p::StatusReport& report) { return unitText(report.stationNameRaw) == wanted; });
    if (got.outcome == Outcome::TimedOut && got.value) {
        return fail(ExitRefused, QStringLiteral("timed out: %1 still reports the station name \"%2\"")
                                     .arg(unitDescription(), unitText(got.value->stationNameRaw)));
    }
    if (got.outcome != Outcome::Got)
        return failed(got.outcome, QStringLiteral("status report"));
    return done(QStringLiteral("station name is \"%1\"").arg(wanted),
                {{QStringLiteral("station_name"), wanted}, {QStringLiteral("verified"), true}});
}

int CommandRunner::password()
{
    const Command& c = m_command;
    const std::string padded = latin1(stations::padPassword(c.newPassword));
    if (padded == m_password) {
        return fail(ExitUsage,
                    QStringLiteral("password: NEW_PASSWORD: Password has not changed because it is the same "
                                   "one stored in the database"));
    }
    const Awaited<QByteArray> got = request<QByteArray>(p::passwordFrame(padded, m_password), adminReply);
    if (got.outcome != Outcome::Got)
        return failed(got.outcome, QStringLiteral("answer to the password change"));
    if (byteAt(view(*got.value), p::kAdminResultPosition) != 1)
        return fail(ExitRefused,
                    QStringLiteral("%1 did not change its password: Password change error... re-try")
                        .arg(unitDescription()));

    // The unit now only answers to the new password: the station record must follow.
    if (!m_passwordFromDatabase) {
        if (!QFileInfo::exists(databasePath())) {
            note(QStringLiteral(
                     "no station database at \"%1\"; remember the new password, later commands need it "
                     "with --password")
                     .arg(databasePath()));
            return done(QStringLiteral("Remote Password successfully updated."),
                        {{QStringLiteral("database_updated"), false}});
        }
        if (!m_store) {
            m_store = std::make_unique<stations::StationStore>();
            const stations::StationStore::OpenResult opened = m_store->open(databasePath());
            if (!opened.ok) {
                return fail(ExitDatabase,
                            QStringLiteral("%1 took the new password, but %2 Later commands need "
                                           "--password with the new one.")
                                .arg(unitDescription(), opened.error));
            }
        }
        if (m_store->findAddress(c.unit) < 0) {
            note(QStringLiteral("%1 is not in the station database \"%2\"; nothing written there")
                     .arg(c.unit, m_store->path()));
            return done(QStringLiteral("Remote Password successfully updated."),
                        {{QStringLiteral("database_updated"), false}});
        }
    }
    if (!m_store->setPassword(c.unit,
                              QString::fromLatin1(padded.data(), static_cast<qsizetype>(padded.size())))) {
        return fail(ExitDatabase,
                    QStringLiteral("%1 took the new password, but the station database \"%2\" could "
                                   "not be updated: %3 Later commands need --password with the new one.")
                        .arg(unitDescription(), m_store->path(), m_store->lastError()));
    }
    return done(QStringLiteral("Remote Password successfully updated and written into Local data base."),
                {{QStringLiteral("database_updated"), true}});
}

int CommandRunner::allow()
{
    const Command& c = m_command;
    const bool only = c.kind == CommandKind::AllowOnly;
    std::array<int, 20> octets{};
    QJsonArray addresses;
    for (std::size_t i = 0; i < c.allowed.size(); ++i) {
        for (std::size_t k = 0; k < 4; ++k)
            octets[i * 4 + k] = c.allowed[i][k];
        addresses.append(ipv4Text(c.allowed[i]));
    }
    const Awaited<QByteArray> got =
        request<QByteArray>(p::allowedIpFrame(only, octets, m_password), adminReply);
    if (got.outcome != Outcome::Got)
        return failed(got.outcome, QStringLiteral("answer to the allowed-IP change"));
    if (byteAt(view(*got.value), p::kAdminIpResultPosition) != 0) {
        return fail(ExitRefused,
                    QStringLiteral("%1 kept its allowed-IP rule: IP Status change error... re-try")
                        .arg(unitDescription()));
    }
    return done(QStringLiteral("Allowable IP Status change successful!"),
                {{QStringLiteral("rule"), only ? QStringLiteral("only") : QStringLiteral("all")},
                 {QStringLiteral("addresses"), addresses}});
}

int CommandRunner::featureSwitch()
{
    const Command& c = m_command;
    const bool http = c.kind == CommandKind::Http;
    if (!c.options.noVerify) {
        // The console greys these switches out on units too old to have them.
        const Awaited<p::StatusReport> report = requestStatus();
        if (report.outcome != Outcome::Got)
            return failed(report.outcome, QStringLiteral("status report"));
        const long long needed = http ? kHttpRevision : kSnmpRevision;
        if (report.value->revision < needed) {
            return fail(ExitRefused,
                        QStringLiteral("%1 runs firmware %2, which has no %3 switch")
                            .arg(unitDescription(), revisionText(*report.value),
                                 http ? QStringLiteral("status web page") : QStringLiteral("SNMP access")));
        }
    }
    const int flag = c.on ? 0 : 1;
    const QJsonObject details{{QStringLiteral("on"), c.on}};
    if (http)
        return acknowledged(p::httpFrame(flag, m_password), 8, details);
    return acknowledged(p::snmpFrame(flag, m_password), 12, details);
}

int CommandRunner::addressChange()
{
    const Command& c = m_command;
    if (!c.options.noVerify) {
        // The unit does not answer an address change; make sure it answers us before it moves.
        const Awaited<p::StatusReport> report = requestStatus();
        if (report.outcome != Outcome::Got)
            return failed(report.outcome, QStringLiteral("status report"));
    }
    if (c.kind == CommandKind::SetIp) {
        if (!send(p::setIpFrame(c.newIp, m_password)))
            return failed(Outcome::SendFailed, QString());
        note(QStringLiteral(
                 "the station record still holds %1; add the unit under %2 with `kestavo-cli stations add`")
                 .arg(c.unit, ipv4Text(c.newIp)));
        return done(QStringLiteral("IP Changed !!"), {{QStringLiteral("new_address"), ipv4Text(c.newIp)}});
    }
    // The console sends the MAC frame twice in a row.
    const std::string frame = p::setMacFrame(c.newMac, m_password);
    if (!send(frame) || !send(frame))
        return failed(Outcome::SendFailed, QString());
    std::array<std::uint8_t, 6> mac{};
    std::transform(c.newMac.begin(), c.newMac.end(), mac.begin(),
                   [](int b) { return static_cast<std::uint8_t>(b); });
    return done(QStringLiteral("Mac Address Changed !!"),
                {{QStringLiteral("new_mac"), QString::fromStdString(p::macText(mac))}});
}

int CommandRunner::board()
{
    const Command& c = m_command;
    const QString itemName = QStringLiteral("board %1 %2").arg(c.board).arg(boardItemName(c.item));
    std::optional<bool> before;
    if (!c.options.noVerify) {
        // What the board dialog checks before it sends: a unit with boards, this board fitted, and
        // no toggle already counting down.
        const Awaited<p::StatusReport> report = requestStatus();
        if (report.outcome != Outcome::Got)
            return failed(report.outcome, QStringLiteral("status report"));
        const p::StatusReport& r = *report.value;
        if (r.revision < kBoardRevision || !r.boardPresence) {
            return fail(ExitRefused, QStringLiteral("%1 runs firmware %2, which has no relay daughter boards")
                                         .arg(unitDescription(), revisionText(r)));
        }
        if ((*r.boardPresence)[static_cast<std::size_t>(c.board - 1)] != kBoardFitted)
            return fail(
                ExitRefused,
                QStringLiteral("%1 has no daughter board %2 fitted").arg(unitDescription()).arg(c.board));
        if (c.toggle && r.toggleCountdown.value_or(0) > 0) {
            return fail(ExitRefused,
                        QStringLiteral("a toggle is still counting down (%1 s left): One Toggle Timer Only !")
                            .arg(*r.toggleCountdown));
        }
        before = boardBit(r, c.board, c.item);
    }

    const std::string frame = p::boardFrame(p::boardAddress(c.board), p::itemMask(c.item), c.toggle ? 2 : 0,
                                            c.toggle ? c.seconds : 0, m_password);
    const Decoder<int> ack = [](std::string_view, const p::Classification& cls) -> std::optional<int> {
        if (cls.cls == p::ReplyClass::Acknowledgement && cls.kind >= 9 && cls.kind <= 11)
            return cls.kind;
        return std::nullopt;
    };
    const Awaited<int> answer = request(frame, ack);
    if (answer.outcome != Outcome::Got)
        return failed(answer.outcome, QStringLiteral("daughter-board acknowledgement"));
    if (*answer.value != 9)
        return fail(ExitRefused,
                    QStringLiteral("%1 refused: %2").arg(itemName, acknowledgementText(*answer.value)));

    QJsonObject details{{QStringLiteral("board"), c.board}, {QStringLiteral("ack"), 9}};
    if (!before) {
        details.insert(QStringLiteral("verified"), false);
        return done(acknowledgementText(9), details);
    }
    const bool expected = !*before;
    const Awaited<p::StatusReport> after = check<p::StatusReport>(
        p::pollFrame(m_password), true, decodeStatusReply, [&](const p::StatusReport& r) {
            return boardBit(r, c.board, c.item) == expected ||
                   (c.toggle && r.toggleCountdown.value_or(0) > 0);
        });
    if (after.outcome == Outcome::TimedOut && after.value) {
        const std::uint8_t state =
            after.value->boardState ? (*after.value->boardState)[static_cast<std::size_t>(c.board - 1)] : 0;
        return fail(ExitRefused,
                    QStringLiteral("timed out: %1 did not change over; the last status report shows it %2")
                        .arg(itemName, boardItemState(c.item, state)));
    }
    if (after.outcome != Outcome::Got)
        return failed(after.outcome, QStringLiteral("status report"));
    const std::uint8_t state = (*after.value->boardState)[static_cast<std::size_t>(c.board - 1)];
    const std::uint8_t original = *before ? p::itemMask(c.item) : 0;
    QString message = QStringLiteral("%1 is %2").arg(itemName, boardItemState(c.item, state));
    if (c.toggle)
        message +=
            QStringLiteral(", back to %1 in %2 s").arg(boardItemState(c.item, original)).arg(c.seconds);
    details.insert(QStringLiteral("state"), boardItemState(c.item, state));
    details.insert(QStringLiteral("verified"), true);
    return done(message, details);
}

int CommandRunner::boardScripts()
{
    const Awaited<std::array<std::string, 16>> listing =
        request<std::array<std::string, 16>>(p::boardListingFrame(m_password), decodeListingReply);
    if (listing.outcome != Outcome::Got)
        return failed(listing.outcome, QStringLiteral("board slot listing"));
    const Awaited<p::BoardCodes> contents =
        request<p::BoardCodes>(p::boardContentsFrame(m_password), decodeContentsReply);
    if (contents.outcome != Outcome::Got)
        return failed(contents.outcome, QStringLiteral("board slot contents"));
    if (json()) {
        emitJson(QJsonObject{{QStringLiteral("unit"), m_command.unit},
                             {QStringLiteral("slots"), boardScriptsJson(*listing.value, *contents.value)}});
    } else if (csv()) {
        m_out << csvRecord(boardScriptsCsvHeader());
        for (const QStringList& row : boardScriptsCsvRows(*listing.value, *contents.value))
            m_out << csvRecord(row);
    } else {
        m_out << boardScriptsText(*listing.value, *contents.value);
    }
    m_out.flush();
    return ExitDone;
}

int CommandRunner::boardScriptUpload()
{
    const Command& c = m_command;
    const std::string description = latin1(c.description);
    const int slotCode = p::boardSlotCode(c.slot);
    if (!send(p::boardUploadFrame(slotCode, description, c.boardCodes, m_password)))
        return failed(Outcome::SendFailed, QString());
    const QStringList steps = boardStepTexts(c.boardCodes);
    QJsonObject details{{QStringLiteral("slot"), c.slot},
                        {QStringLiteral("description"), c.description},
                        {QStringLiteral("steps"), QJsonArray::fromStringList(steps)}};
    if (c.options.noVerify) {
        details.insert(QStringLiteral("verified"), false);
        return done(QStringLiteral("board script sent to slot %1 (not verified)").arg(c.slot), details);
    }
    const auto slot = static_cast<std::size_t>(c.slot - 1);
    const std::string descriptionField = p::padField(description);
    const Awaited<std::array<std::string, 16>> listing =
        check<std::array<std::string, 16>>(p::boardListingFrame(m_password), true, decodeListingReply,
                                           [&](const std::array<std::string, 16>& descriptions) {
                                               return descriptions[slot] == descriptionField;
                                           });
    if (listing.outcome == Outcome::TimedOut && listing.value) {
        return fail(ExitRefused, QStringLiteral("timed out: board slot %1 of %2 still reads \"%3\"")
                                     .arg(c.slot)
                                     .arg(unitDescription(), unitText((*listing.value)[slot])));
    }
    if (listing.outcome != Outcome::Got)
        return failed(listing.outcome, QStringLiteral("board slot listing"));
    const Awaited<p::BoardCodes> contents =
        check<p::BoardCodes>(p::boardContentsFrame(m_password), true, decodeContentsReply,
                             [&](const p::BoardCodes& codes) { return codes[slot] == c.boardCodes; });
    if (contents.outcome == Outcome::TimedOut && contents.value) {
        return fail(ExitRefused,
                    QStringLiteral("timed out: board slot %1 of %2 holds other steps: %3")
                        .arg(c.slot)
                        .arg(unitDescription(), stepsText(boardStepTexts((*contents.value)[slot]))));
    }
    if (contents.outcome != Outcome::Got)
        return failed(contents.outcome, QStringLiteral("board slot contents"));
    details.insert(QStringLiteral("verified"), true);
    return done(
        QStringLiteral("board slot %1 holds \"%2\": %3").arg(c.slot).arg(c.description, stepsText(steps)),
        details);
}

int CommandRunner::boardScriptRun()
{
    const Command& c = m_command;
    if (!c.options.noVerify) {
        const Awaited<p::BoardCodes> contents =
            request<p::BoardCodes>(p::boardContentsFrame(m_password), decodeContentsReply);
        if (contents.outcome != Outcome::Got)
            return failed(contents.outcome, QStringLiteral("board slot contents"));
        if (boardStepTexts((*contents.value)[static_cast<std::size_t>(c.slot - 1)]).isEmpty()) {
            return fail(ExitRefused,
                        QStringLiteral("board slot %1 of %2 holds no steps: Make a Script First!")
                            .arg(c.slot)
                            .arg(c.unit));
        }
    }
    // The unit does not acknowledge a board script; its effects show in later status reports.
    if (!send(p::boardExecuteFrame(p::boardSlotCode(c.slot), m_password)))
        return failed(Outcome::SendFailed, QString());
    return done(QStringLiteral("board script in slot %1 sent to run").arg(c.slot),
                {{QStringLiteral("slot"), c.slot}});
}

int CommandRunner::configCommand()
{
    ConfigCommandContext context{m_command, m_out, m_err, m_env, *m_exchange, unitDescription()};
    switch (m_command.kind) {
    case CommandKind::Backup:
        return runBackup(context);
    case CommandKind::Diff:
        return runDiff(context);
    default:
        return runRestore(context);
    }
}

// ---- output ----------------------------------------------------------------------------------

QString CommandRunner::unitDescription() const
{
    return QStringLiteral("%1 port %2").arg(m_command.unit).arg(m_command.options.port);
}

QJsonObject CommandRunner::result(const QString& message) const
{
    QJsonObject object{{QStringLiteral("command"), commandLabel(m_command.kind)},
                       {QStringLiteral("ok"), true},
                       {QStringLiteral("message"), message}};
    if (talksToUnit(m_command.kind))
        object.insert(QStringLiteral("unit"), m_command.unit);
    return object;
}

int CommandRunner::done(const QString& message, QJsonObject details)
{
    if (json()) {
        QJsonObject object = result(message);
        for (auto it = details.constBegin(); it != details.constEnd(); ++it)
            object.insert(it.key(), it.value());
        emitJson(object);
    } else {
        m_out << message << '\n';
        m_out.flush();
    }
    return ExitDone;
}

void CommandRunner::emitJson(const QJsonObject& object)
{
    m_out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << '\n';
    m_out.flush();
}

void CommandRunner::note(const QString& message)
{
    m_err << "kestavo-cli: " << message << '\n';
    m_err.flush();
}

int CommandRunner::fail(int code, const QString& message)
{
    note(message);
    return code;
}

} // namespace kestavo::cli
