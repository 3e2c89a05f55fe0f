#pragma once

// Text layouts of a station record and the fixed texts the station operations show.

#include <QString>

namespace kestavo::stations {

// The station box is drawn in a fixed-pitch font, so the address column is padded to this width
// and every lookup reads the address back from the same columns.
inline constexpr qsizetype kAddressWidth = 15;
inline constexpr qsizetype kEntryGap = 3;
// Command frames carry exactly this many password characters.
inline constexpr qsizetype kPasswordWidth = 10;
inline constexpr QChar kPasswordFill = u'*';

inline const QString kDatabaseFileName = QStringLiteral("ksv.dat");
inline const QString kTableName = QStringLiteral("ipnumbers");

inline const QString kNotFound = QStringLiteral("Not found in Data Base. Please Add it first.");
inline const QString kDontDelete = QStringLiteral("Dont Delete this IP");
inline const QString kRemoveQuestion = QStringLiteral("Remove IP? Are you Sure?");
inline const QString kRemoveTitle = QStringLiteral("Remove IP");
inline const QString kAddIp = QStringLiteral("Add an IP!");
inline const QString kAddPassword = QStringLiteral("Add a Password!");
inline const QString kEnterDescription = QStringLiteral("Enter a Description!");

// IP without surrounding spaces, space-filled to 15, three spaces, the description as typed.
// An IP longer than 15 characters is kept whole (the IP box never allows one).
QString formatEntry(const QString& ip, const QString& description);

// The first 15 characters of an entry (or of any station box text) without surrounding spaces.
QString addressOf(const QString& entryOrBoxText);

// The description part of an entry: everything after the address column and the gap.
QString descriptionOf(const QString& entry);

// The typed password right-filled with '*' to 10 characters; longer input is left as it is.
QString padPassword(const QString& typed);

// Removes leading and trailing spaces only: tabs and other white space belong to the text.
QString trimSpaces(const QString& text);

/// Why `address` is not a station address every program reads alike ("is no IPv4 address (octet 4
/// has a leading zero, …)"), or an empty text. The one strict reader of protocol/ipv4.h.
QString addressProblem(const QString& address);

/// The sentence the console shows for such an address: "\"999.1.1.1\" is no IPv4 address (…)".
QString addressRefusal(const QString& address);

} // namespace kestavo::stations
