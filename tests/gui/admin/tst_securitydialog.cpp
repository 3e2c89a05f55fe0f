#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QUdpSocket>

#include "gui/admin/securitydialog.h"
#include "support/consolefixture.h"

using kestavo::admin::SecurityDialog;
using kestavo::platform::Prompter;
using kestavo::testsupport::ConsoleFixture;
using kestavo::testsupport::RecordingPeer;
using kestavo::testsupport::ReplyBuilder;

namespace {

// Long enough that no poll or watchdog tick falls inside a test: every frame the peer records is
// one the dialog sent, and every reply goes back to the socket that sent the last frame.
constexpr int kQuietMs = 600000;

QByteArray head(char opcode)
{
    return QByteArray("&^ZQK2001") + opcode + QByteArray("secret****");
}

QByteArray stars(int count)
{
    return QByteArray(count, '*');
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
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

/// A running session with the dialog open over a stand-in main window.
struct Rig
{
    explicit Rig(const QByteArray& status = ReplyBuilder().bytes())
    {
        fixture.session.setTiming({kQuietMs, kQuietMs, kQuietMs});
        fixture.context.mainWindow = &mainWindow;
        started = fixture.start();
        fixture.feed(status);
        dialog = new SecurityDialog(fixture.context);
        dialog->show();
    }
    ~Rig() { delete dialog.data(); }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    template <typename T> T* find(const char* name) const
    {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* box(const char* name) const { return find<QLineEdit>(name); }
    QLineEdit* octet(int index) const
    {
        return box(QStringLiteral("Text%1").arg(index + 2).toLatin1().constData());
    }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    QRadioButton* option(const char* name) const { return find<QRadioButton>(name); }

    void typePassword(const QString& text) const
    {
        box("Text1")->clear();
        QTest::keyClicks(box("Text1"), text);
    }

    ConsoleFixture fixture;
    QWidget mainWindow;
    QPointer<SecurityDialog> dialog;
    bool started = false;
};

} // namespace

class TestSecurityDialog final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void opensOverDisabledMainWindow()
    {
        Rig rig;
        QVERIFY(rig.started);
        QCOMPARE(rig.dialog->objectName(), QStringLiteral("Security"));
        QCOMPARE(rig.dialog->windowTitle(), QStringLiteral("Security"));
        auto* tabs = rig.find<QTabWidget>("TabStrip1");
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 4);
        const QStringList captions{QStringLiteral("Change Password"), QStringLiteral("Allowed IP Numbers"),
                                   QStringLiteral("HTTP Server"), QStringLiteral("SNMP Server")};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(tabs->tabText(i), captions[i]);
        QVERIFY(!rig.mainWindow.isEnabled());
        // The box starts with the stored password, and the address being administered is shown.
        QCOMPARE(rig.box("Text1")->text(), QStringLiteral("secret****"));
        QCOMPARE(rig.box("Text1")->maxLength(), 10);
        QCOMPARE(rig.box("Text1")->echoMode(), QLineEdit::Password);
        QCOMPARE(rig.find<QWidget>("StationAddress")->property("text").toString(),
                 QStringLiteral("127.0.0.1"));
        rig.dialog->close();
        QVERIFY(rig.mainWindow.isEnabled());
    }

    // ---- password ------------------------------------------------------------------------

