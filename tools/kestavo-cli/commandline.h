#pragma once

// The command line of kestavo-cli, parsed into one Command or a UsageError that names the bad
// argument. Parsing never touches the network or the station database, so a command that fails
// here has sent nothing and written nothing.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <QDate>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "protocol/codes.h"
#include "protocol/frames.h"

#include "schedules/scheduleentry.h"

namespace kestavo::cli {

enum class OutputFormat { Text, Json, Csv };

enum class CommandKind {
    Help,
    Version,
    StationsList,
    StationsAdd,
    StationsRemove,
    StationsDefault,
    StationsImport,
    StationsExport,
    Fleet,
    Status,
    Watch,
    Relay,
    Scripts,
    ScriptUpload,
    ScriptRun,
    TimerSet,
    TimerStop,
    IoOff,
    IoOn,
    TemperatureOff,
    TemperatureOn,
    Name,
    Password,
    AllowAll,
    AllowOnly,
    Http,
    Snmp,
    SetIp,
    SetMac,
    Board,
    BoardScripts,
    BoardScriptUpload,
    BoardScriptRun,
    Backup,
    Diff,
    Restore,
    Alarms,
    AlarmsAck,
    Audit,
    History,
    Notify,
    StationsMaintenance,
    AlarmsReport,
    AlarmsRules,
    AlarmsShelve,
    StationsTag,
    StationsUntag,
    StationsSet,
    ScheduleList,
    ScheduleAdd,
    ScheduleRemove,
    ScheduleEnable,
    ScheduleDisable,
    ScheduleNext,
    Sun,
    RelayTag,     // relay --tag: every station with the tag
    ScriptRunTag, // script run --tag
    Rollout,
    StoreInit,
    StoreGrant,
    StoreRevoke,
    StoreImport,
    StoreStatus,
};

// Limits of the console's own controls, which the command line keeps.
inline constexpr int kDefaultPort = 7;
inline constexpr int kDefaultTimeoutMs = 2000;
inline constexpr int kDefaultIntervalMs = 1000; // the console's poll period
inline constexpr int kMaxRelayDelay = 60;
inline constexpr std::uint32_t kMaxTimerSeconds = 2682060; // 30 d 24 h 60 min 60 s
inline constexpr int kMaxThreshold = 49;                   // °C, the temperature sliders' top
inline constexpr int kMaxScriptDescription = 15;           // the description box stops there
inline constexpr int kMaxBoardDescription = 16;
inline constexpr int kMaxStationName = 20;
inline constexpr int kMaxAllowedAddresses = 5;
inline constexpr int kMaxAddressText = 15;
inline constexpr int kMaxPassword = 10;
inline constexpr int kMaxStationDescription = 30;

struct GlobalOptions
{
    QString db;                        // --db; empty: the console's default database
    int port = kDefaultPort;           // --port
    int timeoutMs = kDefaultTimeoutMs; // --timeout
    OutputFormat format = OutputFormat::Text;
    std::optional<QString> password; // --password, as typed (never printed)
    bool noVerify = false;           // --no-verify
};

struct Command
{
    CommandKind kind = CommandKind::Help;
    QString word;          // the command word, lower case ("board-script")
    QStringList arguments; // the whole line, for the commands that read it with their own parser
    GlobalOptions options;
    QString helpTopic; // Help: the command word asked about; empty for the whole tool

    QString unit;                    // UNIT as typed: the station address
    std::array<int, 4> unitOctets{}; // where the datagrams go

    // stations add / remove / default
    QString stationAddress;
    QString stationPassword; // as typed, never printed
    QString stationDescription;

    // stations tag / untag: the tags; stations --tag, fleet --tag: only the stations with this tag
    QStringList tags;
    QString tagFilter;
    // stations set: what the options change (location, latitude and longitude together, zone)
    std::optional<QString> siteLocation;
    std::optional<std::optional<std::pair<double, double>>> sitePosition;
    std::optional<QString> siteZone;

    // stations import / export: the CSV file ("-" or empty for export: standard output);
    // backup: -o FILE (empty: standard output); diff, restore: the backup document
    QString file;

    // fleet
    bool watch = false;
    // --history: the fleet's reports go to this history file; the audit log and the alarms are
    // kept there too (empty: history.db beside the station database, and the fleet records nothing)
    QString historyFile;

    // watch
    int count = 0; // 0: until stopped
    int intervalMs = kDefaultIntervalMs;

    // relay
    int relay = 0;
    protocol::RelayAction relayAction = protocol::RelayOn;
    int seconds = 0; // relay cycle delay, board toggle delay

    // script / board-script / timer / io / temp
    int slot = 0;
    QString description;
    std::string codeField;                     // relay-script step codes, unpadded
    std::array<std::uint8_t, 16> boardCodes{}; // board-script step codes, 0x00 for unused
    int stepCount = 0;
    std::uint32_t durationSeconds = 0;
    bool continuous = false;
    int box = 0;
    int slotFor0 = 0;
    int slotFor1 = 0;
    int upperSlot = 0;
    int lowerSlot = 0;
    int upper = 0;
    int lower = 0;

    QString stationName;
    QString newPassword; // as typed, never printed
    std::vector<std::array<int, 4>> allowed;
    bool on = false;
    std::array<int, 4> newIp{};
    std::array<int, 6> newMac{};

    int board = 0;
    protocol::BoardItem item = protocol::BoardItem::Relay1;
    bool toggle = false;

    // backup / diff / restore / rollout
    QStringList only; // restore --only: group names, empty for the default groups
    bool yes = false; // restore --yes: no question before writing

    // relay --tag, script run --tag, rollout: the stations (tagFilter or this list), how many at a
    // time, after how many failures no further unit starts; rollout --dry-run compares only
    QStringList stationList;
    int parallel = 4;
    int maxFailures = 1;
    bool dryRun = false;

    // alarms ack / audit
    qint64 alarmId = 0;           // alarms ack ID; 0 for all
    std::optional<QString> since; // audit --since, as typed (read against the clock when run)
    QString station;              // audit --station

    // schedule add: the entry; remove, enable, disable: its id; next: --days (the station or tag
    // in stationAddress or tagFilter)
    schedules::ScheduleEntry schedule;
    qint64 scheduleId = 0;
    int days = 7;

    // sun
    double latitude = 0;
    double longitude = 0;
    QDate date;
    QString zone; // empty: this machine's

    // history
    std::optional<QString> from; // --from, as typed (read against the clock when run)
    std::optional<QString> to;   // --to
    QString step;                // --step: raw, 1m or 1h

    // store: --store as typed (checked while parsing); grant and revoke: the login and the role word
    QString storeUrl;
    QString storeLogin;
    QString storeRole;
};

struct UsageError
{
    QString command; // the command word the error belongs to ("relay"), empty for the tool
    QString message; // names the bad argument; never contains a password
};

/// Why a password typed for `name` cannot be used, or an empty text. storedFormAllowed accepts
/// the '*'-padded form as stored.
QString passwordProblem(const QString& typed, const QString& name, bool storedFormAllowed);

/// True when every character of `text` is one the unit can store (Latin-1).
bool isLatin1(const QString& text);

/// Parses the arguments after the program name.
std::variant<Command, UsageError> parseArguments(const QStringList& arguments);

/// The command words that have their own --help.
const QStringList& commandWords();

/// "relay", "script upload", … for messages and JSON output.
QString commandLabel(CommandKind kind);

/// True for the commands that talk to a unit.
bool talksToUnit(CommandKind kind);

} // namespace kestavo::cli
