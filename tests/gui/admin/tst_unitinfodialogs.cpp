#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "gui/admin/admindialogs.h"
#include "gui/admin/stationnamedialog.h"
#include "gui/admin/uptimedialog.h"
#include "support/consolefixture.h"

using kestavo::admin::StationNameDialog;
using kestavo::admin::UptimeDialog;
using kestavo::core::DialogId;
using kestavo::platform::Prompter;
using kestavo::testsupport::ConsoleFixture;
using kestavo::testsupport::RecordingPeer;
using kestavo::testsupport::ReplyBuilder;

namespace {

constexpr int kQuietMs = 600000; // no poll tick inside a test

QList<QByteArray> framesOf(RecordingPeer& peer, char opcode)
{
    QList<QByteArray> found;
    for (const QByteArray& frame : peer.frames()) {
        if (frame.size() > 9 && frame.at(9) == opcode)
            found << frame;
    }
    return found;
}

/// A status report whose uptime counter (positions 74-77, least significant byte first) is `raw`.
QByteArray uptimeReport(quint32 raw)
{
    return ReplyBuilder()
        .at(74, int(raw & 0xFF))
        .at(75, int(raw >> 8 & 0xFF))
        .at(76, int(raw >> 16 & 0xFF))
        .at(77, int(raw >> 24 & 0xFF))
        .bytes();
}

struct Console
{
    explicit Console(const QByteArray& status = ReplyBuilder().bytes())
    {
        fixture.session.setTiming({kQuietMs, kQuietMs, kQuietMs});
        fixture.context.mainWindow = &mainWindow;
        started = fixture.start();
        fixture.feed(status);
    }
    ConsoleFixture fixture;
    QWidget mainWindow;
    bool started = false;
};

template <typename T> T* child(QWidget* parent, const char* name)
{
    return parent->findChild<T*>(QString::fromLatin1(name));
}

} // namespace

