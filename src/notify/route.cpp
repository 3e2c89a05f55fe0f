#include "notify/route.h"

#include <algorithm>

#include <QStringList>
#include <QUrl>

#include "stations/stationextras.h"

namespace kestavo::notify {

using history::AlarmPriority;

QString kindText(RouteKind kind)
{
    return kind == RouteKind::Email ? QStringLiteral("email") : QStringLiteral("webhook");
}

std::optional<RouteKind> kindFromText(const QString& text)
{
    for (RouteKind k : {RouteKind::Webhook, RouteKind::Email})
        if (text == kindText(k))
            return k;
    return std::nullopt;
}

QString presetText(WebhookPreset preset)
{
    switch (preset) {
    case WebhookPreset::Json:
        return QStringLiteral("json");
    case WebhookPreset::Text:
        return QStringLiteral("text");
    case WebhookPreset::Chat:
        return QStringLiteral("chat");
    }
    return {};
}

std::optional<WebhookPreset> presetFromText(const QString& text)
{
    for (WebhookPreset p : {WebhookPreset::Json, WebhookPreset::Text, WebhookPreset::Chat})
        if (text == presetText(p))
            return p;
    return std::nullopt;
}

QString messageKindText(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Raised:
        return QStringLiteral("raised");
    case MessageKind::Cleared:
        return QStringLiteral("cleared");
    case MessageKind::Acknowledged:
        return QStringLiteral("acknowledged");
    case MessageKind::Repeat:
        return QStringLiteral("repeat");
    case MessageKind::Chattering:
        return QStringLiteral("chattering");
    case MessageKind::Summary:
        return QStringLiteral("summary");
    case MessageKind::Test:
        return QStringLiteral("test");
    }
    return {};
}

QString prioritiesText(const QSet<AlarmPriority>& priorities)
{
    QStringList names;
    for (AlarmPriority p : {AlarmPriority::High, AlarmPriority::Medium, AlarmPriority::Low})
        if (priorities.contains(p))
            names << history::priorityText(p);
    return names.join(u',');
}

std::optional<QSet<AlarmPriority>> prioritiesFromText(const QString& text)
{
    QSet<AlarmPriority> result;
    for (const QString& name : text.split(u',', Qt::SkipEmptyParts)) {
        const auto p = history::priorityFromText(name.trimmed());
        if (!p)
            return std::nullopt;
        result.insert(*p);
    }
    return result;
}

namespace {

// A line break in an address would start a new mail header or SMTP command.
bool hasControl(const QString& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

} // namespace

QString validate(const Route& route)
{
    if (route.kind == RouteKind::Webhook) {
        const QUrl url(route.target, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty() || (url.scheme() != u"http" && url.scheme() != u"https"))
            return QStringLiteral("URL: \"%1\" is not an http:// or https:// address.").arg(route.target);
    } else {
        if (!route.target.contains(u'@') || route.target.contains(u' ') || route.target.contains(u'<') ||
            route.target.contains(u'>') || hasControl(route.target))
            return QStringLiteral("To: \"%1\" is not a mail address.").arg(route.target);
        const QUrl smtp(route.smtp, QUrl::StrictMode);
        if (!smtp.isValid() || smtp.host().isEmpty() || smtp.port() <= 0 ||
            (smtp.scheme() != u"smtp" && smtp.scheme() != u"smtps"))
            return QStringLiteral("SMTP server: \"%1\" is not smtp://HOST:PORT or smtps://HOST:PORT.")
                .arg(route.smtp);
        if (!route.from.isEmpty() && (!route.from.contains(u'@') || hasControl(route.from)))
            return QStringLiteral("From: \"%1\" is not a mail address.").arg(route.from);
        if (route.smtpUser.isEmpty() != route.passwordFile.isEmpty())
            return QStringLiteral("SMTP user and password file go together; give both or neither.");
    }
    if (!route.station.isEmpty() && !route.tag.isEmpty())
        return QStringLiteral("Filter: a route takes one station or one tag, not both.");
    if (!route.tag.isEmpty())
        if (const QString problem = stations::tagProblem(route.tag); !problem.isEmpty())
            return QStringLiteral("Tag: %1.").arg(problem);
    if (route.cooldownS < 0 || route.maxPerHour < 0 || route.repeatMin < 0)
        return QStringLiteral("Cooldown, messages per hour and repeat minutes cannot be negative.");
    return {};
}

QString describe(const Route& route)
{
    QStringList parts;
    if (route.kind == RouteKind::Webhook)
        parts << QStringLiteral("webhook %1 (%2)").arg(route.target, presetText(route.preset));
    else
        parts << QStringLiteral("email %1 via %2").arg(route.target, route.smtp);
    parts << (route.priorities.isEmpty() ? QStringLiteral("every priority")
                                         : prioritiesText(route.priorities));
    if (!route.station.isEmpty())
        parts << QStringLiteral("station %1").arg(route.station);
    if (!route.tag.isEmpty())
        parts << QStringLiteral("tag %1").arg(route.tag);
    if (route.cooldownS > 0)
        parts << QStringLiteral("cooldown %1 s").arg(route.cooldownS);
    if (route.maxPerHour > 0)
        parts << QStringLiteral("at most %1/h").arg(route.maxPerHour);
    if (route.repeatMin > 0)
        parts << QStringLiteral("repeat every %1 min").arg(route.repeatMin);
    if (route.sendCleared)
        parts << QStringLiteral("cleared");
    if (route.sendAcknowledged)
        parts << QStringLiteral("acknowledged");
    if (!route.enabled)
        parts << QStringLiteral("disabled");
    return parts.join(QStringLiteral(" · "));
}

} // namespace kestavo::notify