    void passwordFrame_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("three characters") << QStringLiteral("abc") << QStringLiteral("abc*******");
        QTest::newRow("one character") << QStringLiteral("x") << QStringLiteral("x*********");
        QTest::newRow("ten characters") << QStringLiteral("NewSecret1") << QStringLiteral("NewSecret1");
        QTest::newRow("stored one plus a character")
            << QStringLiteral("secret1") << QStringLiteral("secret1***");
    }
    void passwordFrame()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        Rig rig;
        const int sent = rig.fixture.session.sent();
        rig.typePassword(typed);
        rig.button("Command1")->click();

        QTRY_COMPARE(framesOf(rig.fixture.peer, 'G').size(), 1);
        const QByteArray frame = framesOf(rig.fixture.peer, 'G').first();
        QCOMPARE(frame.size(), 139);
        QCOMPARE(frame, head('G') + shown.toLatin1() + stars(109));
        QCOMPARE(rig.box("Text1")->text(), shown);
        QVERIFY(!rig.button("Command1")->isEnabled());
        QCOMPARE(rig.fixture.session.sent(), sent);
        QVERIFY(rig.fixture.prompter.calls().isEmpty());
        QVERIFY(rig.dialog);
    }

    void samePassword_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("without padding") << QStringLiteral("secret");
        QTest::newRow("part of the padding") << QStringLiteral("secret*");
        QTest::newRow("as stored") << QStringLiteral("secret****");
    }
    void samePassword()
    {
        QFETCH(QString, typed);
        Rig rig;
        rig.typePassword(typed);
        rig.button("Command1")->click();
        QCOMPARE(
            rig.fixture.prompter.lastText(),
            QStringLiteral("Password has not changed because it is the same one stored in the database"));
        QCOMPARE(rig.fixture.prompter.lastCall().title, Prompter::appTitle());
        QCOMPARE(rig.box("Text1")->text(), QStringLiteral("secret****"));
        QVERIFY(framesOf(rig.fixture.peer, 'G').isEmpty());
        QVERIFY(rig.button("Command1")->isEnabled());
        QCOMPARE(rig.find<QUdpSocket>("Winsock2")->state(), QAbstractSocket::UnconnectedState);
    }

    void passwordReply_data()
    {
        QTest::addColumn<int>("verdict");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("stored");
        const QString lame = QStringLiteral("Lameness Detected!");
        const int critical = int(Prompter::Icon::Critical);
        QTest::newRow("changed")
            << 0 << 1
            << QStringLiteral("Remote Password successfully updated and written into Local data base.")
            << Prompter::appTitle() << int(Prompter::Icon::None) << QStringLiteral("abc*******");
        QTest::newRow("password rejected")
            << 1 << 1 << QStringLiteral("Bad Password!") << lame << critical << QStringLiteral("secret****");
        QTest::newRow("change refused") << 0 << 0 << QStringLiteral("Password change error... re-try") << lame
                                        << critical << QStringLiteral("secret****");
        QTest::newRow("result 2 is no success") << 0 << 2 << QStringLiteral("Password change error... re-try")
                                                << lame << critical << QStringLiteral("secret****");
    }
    void passwordReply()
    {
        QFETCH(int, verdict);
        QFETCH(int, result);
        QFETCH(QString, text);
        QFETCH(QString, title);
        QFETCH(int, icon);
        QFETCH(QString, stored);
        Rig rig;
        auto& store = rig.fixture.store;
        // Neighbours before and after the selected station, so a wrong record or a moved cursor shows.
        QVERIFY(store.add(QStringLiteral("127.0.0.2"), QStringLiteral("second"), QStringLiteral("Second")));
        QVERIFY(store.add(QStringLiteral("127.0.0.3"), QStringLiteral("third"), QStringLiteral("Third")));
        rig.typePassword(QStringLiteral("abc"));
        rig.button("Command1")->click();
        QVERIFY(rig.fixture.peer.waitFrames(2));
        QCOMPARE(framesOf(rig.fixture.peer, 'G').size(), 1);
        // The record written is the administered station's, wherever the cursor stands by then.
        QVERIFY(store.findAddress(QStringLiteral("127.0.0.3")) >= 0);

        rig.fixture.peer.reply(ReplyBuilder().verdict(verdict).at(12, result).bytes());
        QTRY_VERIFY(rig.dialog.isNull());
        QCOMPARE(rig.fixture.prompter.calls().size(), 1);
        const auto call = rig.fixture.prompter.lastCall();
        QCOMPARE(call.text, text);
        QCOMPARE(call.title, title);
        QCOMPARE(int(call.icon), icon);
        QCOMPARE(int(call.buttons), int(Prompter::Buttons::Ok));
        QVERIFY(rig.mainWindow.isEnabled());

        const bool changed = stored != QStringLiteral("secret****");
        if (changed) {
            // The changed station is current, so every later frame carries the new password.
            QVERIFY(store.ips().startsWith(QStringLiteral("127.0.0.1 ")));
            QCOMPARE(store.password(), stored);
            QCOMPARE(QString::fromStdString(rig.fixture.session.password()), stored);
        }
        QCOMPARE(store.valueAt(0, QStringLiteral("password")).toString(), stored);
        QCOMPARE(store.valueAt(1, QStringLiteral("password")).toString(), QStringLiteral("second****"));
        QCOMPARE(store.valueAt(2, QStringLiteral("password")).toString(), QStringLiteral("third*****"));

        // Written to the file, not only to the cache.
        kestavo::stations::StationStore reread;
        QVERIFY(reread.open(store.path()).ok);
        QCOMPARE(reread.valueAt(0, QStringLiteral("password")).toString(), stored);
    }

    void passwordNotWritable()
    {
        Rig rig;
        rig.typePassword(QStringLiteral("abc"));
        rig.button("Command1")->click();
        QVERIFY(rig.fixture.peer.waitFrames(2));
        // The station vanished from the database while the change was under way.
        rig.fixture.state.setSelectedAddress(QStringLiteral("127.0.0.9"));
        rig.fixture.peer.reply(ReplyBuilder().at(12, 1).bytes());
        QTRY_VERIFY(rig.dialog.isNull());
        const QString text = rig.fixture.prompter.lastText();
        QVERIFY2(text.contains(QStringLiteral("127.0.0.9")) && text.contains(QStringLiteral("new password")),
                 qPrintable(text));
        QCOMPARE(rig.fixture.store.password(), QStringLiteral("secret****"));
    }

    void noReplyKeepsWaiting()
    {
        Rig rig;
        rig.typePassword(QStringLiteral("abc"));
        rig.button("Command1")->click();
        QVERIFY(rig.fixture.peer.waitFrames(2));
        auto* socket = rig.find<QUdpSocket>("Winsock2");
        QSignalSpy arrived(socket, &QUdpSocket::readyRead);
        // Too short to carry a verdict and a result: not an answer.
        rig.fixture.peer.reply(QByteArray("&^ZQK2001G\0", 11));
        QVERIFY(arrived.wait(2000));
        QVERIFY(rig.fixture.prompter.calls().isEmpty());
        QVERIFY(rig.dialog);
        QVERIFY(!rig.button("Command1")->isEnabled());

        rig.button("Command2")->click();
        QTRY_VERIFY(rig.dialog.isNull());
        QVERIFY(rig.mainWindow.isEnabled());
        QVERIFY(rig.fixture.prompter.calls().isEmpty());
    }

    void passwordAnswerFilteredByAddressOnly_data()
    {
        QTest::addColumn<QString>("sender");
        QTest::addColumn<bool>("taken");
        QTest::newRow("the unit's address, another port") << QStringLiteral("127.0.0.1") << true;
        QTest::newRow("another address") << QStringLiteral("127.0.0.2") << false;
    }
    void passwordAnswerFilteredByAddressOnly()
    {
        QFETCH(QString, sender);
        QFETCH(bool, taken);
        Rig rig;
        rig.typePassword(QStringLiteral("abc"));
        rig.button("Command1")->click();
        QVERIFY(rig.fixture.peer.waitFrames(2));
        auto* socket = rig.find<QUdpSocket>("Winsock2");
        QSignalSpy arrived(socket, &QUdpSocket::readyRead);
        QUdpSocket other;
        QVERIFY(other.bind(QHostAddress(sender), 0));
        other.writeDatagram(ReplyBuilder().at(12, 1).bytes(), QHostAddress::LocalHost, socket->localPort());
        if (taken) {
            QTRY_VERIFY(rig.dialog.isNull());
            QCOMPARE(rig.fixture.store.password(), QStringLiteral("abc*******"));
        } else {
            QVERIFY(arrived.wait(2000));
            QVERIFY(rig.dialog);
            QCOMPARE(rig.fixture.store.password(), QStringLiteral("secret****"));
        }
    }

    void unansweredPasswordChange()
    {
        Rig rig;
        rig.dialog->setPasswordReplyTimeout(50);
        rig.typePassword(QStringLiteral("abc"));
        rig.button("Command1")->click();
        QVERIFY(rig.fixture.session.pollsHeld());
        QTRY_COMPARE(rig.fixture.prompter.calls().size(), 1);
        QCOMPARE(
            rig.fixture.prompter.lastText(),
            QStringLiteral("The unit at 127.0.0.1 did not answer the password change within 0.05 seconds. "
                           "It may or may not use the new password now; the station record still holds "
                           "the old one. If the unit refuses this console from now on, press \"Add IP\" in "
                           "the main window, enter 127.0.0.1 with the new password and let it update the "
                           "station."));
        QVERIFY(rig.button("Command1")->isEnabled());
        QVERIFY(!rig.fixture.session.pollsHeld());
        QVERIFY(rig.dialog);
        QCOMPARE(rig.fixture.store.password(), QStringLiteral("secret****"));
        // A late answer now finds no change pending: nothing is written.
        rig.fixture.peer.reply(ReplyBuilder().at(12, 1).bytes());
        QTest::qWait(50);
        QCOMPARE(rig.fixture.store.password(), QStringLiteral("secret****"));
    }

    void closeBoxWhileWaiting()
    {
        Rig rig;
        rig.typePassword(QStringLiteral("abc"));
        rig.button("Command1")->click();
        QVERIFY(rig.fixture.peer.waitFrames(2));
        QTest::keyClick(rig.dialog, Qt::Key_Escape);
        QTRY_VERIFY(rig.dialog.isNull());
        QVERIFY(rig.mainWindow.isEnabled());
    }

    void sessionEndedNothingSent()
    {
        Rig rig;
        rig.fixture.session.stop();
        rig.typePassword(QStringLiteral("abc"));
        rig.button("Command1")->click();
        rig.option("Option1")->click();
        rig.button("Command3")->click();
        QCOMPARE(rig.fixture.prompter.texts(), QStringList(2, kestavo::core::ConsoleDialog::noSessionText()));
        QVERIFY(framesOf(rig.fixture.peer, 'G').isEmpty());
        QVERIFY(framesOf(rig.fixture.peer, 'H').isEmpty());
        QVERIFY(rig.button("Command1")->isEnabled());
        QVERIFY(rig.button("Command3")->isEnabled());
    }

    // ---- allowed IP numbers --------------------------------------------------------------

    void allowedFrame_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QByteArray>("payload"); // positions 21-130

        QStringList row1(20, QString());
        row1[0] = QStringLiteral("192");
        row1[1] = QStringLiteral("168");
        row1[2] = QStringLiteral("1");
        row1[3] = QStringLiteral("20");
        QTest::newRow("row 1 only") << QStringLiteral("Option2") << row1 << true
                                    << bytes({1, 0xC0, 0xA8, 0x01, 0x14}) + QByteArray(16, '\0') + stars(89);

        QStringList self(20, QStringLiteral("0"));
        self[16] = QStringLiteral("127");
        self[19] = QStringLiteral("1");
        self[4] = QStringLiteral("10");
        QTest::newRow("this computer in row 5")
            << QStringLiteral("Option2") << self << false
            << bytes({1, 0, 0, 0, 0, 10, 0, 0, 0}) + QByteArray(8, '\0') + bytes({127, 0, 0, 1}) + stars(89);

        QStringList edge(20, QStringLiteral("255"));
        QTest::newRow("255 everywhere")
            << QStringLiteral("Option2") << edge << true << bytes({1}) + QByteArray(20, '\xFF') + stars(89);

        QTest::newRow("allow all ignores the boxes")
            << QStringLiteral("Option1") << edge << false << bytes({0}) + stars(109);
    }
    void allowedFrame()
    {
        QFETCH(QString, option);
        QFETCH(QStringList, boxes);
        QFETCH(bool, asked);
        QFETCH(QByteArray, payload);
        Rig rig;
        const int sent = rig.fixture.session.sent();
        rig.option(option.toLatin1().constData())->click();
        for (int i = 0; i < 20; ++i)
            rig.octet(i)->setText(boxes[i]);
        rig.button("Command3")->click();

        QTRY_COMPARE(framesOf(rig.fixture.peer, 'H').size(), 1);
        const QByteArray frame = framesOf(rig.fixture.peer, 'H').first();
        QCOMPARE(frame.size(), 130);
        QCOMPARE(frame, head('H') + payload);
        QCOMPARE(rig.fixture.session.sent(), sent);
        QVERIFY(!rig.button("Command3")->isEnabled());
        if (asked) {
            QCOMPARE(rig.fixture.prompter.calls().size(), 1);
            const auto call = rig.fixture.prompter.lastCall();
            QCOMPARE(int(call.buttons), int(Prompter::Buttons::YesNo));
            QVERIFY2(call.text.contains(QStringLiteral("127.0.0.1")) &&
                         call.text.contains(QStringLiteral("stop answering this computer")),
                     qPrintable(call.text));
        } else {
            QVERIFY(rig.fixture.prompter.calls().isEmpty());
        }
    }

    void lockoutDeclined()
    {
        Rig rig;
        rig.option("Option2")->click();
        rig.octet(0)->setText(QStringLiteral("10"));
        rig.octet(1)->setText(QStringLiteral("0"));
        rig.octet(2)->setText(QStringLiteral("0"));
        rig.octet(3)->setText(QStringLiteral("5"));
        rig.fixture.prompter.queueAnswer(Prompter::Answer::No);
        rig.button("Command3")->click();
        QCOMPARE(rig.fixture.prompter.calls().size(), 1);
        QVERIFY(framesOf(rig.fixture.peer, 'H').isEmpty());
        QVERIFY(rig.button("Command3")->isEnabled());
        QVERIFY(rig.dialog);
    }

    void octetAbove255Refused_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("where");
        QTest::newRow("300 in row 2, box 3")
            << 6 << QStringLiteral("300") << QStringLiteral("number 2, box 3 holds 300");
        QTest::newRow("256 in row 1, box 1")
            << 0 << QStringLiteral("256") << QStringLiteral("number 1, box 1 holds 256");
        QTest::newRow("999 in row 5, box 4")
            << 19 << QStringLiteral("999") << QStringLiteral("number 5, box 4 holds 999");
    }
    void octetAbove255Refused()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(QString, where);
        Rig rig;
        rig.option("Option2")->click();
        for (int i = 0; i < 20; ++i)
            rig.octet(i)->setText(QStringLiteral("127"));
        rig.octet(index)->setText(text);
        rig.button("Command3")->click();
        QCOMPARE(rig.fixture.prompter.calls().size(), 1);
        const QString message = rig.fixture.prompter.lastText();
        QVERIFY2(message.contains(QStringLiteral("Allowed IP ") + where) &&
                     message.contains(QStringLiteral("255")),
                 qPrintable(message));
        QVERIFY(framesOf(rig.fixture.peer, 'H').isEmpty());
        QVERIFY(rig.button("Command3")->isEnabled());
        QCOMPARE(rig.dialog->focusWidget(), rig.octet(index));
    }

    void allowedReply_data()
    {
        QTest::addColumn<int>("verdict");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        const QString lame = QStringLiteral("Lameness Detected!");
        const int critical = int(Prompter::Icon::Critical);
        QTest::newRow("changed") << 0 << 0 << QStringLiteral("Allowable IP Status change successful!")
                                 << Prompter::appTitle() << int(Prompter::Icon::None);
        QTest::newRow("password rejected") << 1 << 0 << QStringLiteral("Bad Password!") << lame << critical;
        QTest::newRow("refused") << 0 << 1 << QStringLiteral("IP Status change error... re-try") << lame
                                 << critical;
    }
    void allowedReply()
    {
        QFETCH(int, verdict);
        QFETCH(int, result);
        QFETCH(QString, text);
        QFETCH(QString, title);
        QFETCH(int, icon);
        Rig rig;
        rig.option("Option1")->click();
        rig.button("Command3")->click();
        QTRY_COMPARE(framesOf(rig.fixture.peer, 'H').size(), 1);
        rig.fixture.peer.reply(ReplyBuilder().verdict(verdict).at(13, result).bytes());
        QTRY_VERIFY(rig.dialog.isNull());
        QCOMPARE(rig.fixture.prompter.calls().size(), 1);
        const auto call = rig.fixture.prompter.lastCall();
        QCOMPARE(call.text, text);
        QCOMPARE(call.title, title);
        QCOMPARE(int(call.icon), icon);
        QVERIFY(rig.mainWindow.isEnabled());
    }

    void eachSocketConnectsOnItsOwnFirstUse()
    {
        Rig rig;
        rig.typePassword(QStringLiteral("abc"));
        rig.button("Command1")->click(); // no reply yet
        rig.option("Option1")->click();
        rig.button("Command3")->click();
        QTRY_COMPARE(framesOf(rig.fixture.peer, 'H').size(), 1);
        QCOMPARE(framesOf(rig.fixture.peer, 'G').size(), 1);
        QCOMPARE(rig.find<QUdpSocket>("Winsock2")->state(), QAbstractSocket::BoundState);
        QCOMPARE(rig.find<QUdpSocket>("Winsock3")->state(), QAbstractSocket::BoundState);
        // The answer to the allowed-IP frame reaches its own socket and is judged there.
        rig.fixture.peer.reply(ReplyBuilder().bytes());
        QTRY_VERIFY(rig.dialog.isNull());
        QCOMPARE(rig.fixture.prompter.lastText(), QStringLiteral("Allowable IP Status change successful!"));
    }

    void allowedRuleFromReport_data()
    {
        QTest::addColumn<int>("rule");
        QTest::addColumn<QString>("checked"); // empty: neither
        QTest::addColumn<bool>("editable");
        QTest::addColumn<QStringList>("texts");
        QStringList texts(20, QStringLiteral("0"));
        texts[0] = QStringLiteral("10");
        texts[3] = QStringLiteral("9");
        texts[8] = QStringLiteral("127");
        texts[11] = QStringLiteral("1");
        QTest::newRow("only listed") << 1 << QStringLiteral("Option2") << true << texts;
        QTest::newRow("all allowed") << 0 << QStringLiteral("Option1") << false << texts;
        QTest::newRow("unknown rule") << 2 << QString() << true << QStringList(20, QString());
    }
    void allowedRuleFromReport()
    {
        QFETCH(int, rule);
        QFETCH(QString, checked);
        QFETCH(bool, editable);
        QFETCH(QStringList, texts);
        // Report positions 41 (rule) and 42-61 (octets): 10.0.0.9 in row 1, 127.0.0.1 in row 3.
        Rig rig(ReplyBuilder().at(41, rule).at(42, 10).at(45, 9).at(50, 127).at(53, 1).bytes());
        QCOMPARE(rig.option("Option1")->isChecked(), checked == QStringLiteral("Option1"));
        QCOMPARE(rig.option("Option2")->isChecked(), checked == QStringLiteral("Option2"));
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(rig.octet(i)->isEnabled(), editable);
            QCOMPARE(rig.octet(i)->text(), texts[i]);
        }
    }

    void choosingARuleRefillsTheBoxes()
    {
        Rig rig(ReplyBuilder().at(41, 1).at(42, 10).at(45, 9).bytes());
        rig.octet(0)->setText(QStringLiteral("55"));
        rig.option("Option1")->click();
        QCOMPARE(rig.octet(0)->text(), QStringLiteral("10"));
        QVERIFY(!rig.octet(0)->isEnabled());
        rig.octet(3)->setText(QStringLiteral("77"));
        rig.option("Option2")->click();
        QCOMPARE(rig.octet(3)->text(), QStringLiteral("9"));
        QVERIFY(rig.octet(3)->isEnabled());
    }

    void octetKeyFilter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("digits") << QStringLiteral("192") << QStringLiteral("192");
        QTest::newRow("letter between digits") << QStringLiteral("1a2") << QStringLiteral("12");
        QTest::newRow("dot between digits") << QStringLiteral("1.2") << QStringLiteral("12");
        QTest::newRow("space, minus, plus") << QStringLiteral(" -+7") << QStringLiteral("7");
        QTest::newRow("at most three") << QStringLiteral("19216") << QStringLiteral("192");
        QTest::newRow("backspace") << QStringLiteral("25\b6") << QStringLiteral("26");
        QTest::newRow("only letters") << QStringLiteral("abc") << QString();
    }
    void octetKeyFilter()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        Rig rig(ReplyBuilder().at(41, 1).bytes());
        for (int i : {0, 7, 19}) {
            QLineEdit* box = rig.octet(i);
            box->clear();
            QTest::keyClicks(box, typed);
            QCOMPARE(box->text(), shown);
        }
    }

    void pastedTextIsFiltered()
    {
        Rig rig(ReplyBuilder().at(41, 1).bytes());
        QLineEdit* box = rig.octet(0);
        box->clear();
        box->insert(QStringLiteral("1x"));
        QCOMPARE(box->text(), QString());
        box->insert(QStringLiteral("12"));
        QCOMPARE(box->text(), QStringLiteral("12"));
    }

    // ---- HTTP and SNMP -------------------------------------------------------------------

    void switchFrames_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("upload");
        QTest::addColumn<char>("opcode");
        QTest::addColumn<int>("flag");
        QTest::newRow("disable web page")
            << QStringLiteral("Option4") << QStringLiteral("Command5") << 'Q' << 1;
        QTest::newRow("enable web page")
            << QStringLiteral("Option3") << QStringLiteral("Command5") << 'Q' << 0;
        QTest::newRow("disable SNMP") << QStringLiteral("Option5") << QStringLiteral("Command8") << 'S' << 1;
        QTest::newRow("enable SNMP") << QStringLiteral("Option6") << QStringLiteral("Command8") << 'S' << 0;
    }
    void switchFrames()
    {
        QFETCH(QString, option);
        QFETCH(QString, upload);
        QFETCH(char, opcode);
        QFETCH(int, flag);
        Rig rig(ReplyBuilder().revision(1, 7, 2).at(123, 7).at(137, 7).bytes());
        const int sent = rig.fixture.session.sent();
        rig.option(option.toLatin1().constData())->click();
        rig.button(upload.toLatin1().constData())->click();
        QTRY_COMPARE(framesOf(rig.fixture.peer, opcode).size(), 1);
        const QByteArray frame = framesOf(rig.fixture.peer, opcode).first();
        QCOMPARE(frame.size(), 130);
        QCOMPARE(frame, head(opcode) + bytes({flag}) + stars(109));
        QCOMPARE(rig.fixture.session.sent(), sent + 1);
        QTRY_VERIFY(rig.dialog.isNull());
        QVERIFY(rig.mainWindow.isEnabled());
    }

    void switchHeadings_data()
    {
        QTest::addColumn<int>("httpState");
        QTest::addColumn<int>("snmpState");
        QTest::addColumn<QString>("httpHeading");
        QTest::addColumn<QString>("snmpHeading");
        QTest::addColumn<QString>("httpChecked");
        QTest::addColumn<QString>("snmpChecked");
        QTest::newRow("on, enabled") << 0 << 0 << QStringLiteral("HTTP Server Status (ON)")
                                     << QStringLiteral("SNMP Access (ENABLED)") << QStringLiteral("Option3")
                                     << QStringLiteral("Option6");
        QTest::newRow("off, disabled") << 1 << 1 << QStringLiteral("HTTP Server Status (OFF)")
                                       << QStringLiteral("SNMP Access (DISABLED)")
                                       << QStringLiteral("Option4") << QStringLiteral("Option5");
        QTest::newRow("unknown values") << 2 << 255 << QStringLiteral("HTTP Server")
                                        << QStringLiteral("SNMP Access") << QString() << QString();
    }
    void switchHeadings()
    {
        QFETCH(int, httpState);
        QFETCH(int, snmpState);
        QFETCH(QString, httpHeading);
        QFETCH(QString, snmpHeading);
        QFETCH(QString, httpChecked);
        QFETCH(QString, snmpChecked);
        Rig rig(ReplyBuilder().revision(1, 7, 2).at(123, httpState).at(137, snmpState).bytes());
        QCOMPARE(rig.find<QWidget>("Label10")->property("text").toString(), httpHeading);
        QCOMPARE(rig.find<QWidget>("Label11")->property("text").toString(), snmpHeading);
        for (const char* name : {"Option3", "Option4"})
            QCOMPARE(rig.option(name)->isChecked(), httpChecked == QLatin1String(name));
        for (const char* name : {"Option5", "Option6"})
            QCOMPARE(rig.option(name)->isChecked(), snmpChecked == QLatin1String(name));

        if (httpChecked.isEmpty()) {
            // With no choice there is nothing to upload.
            const int sent = rig.fixture.session.sent();
            rig.button("Command5")->click();
            rig.button("Command8")->click();
            QVERIFY(framesOf(rig.fixture.peer, 'Q').isEmpty());
            QVERIFY(framesOf(rig.fixture.peer, 'S').isEmpty());
            QCOMPARE(rig.fixture.session.sent(), sent);
            QVERIFY(rig.dialog);
        }
    }

    void revisionGates_data()
    {
        QTest::addColumn<QList<int>>("revision");
        QTest::addColumn<bool>("http");
        QTest::addColumn<bool>("snmp");
        QTest::newRow("167") << QList<int>{1, 6, 7} << false << false;
        QTest::newRow("168") << QList<int>{1, 6, 8} << true << false;
        QTest::newRow("170") << QList<int>{1, 7, 0} << true << false;
        QTest::newRow("171") << QList<int>{1, 7, 1} << true << true;
        QTest::newRow("1.10.0 reads 1100") << QList<int>{1, 10, 0} << true << true;
        QTest::newRow("0.9.9 reads 99") << QList<int>{0, 9, 9} << false << false;
    }
    void revisionGates()
    {
        QFETCH(QList<int>, revision);
        QFETCH(bool, http);
        QFETCH(bool, snmp);
        Rig rig(ReplyBuilder().revision(revision[0], revision[1], revision[2]).bytes());
        for (const char* name : {"Option3", "Option4"})
            QCOMPARE(rig.option(name)->isEnabled(), http);
        QCOMPARE(rig.button("Command5")->isEnabled(), http);
        for (const char* name : {"Option5", "Option6"})
            QCOMPARE(rig.option(name)->isEnabled(), snmp);
        QCOMPARE(rig.button("Command8")->isEnabled(), snmp);
        // The other tabs do not depend on the revision; their Cancel buttons always work.
        QVERIFY(rig.button("Command1")->isEnabled());
        QVERIFY(rig.button("Command3")->isEnabled());
        QVERIFY(rig.button("Command6")->isEnabled());
        QVERIFY(rig.button("Command7")->isEnabled());
    }

    void everyCancelCloses_data()
    {
        QTest::addColumn<QString>("cancel");
        QTest::newRow("password") << QStringLiteral("Command2");
        QTest::newRow("allowed IP") << QStringLiteral("Command4");
        QTest::newRow("HTTP") << QStringLiteral("Command6");
        QTest::newRow("SNMP") << QStringLiteral("Command7");
    }
    void everyCancelCloses()
    {
        QFETCH(QString, cancel);
        Rig rig;
        const int frames = int(rig.fixture.peer.frames().size());
        rig.button(cancel.toLatin1().constData())->click();
        QTRY_VERIFY(rig.dialog.isNull());
        QVERIFY(rig.mainWindow.isEnabled());
        QCOMPARE(int(rig.fixture.peer.frames().size()), frames);
        QVERIFY(rig.fixture.prompter.calls().isEmpty());
    }

    void everyControlIsNamedForAssistiveTools()
    {
        Rig rig;
        for (QWidget* w : rig.dialog->findChildren<QWidget*>()) {
            if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPushButton*>(w) ||
                qobject_cast<QRadioButton*>(w))
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
    }
};

QTEST_MAIN(TestSecurityDialog)
#include "tst_securitydialog.moc"
