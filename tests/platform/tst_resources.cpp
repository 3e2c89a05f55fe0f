#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "platform/resourcepaths.h"

namespace res = kestavo::platform::resources;
using BoardItem = res::BoardItem;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint16 u16(const QByteArray& data, int offset)
{
    return qFromLittleEndian<quint16>(data.constData() + offset);
}

quint32 u32(const QByteArray& data, int offset)
{
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pictures_data();
    void pictures();
    void picturesOfOneSetDiffer_data();
    void picturesOfOneSetDiffer();
    void applicationIconHasEverySize();
    void sounds_data();
    void sounds();
    void soundsDiffer();
    void defaultSkinParses();
    void runtimeFilesBesideTheExecutable_data();
    void runtimeFilesBesideTheExecutable();
    void runtimeFileLookup_data();
    void runtimeFileLookup();
};

void TestResources::pictures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");

    const QSize state(48, 48);
    for (int size : res::kApplicationIconSizes)
        QTest::addRow("icon %d", size) << res::applicationIconPath(size) << QSize(size, size);
    for (int frame = 1; frame <= 4; ++frame)
        QTest::addRow("timer frame %d", frame) << res::timerFramePath(frame) << state;
    QTest::newRow("relay on") << res::boardStatePath(BoardItem::Relay, true) << state;
    QTest::newRow("relay off") << res::boardStatePath(BoardItem::Relay, false) << state;
    QTest::newRow("output on") << res::boardStatePath(BoardItem::Output, true) << state;
    QTest::newRow("output off") << res::boardStatePath(BoardItem::Output, false) << state;
    QTest::newRow("light on") << res::boardStatePath(BoardItem::Light, true) << state;
    QTest::newRow("light off") << res::boardStatePath(BoardItem::Light, false) << state;
    QTest::newRow("daughter-board button") << res::daughterBoardButtonPath() << QSize(64, 48);
    QTest::newRow("product picture") << res::productPicturePath() << QSize(240, 160);
}

void TestResources::pictures()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    QVERIFY2(QFile::exists(path), qPrintable(path));
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());
    // Drawn on a transparent canvas, with something in the middle.
    QVERIFY(qAlpha(image.pixel(image.width() / 2, image.height() / 2)) > 0);
}

void TestResources::picturesOfOneSetDiffer_data()
{
    QTest::addColumn<QStringList>("paths");

    QStringList frames;
    for (int frame = 1; frame <= 4; ++frame)
        frames << res::timerFramePath(frame);
    QTest::newRow("timer frames") << frames;
    for (BoardItem item : {BoardItem::Relay, BoardItem::Output, BoardItem::Light})
        QTest::addRow("board item %d", int(item))
            << QStringList{res::boardStatePath(item, true), res::boardStatePath(item, false)};
}

void TestResources::picturesOfOneSetDiffer()
{
    QFETCH(QStringList, paths);
    for (qsizetype i = 0; i < paths.size(); ++i) {
        for (qsizetype j = i + 1; j < paths.size(); ++j)
            QVERIFY2(QImage(paths.at(i)) != QImage(paths.at(j)),
                     qPrintable(paths.at(i) + QLatin1String(" = ") + paths.at(j)));
    }
}

void TestResources::applicationIconHasEverySize()
{
    const QIcon icon = res::applicationIcon();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.availableSizes().size(), qsizetype(std::size(res::kApplicationIconSizes)));
}

void TestResources::sounds_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("siren") << "siren.wav";
    QTest::newRow("burglar beeps") << "burgular2.wav";
}

