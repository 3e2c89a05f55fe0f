// Text that comes from or goes to people and other programs: CSV cells that a spreadsheet would
// run as formulas, files that are no files or too large, import rows that name no unit.

#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "stations/stationimport.h"

#include "text/boundedfile.h"
#include "text/csv.h"

using namespace kestavo;

class TestTextFiles final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void csvGuardsFormulasAndRoundTrips_data();
    void csvGuardsFormulasAndRoundTrips();
    void boundedReads_data();
    void boundedReads();
    void importText_data();
    void importText();
    void importRows_data();
    void importRows();

private:
    QTemporaryDir m_dir;
};

void TestTextFiles::csvGuardsFormulasAndRoundTrips_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("written"); // the record of this one cell
    const auto row = [](const char* name, const QString& cell, const QString& written) {
        QTest::newRow(name) << cell << written;
    };
    row("command", QStringLiteral("=cmd|' /C calc'!A0"), QStringLiteral("'=cmd|' /C calc'!A0"));
    row("plus", QStringLiteral("+1+1"), QStringLiteral("'+1+1"));
    row("minus formula", QStringLiteral("-2+3"), QStringLiteral("'-2+3"));
    row("at", QStringLiteral("@SUM(A1:A9)"), QStringLiteral("'@SUM(A1:A9)"));
    row("tab", QStringLiteral("\tx"), QStringLiteral("'\tx"));
    row("carriage return", QStringLiteral("\r=x"), QStringLiteral("\"'\r=x\""));
    row("formula with comma", QStringLiteral("=A1,B1"), QStringLiteral("\"'=A1,B1\""));
    row("apostrophe already", QStringLiteral("'=x"), QStringLiteral("''=x"));
    row("two apostrophes", QStringLiteral("''-y"), QStringLiteral("'''-y"));
    // Numbers and ordinary texts are written exactly as before.
    row("negative number", QStringLiteral("-3.5"), QStringLiteral("-3.5"));
    row("signed exponent", QStringLiteral("+1.5e-3"), QStringLiteral("+1.5e-3"));
    row("apostrophe text", QStringLiteral("'quoted'"), QStringLiteral("'quoted'"));
    row("plain", QStringLiteral("Site 1"), QStringLiteral("Site 1"));
    row("quotes", QStringLiteral("North \"B\""), QStringLiteral("\"North \"\"B\"\"\""));
    row("empty", QString(), QString());
}

void TestTextFiles::csvGuardsFormulasAndRoundTrips()
{
    QFETCH(QString, cell);
    QFETCH(QString, written);
    QCOMPARE(text::csvRecord({cell}), written);
    const QStringList fields{QStringLiteral("127.0.0.1"), cell, QStringLiteral("-4")};
    const auto parsed = text::parseCsv(text::csvRecord(fields) + QStringLiteral("\r\n"));
    QVERIFY(std::holds_alternative<QList<text::CsvRow>>(parsed));
    const auto rows = std::get<QList<text::CsvRow>>(parsed);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().fields, fields);
}

void TestTextFiles::boundedReads_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("error");   // empty: read
    QTest::addColumn<QString>("warning"); // for a secret
    QVERIFY(m_dir.isValid());
    const QString fifo = m_dir.filePath(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const auto file = [this](const char* name, const QByteArray& bytes, QFile::Permissions mode) {
        const QString path = m_dir.filePath(QLatin1String(name));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        f.close();
        f.setPermissions(mode);
        return path;
    };
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    QTest::newRow("owner only") << file("secret", "pw\n", owner) << QString() << QString();
    QTest::newRow("readable by all") << file("open", "pw\n", owner | QFile::ReadGroup | QFile::ReadOther)
                                     << QString() << QStringLiteral("others may read it (mode 0644)");
    QTest::newRow("too big") << file("big", QByteArray(5000, 'x'), owner)
                             << QStringLiteral("is 5000 bytes, more than") << QString();
    QTest::newRow("fifo") << fifo << QStringLiteral("is not a regular file") << QString();
    QTest::newRow("endless device") << QStringLiteral("/dev/zero") << QStringLiteral("is not a regular file")
                                    << QString();
    QTest::newRow("folder") << m_dir.path() << QStringLiteral("is not a regular file") << QString();
    QTest::newRow("missing") << m_dir.filePath(QStringLiteral("none")) << QStringLiteral("cannot be read")
                             << QString();
}

