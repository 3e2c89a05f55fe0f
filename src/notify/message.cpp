#include "notify/message.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QStringList>

#include "history/alarmjournal.h"
#include "history/timetext.h"

namespace kestavo::notify {

namespace {

QString kindWord(const Message& m)
{
    switch (m.kind) {
    case MessageKind::Raised:
        return QStringLiteral("alarm");
    case MessageKind::Repeat:
        return QStringLiteral("alarm still unacknowledged");
    case MessageKind::Chattering:
        return QStringLiteral("alarm chattering");
    case MessageKind::Cleared:
        return QStringLiteral("alarm cleared");
    case MessageKind::Acknowledged:
        return QStringLiteral("alarm acknowledged");
    case MessageKind::Test:
        return QStringLiteral("test message");
    case MessageKind::Summary:
        break;
    }
    return QStringLiteral("alarms");
}

QString capitalised(const QString& text)
{
    return text.isEmpty() ? text : text.left(1).toUpper() + text.mid(1);
}

QString valueText(const std::optional<double>& value)
{
    return value ? QString::number(*value, 'g', 6) : QString();
}

// RFC 2047 for a header that is not plain ASCII.
QByteArray headerText(const QString& text)
{
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7f;
    if (ascii)
        return text.toLatin1();
    return "=?UTF-8?B?" + text.toUtf8().toBase64() + "?=";
}

// Header values must not break a line, whatever a station's name holds.
QString oneLine(QString text)
{
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

} // namespace

QString siteName(const Message& m)
{
    if (m.description.trimmed().isEmpty())
        return m.address;
    return QStringLiteral("%1 (%2)").arg(m.description.trimmed(), m.address);
}

QString summaryLine(const Message& m)
{
    const qint64 minutes = std::max<qint64>(1, (m.spanMs + 59'999) / 60'000);
    QStringList groups;
    for (qsizetype i = 0; i < m.groups.size() && i < 5; ++i) {
        const SummaryGroup& g = m.groups.at(i);
        groups << QStringLiteral("%1 × %2 (%3)").arg(g.count).arg(g.text, g.where);
    }
    QString line = QStringLiteral("%1 new alarm%2 in %3 min")
                       .arg(m.count)
                       .arg(m.count == 1 ? QString() : QStringLiteral("s"))
                       .arg(minutes);
    if (!groups.isEmpty())
        line += QStringLiteral(": ") + groups.join(QStringLiteral(", "));
    if (m.groups.size() > 5)
        line += QStringLiteral(" …");
    return line;
}

QString title(const Message& m)
{
    if (m.kind == MessageKind::Summary)
        return QStringLiteral("Alarm flood: %1").arg(summaryLine(m));
    const QString priority = capitalised(history::priorityText(m.priority));
    return QStringLiteral("%1 %2 at %3: %4").arg(priority, kindWord(m), siteName(m), m.text);
}

QString plainText(const Message& m)
{
    if (m.kind == MessageKind::Summary)
        return summaryLine(m) + u'\n';
    QStringList lines;
    lines << m.text;
    lines << QStringLiteral("Station: %1").arg(siteName(m));
    lines << QStringLiteral("Alarm: %1, %2").arg(m.alarmId).arg(history::ruleName(m.rule));
    lines << QStringLiteral("Priority: %1").arg(history::priorityText(m.priority));
    lines << QStringLiteral("State: %1").arg(history::stateText(m.state));
    if (m.value)
        lines << QStringLiteral("Value: %1").arg(valueText(m.value));
    lines << QStringLiteral("Time: %1").arg(history::isoUtcSeconds(m.timeMs));
    if (!m.ackedBy.isEmpty())
        lines << QStringLiteral("Acknowledged by: %1").arg(m.ackedBy);
    if (m.kind == MessageKind::Chattering)
        lines << QStringLiteral("Raised 3 or more times within a minute; further raises are not sent.");
    return lines.join(u'\n') + u'\n';
}

QJsonObject payload(const Message& m)
{
    QJsonObject o{{QStringLiteral("event"), messageKindText(m.kind)},
                  {QStringLiteral("title"), title(m)},
                  {QStringLiteral("message"), plainText(m).trimmed()},
                  {QStringLiteral("time"), history::isoUtcSeconds(m.timeMs)}};
    if (m.kind == MessageKind::Summary) {
        QJsonArray groups;
        for (const SummaryGroup& g : m.groups)
            groups.append(QJsonObject{{QStringLiteral("text"), g.text},
                                      {QStringLiteral("where"), g.where},
                                      {QStringLiteral("count"), g.count}});
        o.insert(QStringLiteral("count"), m.count);
        o.insert(QStringLiteral("span_s"), double(m.spanMs / 1000));
        o.insert(QStringLiteral("groups"), groups);
        return o;
    }
    o.insert(QStringLiteral("alarm_id"), double(m.alarmId));
    o.insert(QStringLiteral("station"), QJsonObject{{QStringLiteral("address"), m.address},
                                                    {QStringLiteral("description"), m.description}});
    o.insert(QStringLiteral("rule"), double(m.rule));
    o.insert(QStringLiteral("priority"), history::priorityText(m.priority));
    o.insert(QStringLiteral("state"), history::stateText(m.state));
    o.insert(QStringLiteral("value"), m.value ? QJsonValue(*m.value) : QJsonValue());
    o.insert(QStringLiteral("text"), m.text);
    o.insert(QStringLiteral("acknowledged_by"), m.ackedBy);
    return o;
}

HttpRequest webhookRequest(WebhookPreset preset, const Message& m)
{
    HttpRequest r;
    switch (preset) {
    case WebhookPreset::Json:
        r.contentType = "application/json";
        r.body = QJsonDocument(payload(m)).toJson(QJsonDocument::Compact);
        break;
    case WebhookPreset::Text: {
        r.contentType = "text/plain; charset=utf-8";
        r.body = plainText(m).toUtf8();
        r.headers << "Title: " + headerText(oneLine(title(m)));
        // 1 (min) to 5 (max), the scale topic-based push services read from this header.
        const int level = m.kind == MessageKind::Summary                 ? 5
                          : m.priority == history::AlarmPriority::High   ? 5
                          : m.priority == history::AlarmPriority::Medium ? 3
                                                                         : 2;
        r.headers << "Priority: " + QByteArray::number(level);
        r.headers << "Tags: " + messageKindText(m.kind).toLatin1();
        break;
    }
    case WebhookPreset::Chat:
        r.contentType = "application/json";
        r.body = QJsonDocument(QJsonObject{{QStringLiteral("text"), title(m) + u'\n' + plainText(m)}})
                     .toJson(QJsonDocument::Compact);
        break;
    }
    return r;
}

QByteArray mailText(const Message& m, const QString& from, const QString& to, qint64 nowMs,
                    const QString& messageId)
{
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(nowMs, Qt::UTC);
    QByteArray mail;
    mail += "Date: " + QLocale::c().toString(now, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss")).toLatin1() +
            " +0000\r\n";
    mail += "From: " + oneLine(from).toUtf8() + "\r\n";
    mail += "To: " + oneLine(to).toUtf8() + "\r\n";
    mail += "Message-ID: <" + messageId.toLatin1() + ">\r\n";
    mail += "Subject: " + headerText(oneLine(title(m))) + "\r\n";
    mail += "MIME-Version: 1.0\r\n";
    mail += "Content-Type: text/plain; charset=utf-8\r\n";
    mail += "Content-Transfer-Encoding: 8bit\r\n\r\n";
    QByteArray body = plainText(m).toUtf8();
    body.replace("\r\n", "\n");
    body.replace("\n", "\r\n");
    mail += body;
    return mail;
}

Message testMessage(const Route& route, const QString& stationDescription, qint64 nowMs)
{
    Message test;
    test.kind = MessageKind::Test;
    test.address = route.station.isEmpty() ? QStringLiteral("0.0.0.0") : route.station;
    test.description = route.station.isEmpty() ? QStringLiteral("Kestavo") : stationDescription;
    test.priority = history::AlarmPriority::Low;
    test.state = history::AlarmState::Normal;
    test.text = QStringLiteral("Test message: this route reaches you.");
    test.timeMs = nowMs;
    return test;
}

} // namespace kestavo::notify
