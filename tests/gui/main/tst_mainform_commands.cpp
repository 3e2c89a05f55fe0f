#include <memory>

#include <QAbstractButton>
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "session/consolestate.h"

#include "gui/main/dialogregistry.h"
#include "gui/main/formcontrols.h"
#include "gui/main/mainform.h"
#include "gui/main/readoutpanel.h"
#include "gui/main/voltagebar.h"
#include "support/consolefixture.h"
#include "support/faketrayicon.h"

using namespace kestavo;
using kestavo::platform::Prompter;
using kestavo::testsupport::ConsoleFixture;
using kestavo::testsupport::ReplyBuilder;

namespace {

const QString kAquire = QStringLiteral("Aquire Data First!");
const QString kStopIt = QStringLiteral("  STOP IT !");

struct Opened
{
    core::DialogId id;
    int argument;
    bool operator==(const Opened&) const = default;
};

const QList<core::DialogId> kAllDialogs{
    core::DialogId::AddIp,          core::DialogId::Relay,       core::DialogId::Options,
    core::DialogId::ChangeMac,      core::DialogId::ChangeIp,    core::DialogId::Security,
    core::DialogId::RelayScripting, core::DialogId::StationName, core::DialogId::DaughterBoards,
    core::DialogId::Uptime,         core::DialogId::About,       core::DialogId::Timer,
    core::DialogId::Temperature,    core::DialogId::IoBox};

QColor textColour(const QWidget* w)
{
    return w->palette().color(QPalette::WindowText);
}

} // namespace

class TestMainFormCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void guardedWithoutSession_data();
    void guardedWithoutSession();
    void guardedWithSessionOpens_data();
    void guardedWithSessionOpens();
    void inputOptionButtons_data();
    void inputOptionButtons();
    void aboutIsUnguarded();
    void addRoute_data();
    void addRoute();
    void autoPing();
    void failingCommandIsReported();
    void revisionGuard_data();
    void revisionGuard();
    void stopTimerTwice();
    void voltageToggle_data();
    void voltageToggle();
    void storedViewReappliedOnSelection();
    void relayLabels_data();
    void relayLabels();
    void ioPins_data();
    void ioPins();
    void readoutTexts();
    void timerLabel();
    void revisionGating_data();
    void revisionGating();
    void exitClosesEverything_data();
    void exitClosesEverything();
    void readoutsSpeakTheirValue_data();
    void readoutsSpeakTheirValue();
    void silentUnitsValuesLookOld_data();
    void silentUnitsValuesLookOld();

private:
    QWidget* control(const QString& name) const;
    // Clicks a button, or presses the mouse on a readout, as the user would.
    void activate(const QString& name);
    // A status report whose relay, I/O and timer bytes are all "leave unchanged" unless set.
    static ReplyBuilder quietReport();

    std::unique_ptr<ConsoleFixture> m_fixture;
    std::unique_ptr<testsupport::FakeTrayIcon> m_tray;
    std::unique_ptr<core::MainForm> m_form;
    QList<Opened> m_opened;
};

void TestMainFormCommands::init()
{
    m_fixture = std::make_unique<ConsoleFixture>();
    m_fixture->session.setTiming({60000, 200, 60000});
    m_opened.clear();
    for (core::DialogId id : kAllDialogs) {
        m_fixture->dialogs.add(id, [this, id](core::Context&, int argument) -> QWidget* {
            m_opened.append({id, argument});
            return nullptr;
        });
    }
    m_tray = std::make_unique<testsupport::FakeTrayIcon>();
    m_form = std::make_unique<core::MainForm>(m_fixture->context, m_fixture->dialogs, m_tray.get());
    m_form->loadStations();
}

void TestMainFormCommands::cleanup()
{
    m_form.reset();
    m_tray.reset();
    m_fixture.reset();
}

QWidget* TestMainFormCommands::control(const QString& name) const
{
    return m_form->findChild<QWidget*>(name);
}

void TestMainFormCommands::activate(const QString& name)
{
    QWidget* w = control(name);
    QVERIFY2(w, qPrintable(name));
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->click();
    else
        QTest::mousePress(w, Qt::LeftButton);
}