void TestTextFiles::boundedReads()
{
    QFETCH(QString, path);
    QFETCH(QString, error);
    QFETCH(QString, warning);
    const text::BoundedRead read = text::readBoundedFile(path, 4096, text::Secret::Yes);
    QCOMPARE(read.ok, error.isEmpty());
    QVERIFY2(error.isEmpty() ? read.error.isEmpty() : read.error.contains(error), qPrintable(read.error));
    QVERIFY2(warning.isEmpty() ? read.warning.isEmpty() : read.warning.contains(warning),
             qPrintable(read.warning));
    if (read.ok)
        QCOMPARE(read.bytes, QByteArray("pw\n"));
}

void TestTextFiles::importText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error"); // empty: decoded
    QTest::newRow("utf-8 with Latin-1 letters") << QByteArray("\xef\xbb\xbf"
                                                              "a,b,c\n1,2,Z\xc3\xbcrich\n")
                                                << QString();
    QTest::newRow("saved as Latin-1")
        << QByteArray("a,b,c\n1,2,Z\xfcrich\n") << QStringLiteral("line 2, column 6: this is not UTF-8 text");
    QTest::newRow("beyond Latin-1")
        << QByteArray("a,b,c\n1,2,\xe2\x82\xac\n")
        << QStringLiteral("line 2, column 5: \"\u20ac\" is a character the unit cannot store");
}

void TestTextFiles::importText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    const stations::DecodedText decoded = stations::decodeImportText(bytes);
    if (error.isEmpty()) {
        QVERIFY2(decoded.error.isEmpty(), qPrintable(decoded.error));
        QCOMPARE(decoded.text, QStringLiteral("a,b,c\n1,2,Z\u00fcrich\n"));
    } else {
        QVERIFY2(decoded.error.startsWith(error), qPrintable(decoded.error));
    }
}

void TestTextFiles::importRows_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("error"); // empty: accepted
    const auto row = [](const char* name, const QString& address, const QString& description,
                        const QString& error) {
        QTest::newRow(name) << QStringList{address, QStringLiteral("pw"), description} << error;
    };
    row("fine", QStringLiteral("127.0.0.2"), QStringLiteral("Site"), QString());
    row("twice", QStringLiteral(" 127.0.0.1"), QStringLiteral("Site"),
        QStringLiteral("address 127.0.0.1 is listed again (first on line 1)"));
    row("any address", QStringLiteral("0.0.0.0"), QStringLiteral("Site"),
        QStringLiteral("address 0.0.0.0 is no unit's address"));
    row("broadcast", QStringLiteral("255.255.255.255"), QStringLiteral("Site"),
        QStringLiteral("address 255.255.255.255 is no unit's address"));
    row("line feed", QStringLiteral("127.0.0.3"), QStringLiteral("a\nb"),
        QStringLiteral("description holds a control character (U+000a) at character 2: \"a?b\""));
    row("escape", QStringLiteral("127.0.0.3"), QStringLiteral("\x1b[2J"),
        QStringLiteral("description holds a control character (U+001b) at character 1: \"?[2J\""));
    QTest::newRow("escape in a tag")
        << QStringList{QStringLiteral("127.0.0.3"), QStringLiteral("pw"), QStringLiteral("Site"),
                       QStringLiteral("north;\x1b[2J")}
        << QStringLiteral("tags: tag '?[2J' may hold only letters, digits, '-', '_' and '/'");
    // A huge field is quoted by its first 80 characters, also when it is an address seen before.
    row("huge address twice", QString(300, u'9'), QStringLiteral("Site"),
        QStringLiteral("address %1… is listed again (first on line 2)").arg(QString(80, u'9')));
    row("huge", QStringLiteral("127.0.0.3"), QStringLiteral("\a") + QString(1 << 20, u'x'),
        QStringLiteral("description holds a control character (U+0007) at character 1: \"?%1…\"")
            .arg(QString(79, u'x')));
}

void TestTextFiles::importRows()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, error);
    QHash<QString, int> seen{{QStringLiteral("127.0.0.1"), 1}, {QString(300, u'9'), 2}};
    QCOMPARE(stations::importRowProblem(fields, 7, seen), error);
    if (error.isEmpty())
        QCOMPARE(seen.value(fields.first()), 7);
}

QTEST_GUILESS_MAIN(TestTextFiles)
#include "tst_textfiles.moc"
