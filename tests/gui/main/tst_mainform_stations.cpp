#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QValidator>

#include "stations/stationformat.h"

#include "gui/main/addipdialog.h"
#include "gui/main/consoledialog.h"
#include "gui/main/mainform.h"
#include "gui/main/voltagebar.h"
#include "support/consolefixture.h"
#include "support/faketrayicon.h"

using namespace kestavo;
using testsupport::ConsoleFixture;

namespace {

// A console whose station list the test fills itself; the fixture's own station stays first.
struct Console
{
    Console()
    {
        form = std::make_unique<core::MainForm>(f.context, f.dialogs, &tray);
        f.dialogs.add(core::DialogId::AddIp, [this](core::Context& ctx, int) -> QWidget* {
            return new core::AddIpDialog(ctx, *form);
        });
        form->loadStations();
    }
    ~Console() { core::MainForm::unloadAllForms(form.get()); }

    QPushButton* button(const char* name) const { return form->findChild<QPushButton*>(QLatin1String(name)); }
    QComboBox* box() const { return form->findChild<QComboBox*>(QStringLiteral("Combo1")); }
    void choose(const QString& entry)
    {
        box()->setEditText(entry);
        form->selectStation(entry);
    }
    core::AddIpDialog* openAdd()
    {
        button("Command2")->click();
        return qobject_cast<core::AddIpDialog*>(QApplication::activeModalWidget()) ? nullptr : findAdd();
    }
    static core::AddIpDialog* findAdd()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<core::AddIpDialog*>(w); d && d->isVisible())
                return d;
        return nullptr;
    }
    void add(const QString& ip, const QString& password, const QString& description)
    {
        auto* d = openAdd();
        QVERIFY(d);
        QTest::keyClicks(d->findChild<QLineEdit*>(QStringLiteral("Text1")), ip);
        QTest::keyClicks(d->findChild<QLineEdit*>(QStringLiteral("Text3")), password);
        QTest::keyClicks(d->findChild<QLineEdit*>(QStringLiteral("Text2")), description);
        d->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    }

    ConsoleFixture f;
    testsupport::FakeTrayIcon tray;
    std::unique_ptr<core::MainForm> form;
};

} // namespace