ReplyBuilder TestMainFormCommands::quietReport()
{
    ReplyBuilder report;
    for (std::size_t p : {37, 38, 39, 40, 62, 63, 64, 65})
        report.at(p, 7);
    return report;
}

void TestMainFormCommands::guardedWithoutSession_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name :
         {"Command6",  "Command7",  "Command8",  "Command10", "Command11", "Command15", "Command22",
          "Command23", "Command25", "Command26", "Command28", "Image1",    "Label23",   "Text57",
          "Text58",    "Text59",    "Text60",    "Text61",    "Text62",    "Text8",     "Text83"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestMainFormCommands::guardedWithoutSession()
{
    QFETCH(QString, name);
    // A unit above revision 169 was seen, then the session ended: every revision-gated control
    // is enabled and shown, and only the acquiring guard stands in the way.
    m_fixture->feed(ReplyBuilder().revision(1, 7, 2).bytes());
    m_fixture->session.stop();
    QVERIFY(!m_fixture->state.acquiring());
    QVERIFY(control(name)->isEnabled());
    QSignalSpy sent(&m_fixture->session, &core::Session::frameSent);

    activate(name);

    QCOMPARE(m_fixture->prompter.texts(), QStringList{kAquire});
    QCOMPARE(m_fixture->prompter.lastCall().title, QStringLiteral("KSV172"));
    QCOMPARE(m_fixture->prompter.lastCall().buttons, Prompter::Buttons::Ok);
    QVERIFY(m_opened.isEmpty());
    QCOMPARE(sent.count(), 0);
}

void TestMainFormCommands::guardedWithSessionOpens_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("dialog");
    QTest::addColumn<int>("argument");
    const auto row = [](const char* name, core::DialogId id, int argument) {
        QTest::newRow(name) << QString::fromLatin1(name) << int(id) << argument;
    };
    row("Command6", core::DialogId::Relay, 1);
    row("Command7", core::DialogId::Relay, 2);
    row("Command8", core::DialogId::Relay, 3);
    row("Command10", core::DialogId::ChangeMac, 0);
    row("Text8", core::DialogId::ChangeMac, 0);
    row("Command11", core::DialogId::ChangeIp, 0);
    row("Command15", core::DialogId::Security, 0);
    row("Command22", core::DialogId::Uptime, 0);
    row("Command23", core::DialogId::RelayScripting, 0);
    row("Command25", core::DialogId::StationName, 0);
    row("Text83", core::DialogId::StationName, 0);
    row("Command28", core::DialogId::DaughterBoards, 0);
    row("Image1", core::DialogId::Timer, 0);
    row("Label23", core::DialogId::Timer, 0);
}

void TestMainFormCommands::guardedWithSessionOpens()
{
    QFETCH(QString, name);
    QFETCH(int, dialog);
    QFETCH(int, argument);
    QVERIFY(m_fixture->start());
    m_fixture->feed(ReplyBuilder().revision(1, 7, 2).bytes());

    activate(name);

    QCOMPARE(m_fixture->prompter.texts(), QStringList{});
    QCOMPARE(m_opened, (QList<Opened>{{core::DialogId(dialog), argument}}));
}

void TestMainFormCommands::readoutsSpeakTheirValue_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value"); // empty: whatever the readout shows, as long as it shows something
    QTest::newRow("connection") << "Panel2"
                                << "Connection"
                                << "Connected";
    QTest::newRow("time") << "Panel4"
                          << "Time"
                          << "";
    QTest::newRow("date") << "Panel6"
                          << "Date"
                          << "";
    QTest::newRow("activity") << "Label8"
                              << "Activity"
                              << "Receiving Data";
    QTest::newRow("sent, start frame and read request") << "Label19"
                                                        << "Sent"
                                                        << "2";
    QTest::newRow("received") << "Label17"
                              << "Received"
                              << "1";
    QTest::newRow("lost") << "Label21"
                          << "Lost"
                          << "0";
    QTest::newRow("relay 1") << "Label9"
                             << "Relay 1 state"
                             << "ON";
    QTest::newRow("relay 2") << "Label10"
                             << "Relay 2 state"
                             << "OFF";
    QTest::newRow("timer state") << "Label24"
                                 << "Timer state"
                                 << "Timer  Inactive";
    QTest::newRow("countdown minutes") << "Label29"
                                       << "Minutes"
                                       << "2";
    QTest::newRow("voltage 3") << "Text2"
                               << "Voltage 3"
                               << "";
    QTest::newRow("I/O pin 1") << "Text58"
                               << "I/O pin 1"
                               << "1";
    QTest::newRow("voltage 3 gauge") << "Picture2"
                                     << "Voltage 3 gauge"
                                     << "";
}

