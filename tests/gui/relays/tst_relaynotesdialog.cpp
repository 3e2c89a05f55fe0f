#include <algorithm>
#include <memory>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "stations/stationstore.h"

#include "gui/relays/relaydialog.h"
#include "gui/relays/relaynotesdialog.h"
#include "support/consolefixture.h"

using namespace kestavo;
using kestavo::testsupport::ConsoleFixture;

class TestRelayNotesDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void opensFromRelayDialog_data();
    void opensFromRelayDialog();
    void storesInSelectedStation_data();
    void storesInSelectedStation();
    void leavingWithoutOkChangesNothing_data();
    void leavingWithoutOkChangesNothing();
    void lengthLimit_data();
    void lengthLimit();
    void closingRelayDialogTakesNotesAlong();
    void refusedWriteKeepsText();

private:
    // Opens relay dialog `relay` and its notes through the "?" button.
    relays::RelayNotesDialog* openNotes(int relay);
    QPlainTextEdit* noteBox() const;
    QVariantMap record(int position) const;

    std::unique_ptr<ConsoleFixture> m_fixture;
    std::unique_ptr<QWidget> m_mainWindow;
    QPointer<relays::RelayDialog> m_relayDialog;
    QPointer<relays::RelayNotesDialog> m_notes;
};

void TestRelayNotesDialog::init()
{
    m_fixture = std::make_unique<ConsoleFixture>();
    m_mainWindow = std::make_unique<QWidget>();
    m_fixture->context.mainWindow = m_mainWindow.get();
}

void TestRelayNotesDialog::cleanup()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w != m_mainWindow.get())
            delete w;
    }
    m_fixture.reset();
    m_mainWindow.reset();
}