void TestResources::sounds()
{
    QFETCH(QString, fileName);

    const QByteArray wave = contents(res::soundPath(fileName));
    QVERIFY2(wave.size() > 44, qPrintable(fileName));
    QVERIFY(wave.size() < 100 * 1024);
    QCOMPARE(wave.left(4), QByteArray("RIFF"));
    QCOMPARE(u32(wave, 4), quint32(wave.size() - 8));
    QCOMPARE(wave.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(u32(wave, 16), 16u);    // plain PCM fmt chunk
    QCOMPARE(u16(wave, 20), 1);      // PCM
    QCOMPARE(u16(wave, 22), 1);      // mono
    QCOMPARE(u32(wave, 24), 16000u); // samples per second
    QCOMPARE(u32(wave, 28), 32000u); // bytes per second
    QCOMPARE(u16(wave, 32), 2);      // block align
    QCOMPARE(u16(wave, 34), 16);     // bits per sample
    QCOMPARE(wave.mid(36, 4), QByteArray("data"));
    const quint32 dataSize = u32(wave, 40);
    QCOMPARE(dataSize, quint32(wave.size() - 44));

    const double seconds = dataSize / 32000.0;
    QVERIFY2(seconds >= 1.0 && seconds <= 2.0, qPrintable(QString::number(seconds)));
    int peak = 0;
    for (quint32 offset = 44; offset < quint32(wave.size()); offset += 2)
        peak = std::max(peak, std::abs(int(qFromLittleEndian<qint16>(wave.constData() + offset))));
    QVERIFY2(peak > 8000 && peak < 32767, qPrintable(QString::number(peak))); // audible, not clipped
    // Ramps at both ends: no click when the file starts or is cut off.
    QVERIFY(std::abs(qFromLittleEndian<qint16>(wave.constData() + 44)) < 200);
    QVERIFY(std::abs(qFromLittleEndian<qint16>(wave.constData() + wave.size() - 2)) < 200);
}

void TestResources::soundsDiffer()
{
    QCOMPARE_NE(contents(res::soundPath(QStringLiteral("siren.wav"))),
                contents(res::soundPath(QStringLiteral("burgular2.wav"))));
}

void TestResources::defaultSkinParses()
{
    const QByteArray skin = contents(res::defaultSkinPath());
    QVERIFY(!skin.isEmpty());
    QTest::failOnWarning(
        QRegularExpression(QStringLiteral("style ?sheet"), QRegularExpression::CaseInsensitiveOption));
    QPushButton button(QStringLiteral("Start"));
    button.setStyleSheet(QString::fromUtf8(skin));
    button.ensurePolished();
    QVERIFY(button.testAttribute(Qt::WA_StyleSheet));
}

void TestResources::runtimeFilesBesideTheExecutable_data()
{
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("original");

    QTest::newRow("skin") << "Skins/Default.qss" << res::defaultSkinPath();
    QTest::newRow("siren") << "siren.wav" << res::soundPath(QStringLiteral("siren.wav"));
    QTest::newRow("burglar beeps") << "burgular2.wav" << res::soundPath(QStringLiteral("burgular2.wav"));
}

void TestResources::runtimeFilesBesideTheExecutable()
{
    QFETCH(QString, installed);
    QFETCH(QString, original);
    // This test's executable asks for them with kestavo_copy_runtime_files(), as the console does.
    const QString path = QCoreApplication::applicationDirPath() + QLatin1Char('/') + installed;
    QVERIFY2(QFile::exists(path), qPrintable(path));
    QCOMPARE(contents(path), contents(original));
}

void TestResources::runtimeFileLookup_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("beside");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("foundInstalled");

    QTest::newRow("build tree: beside the executable") << "siren.wav" << true << false << false;
    QTest::newRow("installed: share/kestavo") << "siren.wav" << false << true << true;
    QTest::newRow("a copy beside wins over the installed one") << "siren.wav" << true << true << false;
    QTest::newRow("nowhere: the executable's folder") << "siren.wav" << false << false << false;
    QTest::newRow("installed skins folder") << "Skins" << false << true << true;
}

void TestResources::runtimeFileLookup()
{
    QFETCH(QString, name);
    QFETCH(bool, beside);
    QFETCH(bool, installed);
    QFETCH(bool, foundInstalled);
    // The Debian layout the package installs: /usr/bin/kestavo and /usr/share/kestavo/.
    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    const QString bin = prefix.filePath(QStringLiteral("usr/bin"));
    const QString share = prefix.filePath(QStringLiteral("usr/share/kestavo"));
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(share));
    const auto place = [&name](const QString& folder) {
        if (name.endsWith(QLatin1String(".wav"))) {
            QFile file(folder + QLatin1Char('/') + name);
            return file.open(QIODevice::WriteOnly);
        }
        return QDir(folder).mkdir(name);
    };
    if (beside)
        QVERIFY(place(bin));
    if (installed)
        QVERIFY(place(share));

    QCOMPARE(res::runtimeDirectoryHolding(bin, name), foundInstalled ? share : bin);
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