void TestMainFormCommands::readoutsSpeakTheirValue()
{
    QFETCH(QString, objectName);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QVERIFY(m_fixture->start());
    m_fixture->feed(quietReport().at(37, 0).at(38, 1).at(62, 1).at(100, 120).bytes());
    m_form->drawBars();
    QWidget* readout = control(objectName);
    QVERIFY(readout);
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(readout);
    QVERIFY(a && a->textInterface());
    QCOMPARE(a->text(QAccessible::Name), name);
    const QString spoken = a->textInterface()->text(0, a->textInterface()->characterCount());
    if (value.isEmpty())
        QVERIFY2(!spoken.isEmpty() && spoken != name, qPrintable(spoken));
    else
        QCOMPARE(spoken, value);
}

void TestMainFormCommands::inputOptionButtons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("input");
    const char* names[] = {"Command9",  "Command14", "Command16", "Command17",
                           "Command18", "Command19", "Command20", "Command21"};
    for (int i = 0; i < 8; ++i)
        QTest::newRow(names[i]) << QString::fromLatin1(names[i]) << i + 1;
}

void TestMainFormCommands::inputOptionButtons()
{
    QFETCH(QString, name);
    QFETCH(int, input);
    QVERIFY(!m_fixture->state.acquiring());
    QCOMPARE(m_form->findChild<QAbstractButton*>(name)->text(),
             QStringLiteral("ADC Input %1 Options").arg(input));

    activate(name);

    QVERIFY(m_fixture->prompter.calls().isEmpty());
    QCOMPARE(m_fixture->state.optionsInput(), input);
    QCOMPARE(m_opened.size(), 1);
    QCOMPARE(m_opened.first().id, core::DialogId::Options);
}

void TestMainFormCommands::aboutIsUnguarded()
{
    activate(QStringLiteral("Command13"));
    QVERIFY(m_fixture->prompter.calls().isEmpty());
    QCOMPARE(m_opened, (QList<Opened>{{core::DialogId::About, 0}}));
}

void TestMainFormCommands::addRoute_data()
{
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QStringList>("commands");
    const QStringList route{QStringLiteral("route add 127.0.0.1 mask 255.255.255.255 127.0.0.1")};
    QTest::newRow("no session, Cancel") << false << false << QStringList{};
    QTest::newRow("no session, OK") << false << true << route;
    QTest::newRow("session, Cancel") << true << false << QStringList{};
    QTest::newRow("session, OK") << true << true << route;
}

void TestMainFormCommands::addRoute()
{
    QFETCH(bool, started);
    QFETCH(bool, confirm);
    QFETCH(QStringList, commands);
    if (started)
        QVERIFY(m_fixture->start());
    m_fixture->prompter.queueAnswer(confirm ? Prompter::Answer::Ok : Prompter::Answer::Cancel);

    activate(QStringLiteral("Command24"));

    QCOMPARE(m_fixture->prompter.calls().size(), 1);
    QCOMPARE(m_fixture->prompter.lastText(), QStringLiteral("Add a route to 127.0.0.1 ?"));
    QCOMPARE(m_fixture->prompter.lastCall().buttons, Prompter::Buttons::OkCancel);
    QCOMPARE(m_fixture->commands.commandLines(), commands);
    if (!commands.isEmpty())
        QVERIFY(!m_fixture->commands.ran().first().visible);
}

