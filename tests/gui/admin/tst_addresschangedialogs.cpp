#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "gui/admin/changeipdialog.h"
#include "gui/admin/changemacdialog.h"
#include "platform/processsystemcommands.h"
#include "support/consolefixture.h"

using kestavo::admin::ChangeIpDialog;
using kestavo::admin::ChangeMacDialog;
using kestavo::core::Session;
using kestavo::platform::ProcessSystemCommands;
using kestavo::platform::Prompter;
using kestavo::testsupport::ConsoleFixture;
using kestavo::testsupport::RecordingPeer;

namespace {

constexpr int kQuietMs = 600000; // no poll tick inside a test: the peer sees only the dialog's frames

/// Prompts go into the shared event log, so their order against the teardown can be checked.
class LoggingPrompter final : public Prompter
{
public:
    explicit LoggingPrompter(QStringList& log) : m_log(log) {}
    Answer ask(const QString& text, const QString&, Buttons buttons, Icon) override
    {
        m_log << QStringLiteral("prompt ") + text;
        return buttons == Buttons::OkCancel ? confirm : Answer::Ok;
    }
    Answer confirm = Answer::Ok;

private:
    QStringList& m_log;
};

/// Builds the real command lines, logs run() instead of starting anything.
class LoggingCommands final : public ProcessSystemCommands
{
public:
    LoggingCommands(QStringList& log, Flavour flavour) : ProcessSystemCommands(flavour), m_log(log) {}
    bool run(const Command& command, QString* error) override
    {
        m_log << QStringLiteral("run ") + command.commandLine();
        if (m_error.isEmpty())
            return true;
        *error = m_error;
        return false;
    }
    QString m_error;

private:
    QStringList& m_log;
};

QByteArray head(char opcode)
{
    return QByteArray("&^ZQK2001") + opcode + QByteArray("secret****");
}

QList<QByteArray> framesOf(RecordingPeer& peer, char opcode)
{
    QList<QByteArray> found;
    for (const QByteArray& frame : peer.frames()) {
        if (frame.size() > 9 && frame.at(9) == opcode)
            found << frame;
    }
    return found;
}

template <typename Dialog> struct Rig
{
    explicit Rig(ProcessSystemCommands::Flavour flavour = ProcessSystemCommands::Flavour::Windows)
        : commands(log, flavour)
    {
        fixture.session.setTiming({kQuietMs, kQuietMs, kQuietMs});
        started = fixture.start();
        fixture.feed(kestavo::testsupport::ReplyBuilder().bytes());
        Session& session = fixture.session;
        const auto timers = [&session] {
            const bool running = session.pollTimer().isActive() || session.pulseTimer().isActive() ||
                                 session.watchdogTimer().isActive();
            return running ? QStringLiteral("timers running") : QStringLiteral("timers stopped");
        };
        QObject::connect(&session, &Session::frameSent, &session, [this](const QByteArray& frame) {
            log << QStringLiteral("sent ") + QChar::fromLatin1(frame.at(9));
        });
        QObject::connect(&fixture.state, &kestavo::core::ConsoleState::acquiringChanged, &session,
                         [this, timers](bool on) {
                             if (!on)
                                 log << QStringLiteral("acquiring off, ") + timers();
                         });
        QObject::connect(&session, &Session::phaseChanged, &session, [this](Session::Phase phase) {
            if (phase == Session::Phase::Idle)
                log << QStringLiteral("not connected");
        });
        QObject::connect(&session, &Session::stopped, &session,
                         [this, timers] { log << QStringLiteral("readouts reset, ") + timers(); });
        log.clear();

        dialog = new Dialog(context);
        dialog->show();
        QApplication::setActiveWindow(dialog);
    }
    ~Rig() { delete dialog.data(); }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    QLineEdit* box(int k) const
    {
        return dialog->template findChild<QLineEdit*>(QStringLiteral("Text%1").arg(k));
    }
    QPushButton* button(const char* name) const
    {
        return dialog->template findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QStringList texts(int count) const
    {
        QStringList result;
        for (int k = 1; k <= count; ++k)
            result << box(k)->text();
        return result;
    }
    /// Types into whichever box has the focus, key by key, as a user would.
    void typeIntoFocus(const QString& keys) const
    {
        for (const QChar c : keys)
            QTest::keyClick(dialog->focusWidget(), c.toLatin1());
    }
    void fill(const QStringList& texts) const
    {
        for (int k = 0; k < texts.size(); ++k)
            box(k + 1)->setText(texts[k]);
    }

    QStringList log;
    ConsoleFixture fixture;
    LoggingPrompter prompter{log};
    LoggingCommands commands;
    QWidget mainWindow;
    kestavo::core::Context context{fixture.state, fixture.session, fixture.store,
                                   prompter,      commands,        &mainWindow};
    QPointer<Dialog> dialog;
    bool started = false;
};

QStringList teardown(const QString& question, const QStringList& sent, const QString& arpLine,
                     const QString& done)
{
    QStringList expected{QStringLiteral("prompt ") + question};
    expected << sent;
    expected << QStringLiteral("acquiring off, timers stopped") << QStringLiteral("not connected")
             << QStringLiteral("readouts reset, timers stopped") << QStringLiteral("run ") + arpLine
             << QStringLiteral("prompt ") + done;
    return expected;
}

} // namespace

class TestAddressChangeDialogs final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void captionsAndLabels_data()
    {
        QTest::addColumn<bool>("mac");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("IP")
            << false << QStringLiteral("ChangeIP") << QStringLiteral("Cange IP Address") << 4 << 3
            << QStringList{QStringLiteral("Enter a unique IP Address"),
                           QStringLiteral("Use decimal values. Example:  10.240.10.1"),
                           QStringLiteral("Warning! Entering an IP address that is already in use by another "
                                          "machine on the local system will have unpredictable results and "
                                          "may cause you to lose connectivity with the KSV device.")};
        QTest::newRow("MAC")
            << true << QStringLiteral("ChangeMAC") << QStringLiteral("Change IP Address") << 6 << 2
            << QStringList{QStringLiteral("Enter a unique Mac Address"),
                           QStringLiteral("Use Hexidecimal values. Example:  00 00 00 AB CD EF"),
                           QStringLiteral("Warning! Entering a mac address that is already in use by another "
                                          "machine on the local system will have unpredictable results and "
                                          "may cause you to lose connectivity with the KSV device.")};
    }
    void captionsAndLabels()
    {
        QFETCH(bool, mac);
        QFETCH(QString, name);
        QFETCH(QString, title);
        QFETCH(int, boxes);
        QFETCH(int, maxLength);
        QFETCH(QStringList, labels);
        Rig<ChangeIpDialog> ipRig;
        Rig<ChangeMacDialog> macRig;
        QDialog* dialog = mac ? static_cast<QDialog*>(macRig.dialog) : static_cast<QDialog*>(ipRig.dialog);
        (mac ? static_cast<QDialog*>(ipRig.dialog) : static_cast<QDialog*>(macRig.dialog))->close();
        QCOMPARE(dialog->objectName(), name);
        QCOMPARE(dialog->windowTitle(), title);
        const auto edits = dialog->findChildren<QLineEdit*>();
        QCOMPARE(int(edits.size()), boxes);
        for (int k = 1; k <= boxes; ++k) {
            auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(k));
            QVERIFY(box);
            QCOMPARE(box->maxLength(), maxLength);
            QVERIFY(!box->accessibleName().isEmpty());
        }
        QStringList shown;
        for (QLabel* label : dialog->findChildren<QLabel*>())
            shown << label->text();
        for (const QString& label : labels)
            QVERIFY2(shown.contains(label), qPrintable(label));
        QCOMPARE(dialog->findChild<QPushButton*>(QStringLiteral("Command1"))->text(), QStringLiteral("OK"));
        QCOMPARE(dialog->findChild<QPushButton*>(QStringLiteral("Command2"))->text(),
                 QStringLiteral("Cancel"));
    }

    // ---- IP ------------------------------------------------------------------------------

    void ipChange_data()
    {
        QTest::addColumn<QString>("keys"); // typed from the first box on
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QByteArray>("octets");
        QTest::newRow("10.240.10.1") << QStringLiteral("10.240.10.1")
                                     << QStringList{QStringLiteral("10"), QStringLiteral("240"),
                                                    QStringLiteral("10"), QStringLiteral("1")}
                                     << QByteArray("\x0A\xF0\x0A\x01", 4);
        QTest::newRow("192.168.1.20") << QStringLiteral("192.168.1.20")
                                      << QStringList{QStringLiteral("192"), QStringLiteral("168"),
                                                     QStringLiteral("1"), QStringLiteral("20")}
                                      << QByteArray("\xC0\xA8\x01\x14", 4);
        QTest::newRow("last address below the reserved range")
            << QStringLiteral("223.255.255.254")
            << QStringList{QStringLiteral("223"), QStringLiteral("255"), QStringLiteral("255"),
                           QStringLiteral("254")}
            << QByteArray("\xDF\xFF\xFF\xFE", 4);
        QTest::newRow("lone a in the third box reads 0")
            << QStringLiteral("1.2.a.4")
            << QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("a"), QStringLiteral("4")}
            << QByteArray("\x01\x02\x00\x04", 4);
        QTest::newRow("digits before the a count") << QStringLiteral("1.2.3a4.4")
                                                   << QStringList{QStringLiteral("1"), QStringLiteral("2"),
                                                                  QStringLiteral("3a4"), QStringLiteral("4")}
                                                   << QByteArray("\x01\x02\x03\x04", 4);
    }
    void ipChange()
    {
        QFETCH(QString, keys);
        QFETCH(QStringList, boxes);
        QFETCH(QByteArray, octets);
        Rig<ChangeIpDialog> rig;
        QVERIFY(rig.started);
        QVERIFY(!rig.mainWindow.isEnabled());
        const int sent = rig.fixture.session.sent();
        const QString entry = rig.fixture.store.ips();
        rig.typeIntoFocus(keys);
        QCOMPARE(rig.texts(4), boxes);
        rig.button("Command1")->click();

        QString typed;
        for (const char octet : octets)
            typed += (typed.isEmpty() ? QString() : QStringLiteral(".")) + QString::number(quint8(octet));
        QCOMPARE(rig.log,
                 teardown(QStringLiteral("Change 127.0.0.1 to %1?").arg(typed), {QStringLiteral("sent F")},
                          QStringLiteral("arp -d 127.0.0.1"), QStringLiteral("IP Changed !!")));
        const QList<QByteArray> frames = framesOf(rig.fixture.peer, 'F');
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames.first().size(), 130);
        QCOMPARE(frames.first(), head('F') + octets + QByteArray(106, '*'));
        QCOMPARE(rig.fixture.session.sent(), sent);
        QVERIFY(!rig.fixture.state.acquiring());
        QCOMPARE(rig.fixture.store.ips(), entry);
        QTRY_VERIFY(rig.dialog.isNull());
        QVERIFY(rig.mainWindow.isEnabled());
    }

    void ipKeyFilter_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QStringList>("boxes");
        const QString e;
        QTest::newRow("letters swallowed")
            << QStringLiteral("1x2") << QStringList{QStringLiteral("12"), e, e, e};
        QTest::newRow("at most three digits")
            << QStringLiteral("1234") << QStringList{QStringLiteral("123"), e, e, e};
        QTest::newRow("dot wraps to the first box") << QStringLiteral("1.2.3.4.5")
                                                    << QStringList{QStringLiteral("15"), QStringLiteral("2"),
                                                                   QStringLiteral("3"), QStringLiteral("4")};
        QTest::newRow("two dots skip a box")
            << QStringLiteral("9..8") << QStringList{QStringLiteral("9"), e, QStringLiteral("8"), e};
        QTest::newRow("a only in the third box")
            << QStringLiteral("a.a.a.a") << QStringList{e, e, QStringLiteral("a"), e};
        QTest::newRow("other letters not even there") << QStringLiteral("..b") << QStringList{e, e, e, e};
        QTest::newRow("backspace") << QStringLiteral("12\b") << QStringList{QStringLiteral("1"), e, e, e};
        QTest::newRow("space and minus")
            << QStringLiteral(" -7") << QStringList{QStringLiteral("7"), e, e, e};
    }
    void ipKeyFilter()
    {
        QFETCH(QString, keys);
        QFETCH(QStringList, boxes);
        Rig<ChangeIpDialog> rig;
        rig.typeIntoFocus(keys);
        QCOMPARE(rig.texts(4), boxes);
        QVERIFY(rig.log.isEmpty());
    }

    void ipRefused_data()
    {
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("reason"); // a part of the one message shown
        QTest::addColumn<bool>("declined");  // the user answers Cancel to the question
        const QString e;
        const QString one = QStringLiteral("1");
        const QString lame = QStringLiteral("Lame IP Address Detected!");
        const auto ip = [](const char* dotted) {
            return QString::fromLatin1(dotted).split(QLatin1Char('.'));
        };
        QTest::newRow("all empty") << QStringList(4, e) << lame << false;
        QTest::newRow("first empty") << QStringList{e, one, one, one} << lame << false;
        QTest::newRow("last empty") << QStringList{one, one, one, e} << lame << false;
        QTest::newRow("300 would go out as 44")
            << QStringList{QStringLiteral("300"), one, one, one} << lame << false;
        QTest::newRow("256 in the last box")
            << QStringList{one, one, one, QStringLiteral("256")} << lame << false;
        QTest::newRow("999 in the third box")
            << QStringList{one, one, QStringLiteral("999"), one} << lame << false;
        QTest::newRow("this network") << ip("0.0.0.0") << QStringLiteral("no address") << false;
        QTest::newRow("broadcast") << ip("255.255.255.255") << QStringLiteral("broadcast") << false;
        QTest::newRow("loopback") << ip("127.0.0.9") << QStringLiteral("loopback") << false;
        QTest::newRow("multicast low") << ip("224.0.0.1") << QStringLiteral("multicast") << false;
        QTest::newRow("multicast high") << ip("239.255.255.255") << QStringLiteral("multicast") << false;
        QTest::newRow("reserved") << ip("240.0.0.1") << QStringLiteral("reserved") << false;
        QTest::newRow("question declined")
            << ip("10.1.1.9") << QStringLiteral("Change 127.0.0.1 to 10.1.1.9?") << true;
    }
    void ipRefused()
    {
        QFETCH(QStringList, boxes);
        QFETCH(QString, reason);
        QFETCH(bool, declined);
        Rig<ChangeIpDialog> rig;
        if (declined)
            rig.prompter.confirm = Prompter::Answer::Cancel;
        rig.fill(boxes);
        rig.button("Command1")->click();
        QCOMPARE(rig.log.size(), 1);
        QVERIFY2(rig.log.first().contains(reason), qPrintable(rig.log.first()));
        QVERIFY(framesOf(rig.fixture.peer, 'F').isEmpty());
        QVERIFY(rig.fixture.state.acquiring());
        QVERIFY(rig.dialog);
        QVERIFY(!rig.mainWindow.isEnabled());
    }

    // ---- MAC -----------------------------------------------------------------------------

    void macChange_data()
    {
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QByteArray>("mac");
        QTest::newRow("lower case") << QStringList{QStringLiteral("00"), QStringLiteral("00"),
                                                   QStringLiteral("00"), QStringLiteral("ab"),
                                                   QStringLiteral("cd"), QStringLiteral("ef")}
                                    << QByteArray("\x00\x00\x00\xAB\xCD\xEF", 6);
        QTest::newRow("upper case, same bytes")
            << QStringList{QStringLiteral("00"), QStringLiteral("00"), QStringLiteral("00"),
                           QStringLiteral("AB"), QStringLiteral("CD"), QStringLiteral("EF")}
            << QByteArray("\x00\x00\x00\xAB\xCD\xEF", 6);
        QTest::newRow("single digits")
            << QStringList{QStringLiteral("e"), QStringLiteral("1"), QStringLiteral("0"),
                           QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("A")}
            << QByteArray("\x0E\x01\x00\x00\x00\x0A", 6);
        QTest::newRow("ff but the multicast bit")
            << QStringList{QStringLiteral("fe"), QStringLiteral("ff"), QStringLiteral("ff"),
                           QStringLiteral("ff"), QStringLiteral("ff"), QStringLiteral("ff")}
            << QByteArray("\xFE\xFF\xFF\xFF\xFF\xFF", 6);
    }
    void macChange()
    {
        QFETCH(QStringList, boxes);
        QFETCH(QByteArray, mac);
        Rig<ChangeMacDialog> rig;
        QVERIFY(!rig.mainWindow.isEnabled());
        const int sent = rig.fixture.session.sent();
        for (int k = 0; k < 6; ++k)
            QTest::keyClicks(rig.box(k + 1), boxes[k]);
        QCOMPARE(rig.texts(6), boxes);
        rig.button("Command1")->click();

        QCOMPARE(rig.log,
                 teardown(QStringLiteral("Change 00:00:00:00:00:00 to %1?")
                              .arg(QString::fromLatin1(mac.toHex(':').toUpper())),
                          {QStringLiteral("sent E"), QStringLiteral("sent E")},
                          QStringLiteral("arp -d 127.0.0.1"), QStringLiteral("Mac Address Changed !!")));
        const QList<QByteArray> frames = framesOf(rig.fixture.peer, 'E');
        QCOMPARE(frames.size(), 2);
        QCOMPARE(frames[0], frames[1]);
        QCOMPARE(frames[0].size(), 130);
        QCOMPARE(frames[0], head('E') + mac + QByteArray(104, '*'));
        QCOMPARE(rig.fixture.session.sent(), sent);
        QVERIFY(!rig.fixture.state.acquiring());
        QTRY_VERIFY(rig.dialog.isNull());
        QVERIFY(rig.mainWindow.isEnabled());
    }

    void macKeyFilter_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("shown");
        QTest::newRow("g swallowed") << QStringLiteral("g1") << QStringLiteral("1");
        QTest::newRow("Z swallowed") << QStringLiteral("0Z") << QStringLiteral("0");
        QTest::newRow("at most two") << QStringLiteral("abc") << QStringLiteral("ab");
        QTest::newRow("space, colon, dot, minus") << QStringLiteral(" :.-") << QString();
        QTest::newRow("backspace") << QStringLiteral("F\b9") << QStringLiteral("9");
    }
    void macKeyFilter()
    {
        QFETCH(QString, keys);
        QFETCH(QString, shown);
        Rig<ChangeMacDialog> rig;
        for (int k = 1; k <= 6; ++k) {
            QTest::keyClicks(rig.box(k), keys);
            QCOMPARE(rig.box(k)->text(), shown);
        }
    }

    void macRefused_data()
    {
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("message");
        QStringList full(6, QStringLiteral("0a"));
        for (int k = 0; k < 6; ++k) {
            QStringList boxes = full;
            boxes[k].clear();
            QTest::addRow("box %d empty", k + 1) << boxes << QStringLiteral("Lame Mac Address Detected!");
        }
        QTest::newRow("all zero") << QStringList(6, QStringLiteral("0"))
                                  << QStringLiteral("00:00:00:00:00:00 is no");
        QTest::newRow("broadcast") << QStringList(6, QStringLiteral("FF"))
                                   << QStringLiteral("FF:FF:FF:FF:FF:FF is the broadcast");
        QTest::newRow("multicast bit")
            << QStringList{QStringLiteral("01"), QStringLiteral("00"), QStringLiteral("5e"),
                           QStringLiteral("00"), QStringLiteral("00"), QStringLiteral("01")}
            << QStringLiteral("01:00:5E:00:00:01 has the multicast bit set");
        QTest::newRow("question declined")
            << full << QStringLiteral("Change 00:00:00:00:00:00 to 0A:0A:0A:0A:0A:0A?");
    }
    void macRefused()
    {
        QFETCH(QStringList, boxes);
        QFETCH(QString, message);
        Rig<ChangeMacDialog> rig;
        rig.prompter.confirm = Prompter::Answer::Cancel;
        rig.fill(boxes);
        rig.button("Command1")->click();
        QCOMPARE(rig.log.size(), 1);
        QVERIFY2(rig.log.first().startsWith(QStringLiteral("prompt ") + message),
                 qPrintable(rig.log.first()));
        QVERIFY(framesOf(rig.fixture.peer, 'E').isEmpty());
        QVERIFY(rig.fixture.state.acquiring());
        QVERIFY(rig.dialog);
    }

    // ---- both ----------------------------------------------------------------------------

    void neighbourCacheCommand_data()
    {
        QTest::addColumn<int>("flavour");
        QTest::addColumn<QString>("failure");
        QTest::newRow("Windows") << int(ProcessSystemCommands::Flavour::Windows) << QString();
        QTest::newRow("Linux") << int(ProcessSystemCommands::Flavour::Linux) << QString();
        QTest::newRow("command cannot start")
            << int(ProcessSystemCommands::Flavour::Linux)
            << QStringLiteral("Changing the neighbour cache needs administrator rights.");
    }
    void neighbourCacheCommand()
    {
        QFETCH(int, flavour);
        QFETCH(QString, failure);
        Rig<ChangeIpDialog> rig{ProcessSystemCommands::Flavour(flavour)};
        rig.commands.m_error = failure;
        const QString line = rig.commands.arpDeleteCommand(QStringLiteral("127.0.0.1")).commandLine();
        QVERIFY(line.endsWith(QStringLiteral(" 127.0.0.1")));
        rig.fill({QStringLiteral("10"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")});
        rig.button("Command1")->click();

        QStringList expected = teardown(QStringLiteral("Change 127.0.0.1 to 10.1.1.1?"),
                                        {QStringLiteral("sent F")}, line, QStringLiteral("IP Changed !!"));
        if (!failure.isEmpty()) {
            expected.insert(expected.size() - 1,
                            QStringLiteral("prompt The old address 127.0.0.1 could not be removed "
                                           "from this computer's address cache (%1): %2")
                                .arg(line, failure));
        }
        QCOMPARE(rig.log, expected);
    }

    void cancel_data()
    {
        QTest::addColumn<bool>("mac");
        QTest::newRow("IP") << false;
        QTest::newRow("MAC") << true;
    }
    void cancel()
    {
        QFETCH(bool, mac);
        Rig<ChangeIpDialog> ipRig;
        Rig<ChangeMacDialog> macRig;
        QDialog* dialog = mac ? static_cast<QDialog*>(macRig.dialog) : static_cast<QDialog*>(ipRig.dialog);
        auto& fixture = mac ? macRig.fixture : ipRig.fixture;
        QWidget& mainWindow = mac ? macRig.mainWindow : ipRig.mainWindow;
        QPointer<QDialog> guard(dialog);
        const int frames = int(fixture.peer.frames().size());
        for (int k = 1; k <= 4; ++k)
            dialog->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(k))->setText(QStringLiteral("1"));
        dialog->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        QTRY_VERIFY(guard.isNull());
        QVERIFY(mainWindow.isEnabled());
        QCOMPARE(int(fixture.peer.frames().size()), frames);
        QVERIFY(fixture.state.acquiring());
        QVERIFY(ipRig.log.isEmpty() && macRig.log.isEmpty());
    }

    void sessionEndedNothingSent()
    {
        Rig<ChangeMacDialog> rig;
        rig.fixture.session.stop();
        rig.log.clear();
        rig.fill(QStringList(6, QStringLiteral("02")));
        rig.button("Command1")->click();
        QCOMPARE(rig.log,
                 (QStringList{QStringLiteral("prompt Change 00:00:00:00:00:00 to 02:02:02:02:02:02?"),
                              QStringLiteral("prompt ") + kestavo::core::ConsoleDialog::noSessionText()}));
        QVERIFY(framesOf(rig.fixture.peer, 'E').isEmpty());
        QVERIFY(rig.dialog);
    }
};

QTEST_MAIN(TestAddressChangeDialogs)
#include "tst_addresschangedialogs.moc"
