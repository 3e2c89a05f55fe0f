#pragma once

// One unit's configuration as a backup document keeps it: what a restore can write back, and
// what is kept for information only. Built from the replies the console already decodes (status
// report, slot table, board listing and contents); read from and written to JSON. The password
// is never part of it.

#include <array>
#include <optional>
#include <string>
#include <variant>

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include "protocol/reply.h"

namespace kestavo::backup {

/// The document's `format`. A reader refuses a newer one.
inline constexpr int kFormat = 1;
/// The document's `kind`, so that another JSON file is not mistaken for one.
inline constexpr auto kKind = "kestavo-unit-configuration";

struct ScriptSlot
{
    QString description; // trailing spaces removed
    QStringList steps;   // step texts; board waits as "Wait 5 Seconds"
    bool operator==(const ScriptSlot&) const = default;
};

/// A trigger's slots are 1..8, or 0 when the stored code names no slot. An inactive trigger keeps
/// no slots: the dialogs send 0 for them.
struct IoTrigger
{
    bool active = false;
    int slotFor0 = 0;
    int slotFor1 = 0;
    bool operator==(const IoTrigger&) const = default;
};

struct TemperatureTrigger
{
    bool active = false;
    int upperSlot = 0;
    int lowerSlot = 0;
    int upper = 0; // °C
    int lower = 0;
    bool operator==(const TemperatureTrigger&) const = default;
};

struct UnitConfig
{
    QString stationName; // trailing spaces removed
    std::array<int, 3> relayDelays{};
    bool onlyListed = false;             // the allowed-IP rule
    std::array<int, 20> allowedOctets{}; // five addresses, kept even while the rule is "all"
    std::optional<bool> httpOn;          // empty: the firmware has no such switch
    std::optional<bool> snmpOn;          // empty: the firmware has no such switch
    std::array<IoTrigger, 5> ioTriggers{};
    TemperatureTrigger temperature;
    std::array<ScriptSlot, 8> relayScripts{};
    std::optional<std::array<ScriptSlot, 16>> boardScripts; // empty: the unit has no boards

    // For information only; never restored and never compared.
    QString mac;
    QString address;
    QString firmware; // "1.7.2"
    long long revision = 0;
    QList<int> fittedBoards;
    QDateTime takenAt;
    QString consoleVersion;
};

/// What was read from a unit to build its configuration.
struct UnitReadings
{
    protocol::StatusReport report;
    protocol::SlotTable slotTable{};
    std::optional<std::array<std::string, 16>> boardListing;
    std::optional<protocol::BoardCodes> boardContents;
};

UnitConfig configFromUnit(const UnitReadings& readings, const QString& address, const QDateTime& takenAt,
                          const QString& consoleVersion);

/// A slot's step texts from a code field or sixteen board codes.
QStringList relayStepTexts(const std::string& codeField);
QStringList boardStepTexts(const std::array<std::uint8_t, 16>& codes);
/// A field as received (one character per byte) with the trailing spaces removed.
QString fieldText(const std::string& field);

QJsonObject toJson(const UnitConfig& config);
/// The document's bytes, indented, ending in a newline.
QByteArray toDocument(const UnitConfig& config);

/// Backup documents are a few kilobytes; a file far larger is not one.
inline constexpr qint64 kMaxDocumentBytes = 1024 * 1024;

/// Reads a document. Anything that is not one, of a newer format, with a step no unit knows, a
/// slot out of range or an address octet above 255 is refused as a whole: the error names the
/// field ("relay_scripts[2].steps[0]: ..."). So are a key twice in one object and texts with
/// control characters.
std::variant<UnitConfig, QString> fromDocument(const QByteArray& bytes);

/// "a.b.c.d" of four octets.
QString addressText(const std::array<int, 20>& octets, int row);

} // namespace kestavo::backup