void TestMainFormCommands::autoPing()
{
    auto* ping = qobject_cast<QAbstractButton*>(control(QStringLiteral("Command27")));
    QVERIFY(ping);
    QCOMPARE(ping->text(), QStringLiteral("Auto Ping 127.0.0.1"));
    activate(QStringLiteral("Command27"));
    QVERIFY(m_fixture->prompter.calls().isEmpty());
    QCOMPARE(m_fixture->commands.commandLines(), QStringList{QStringLiteral("ping 127.0.0.1 -t")});
    QVERIFY(m_fixture->commands.ran().first().visible);
}

void TestMainFormCommands::failingCommandIsReported()
{
    const QString why = QStringLiteral("ping could not be started: no such program.");
    m_fixture->commands.failWith(why);
    activate(QStringLiteral("Command27"));
    QCOMPARE(m_fixture->prompter.texts(), QStringList{why});
}

void TestMainFormCommands::revisionGuard_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("revision");
    QTest::addColumn<int>("dialog"); // -1: refused
    QTest::addColumn<int>("box");

    for (int revision : {166, 167}) {
        const int dialog = revision > 166 ? int(core::DialogId::Temperature) : -1;
        QTest::addRow("Text57 at %d", revision) << QStringLiteral("Text57") << revision << dialog << -1;
        for (int box = 0; box < 5; ++box) {
            const int io = revision > 166 ? int(core::DialogId::IoBox) : -1;
            QTest::addRow("Text%d at %d", 58 + box, revision)
                << QStringLiteral("Text%1").arg(58 + box) << revision << io << box;
        }
    }
}

void TestMainFormCommands::revisionGuard()
{
    QFETCH(QString, name);
    QFETCH(int, revision);
    QFETCH(int, dialog);
    QFETCH(int, box);
    QVERIFY(m_fixture->start());
    m_fixture->feed(ReplyBuilder().revision(1, 6, revision % 10).bytes());
    QCOMPARE(m_fixture->state.revision(), revision);
    m_fixture->state.setIoBoxIndex(-1);

    activate(name);

    if (dialog < 0) {
        QCOMPARE(m_fixture->prompter.texts(), QStringList{kStopIt});
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(m_fixture->state.ioBoxIndex(), -1);
        return;
    }
    QVERIFY(m_fixture->prompter.calls().isEmpty());
    QCOMPARE(m_opened.size(), 1);
    QCOMPARE(int(m_opened.first().id), dialog);
    if (box >= 0)
        QCOMPARE(m_fixture->state.ioBoxIndex(), box);
}

void TestMainFormCommands::stopTimerTwice()
{
    QVERIFY(m_fixture->start());
    m_fixture->feed(ReplyBuilder().revision(1, 7, 2).bytes());
    QVERIFY(control(QStringLiteral("Command26"))->isVisibleTo(m_form.get()));
    m_fixture->peer.clear();
    const int sentBefore = m_fixture->session.sent();
    QSignalSpy sent(&m_fixture->session, &core::Session::frameSent);

    activate(QStringLiteral("Command26"));
    activate(QStringLiteral("Command26"));

    QVERIFY(m_fixture->prompter.calls().isEmpty()); // no confirmation
    QCOMPARE(sent.count(), 2);
    QCOMPARE(m_fixture->session.sent(), sentBefore + 2);
    const QByteArray expected = QByteArray("&^ZQK2001N") + "secret****" + QByteArray(255, '*');
    QCOMPARE(sent.at(0).at(0).toByteArray(), expected);
    QCOMPARE(sent.at(1).at(0).toByteArray(), expected);
    QVERIFY(m_fixture->peer.waitFrames(2));
    const auto frames = m_fixture->peer.frames();
    QCOMPARE(frames.size(), 2);
    QCOMPARE(frames.at(0).size(), 275);
    QCOMPARE(frames.at(0), expected);
    QCOMPARE(frames.at(1), expected);
}

