#pragma once

// One message as it leaves for a route, and the bytes each kind of route sends: the webhook body
// (shaped by the route's preset) and the plain-text mail. Pure functions: no I/O.

#include <optional>

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include "notify/route.h"

namespace kestavo::notify {

/// One group of a flood summary: "25 × Offline (north)".
struct SummaryGroup
{
    QString text;
    QString where; // the common tag, the one site, or "12 sites"
    int count = 0;
};

struct Message
{
    MessageKind kind = MessageKind::Raised;
    qint64 alarmId = 0;
    QString address;
    QString description; // the site's name
    qint64 rule = 0;
    history::AlarmPriority priority = history::AlarmPriority::Medium;
    history::AlarmState state = history::AlarmState::Normal;
    std::optional<double> value;
    QString text;
    qint64 timeMs = 0;
    QString ackedBy;
    // Summaries only.
    int count = 0;
    qint64 spanMs = 0;
    QList<SummaryGroup> groups;
};

/// What `notify routes test` and the Alarms window's "Send test" send: a low-priority message
/// naming the route's station (or "Kestavo" for a route of every station).
Message testMessage(const Route& route, const QString& stationDescription, qint64 nowMs);

/// "Pumphouse (10.0.0.5)", or the address alone when the station has no name.
QString siteName(const Message& message);
/// The subject or push title: "High alarm at Pumphouse (10.0.0.5): Voltage 3 below 11.5 V".
QString title(const Message& message);
/// The plain-text body: the title's facts one per line, so a phone shows them without a parser.
QString plainText(const Message& message);
/// "27 new alarms in 4 min: 25 × Offline (north), 2 × Voltage 3 below 11.5 V (Pumphouse)".
QString summaryLine(const Message& message);
/// The documented JSON document (docs/alarms.md, "Payload").
QJsonObject payload(const Message& message);

struct HttpRequest
{
    QByteArray contentType;
    QList<QByteArray> headers; // "Name: value"
    QByteArray body;
};
HttpRequest webhookRequest(WebhookPreset preset, const Message& message);

/// A complete RFC 5322 message (CRLF line ends) for SMTP.
QByteArray mailText(const Message& message, const QString& from, const QString& to, qint64 nowMs,
                    const QString& messageId);

} // namespace kestavo::notify
