#include "text/csv.h"

namespace kestavo::text {

namespace {

bool isFormulaStart(QChar c)
{
    return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
}

// A plain decimal number, as the exports write readings: [+-]digits[.digits][e[+-]digits].
bool isNumber(const QString& cell)
{
    qsizetype i = 0;
    const qsizetype n = cell.size();
    if (i < n && (cell[i] == u'-' || cell[i] == u'+'))
        ++i;
    qsizetype digits = 0;
    while (i < n && cell[i].isDigit() && cell[i].unicode() < 0x80) {
        ++i;
        ++digits;
    }
    if (i < n && cell[i] == u'.') {
        ++i;
        while (i < n && cell[i].isDigit() && cell[i].unicode() < 0x80) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (cell[i] == u'e' || cell[i] == u'E')) {
        ++i;
        if (i < n && (cell[i] == u'-' || cell[i] == u'+'))
            ++i;
        qsizetype exponent = 0;
        while (i < n && cell[i].isDigit() && cell[i].unicode() < 0x80) {
            ++i;
            ++exponent;
        }
        if (exponent == 0)
            return false;
    }
    return i == n;
}

// Apostrophes, then a character a spreadsheet starts a formula with.
bool startsLikeFormula(const QString& cell)
{
    qsizetype i = 0;
    while (i < cell.size() && cell[i] == u'\'')
        ++i;
    return i < cell.size() && isFormulaStart(cell[i]);
}

} // namespace

QString guardCell(const QString& cell)
{
    if (cell.isEmpty() || isNumber(cell) || !startsLikeFormula(cell))
        return cell;
    return u'\'' + cell;
}

QString unguardCell(const QString& cell)
{
    if (cell.startsWith(u'\'') && startsLikeFormula(cell) && !isNumber(cell.mid(1)))
        return cell.mid(1);
    return cell;
}

QString csvRecord(const QStringList& fields)
{
    QStringList out;
    out.reserve(fields.size());
    for (const QString& raw : fields) {
        const QString field = guardCell(raw);
        if (field.contains(u',') || field.contains(u'"') || field.contains(u'\n') || field.contains(u'\r')) {
            QString quoted = field;
            quoted.replace(u'"', QStringLiteral("\"\""));
            out.append(u'"' + quoted + u'"');
        } else {
            out.append(field);
        }
    }
    return out.join(u',');
}

std::variant<QList<CsvRow>, QString> parseCsv(const QString& text)
{
    QList<CsvRow> rows;
    CsvRow row;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    int line = 1;
    row.line = 1;
    const auto endField = [&] {
        row.fields << unguardCell(field);
        field.clear();
    };
    const auto endRecord = [&] {
        if (fieldStarted || !row.fields.isEmpty()) {
            endField();
            rows << row;
        }
        row = CsvRow{line, {}};
        field.clear();
        fieldStarted = false;
    };
    int quoteLine = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text.at(i + 1) == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n')
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == u'"' && field.isEmpty()) {
            quoted = true;
            fieldStarted = true;
            quoteLine = line;
        } else if (c == u',') {
            endField();
            fieldStarted = true;
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            continue;
        } else if (c == u'\n') {
            ++line;
            endRecord();
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (quoted)
        return QStringLiteral("line %1: a quoted field is never closed").arg(quoteLine);
    endRecord();
    return rows;
}

QString quoteField(const QString& field)
{
    constexpr qsizetype kLongest = 80;
    return field.size() <= kLongest ? field : field.left(kLongest) + QStringLiteral("…");
}

} // namespace kestavo::text