class TestUnitInfoDialogs final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // ---- station name --------------------------------------------------------------------

    void stationNameFrame_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("field"); // positions 21-40
        QTest::newRow("six characters and 14 spaces")
            << QStringLiteral("Office") << QByteArray("Office              ");
        QTest::newRow("twenty characters, no fill")
            << QStringLiteral("ABCDEFGHIJKLMNOPQRST") << QByteArray("ABCDEFGHIJKLMNOPQRST");
        QTest::newRow("typing stops at twenty")
            << QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXY") << QByteArray("ABCDEFGHIJKLMNOPQRST");
        QTest::newRow("only spaces is a name") << QStringLiteral("   ") << QByteArray(20, ' ');
        QTest::newRow("Latin-1 letter is one byte")
            << QStringLiteral("Caf\u00E9") << QByteArray("Caf\xE9                ");
    }
    void stationNameFrame()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, field);
        Console console;
        QVERIFY(console.started);
        QPointer<StationNameDialog> dialog = new StationNameDialog(console.fixture.context);
        dialog->show();
        QVERIFY(!console.mainWindow.isEnabled());
        const int sent = console.fixture.session.sent();
        auto* box = child<QLineEdit>(dialog, "Text1");
        box->clear();
        // Key by key with the typed text attached, so letters beyond ASCII arrive as typed too.
        for (const QChar c : typed)
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
        child<QPushButton>(dialog, "Command1")->click();

        const QList<QByteArray> frames = framesOf(console.fixture.peer, 'I');
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames.first().size(), 152);
        QCOMPARE(frames.first(), QByteArray("&^ZQK2001Isecret****") + field + QByteArray(112, '*'));
        QCOMPARE(console.fixture.session.sent(), sent + 1);
        QVERIFY(console.fixture.prompter.calls().isEmpty());
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(console.mainWindow.isEnabled());
    }

    void stationNameStartsWithTheReportedName_data()
    {
        QTest::addColumn<QByteArray>("reported"); // positions 78-97
        QTest::addColumn<QString>("shown");
        QTest::newRow("space filled") << QByteArray("Pump house          ") << QStringLiteral("Pump house");
        QTest::newRow("full width") << QByteArray("ABCDEFGHIJKLMNOPQRST")
                                    << QStringLiteral("ABCDEFGHIJKLMNOPQRST");
        QTest::newRow("no name") << QByteArray(20, ' ') << QString();
    }
    void stationNameStartsWithTheReportedName()
    {
        QFETCH(QByteArray, reported);
        QFETCH(QString, shown);
        Console console(ReplyBuilder().text(78, reported.toStdString()).bytes());
        QPointer<StationNameDialog> dialog = new StationNameDialog(console.fixture.context);
        QCOMPARE(dialog->objectName(), QStringLiteral("StationName"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral(" Set Station Name"));
        QCOMPARE(child<QLineEdit>(dialog, "Text1")->text(), shown);
        QCOMPARE(child<QLineEdit>(dialog, "Text1")->maxLength(), 20);
        QStringList labels;
        for (QLabel* label : dialog->findChildren<QLabel*>())
            labels << label->text();
        QVERIFY(labels.contains(QStringLiteral("Choose a Descriptive Name for this KSV unit.")));
        QVERIFY(labels.contains(QStringLiteral("20 characters max")));
        delete dialog.data();
    }

    void stationNameStartsWithTheReadout_data()
    {
        QTest::addColumn<QString>("readout"); // what the main window's `Text83` shows
        QTest::addColumn<QString>("shown");
        // Stop empties the readout; after the next Start (perhaps to another unit) it stays empty
        // until that unit reports, so the last report's name is not the one on screen.
        QTest::newRow("emptied since the last report") << QString() << QString();
        QTest::newRow("showing the last report")
            << QStringLiteral("Pump house") << QStringLiteral("Pump house");
    }
    void stationNameStartsWithTheReadout()
    {
        QFETCH(QString, readout);
        QFETCH(QString, shown);
        Console console(ReplyBuilder().text(78, "Pump house          ").bytes());
        auto* text83 = new QLineEdit(readout, &console.mainWindow);
        text83->setObjectName(QStringLiteral("Text83"));
        QPointer<StationNameDialog> dialog = new StationNameDialog(console.fixture.context);
        QCOMPARE(child<QLineEdit>(dialog, "Text1")->text(), shown);
        delete dialog.data();
    }

    void stationNameEmptyOrCancelled_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("stays");
        QTest::newRow("OK with an empty box")
            << QStringLiteral("Command1") << QStringLiteral("Please Enter a Station Name !") << true;
        QTest::newRow("Cancel") << QStringLiteral("Command2") << QString() << false;
    }
    void stationNameEmptyOrCancelled()
    {
        QFETCH(QString, button);
        QFETCH(QString, message);
        QFETCH(bool, stays);
        Console console;
        QPointer<StationNameDialog> dialog = new StationNameDialog(console.fixture.context);
        dialog->show();
        const int sent = console.fixture.session.sent();
        child<QLineEdit>(dialog, "Text1")->clear();
        dialog->findChild<QPushButton*>(button)->click();
        QCOMPARE(console.fixture.prompter.lastText(), message);
        if (!message.isEmpty())
            QCOMPARE(console.fixture.prompter.lastCall().title, Prompter::appTitle());
        QVERIFY(framesOf(console.fixture.peer, 'I').isEmpty());
        QCOMPARE(console.fixture.session.sent(), sent);
        if (stays) {
            QVERIFY(dialog);
            QVERIFY(!console.mainWindow.isEnabled());
            delete dialog.data();
        } else {
            QTRY_VERIFY(dialog.isNull());
        }
        QVERIFY(console.mainWindow.isEnabled());
    }

    // ---- uptime --------------------------------------------------------------------------

    void uptimeUnits_data()
    {
        QTest::addColumn<quint32>("raw");
        // seconds, minutes, hours, days, weeks, months, years, counter text
        QTest::addColumn<QStringList>("shown");
        const QString z = QStringLiteral("0.00");
        QTest::newRow("59 seconds") << quint32(59)
                                    << QStringList{QStringLiteral("59"),        z, z, z, z, z, z,
                                                   QStringLiteral("&H0000003B")};
        QTest::newRow("1 d 1 h 1 m 1 s") << quint32(90061)
                                         << QStringList{QStringLiteral("90061"),
                                                        QStringLiteral("1501.02"),
                                                        QStringLiteral("25.02"),
                                                        QStringLiteral("1.04"),
                                                        z,
                                                        z,
                                                        z,
                                                        QStringLiteral("&H00015FCD")};
        QTest::newRow("negative count")
            << quint32(0xFFFFFFC4)
            << QStringList{QStringLiteral("-60"), z, z, z, z, z, z, QStringLiteral("&HFFFFFFC4")};
        QTest::newRow("29 days: months still 0") << quint32(2505600)
                                                 << QStringList{QStringLiteral("2505600"),
                                                                QStringLiteral("41760.00"),
                                                                QStringLiteral("696.00"),
                                                                QStringLiteral("29.00"),
                                                                QStringLiteral("4.14"),
                                                                z,
                                                                z,
                                                                QStringLiteral("&H00263B80")};
        QTest::newRow("30 days") << quint32(2592000)
                                 << QStringList{QStringLiteral("2592000"),
                                                QStringLiteral("43200.00"),
                                                QStringLiteral("720.00"),
                                                QStringLiteral("30.00"),
                                                QStringLiteral("4.29"),
                                                QStringLiteral("1.00"),
                                                z,
                                                QStringLiteral("&H00278D00")};
        QTest::newRow("364 days: years still 0") << quint32(31449600)
                                                 << QStringList{QStringLiteral("31449600"),
                                                                QStringLiteral("524160.00"),
                                                                QStringLiteral("8736.00"),
                                                                QStringLiteral("364.00"),
                                                                QStringLiteral("52.00"),
                                                                QStringLiteral("12.13"),
                                                                z,
                                                                QStringLiteral("&H01DFE200")};
        QTest::newRow("365 days") << quint32(31536000)
                                  << QStringList{QStringLiteral("31536000"), QStringLiteral("525600.00"),
                                                 QStringLiteral("8760.00"),  QStringLiteral("365.00"),
                                                 QStringLiteral("52.14"),    QStringLiteral("12.17"),
                                                 QStringLiteral("1.00"),     QStringLiteral("&H01E13380")};
        QTest::newRow("largest count, no grouping")
            << quint32(0x7FFFFFFF) << QStringList{QStringLiteral("2147483647"), QStringLiteral("35791394.12"),
                                                  QStringLiteral("596523.24"),  QStringLiteral("24855.13"),
                                                  QStringLiteral("3550.73"),    QStringLiteral("828.50"),
                                                  QStringLiteral("68.10"),      QStringLiteral("&H7FFFFFFF")};
    }
    void uptimeUnits()
    {
        QFETCH(quint32, raw);
        QFETCH(QStringList, shown);
        Console console(uptimeReport(raw));
        QPointer<UptimeDialog> dialog = new UptimeDialog(console.fixture.context);
        // As a screen reader gets them: the name says which value, the text carries it.
        QStringList labels;
        QStringList names;
        for (const char* name :
             {"Label6", "Label7", "Label8", "Label9", "Label14", "Label16", "Label10", "Label12"}) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(child<QLabel>(dialog, name));
            QVERIFY(a && a->textInterface());
            labels << a->textInterface()->text(0, a->textInterface()->characterCount());
            names << a->text(QAccessible::Name);
        }
        QCOMPARE(labels, shown);
        QCOMPARE(names.first(), QStringLiteral("Total seconds"));
        delete dialog.data();
    }

    void uptimeFollowsReports()
    {
        Console console(uptimeReport(59));
        QPointer<UptimeDialog> dialog = new UptimeDialog(console.fixture.context, 5);
        dialog->show();
        QCOMPARE(child<QLabel>(dialog, "Label6")->text(), QStringLiteral("59"));
        console.fixture.feed(uptimeReport(7200));
        QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>(dialog, "Label6")->text(), QStringLiteral("7200"), 1000);
        QCOMPARE(child<QLabel>(dialog, "Label8")->text(), QStringLiteral("2.00"));
        QCOMPARE(child<QLabel>(dialog, "Label12")->text(), QStringLiteral("&H00001C20"));
        // The main window stays usable alongside.
        QVERIFY(console.mainWindow.isEnabled());
        child<QPushButton>(dialog, "Command1")->click();
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(console.mainWindow.isEnabled());
    }

    void uptimeRefreshesEverySecondByDefault()
    {
        Console console;
        QPointer<UptimeDialog> dialog = new UptimeDialog(console.fixture.context);
        QCOMPARE(dialog->objectName(), QStringLiteral("uptime"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("UPTIME"));
        QCOMPARE(dialog->refreshTimer().interval(), 1000);
        QVERIFY(dialog->refreshTimer().isActive());
        QStringList captions;
        for (QLabel* label : dialog->findChildren<QLabel*>())
            captions << label->text();
        for (const char* caption : {"Total Seconds :", "Total Minutes :", "Total Hours :", "Total Days :",
                                    "Total Weeks :", "Total Months :", "Total Years :", "HexVal"})
            QVERIFY2(captions.contains(QLatin1String(caption)), caption);
        delete dialog.data();
    }

    // ---- registration --------------------------------------------------------------------

    void registeredDialogs_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("holdsMainWindow");
        QTest::newRow("Security") << int(DialogId::Security) << QStringLiteral("Security") << true;
        QTest::newRow("ChangeIP") << int(DialogId::ChangeIp) << QStringLiteral("ChangeIP") << true;
        QTest::newRow("ChangeMAC") << int(DialogId::ChangeMac) << QStringLiteral("ChangeMAC") << true;
        QTest::newRow("StationName") << int(DialogId::StationName) << QStringLiteral("StationName") << true;
        QTest::newRow("uptime") << int(DialogId::Uptime) << QStringLiteral("uptime") << false;
    }
    void registeredDialogs()
    {
        QFETCH(int, id);
        QFETCH(QString, name);
        QFETCH(bool, holdsMainWindow);
        Console console;
        kestavo::admin::registerAdminDialogs(console.fixture.dialogs);
        QPointer<QWidget> dialog = console.fixture.dialogs.open(DialogId(id), console.fixture.context);
        QVERIFY(dialog);
        QCOMPARE(dialog->objectName(), name);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->isWindow());
        QCOMPARE(console.mainWindow.isEnabled(), !holdsMainWindow);
        dialog->close();
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(console.mainWindow.isEnabled());
    }
};

QTEST_MAIN(TestUnitInfoDialogs)
#include "tst_unitinfodialogs.moc"
