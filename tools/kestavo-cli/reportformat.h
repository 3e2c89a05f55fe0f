#pragma once

// How the command line shows what a unit reports: a decoded status report as text, as a JSON
// object with stable keys, or as a CSV row; slot tables likewise. Pure functions of their inputs
// (the time of a report is passed in), so tests can compare whole outputs.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include "protocol/codes.h"
#include "protocol/reply.h"

namespace kestavo::cli {

/// Full-scale jumpers of voltage inputs 1 and 2 (JP6, JP7): 0 = 30 V, 1 = 60 V.
using RangeFlags = std::array<int, 2>;

/// Volts of channel 1..8 as the console's readout shows them, or nothing when unusable.
std::optional<double> channelVoltage(const protocol::StatusReport& report, int channel,
                                     const RangeFlags& flags);

QJsonObject statusJson(const protocol::StatusReport& report, const RangeFlags& flags, const QString& unit);
QString statusText(const protocol::StatusReport& report, const RangeFlags& flags, const QString& unit);

/// One line per report for `watch`.
QString statusLine(const protocol::StatusReport& report, const RangeFlags& flags, const QDateTime& time);

QStringList statusCsvHeader();
QStringList statusCsvRow(const protocol::StatusReport& report, const RangeFlags& flags, const QString& unit,
                         const QDateTime& time);

/// One RFC 4180 record: fields quoted when they hold a comma, a quote, CR or LF (quotes doubled),
/// joined by commas, ended by CR LF.
QString csvRecord(const QStringList& fields);

/// Text the unit sent (one byte per character) as a QString, trailing and leading spaces removed.
QString unitText(std::string_view bytes);

/// "ON"/"OFF" of a board item's bit: set = NC for relays, ON for the output and the light.
QString boardItemState(protocol::BoardItem item, std::uint8_t stateByte);
/// "relay 2", "output", "light".
QString boardItemName(protocol::BoardItem item);

/// The caption the console's pop-up shows for acknowledgement kind 3..12, empty otherwise.
QString acknowledgementText(int kind);

// Slot tables: eight relay-script slots, sixteen board-script slots.
QJsonArray scriptsJson(const protocol::SlotTable& table);
QString scriptsText(const protocol::SlotTable& table);
QStringList scriptsCsvHeader();
QList<QStringList> scriptsCsvRows(const protocol::SlotTable& table);

QStringList boardStepTexts(const std::array<std::uint8_t, 16>& codes);
QJsonArray boardScriptsJson(const std::array<std::string, 16>& descriptions,
                            const protocol::BoardCodes& codes);
QString boardScriptsText(const std::array<std::string, 16>& descriptions, const protocol::BoardCodes& codes);
QStringList boardScriptsCsvHeader();
QList<QStringList> boardScriptsCsvRows(const std::array<std::string, 16>& descriptions,
                                       const protocol::BoardCodes& codes);

} // namespace kestavo::cli