void TestMainFormCommands::voltageToggle_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("bar");
    const char* pairs[][2] = {{"Text16", "Picture8"}, {"Text17", "Picture9"}, {"Text2", "Picture2"},
                              {"Text3", "Picture3"},  {"Text4", "Picture4"},  {"Text5", "Picture5"},
                              {"Text6", "Picture6"},  {"Text7", "Picture7"}};
    for (int i = 0; i < 8; ++i)
        QTest::addRow("input %d", i + 1)
            << QString::fromLatin1(pairs[i][0]) << QString::fromLatin1(pairs[i][1]);
}

void TestMainFormCommands::voltageToggle()
{
    QFETCH(QString, box);
    QFETCH(QString, bar);
    QWidget* boxWidget = control(box);
    QWidget* barWidget = control(bar);
    QVERIFY(qobject_cast<QLineEdit*>(boxWidget));
    QVERIFY(qobject_cast<core::VoltageBar*>(barWidget));
    QVERIFY(boxWidget->isVisibleTo(m_form.get()));
    QVERIFY(!barWidget->isVisibleTo(m_form.get()));

    QTest::mousePress(boxWidget, Qt::LeftButton);
    QVERIFY(!boxWidget->isVisibleTo(m_form.get()));
    QVERIFY(barWidget->isVisibleTo(m_form.get()));

    QTest::mousePress(barWidget, Qt::LeftButton);
    QVERIFY(boxWidget->isVisibleTo(m_form.get()));
    QVERIFY(!barWidget->isVisibleTo(m_form.get()));

    QVERIFY(m_fixture->prompter.calls().isEmpty());
    QVERIFY(m_opened.isEmpty());
}

void TestMainFormCommands::storedViewReappliedOnSelection()
{
    QVERIFY(m_fixture->store.writeCurrent({{QStringLiteral("Voltage3View"), 1}}));
    m_form->selectStation(m_form->stationBoxText());
    QWidget* box = control(QStringLiteral("Text2"));
    QWidget* bar = control(QStringLiteral("Picture2"));
    QVERIFY(bar->isVisibleTo(m_form.get()));

    QTest::mousePress(bar, Qt::LeftButton);
    QVERIFY(box->isVisibleTo(m_form.get()));
    // The click did not touch the stored setting: the next selection shows the bar again.
    QCOMPARE(m_fixture->store.value(QStringLiteral("Voltage3View")).toInt(), 1);
    m_form->selectStation(m_form->stationBoxText());
    QVERIFY(bar->isVisibleTo(m_form.get()));
    QVERIFY(!box->isVisibleTo(m_form.get()));
}

void TestMainFormCommands::relayLabels_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("colour");

    const QColor green(0x00, 0xFF, 0x00);
    const QColor red(0xFF, 0x00, 0x00);
    QTest::newRow("0 is ON") << 1 << 0 << QStringLiteral("ON") << green;
    QTest::newRow("1 is OFF") << 0 << 1 << QStringLiteral("OFF") << red;
    QTest::newRow("2 leaves ON") << 0 << 2 << QStringLiteral("ON") << green;
    QTest::newRow("2 leaves OFF") << 1 << 2 << QStringLiteral("OFF") << red;
    QTest::newRow("255 leaves OFF") << 1 << 255 << QStringLiteral("OFF") << red;
    QTest::newRow("never reported") << 3 << 3 << QStringLiteral("====") << red;
}

void TestMainFormCommands::relayLabels()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(QString, text);
    QFETCH(QColor, colour);

    const char* labels[] = {"Label9", "Label10", "Label11"};
    for (int relay = 0; relay < 3; ++relay) {
        // The other relays carry the opposite states, so a shifted position shows.
        ReplyBuilder a = quietReport();
        ReplyBuilder b = quietReport();
        a.at(std::size_t(37 + relay), first);
        b.at(std::size_t(37 + relay), second);
        for (int other = 0; other < 3; ++other) {
            if (other != relay) {
                a.at(std::size_t(37 + other), first == 0 ? 1 : 0);
                b.at(std::size_t(37 + other), first == 0 ? 1 : 0);
            }
        }
        m_fixture->session.stop(); // back to "===="
        m_fixture->feed(a.bytes());
        m_fixture->feed(b.bytes());
        auto* label = qobject_cast<QLabel*>(control(QString::fromLatin1(labels[relay])));
        QVERIFY(label);
        QCOMPARE(label->text(), text);
        QCOMPARE(textColour(label), colour);
    }
}

