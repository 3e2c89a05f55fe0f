#include "alarms/rulesfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include "alarms/rulevalidation.h"

namespace kestavo::alarms {

using history::AlarmRule;

QByteArray rulesToJson(const QList<AlarmRule>& rules)
{
    QJsonArray array;
    for (const AlarmRule& r : rules)
        array.append(
            QJsonObject{{QStringLiteral("id"), r.id},
                        {QStringLiteral("station"), r.address.isEmpty() ? QStringLiteral("all") : r.address},
                        {QStringLiteral("kind"), kindName(r.kind)},
                        {QStringLiteral("channel"), r.channel},
                        {QStringLiteral("limit"), r.limit},
                        {QStringLiteral("deadband"), r.deadband},
                        {QStringLiteral("on_delay"), r.onDelayS},
                        {QStringLiteral("off_delay"), r.offDelayS},
                        {QStringLiteral("priority"), history::priorityText(r.priority)},
                        {QStringLiteral("text"), r.text},
                        {QStringLiteral("enabled"), r.enabled}});
    return QJsonDocument(QJsonObject{{QStringLiteral("rules"), array}}).toJson(QJsonDocument::Indented);
}

namespace {

const QStringList kFields{QStringLiteral("id"),       QStringLiteral("station"),   QStringLiteral("kind"),
                          QStringLiteral("channel"),  QStringLiteral("limit"),     QStringLiteral("deadband"),
                          QStringLiteral("on_delay"), QStringLiteral("off_delay"), QStringLiteral("priority"),
                          QStringLiteral("text"),     QStringLiteral("enabled")};

// A whole number within [min, max]; JSON numbers are doubles, so 2.5 is refused, not truncated.
bool wholeNumber(const QJsonValue& v, double min, double max, qint64* out)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (d != double(qint64(d)) || d < min || d > max)
        return false;
    *out = qint64(d);
    return true;
}

} // namespace

std::variant<QList<AlarmRule>, QString> rulesFromJson(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("not JSON: %1 at byte %2").arg(error.errorString()).arg(error.offset);
    if (!doc.isObject() || !doc.object().value(QStringLiteral("rules")).isArray())
        return QStringLiteral("rules: the document must be an object with a \"rules\" list");
    const QJsonArray array = doc.object().value(QStringLiteral("rules")).toArray();
    QList<AlarmRule> rules;
    QSet<qint64> ids;
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QString at = QStringLiteral("rules[%1]").arg(i);
        if (!array.at(i).isObject())
            return at + QStringLiteral(": each rule must be an object");
        const QJsonObject o = array.at(i).toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!kFields.contains(it.key()))
                return QStringLiteral("%1.%2: unknown field (known: %3)")
                    .arg(at, it.key(), kFields.join(u", "));
        AlarmRule r;
        qint64 n = 0;
        if (o.contains(u"id")) {
            if (!wholeNumber(o.value(u"id"), 1, 9e15, &n))
                return at + QStringLiteral(".id: a positive whole number");
            if (ids.contains(n))
                return at + QStringLiteral(".id: %1 appears twice").arg(n);
            ids.insert(n);
            r.id = n;
        }
        const QJsonValue station = o.value(u"station");
        if (!station.isUndefined() && !station.isString())
            return at + QStringLiteral(".station: an address or \"all\"");
        r.address = station.toString() == u"all" ? QString() : station.toString();
        const auto kind = kindFromName(o.value(u"kind").toString());
        if (!kind)
            return at + QStringLiteral(".kind: one of %1").arg(kindNames().join(u", "));
        r.kind = *kind;
        if (o.contains(u"channel")) {
            if (!wholeNumber(o.value(u"channel"), 0, 8, &n))
                return at + QStringLiteral(".channel: a whole number from 0 to 8");
            r.channel = int(n);
        }
        if (!o.value(u"limit").isDouble())
            return at + QStringLiteral(".limit: a number");
        r.limit = o.value(u"limit").toDouble();
        if (o.contains(u"deadband")) {
            if (!o.value(u"deadband").isDouble())
                return at + QStringLiteral(".deadband: a number");
            r.deadband = o.value(u"deadband").toDouble();
        }
        for (const auto& [name, field] :
             {std::pair{u"on_delay", &r.onDelayS}, std::pair{u"off_delay", &r.offDelayS}}) {
            if (!o.contains(QStringView(name)))
                continue;
            if (!wholeNumber(o.value(QStringView(name)), 0, 86400 * 7, &n))
                return QStringLiteral("%1.%2: whole seconds from 0 to 604800")
                    .arg(at, QStringView(name).toString());
            *field = int(n);
        }
        if (o.contains(u"priority")) {
            const auto priority = history::priorityFromText(o.value(u"priority").toString());
            if (!priority)
                return at + QStringLiteral(".priority: high, medium or low");
            r.priority = *priority;
        }
        if (o.contains(u"text") && !o.value(u"text").isString())
            return at + QStringLiteral(".text: a string");
        r.text = o.value(u"text").toString();
        if (o.contains(u"enabled") && !o.value(u"enabled").isBool())
            return at + QStringLiteral(".enabled: true or false");
        r.enabled = o.value(u"enabled").toBool(true);
        rules.append(r);
    }
    for (qsizetype i = 0; i < rules.size(); ++i) {
        QList<AlarmRule> others = rules;
        others.removeAt(i);
        // Rules without an id must not match each other in the pair check: number them apart.
        for (qsizetype k = 0; k < others.size(); ++k)
            if (others[k].id == 0)
                others[k].id = -1 - k;
        if (const QString problem = validateRule(rules[i], others); !problem.isEmpty())
            return QStringLiteral("rules[%1]: %2").arg(i).arg(problem);
    }
    return rules;
}

} // namespace kestavo::alarms
