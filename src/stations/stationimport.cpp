#include "stations/stationimport.h"

#include <QStringDecoder>

#include "stations/stationextras.h"
#include "stations/stationformat.h"

#include "text/csv.h"
#include "text/printable.h"

namespace kestavo::stations {

namespace {

QString position(const QString& text, qsizetype at)
{
    const qsizetype lineStart = text.lastIndexOf(u'\n', at - 1) + 1;
    return QStringLiteral("line %1, column %2").arg(text.left(at).count(u'\n') + 1).arg(at - lineStart + 1);
}

} // namespace

DecodedText decodeImportText(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    DecodedText result;
    QString text = decoder.decode(bytes);
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == 0xfffd) {
            result.error =
                QStringLiteral("%1: this is not UTF-8 text (saved as Latin-1?); save the file as UTF-8")
                    .arg(position(text, i));
            return result;
        }
        if (c > 0xff) {
            result.error = QStringLiteral("%1: \"%2\" is a character the unit cannot store")
                               .arg(position(text, i), text.mid(i, text.at(i).isHighSurrogate() ? 2 : 1));
            return result;
        }
    }
    result.text = text;
    return result;
}

QString importRowProblem(const QStringList& fields, int line, QHash<QString, int>& seen)
{
    if (fields.size() != 3 && fields.size() != 4)
        return QString();
    const QString address = trimSpaces(fields.at(0));
    if (address == QStringLiteral("0.0.0.0") || address == QStringLiteral("255.255.255.255"))
        return QStringLiteral("address %1 is no unit's address").arg(address);
    static const char* const names[] = {"address", "password", "description"};
    for (int column = 0; column < 3; ++column) {
        const QString& field = fields.at(column);
        if (!text::hasControl(field))
            continue;
        const QString shown = text::printable(field);
        qsizetype i = 0;
        while (shown.at(i) == field.at(i))
            ++i;
        return QStringLiteral("%1 holds a control character (U+%2) at character %3: \"%4\"")
            .arg(QLatin1String(names[column]))
            .arg(field.at(i).unicode(), 4, 16, QLatin1Char('0'))
            .arg(i + 1)
            .arg(text::quoteField(shown));
    }
    if (fields.size() == 4) {
        for (const QString& tag : splitTags(fields.at(3))) {
            if (const QString problem = tagProblem(tag); !problem.isEmpty())
                return QStringLiteral("tags: %1").arg(text::quoteField(problem));
        }
    }
    const auto first = seen.constFind(address);
    if (first != seen.cend())
        return QStringLiteral("address %1 is listed again (first on line %2)")
            .arg(text::quoteField(address))
            .arg(*first);
    seen.insert(address, line);
    return QString();
}

} // namespace kestavo::stations