void TestMainFormCommands::ioPins_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::newRow("pin 1") << 62 << QStringLiteral("Text58");
    QTest::newRow("pin 2") << 63 << QStringLiteral("Text59");
    QTest::newRow("pin 3") << 64 << QStringLiteral("Text60");
    QTest::newRow("pin 4") << 65 << QStringLiteral("Text61");
    QTest::newRow("pin 5") << 40 << QStringLiteral("Text62");
}

void TestMainFormCommands::ioPins()
{
    QFETCH(int, position);
    QFETCH(QString, name);
    auto* box = qobject_cast<QLineEdit*>(control(name));
    QVERIFY(box);
    // What the user sees: the painted background in the middle of the box's left half.
    const auto background = [box] {
        const QImage image = box->grab().toImage();
        return QColor(image.pixel(image.width() / 4, image.height() / 2));
    };
    const QColor plain = background();

    m_fixture->feed(quietReport().at(std::size_t(position), 1).bytes());
    QCOMPARE(box->text(), QStringLiteral("1"));
    QCOMPARE(background(), QColor(0xFF, 0x00, 0x00));
    QVERIFY(box->styleSheet().contains(QStringLiteral("#FFFF00"))); // yellow text

    // Any other value leaves the box as it is.
    m_fixture->feed(quietReport().at(std::size_t(position), 2).bytes());
    QCOMPARE(box->text(), QStringLiteral("1"));
    QCOMPARE(background(), QColor(0xFF, 0x00, 0x00));

    m_fixture->feed(quietReport().at(std::size_t(position), 0).bytes());
    QCOMPARE(box->text(), QStringLiteral("0"));
    QCOMPARE(background(), plain);
    QVERIFY(box->styleSheet().isEmpty());
}

void TestMainFormCommands::readoutTexts()
{
    ReplyBuilder report = quietReport();
    const int mac[] = {0, 10, 27, 44, 61, 78};
    for (int i = 0; i < 6; ++i)
        report.at(std::size_t(15 + i), mac[i]);
    report.text(78, "  Kestavo           ");
    m_fixture->feed(report.bytes());

    QCOMPARE(qobject_cast<QLineEdit*>(control(QStringLiteral("Text8")))->text(),
             QStringLiteral("00:0A:1B:2C:3D:4E"));
    QCOMPARE(qobject_cast<QLineEdit*>(control(QStringLiteral("Text83")))->text(), QStringLiteral("Kestavo"));

    m_fixture->session.stop();
    QCOMPARE(qobject_cast<QLineEdit*>(control(QStringLiteral("Text8")))->text(), QString());
    QCOMPARE(qobject_cast<QLineEdit*>(control(QStringLiteral("Text83")))->text(), QString());
}

void TestMainFormCommands::timerLabel()
{
    auto* label = qobject_cast<QLabel*>(control(QStringLiteral("Label24")));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("Timer  Inactive"));

    m_fixture->feed(ReplyBuilder::slotTable(
        {{QStringLiteral("12"), QStringLiteral("Lights")}, {QStringLiteral("34"), QStringLiteral("Pump")}}));
    m_fixture->feed(quietReport().at(101, 1).at(102, 32).bytes());
    QCOMPARE(label->text().trimmed(), QStringLiteral("Pump"));
    QCOMPARE(textColour(label), QColor(0x00, 0x80, 0x00));

    // A code that names no slot leaves the text.
    m_fixture->feed(quietReport().at(101, 1).at(102, 33).bytes());
    QCOMPARE(label->text().trimmed(), QStringLiteral("Pump"));

    m_fixture->feed(quietReport().at(101, 0).bytes());
    QCOMPARE(label->text(), QStringLiteral("Timer  Inactive"));
    QCOMPARE(textColour(label), QColor(0xFF, 0x00, 0x00));
}

