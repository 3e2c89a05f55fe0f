#pragma once

// A notification route: where alarm messages go (a webhook URL or a mailbox), which alarms it
// takes, and how often it may speak. Kept in the history file so a team shares them; secrets are
// never stored, only the paths of the files that hold them.

#include <optional>

#include <QList>
#include <QMetaType>
#include <QSet>
#include <QString>

#include "history/alarmjournal.h"

namespace kestavo::notify {

enum class RouteKind { Webhook, Email };

/// How a webhook's body is shaped. Json: the documented document; Text: the message as a plain
/// body with the title and priority as headers (push services that take a POST to a topic URL);
/// Chat: {"text": …} (chat bots and incoming-webhook URLs).
enum class WebhookPreset { Json, Text, Chat };

/// What happened to an alarm, as a route sees it.
enum class MessageKind { Raised, Cleared, Acknowledged, Repeat, Chattering, Summary, Test };

struct Route
{
    qint64 id = 0;
    RouteKind kind = RouteKind::Webhook;
    QString target; // the URL (webhook) or the recipient address (email)
    WebhookPreset preset = WebhookPreset::Json;
    QString headerFile; // webhook: lines "Name: value" sent as headers (tokens)
    QString smtp;       // email: smtp://HOST:PORT (STARTTLS) or smtps://HOST:PORT (TLS)
    QString from;
    QString smtpUser;
    QString passwordFile;
    QSet<history::AlarmPriority> priorities; // empty: every priority
    QString station;                         // empty: every station
    QString tag;                             // empty: every tag
    int cooldownS = 0;  // no second message for the same alarm on this route within this time
    int maxPerHour = 0; // 0: no cap
    int repeatMin = 0;  // repeat high-priority alarms still unacknowledged; 0: never
    bool sendCleared = false;
    bool sendAcknowledged = false;
    bool enabled = true;

    bool operator==(const Route&) const = default;
};

QString kindText(RouteKind kind); // "webhook", "email"
std::optional<RouteKind> kindFromText(const QString& text);
QString presetText(WebhookPreset preset); // "json", "text", "chat"
std::optional<WebhookPreset> presetFromText(const QString& text);
QString messageKindText(MessageKind kind); // "raised", "cleared", …
/// "high,medium" or "" for every priority; parsing refuses unknown names.
QString prioritiesText(const QSet<history::AlarmPriority>& priorities);
std::optional<QSet<history::AlarmPriority>> prioritiesFromText(const QString& text);

/// Empty when the route can be used; otherwise a sentence naming the field.
QString validate(const Route& route);
/// One line for lists: "webhook http://… (json) · high · station 10.0.0.5 · cooldown 300 s".
QString describe(const Route& route);

} // namespace kestavo::notify

Q_DECLARE_METATYPE(kestavo::notify::Route)