class TestMainFormStations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startUpShowsTheDefaultStation()
    {
        Console c;
        QCOMPARE(c.box()->currentText(), c.f.stationEntry());
        QCOMPARE(c.button("Command27")->text(), QStringLiteral("Auto Ping 127.0.0.1"));
        QVERIFY(!c.button("Command23")->isEnabled()); // locked until a recent unit reports
        QVERIFY(!c.button("Command26")->isVisible());
        QVERIFY(c.form->windowTitle().startsWith(QStringLiteral("Kestavo")));
    }

    void addStationChecksInOrder_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("message");
        QTest::newRow("no ip") << ""
                               << "pw"
                               << "desc"
                               << "Add an IP!";
        QTest::newRow("no password") << "127.0.0.5"
                                     << ""
                                     << "desc"
                                     << "Add a Password!";
        QTest::newRow("no description") << "127.0.0.5"
                                        << "pw"
                                        << ""
                                        << "Enter a Description!";
        QTest::newRow("letters filtered from ip") << "abc"
                                                  << "pw"
                                                  << "desc"
                                                  << "Add an IP!";
        QTest::newRow("no such address") << "999.1.1.1"
                                         << "pw"
                                         << "desc"
                                         << "\"999.1.1.1\" is no IPv4 address (octet 1 is 999, above 255)";
        QTest::newRow("leading zero") << "127.0.82.010"
                                      << "pw"
                                      << "desc"
                                      << "\"127.0.82.010\" is no IPv4 address (octet 4 has a leading zero, "
                                         "which some programs read as octal)";
        QTest::newRow("space and star filtered from password") << "127.0.0.5"
                                                               << " ** "
                                                               << "d"
                                                               << "Add a Password!";
    }
    void addStationChecksInOrder()
    {
        QFETCH(QString, ip);
        QFETCH(QString, password);
        QFETCH(QString, description);
        QFETCH(QString, message);
        Console c;
        c.add(ip, password, description);
        QCOMPARE(c.f.prompter.lastText(), message);
        QVERIFY(Console::findAdd()); // the dialog stays open
        QCOMPARE(c.f.store.count(), 1);
        QVERIFY(!c.form->isEnabled());
    }

    void addStationAppendsAndKeepsTheDefaultShown()
    {
        Console c;
        c.add(QStringLiteral("127.0.0.5"), QStringLiteral("abc"), QStringLiteral("Pump house"));
        QVERIFY(!Console::findAdd());
        QVERIFY(c.form->isEnabled());
        QCOMPARE(c.f.store.count(), 2);
        QCOMPARE(c.box()->count(), 2);
        QCOMPARE(c.box()->itemText(1),
                 stations::formatEntry(QStringLiteral("127.0.0.5"), QStringLiteral("Pump house")));
        QCOMPARE(c.box()->currentText(), c.f.stationEntry()); // the default, not the new one
        QCOMPARE(c.f.store.valueAt(1, QStringLiteral("password")).toString(), QStringLiteral("abc*******"));
    }

    void passwordBoxTakesOnlyOneByteCharacters_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("plain") << QStringLiteral("Secret-9!") << true;
        QTest::newRow("latin-1 letter") << QString::fromUtf8("caf\u00E9") << true;
        QTest::newRow("space") << QStringLiteral("a b") << false;
        QTest::newRow("star") << QStringLiteral("ab*") << false;
        QTest::newRow("cyrillic") << QString::fromUtf8("\u0436") << false;
        QTest::newRow("euro sign") << QString::fromUtf8("\u20AC") << false;
        QTest::newRow("no-break space") << QString::fromUtf8("a\u00A0b") << false;
        QTest::newRow("tab") << QStringLiteral("a\tb") << false;
    }
    void passwordBoxTakesOnlyOneByteCharacters()
    {
        // Frames carry one byte per password character: what has no byte must not get in.
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        Console c;
        auto* d = c.openAdd();
        QVERIFY(d);
        const QValidator* v = d->findChild<QLineEdit*>(QStringLiteral("Text3"))->validator();
        QVERIFY(v);
        int pos = 0;
        QCOMPARE(v->validate(typed, pos) == QValidator::Acceptable, accepted);
    }

    void maximumLengths()
    {
        Console c;
        auto* d = c.openAdd();
        QVERIFY(d);
        QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("Text1"))->maxLength(), 15);
        QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("Text3"))->maxLength(), 10);
        QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("Text2"))->maxLength(), 30);
        QCOMPARE(d->windowTitle(), QStringLiteral("ADD IP NUMBER"));
        d->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(c.form->isEnabled());
    }

    void removeRules_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("left");
        QTest::newRow("first record") << "127.0.0.1"
                                      << "Dont Delete this IP" << 3;
        QTest::newRow("unknown") << "127.9.9.9"
                                 << "Not found in Data Base. Please Add it first." << 3;
        QTest::newRow("second, named in the question")
            << "127.0.0.2"
            << "Remove IP? Are you Sure?\n127.0.0.2         two" << 2;
    }
    void removeRules()
    {
        QFETCH(QString, shown);
        QFETCH(QString, message);
        QFETCH(int, left);
        Console c;
        c.f.store.add(QStringLiteral("127.0.0.2"), QStringLiteral("x"), QStringLiteral("two"));
        c.f.store.add(QStringLiteral("127.0.0.3"), QStringLiteral("y"), QStringLiteral("three"));
        c.box()->setEditText(shown);
        c.button("Command4")->click();
        QCOMPARE(c.f.prompter.lastText(), message);
        QCOMPARE(c.f.store.count(), left);
    }

    void typedTextIsNeverCompletedOntoAnotherStation()
    {
        Console c;
        c.f.store.add(QStringLiteral("127.0.0.25"), QStringLiteral("x"), QStringLiteral("other"));
        c.form->refillStations();
        c.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(c.form.get()));
        c.box()->setFocus();
        c.box()->clearEditText();
        QTest::keyClicks(c.box()->lineEdit(), QStringLiteral("127.0.0.2"));
        QCOMPARE(c.box()->currentText(), QStringLiteral("127.0.0.2"));
        c.button("Command4")->click();
        QCOMPARE(c.f.prompter.lastText(), stations::kNotFound);
        QCOMPARE(c.f.store.count(), 2);
    }

    void addingAKnownAddressOffersAnUpdate_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("update") << true;
        QTest::newRow("declined") << false;
    }
    void addingAKnownAddressOffersAnUpdate()
    {
        QFETCH(bool, accept);
        Console c;
        const QString oldPassword = c.f.store.password();
        c.f.prompter.queueAnswer(accept ? platform::Prompter::Answer::Yes : platform::Prompter::Answer::No);
        c.add(QStringLiteral("127.0.0.1"), QStringLiteral("fixed"), QStringLiteral("Renamed"));
        QCOMPARE(c.f.prompter.lastText(), QStringLiteral("127.0.0.1 is already in the station list as "
                                                         "\"Test unit\". Update its password and description "
                                                         "instead?"));
        QCOMPARE(c.f.store.count(), 1);
        QCOMPARE(bool(Console::findAdd()), !accept);
        QCOMPARE(c.f.store.password(), accept ? QStringLiteral("fixed*****") : oldPassword);
        QCOMPARE(c.box()->itemText(0),
                 accept ? stations::formatEntry(QStringLiteral("127.0.0.1"), QStringLiteral("Renamed"))
                        : c.f.stationEntry());
    }

    void firstRunHintsAtAddIp()
    {
        Console c;
        QVERIFY(c.box()->lineEdit()->placeholderText().isEmpty()); // the fixture's station is listed
        QVERIFY(c.f.store.open(c.f.dir.filePath(QStringLiteral("first-run.dat"))).ok); // a new, empty list
        QCOMPARE(c.f.store.count(), 0);
        c.form->refillStations();
        QCOMPARE(c.box()->lineEdit()->placeholderText(),
                 QStringLiteral("No stations yet: press \"Add IP\" to add the first one"));
    }

    void choosingAnotherStationStopsTheSession_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("picked from the list") << false;
        QTest::newRow("arrow key") << true;
    }
    void choosingAnotherStationStopsTheSession()
    {
        QFETCH(bool, byKey);
        Console c;
        c.f.store.add(QStringLiteral("127.0.0.2"), QStringLiteral("Bsecret"), QStringLiteral("Unit B"));
        c.form->refillStations();
        c.box()->setCurrentIndex(0);
        c.button("Command3")->click();
        QVERIFY(c.f.peer.waitFrames(2));
        c.f.feed(testsupport::ReplyBuilder().text(15, "\x01\x02\x03\x04\x05\x06").bytes());
        auto* mac = c.form->findChild<QLineEdit*>(QStringLiteral("Text8"));
        QVERIFY(!mac->text().isEmpty());

        if (byKey)
            QTest::keyClick(c.box(), Qt::Key_Down);
        else
            Q_EMIT c.box()->activated(1);
        QCOMPARE(c.f.store.position(), 1);
        QVERIFY(!c.f.state.acquiring());
        QVERIFY(mac->text().isEmpty());
        const auto before = c.f.peer.frames().size();
        QTest::qWait(200); // four poll intervals of the fixture
        QCOMPARE(c.f.peer.frames().size(), before);
        for (const QByteArray& frame : c.f.peer.frames())
            QVERIFY(!frame.contains("Bsecret"));
    }

    void fleetChoiceAsksBeforeMovingTheSession_data()
    {
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("yes");
        QTest::newRow("no session: starts at once") << false << true;
        QTest::newRow("session, yes: moves") << true << true;
        QTest::newRow("session, no: stays") << true << false;
    }
    void fleetChoiceAsksBeforeMovingTheSession()
    {
        QFETCH(bool, running);
        QFETCH(bool, yes);
        Console c;
        c.f.store.add(QStringLiteral("127.0.0.2"), QStringLiteral("Bsecret"), QStringLiteral("Unit B"));
        c.form->refillStations();
        c.box()->setCurrentIndex(0);
        if (running) {
            c.button("Command3")->click();
            QVERIFY(c.f.state.acquiring());
        }
        c.f.prompter.clear();
        c.f.prompter.queueAnswer(yes ? platform::Prompter::Answer::Yes : platform::Prompter::Answer::No);
        QCOMPARE(c.form->startStation(QStringLiteral("127.0.0.2")), yes);
        if (running) {
            QCOMPARE(c.f.prompter.lastCall().text,
                     QStringLiteral("Stop the session with 127.0.0.1 and start one with 127.0.0.2?"));
            QCOMPARE(c.f.prompter.lastCall().title, QStringLiteral("Kestavo"));
        } else {
            QVERIFY(c.f.prompter.calls().isEmpty());
        }
        QCOMPARE(c.f.state.selectedAddress(),
                 yes ? QStringLiteral("127.0.0.2") : QStringLiteral("127.0.0.1"));
        QCOMPARE(c.f.state.acquiring(), yes || running);
    }

    void removeCancelledChangesNothing()
    {
        Console c;
        c.f.store.add(QStringLiteral("127.0.0.2"), QStringLiteral("x"), QStringLiteral("two"));
        c.box()->setEditText(QStringLiteral("127.0.0.2"));
        c.f.prompter.queueAnswer(platform::Prompter::Answer::Cancel);
        c.button("Command4")->click();
        QCOMPARE(c.f.prompter.lastCall().title, QStringLiteral("Remove IP"));
        QCOMPARE(c.f.store.count(), 2);
    }

    void removingTheDefaultMakesTheFirstDefault()
    {
        Console c;
        c.f.store.add(QStringLiteral("127.0.0.2"), QStringLiteral("x"), QStringLiteral("two"));
        c.f.store.setDefault(QStringLiteral("127.0.0.2"));
        c.form->refillStations();
        QVERIFY(c.box()->currentText().startsWith(QStringLiteral("127.0.0.2")));
        c.button("Command4")->click();
        QCOMPARE(c.f.store.count(), 1);
        QCOMPARE(c.box()->currentText(), c.f.stationEntry());
        QVERIFY(c.f.store.valueAt(0, QStringLiteral("default")).toInt() == 1);
    }

    void setDefaultLeavesExactlyOne()
    {
        Console c;
        c.f.store.add(QStringLiteral("127.0.0.2"), QStringLiteral("x"), QStringLiteral("two"));
        c.f.store.add(QStringLiteral("127.0.0.3"), QStringLiteral("y"), QStringLiteral("three"));
        c.f.store.move(2);
        c.f.store.writeCurrent({{QStringLiteral("default"), 1}});
        c.form->loadStations();
        QVERIFY(c.box()->currentText().startsWith(QStringLiteral("127.0.0.3"))); // last default wins
        c.box()->setEditText(c.box()->itemText(1));
        c.button("Command1")->click();
        int defaults = 0;
        for (int p = 0; p < c.f.store.count(); ++p)
            defaults += c.f.store.valueAt(p, QStringLiteral("default")).toInt();
        QCOMPARE(defaults, 1);
        QCOMPARE(c.f.store.valueAt(1, QStringLiteral("default")).toInt(), 1);
        QCOMPARE(c.f.store.position(), 1);
        c.box()->setEditText(QStringLiteral("127.1.1.1"));
        c.button("Command1")->click();
        QCOMPARE(c.f.prompter.lastText(), QStringLiteral("Not found in Data Base. Please Add it first."));
    }

    void stationDisplaySettingsFollowTheSelection()
    {
        Console c;
        c.f.store.add(QStringLiteral("127.0.0.2"), QStringLiteral("x"), QStringLiteral("two"));
        c.f.store.move(1);
        c.f.store.writeCurrent({{QStringLiteral("Voltage8View"), 1},
                                {QStringLiteral("Label3voltage"), QStringLiteral("Tank level")}});
        c.form->show();
        c.choose(c.f.store.entryAt(1));
        QCOMPARE(c.f.store.position(), 1);
        QCOMPARE(c.form->findChild<QLabel*>(QStringLiteral("Label2"))->text(), QStringLiteral("Tank level"));
        QVERIFY(c.form->findChild<core::VoltageBar*>(QStringLiteral("Picture7"))->isVisible());
        QVERIFY(!c.form->findChild<QLineEdit*>(QStringLiteral("Text7"))->isVisible());
        // No caption stored: the default caption, not a blank.
        QCOMPARE(c.form->findChild<QLabel*>(QStringLiteral("Label15"))->text(),
                 QStringLiteral("Voltage 1  (0 - 30 - 60)"));
        QCOMPARE(c.form->findChild<QLineEdit*>(QStringLiteral("Text2"))->accessibleName(),
                 QStringLiteral("Voltage 3, Tank level"));
        QCOMPARE(c.form->findChild<QLineEdit*>(QStringLiteral("Text16"))->accessibleName(),
                 QStringLiteral("Voltage 1"));
        // The caption is what a screen reader hears too, on the title and on the gauge.
        QCOMPARE(c.form->findChild<QLabel*>(QStringLiteral("Label2"))->accessibleName(),
                 QStringLiteral("Tank level"));
        QCOMPARE(c.form->findChild<core::VoltageBar*>(QStringLiteral("Picture2"))->accessibleName(),
                 QStringLiteral("Voltage 3, Tank level gauge"));
        QCOMPARE(c.button("Command27")->text(), QStringLiteral("Auto Ping 127.0.0.2"));
        // A click swaps until the next selection re-applies the stored setting.
        QTest::mouseClick(c.form->findChild<core::VoltageBar*>(QStringLiteral("Picture7")), Qt::LeftButton);
        QVERIFY(c.form->findChild<QLineEdit*>(QStringLiteral("Text7"))->isVisible());
        c.choose(c.f.store.entryAt(1));
        QVERIFY(!c.form->findChild<QLineEdit*>(QStringLiteral("Text7"))->isVisible());
    }

    void focusOnTheStationBoxStopsTheSession()
    {
        Console c;
        c.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(c.form.get()));
        QVERIFY(c.f.start());
        QVERIFY(c.f.state.acquiring());
        c.button("Command3")->setFocus();
        c.box()->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(!c.f.state.acquiring());
    }

    void closingADialogKeepsTheSession()
    {
        Console c;
        c.f.session.setTiming({60000, 200, 60000});
        c.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(c.form.get()));
        QVERIFY(c.f.start());
        c.button("Command2")->setFocus();
        // Any dialog that holds the main window: when it closes, Qt re-activates the window and
        // hands focus to its first control, the station box. That is not the user choosing a station.
        auto* dialog = new core::ConsoleDialog(c.f.context);
        dialog->show();
        QVERIFY(!c.form->isEnabled());
        dialog->close();
        QVERIFY(c.form->isEnabled());
        c.form->activateWindow();
        QCoreApplication::processEvents();
        c.box()->setFocus(Qt::ActiveWindowFocusReason);
        QCoreApplication::processEvents();
        QVERIFY(c.f.state.acquiring());
        c.box()->setFocus(Qt::OtherFocusReason);
        c.button("Command3")->setFocus();
        c.box()->setFocus(Qt::TabFocusReason);
        QVERIFY(!c.f.state.acquiring());
    }

    void stationNameBytesAreLatin1()
    {
        Console c;
        QVERIFY(c.f.start());
        c.f.feed(testsupport::ReplyBuilder().text(78, "  Caf\xE9 North        ").bytes());
        QCOMPARE(c.form->findChild<QLineEdit*>(QStringLiteral("Text83"))->text(),
                 QString::fromUtf8("Caf\u00E9 North"));
    }

    void skinKeepsTheStateColours()
    {
        QFile skin(QStringLiteral(":/skins/Default.qss"));
        QVERIFY(skin.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(skin.readAll()));
        Console c;
        c.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(c.form.get()));
        QVERIFY(c.f.start());
        c.f.feed(testsupport::ReplyBuilder().at(62, 1).bytes());
        auto* pin = c.form->findChild<QLineEdit*>(QStringLiteral("Text58"));
        QCOMPARE(pin->text(), QStringLiteral("1"));
        const QImage image = pin->grab().toImage();
        qApp->setStyleSheet(QString());
        QCOMPARE(QColor(image.pixel(image.width() / 4, image.height() / 2)), QColor(0xFF, 0x00, 0x00));
    }

    void trayHidesAndRestores()
    {
        Console c;
        c.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(c.form.get()));
        c.form->setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(!c.form->isVisible());
        QVERIFY(c.tray.isShown());
        c.tray.activate();
        QTRY_VERIFY(c.form->isVisible());
        QVERIFY(!c.tray.isShown());
    }

    void withoutATrayMinimisingOnlyMinimises()
    {
        Console c;
        c.tray.setAvailable(false);
        c.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(c.form.get()));
        c.form->setWindowState(Qt::WindowMinimized);
        QTest::qWait(20);
        QVERIFY(c.form->isVisible());
        QVERIFY(!c.tray.isShown());
    }

    void closingRemovesTheIconAndEveryDialog()
    {
        Console c;
        c.form->show();
        c.button("Command2")->click(); // opens ADDIP1
        QVERIFY(Console::findAdd());
        c.tray.show();
        c.form->close();
        QVERIFY(!Console::findAdd());
        QVERIFY(!c.tray.isShown());
        QVERIFY(c.f.state.exiting());
    }
};

QTEST_MAIN(TestMainFormStations)
#include "tst_mainform_stations.moc"