void TestMainFormCommands::revisionGating_data()
{
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<bool>("scripts");
    QTest::addColumn<bool>("boards");

    QTest::newRow("166") << 6 << 6 << false << false;
    QTest::newRow("167") << 6 << 7 << true << false;
    QTest::newRow("169") << 6 << 9 << true << false;
    QTest::newRow("170") << 7 << 0 << true << true;
}

void TestMainFormCommands::revisionGating()
{
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(bool, scripts);
    QFETCH(bool, boards);
    QWidget* form = m_form.get();

    m_fixture->feed(quietReport().revision(1, b, c).bytes());

    QCOMPARE(control(QStringLiteral("Command23"))->isEnabled(), scripts);
    QCOMPARE(control(QStringLiteral("Command25"))->isEnabled(), scripts);
    QCOMPARE(control(QStringLiteral("Image1"))->isEnabled(), scripts);
    QCOMPARE(control(QStringLiteral("Command26"))->isVisibleTo(form), scripts);
    QCOMPARE(control(QStringLiteral("Label24"))->isVisibleTo(form), scripts);
    QCOMPARE(control(QStringLiteral("Label27"))->isVisibleTo(form), scripts);
    QCOMPARE(control(QStringLiteral("Label37"))->isVisibleTo(form), !scripts);
    QCOMPARE(control(QStringLiteral("Command28"))->isVisibleTo(form), boards);

    // An older unit on the next report locks everything again.
    m_fixture->feed(quietReport().revision(1, 6, 6).bytes());
    QVERIFY(!control(QStringLiteral("Command23"))->isEnabled());
    QVERIFY(!control(QStringLiteral("Command26"))->isVisibleTo(form));
    QVERIFY(!control(QStringLiteral("Command28"))->isVisibleTo(form));
}

void TestMainFormCommands::exitClosesEverything_data()
{
    QTest::addColumn<bool>("viaButton");
    QTest::addColumn<int>("guard"); // -1 none, 0 the guard refuses (open alarms, No), 1 it agrees
    QTest::newRow("EXIT") << true << -1;
    QTest::newRow("close box") << false << -1;
    QTest::newRow("EXIT, exit agreed") << true << 1;
    QTest::newRow("close box, exit agreed") << false << 1;
    QTest::newRow("EXIT, exit refused") << true << 0;
    QTest::newRow("close box, exit refused") << false << 0;
}

void TestMainFormCommands::exitClosesEverything()
{
    QFETCH(bool, viaButton);
    QFETCH(int, guard);
    int asked = 0;
    if (guard >= 0)
        m_form->setExitGuard([&asked, guard] {
            ++asked;
            return guard == 1;
        });
    m_form->show();
    m_tray->show();
    QWidget other;
    other.setObjectName(QStringLiteral("Switch1"));
    other.show();
    QVERIFY(m_tray->isShown());

    if (viaButton)
        activate(QStringLiteral("Command12"));
    else
        m_form->close();

    QCOMPARE(asked, guard >= 0 ? 1 : 0); // once, though EXIT closes the window too
    const bool exits = guard != 0;
    QCOMPARE(other.isVisible(), !exits);
    QCOMPARE(m_form->isVisible(), !exits);
    QCOMPARE(m_tray->isShown(), !exits); // no icon left behind in the tray
    QCOMPARE(m_fixture->state.exiting(), exits);
    QVERIFY(m_fixture->prompter.calls().isEmpty());
}

QTEST_MAIN(TestMainFormCommands)
#include "tst_mainform_commands.moc"