relays::RelayNotesDialog* TestRelayNotesDialog::openNotes(int relay)
{
    m_relayDialog = new relays::RelayDialog(m_fixture->context, relay);
    m_relayDialog->show();
    QTest::mouseClick(m_relayDialog->findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
    m_notes = m_relayDialog->notes();
    return m_notes;
}

QPlainTextEdit* TestRelayNotesDialog::noteBox() const
{
    return m_notes ? m_notes->findChild<QPlainTextEdit*>(QStringLiteral("Text1")) : nullptr;
}

QVariantMap TestRelayNotesDialog::record(int position) const
{
    QVariantMap values;
    for (const QString& column : m_fixture->store.tableColumns())
        values.insert(column, m_fixture->store.valueAt(position, column));
    return values;
}

void TestRelayNotesDialog::opensFromRelayDialog_data()
{
    QTest::addColumn<int>("relay");
    QTest::addColumn<QString>("stored");
    QTest::newRow("relay 1, nothing stored") << 1 << QString();
    QTest::newRow("relay 2, a note") << 2 << QStringLiteral("UPS in rack 4");
    QTest::newRow("relay 3, two lines") << 3 << QStringLiteral("Modem\nreset weekly");
}

void TestRelayNotesDialog::opensFromRelayDialog()
{
    QFETCH(int, relay);
    QFETCH(QString, stored);
    if (!stored.isNull())
        QVERIFY(m_fixture->store.writeCurrent({{QStringLiteral("Relay%1Notes").arg(relay), stored}}));

    QVERIFY(openNotes(relay));
    QCOMPARE(m_notes->objectName(), QStringLiteral("Switch1Notes"));
    QCOMPARE(m_notes->windowTitle(), QStringLiteral("Relay %1 Quick Notes").arg(relay));
    QVERIFY(m_notes->isVisible());
    QVERIFY(m_notes->findChild<QLabel*>(QStringLiteral("Label1")));
    QCOMPARE(m_notes->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
             QStringLiteral("Enter a brief description of equipment attached to this relay."));
    QVERIFY(noteBox());
    QCOMPARE(noteBox()->toolTip(), QStringLiteral("Quick Notes"));
    QCOMPARE(noteBox()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(noteBox()->toPlainText(), stored);
    QCOMPARE(m_notes->findChild<QPushButton*>(QStringLiteral("Command1"))->text(), QStringLiteral("OK"));
    QCOMPARE(m_notes->findChild<QPushButton*>(QStringLiteral("Command2"))->text(), QStringLiteral("Cancel"));

    // The notes hold the relay dialog; the relay dialog keeps holding the main window.
    QVERIFY(!m_relayDialog->isEnabled());
    QVERIFY(!m_mainWindow->isEnabled());
    // A second "?" cannot stack another notes window on the same relay.
    QCOMPARE(m_relayDialog->openNotes(), m_notes.data());
    const auto windows = QApplication::topLevelWidgets();
    QCOMPARE(int(std::count_if(windows.cbegin(), windows.cend(),
                               [](QWidget* w) { return w->objectName() == QStringLiteral("Switch1Notes"); })),
             1);
}

void TestRelayNotesDialog::storesInSelectedStation_data()
{
    QTest::addColumn<int>("relay");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("clearFirst");
    QTest::addColumn<QString>("expected");

    QTest::newRow("relay 1, new note")
        << 1 << QString() << QStringLiteral("Camera PSU") << false << QStringLiteral("Camera PSU");
    QTest::newRow("relay 2, appended") << 2 << QStringLiteral("Router") << QStringLiteral(" + switch")
                                       << false << QStringLiteral("Router + switch");
    QTest::newRow("relay 3, emptied") << 3 << QStringLiteral("Heater") << QString() << true << QString();
    QTest::newRow("relay 1, unchanged text")
        << 1 << QStringLiteral("Pump") << QString() << false << QStringLiteral("Pump");
    QTest::newRow("relay 2, accents")
        << 2 << QString() << QStringLiteral("Lüfter außen") << false << QStringLiteral("Lüfter außen");
}

void TestRelayNotesDialog::storesInSelectedStation()
{
    QFETCH(int, relay);
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(bool, clearFirst);
    QFETCH(QString, expected);

    auto& store = m_fixture->store;
    QVERIFY(store.add(QStringLiteral("127.0.0.2"), QStringLiteral("other"), QStringLiteral("Second unit")));
    QVERIFY(store.add(QStringLiteral("127.0.0.3"), QStringLiteral("third"), QStringLiteral("Third unit")));
    const int first = store.findAddress(QStringLiteral("127.0.0.1"));
    QVERIFY(
        store.writeCurrent({{QStringLiteral("Relay%1Notes").arg(relay), QStringLiteral("first's note")}}));
    const int selected = store.findAddress(QStringLiteral("127.0.0.2"));
    QVERIFY(selected > first);
    if (!before.isNull())
        QVERIFY(store.writeCurrent({{QStringLiteral("Relay%1Notes").arg(relay), before}}));
    const QVariantMap firstBefore = record(first);
    const QVariantMap thirdBefore = record(store.findAddress(QStringLiteral("127.0.0.3")));
    store.move(selected);
    QVariantMap selectedExpected = record(selected);
    selectedExpected.insert(QStringLiteral("Relay%1Notes").arg(relay), expected);

    QVERIFY(openNotes(relay));
    if (clearFirst)
        noteBox()->clear();
    noteBox()->moveCursor(QTextCursor::End);
    // QTest types ASCII only; other text arrives as input-method or pasted text does.
    if (std::all_of(typed.cbegin(), typed.cend(), [](QChar c) { return c.unicode() < 0x80; }))
        QTest::keyClicks(noteBox(), typed);
    else
        noteBox()->insertPlainText(typed);
    QTest::mouseClick(m_notes->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);

    QTRY_VERIFY_WITH_TIMEOUT(m_notes.isNull(), 1000);
    QVERIFY(m_fixture->prompter.calls().isEmpty());
    QCOMPARE(store.position(), selected);
    QCOMPARE(store.value(QStringLiteral("Relay%1Notes").arg(relay)).toString(), expected);
    // Only that one column of that one record changed.
    QCOMPARE(record(selected), selectedExpected);
    QCOMPARE(record(first), firstBefore);
    QCOMPARE(record(store.findAddress(QStringLiteral("127.0.0.3"))), thirdBefore);
    QVERIFY(m_relayDialog->isEnabled());
    QVERIFY(!m_mainWindow->isEnabled());

    // It is in the file, not only in memory.
    const QString path = store.path();
    store.close();
    QVERIFY(store.open(path).ok);
    QCOMPARE(store.valueAt(selected, QStringLiteral("Relay%1Notes").arg(relay)).toString(), expected);
}

void TestRelayNotesDialog::leavingWithoutOkChangesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << QStringLiteral("Cancel");
    QTest::newRow("close box") << QStringLiteral("close box");
    QTest::newRow("Escape") << QStringLiteral("Escape");
}

void TestRelayNotesDialog::leavingWithoutOkChangesNothing()
{
    QFETCH(QString, how);
    auto& store = m_fixture->store;
    QVERIFY(store.writeCurrent({{QStringLiteral("Relay2Notes"), QStringLiteral("Old note")}}));
    const int position = store.position();
    const QVariantMap before = record(position);
    int writes = 0;
    connect(&store, &stations::StationStore::changed, this, [&writes] { ++writes; });

    QVERIFY(openNotes(2));
    noteBox()->selectAll();
    QTest::keyClicks(noteBox(), QStringLiteral("Typed but not kept"));
    if (how == QStringLiteral("Cancel"))
        QTest::mouseClick(m_notes->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    else if (how == QStringLiteral("close box"))
        m_notes->close();
    else
        QTest::keyClick(m_notes, Qt::Key_Escape);

    // Usable again at once, not only when the notes window is finally deleted.
    QVERIFY(m_relayDialog->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(m_notes.isNull(), 1000);
    QCOMPARE(writes, 0);
    QCOMPARE(record(position), before);
    QCOMPARE(store.position(), position);
    QVERIFY(m_relayDialog);
    QVERIFY(m_relayDialog->isEnabled());
    QVERIFY(!m_mainWindow->isEnabled());
}

void TestRelayNotesDialog::lengthLimit_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("typed");
    QTest::addColumn<bool>("paste");
    QTest::addColumn<int>("expectedLength");

    QTest::newRow("253 typed") << QString() << 253 << false << 253;
    QTest::newRow("254 typed") << QString() << 254 << false << 254;
    QTest::newRow("255 typed") << QString() << 255 << false << 254;
    QTest::newRow("300 pasted") << QString() << 300 << true << 254;
    QTest::newRow("pasted onto 250 kept") << QString(250, QLatin1Char('k')) << 10 << true << 254;
}

void TestRelayNotesDialog::lengthLimit()
{
    QFETCH(QString, stored);
    QFETCH(int, typed);
    QFETCH(bool, paste);
    QFETCH(int, expectedLength);
    if (!stored.isEmpty())
        QVERIFY(m_fixture->store.writeCurrent({{QStringLiteral("Relay1Notes"), stored}}));

    QVERIFY(openNotes(1));
    noteBox()->moveCursor(QTextCursor::End);
    const QString input(typed, QLatin1Char('x'));
    if (paste)
        noteBox()->insertPlainText(input);
    else
        QTest::keyClicks(noteBox(), input);

    const QString text = noteBox()->toPlainText();
    QCOMPARE(int(text.size()), expectedLength);
    QVERIFY(text.startsWith(stored)); // what was there before survives the cut
    QTest::mouseClick(m_notes->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(m_notes.isNull(), 1000);
    QCOMPARE(int(m_fixture->store.value(QStringLiteral("Relay1Notes")).toString().size()), expectedLength);
}

void TestRelayNotesDialog::closingRelayDialogTakesNotesAlong()
{
    QVERIFY(openNotes(3));
    m_relayDialog->close();
    QTRY_VERIFY_WITH_TIMEOUT(m_relayDialog.isNull() && m_notes.isNull(), 1000);
    QVERIFY(m_mainWindow->isEnabled());
}

void TestRelayNotesDialog::refusedWriteKeepsText()
{
    QVERIFY(openNotes(1));
    QTest::keyClicks(noteBox(), QStringLiteral("kept on screen"));
    m_fixture->store.close(); // nothing can be written now
    QTest::mouseClick(m_notes->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);

    QCOMPARE(m_fixture->prompter.calls().size(), 1);
    QVERIFY(!m_fixture->prompter.lastText().isEmpty());
    QVERIFY(m_notes);
    QVERIFY(m_notes->isVisible());
    QCOMPARE(noteBox()->toPlainText(), QStringLiteral("kept on screen"));
    QVERIFY(!m_relayDialog->isEnabled());
}

QTEST_MAIN(TestRelayNotesDialog)
#include "tst_relaynotesdialog.moc"
