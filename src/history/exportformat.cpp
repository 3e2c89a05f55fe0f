#include "history/exportformat.h"

#include <cmath>

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include "protocol/conversions.h"

#include "text/csv.h"

namespace kestavo::history {

namespace {

QString number(double value)
{
    return std::isnan(value) ? QString() : QString::fromStdString(protocol::shortestText(value));
}

QString state(qint8 value)
{
    return value < 0 ? QString() : QString::number(value);
}

QStringList seriesNames(const QStringList& captions)
{
    QStringList names;
    for (int c = 0; c < kChannels; ++c) {
        const QString caption = captions.value(c).trimmed();
        names.append(captions.isEmpty()
                         ? QStringLiteral("v%1").arg(c + 1)
                         : (caption.isEmpty() ? QStringLiteral("Voltage %1").arg(c + 1) : caption) +
                               QStringLiteral(" (V)"));
    }
    names.append(captions.isEmpty() ? QStringLiteral("temperature_c") : QStringLiteral("Temperature (°C)"));
    return names;
}

} // namespace

QStringList exportHeader(Step step, const QStringList& captions)
{
    const QStringList series = seriesNames(captions);
    QStringList header{QStringLiteral("time")};
    header += series;
    for (int r = 1; r <= kRelays; ++r)
        header.append(QStringLiteral("relay%1").arg(r));
    for (int p = 1; p <= kIoPins; ++p)
        header.append(QStringLiteral("io%1").arg(p));
    if (step != Step::Raw) {
        const QString sep = captions.isEmpty() ? QStringLiteral("_") : QStringLiteral(" ");
        for (const QString& name : series) {
            header.append(name + sep + QStringLiteral("min"));
            header.append(name + sep + QStringLiteral("max"));
        }
        header.append(QStringLiteral("count"));
    }
    return header;
}

QStringList exportValues(const Row& row, Step step)
{
    QStringList values{isoUtc(row.timeMs)};
    for (int s = 0; s < kSeries; ++s)
        values.append(number(row.mean[std::size_t(s)]));
    for (const qint8 r : row.relays)
        values.append(state(r));
    for (const qint8 p : row.io)
        values.append(state(p));
    if (step != Step::Raw) {
        for (int s = 0; s < kSeries; ++s) {
            values.append(number(row.min[std::size_t(s)]));
            values.append(number(row.max[std::size_t(s)]));
        }
        values.append(QString::number(row.count));
    }
    return values;
}

QString csvRecord(const QStringList& fields)
{
    return text::csvRecord(fields);
}

QString jsonRecord(const QStringList& header, const QStringList& values)
{
    QJsonObject object;
    for (qsizetype i = 0; i < header.size(); ++i) {
        const QString& v = values.value(i);
        bool isNumber = false;
        const double d = v.toDouble(&isNumber);
        if (v.isEmpty())
            object.insert(header.at(i), QJsonValue::Null);
        else if (isNumber && i > 0)
            object.insert(header.at(i), d);
        else
            object.insert(header.at(i), v);
    }
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace kestavo::history