void TestMainFormCommands::silentUnitsValuesLookOld_data()
{
    QTest::addColumn<int>("silentMs");
    QTest::addColumn<QString>("then"); // "", "report" (the unit speaks again) or "stop"
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("nameSuffix"); // after "Voltage 1"; empty: the plain name
    QTest::newRow("fresh") << 2000 << ""
                           << "Voltage inputs"
                           << "";
    QTest::newRow("just under the limit") << 4999 << ""
                                          << "Voltage inputs"
                                          << "";
    QTest::newRow("silent 40 s") << 40000 << ""
                                 << "Voltage inputs, as of 03:14"
                                 << ": %1 V, 40 s old";
    QTest::newRow("silent 3 min") << 180000 << ""
                                  << "Voltage inputs, as of 03:14"
                                  << ": %1 V, 3 min old";
    QTest::newRow("speaks again") << 40000 << "report"
                                  << "Voltage inputs"
                                  << "";
    QTest::newRow("stopped") << 40000 << "stop"
                             << "Voltage inputs"
                             << "";
}

void TestMainFormCommands::silentUnitsValuesLookOld()
{
    QFETCH(int, silentMs);
    QFETCH(QString, then);
    QFETCH(QString, title);
    QFETCH(QString, nameSuffix);
    auto* panel = m_form->findChild<core::ReadoutPanel*>();
    QVERIFY(panel);
    QDateTime now(QDate(2026, 12, 8), QTime(3, 14, 30));
    panel->setClock([&now] { return now; });
    QVERIFY(m_fixture->start());
    // Relay 1 on (0 is ON), I/O pin 1 set, 23 °C: every kind of reading the window shows.
    const auto report = [] {
        return quietReport().at(21, 2).at(22, 100).at(37, 0).at(62, 1).at(69, 23).at(70, 0).bytes();
    };
    m_fixture->feed(report());
    auto* box = qobject_cast<QLineEdit*>(control(QStringLiteral("Text16")));
    QVERIFY(box);
    const QString shown = box->text();

    now = now.addMSecs(silentMs);
    m_form->drawBars();
    if (then == QLatin1String("report"))
        m_fixture->feed(report());
    else if (then == QLatin1String("stop"))
        m_fixture->session.stop();
    m_form->drawBars();

    QCOMPARE(panel->title(), title);
    const bool old = !nameSuffix.isEmpty();
    QCOMPARE(box->accessibleName(), QStringLiteral("Voltage 1") + (old ? nameSuffix.arg(shown) : QString()));
    QCOMPARE(box->toolTip().contains(QStringLiteral("03:14:30")), old);
    QCOMPARE(!box->styleSheet().isEmpty(), old);

    // The temperature, the I/O pins and the relay states came with the voltages and age with them.
    const QString age = old ? nameSuffix.section(u',', 1).trimmed() : QString();
    const auto spoken = [&](const QString& name, const QString& value) {
        return old ? QStringLiteral("%1: %2, %3").arg(name, value, age) : name;
    };
    auto* temperature = qobject_cast<QLineEdit*>(control(QStringLiteral("Text57")));
    auto* pin = qobject_cast<QLineEdit*>(control(QStringLiteral("Text58")));
    auto* relay = qobject_cast<QLabel*>(control(QStringLiteral("Label9")));
    QVERIFY(temperature && pin && relay);
    QCOMPARE(temperature->accessibleName(),
             spoken(QStringLiteral("Temperature"), temperature->text().simplified()));
    QCOMPARE(temperature->styleSheet().contains(QStringLiteral("#808080")), old);
    QCOMPARE(pin->accessibleName(), spoken(QStringLiteral("I/O pin 1"), QStringLiteral("1")));
    QCOMPARE(pin->styleSheet().contains(QStringLiteral("#FF0000")), !old && then != QLatin1String("stop"));
    QCOMPARE(pin->toolTip().contains(QStringLiteral("03:14:30")), old);
    QCOMPARE(relay->accessibleName(), spoken(QStringLiteral("Relay 1 state"), QStringLiteral("ON")));
    QCOMPARE(textColour(relay) == core::kOld, old);
    QCOMPARE(relay->toolTip().contains(QStringLiteral("03:14:30")), old);
    const QString asOf = old ? QStringLiteral(", as of 03:14") : QString();
    QCOMPARE(qobject_cast<QGroupBox*>(relay->parentWidget())->title(), QStringLiteral("Power relays") + asOf);
    QCOMPARE(qobject_cast<QGroupBox*>(pin->parentWidget())->title(), QStringLiteral("Unit") + asOf);
}
