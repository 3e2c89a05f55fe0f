#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include "protocol/frames.h"

#include "session/consolestate.h"
#include "session/session.h"

#include "support/consolefixture.h"

using kestavo::core::Session;
using kestavo::testsupport::ConsoleFixture;
using kestavo::testsupport::ReplyBuilder;

namespace {
QByteArray bytes(const std::string& s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}
} // namespace

class TestSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startSendsTheLongPollFrame()
    {
        ConsoleFixture f;
        QVERIFY(f.start());
        const QByteArray expected = bytes(kestavo::protocol::startFrame("secret****"));
        QCOMPARE(f.peer.frames().first(), expected);
        QCOMPARE(expected.size(), 275);
        QCOMPARE(f.session.sent(), 1);
        QCOMPARE(f.session.received(), 0);
        QCOMPARE(f.session.phase(), Session::Phase::Waiting);
        QVERIFY(f.state.acquiring());
        QCOMPARE(f.state.selectedAddress(), QStringLiteral("127.0.0.1"));
    }

    void pollTicksSendShortFramesAndCount()
    {
        ConsoleFixture f;
        QVERIFY(f.start());
        QVERIFY(f.peer.waitFrames(3));
        const auto frames = f.peer.frames();
        QCOMPARE(frames.at(1), bytes(kestavo::protocol::pollFrame("secret****")));
        QCOMPARE(frames.at(1).size(), 150);
        QVERIFY(f.session.sent() >= 3);
        QCOMPARE(f.session.lost(), f.session.sent() - f.session.received() - 1);
    }

    void startTwiceReusesTheSocket()
    {
        ConsoleFixture f;
        QVERIFY(f.start());
        f.feedStatus();
        QCOMPARE(f.session.received(), 1);
        const quint16 localPort = f.session.localPort();
        QVector<int> sentSeen;
        connect(&f.session, &Session::countersChanged, this, [&] { sentSeen.append(f.session.sent()); });
        f.peer.clear();
        f.session.start(f.stationEntry());
        QVERIFY(f.peer.waitFrames(1));
        QCOMPARE(f.peer.frames().first().size(), 275);
        QCOMPARE(f.session.localPort(), localPort); // not reconnected
        QCOMPARE(f.session.sent(), 1);
        QCOMPARE(f.session.received(), 0);
        QVERIFY(sentSeen.contains(0));
        QCOMPARE(sentSeen.last(), 1);
        QCOMPARE(f.session.phase(), Session::Phase::Receiving); // the state is kept
    }

    void readRequestOncePerStart_data()
    {
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("patch");
        QTest::addColumn<int>("readRequests");
        QTest::newRow("166 locked") << 6 << 6 << 0;
        QTest::newRow("167 unlocked") << 6 << 7 << 1;
        QTest::newRow("172") << 7 << 2 << 1;
    }
    void readRequestOncePerStart()
    {
        QFETCH(int, minor);
        QFETCH(int, patch);
        QFETCH(int, readRequests);
        ConsoleFixture f;
        f.session.setTiming({10000, 200, 60000}); // no polls in the way
        QVERIFY(f.start());
        f.peer.clear();
        f.feedStatus(1, minor, patch);
        f.feedStatus(1, minor, patch);
        QTest::qWait(30);
        const QByteArray read = bytes(kestavo::protocol::readRequestFrame("secret****"));
        QCOMPARE(int(f.peer.frames().count(read)), readRequests);
        // A new Start asks again.
        f.session.start(f.stationEntry());
        f.feedStatus(1, minor, patch);
        QTest::qWait(30);
        QCOMPARE(int(f.peer.frames().count(read)), 2 * readRequests);
    }

    void heldPollsSendNothing()
    {
        ConsoleFixture f;
        f.session.setTiming({10, 20, 60000});
        QVERIFY(f.start());
        f.session.setPollsHeld(true);
        QTest::qWait(30); // let a poll already due go out
        f.peer.clear();
        const int sent = f.session.sent();
        QTest::qWait(80);
        QCOMPARE(f.peer.frames().size(), 0);
        QCOMPARE(f.session.sent(), sent);
        f.session.setPollsHeld(false);
        QVERIFY(f.peer.waitFrames(2));
        QVERIFY(f.session.sent() > sent);
    }

    void watchdogStopsASilentSession()
    {
        ConsoleFixture f;
        f.session.setTiming({20, 20, 150});
        QVERIFY(f.start());
        QTRY_VERIFY_WITH_TIMEOUT(!f.state.acquiring(), 3000);
        QCOMPARE(f.prompter.lastText(),
                 QStringLiteral("No incomming packets for 60 seconds.... Disconnected !!"));
        QCOMPARE(f.session.phase(), Session::Phase::Idle);
        QVERIFY(f.session.lost() >= 2); // every unanswered poll adds one
        QVERIFY(!f.session.pollTimer().isActive());
    }

    void watchdogIsNotRestartedByEachPoll()
    {
        ConsoleFixture f;
        f.session.setTiming({10, 20, 200});
        QVERIFY(f.start());
        // Polls every 10 ms must not keep pushing the 200 ms watchdog away.
        QTRY_VERIFY_WITH_TIMEOUT(!f.state.acquiring(), 1500);
    }

    void repliesDisarmTheWatchdog()
    {
        ConsoleFixture f;
        f.session.setTiming({20, 20, 120});
        QVERIFY(f.start());
        for (int i = 0; i < 15; ++i) {
            QTest::qWait(20);
            f.feedStatus();
        }
        QVERIFY(f.state.acquiring());
        QCOMPARE(f.prompter.calls().size(), 0);
    }

    void rejectedPasswordStops_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("status") << 0;
        QTest::newRow("slot table") << 2;
        QTest::newRow("ack") << 3;
    }
    void rejectedPasswordStops()
    {
        QFETCH(int, kind);
        ConsoleFixture f;
        QVERIFY(f.start());
        QSignalSpy decoded(&f.state, &kestavo::core::ConsoleState::statusDecoded);
        f.feed(ReplyBuilder(137, kind).verdict(1).bytes());
        QVERIFY(!f.state.acquiring());
        QCOMPARE(decoded.size(), 0);
        const auto call = f.prompter.lastCall();
        QCOMPARE(call.text, QStringLiteral("Bad Password!"));
        QCOMPARE(call.title, QStringLiteral("Lameness Detected!"));
        QCOMPARE(call.icon, kestavo::platform::Prompter::Icon::Critical);
    }

    void replyKinds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("status");
        QTest::addColumn<int>("notification");
        QTest::newRow("0") << 0 << true << 0;
        QTest::newRow("1") << 1 << true << 0;
        QTest::newRow("13") << 13 << true << 0;
        QTest::newRow("255") << 255 << true << 0;
        for (int k = 3; k <= 12; ++k)
            QTest::newRow(qPrintable(QStringLiteral("ack %1").arg(k))) << k << false << k;
    }
    void replyKinds()
    {
        QFETCH(int, kind);
        QFETCH(bool, status);
        QFETCH(int, notification);
        ConsoleFixture f;
        QVERIFY(f.start());
        QSignalSpy decoded(&f.state, &kestavo::core::ConsoleState::statusDecoded);
        QSignalSpy raised(&f.state, &kestavo::core::ConsoleState::notificationRaised);
        f.feed(ReplyBuilder(137, kind).bytes());
        QCOMPARE(decoded.size(), status ? 1 : 0);
        QCOMPARE(raised.size(), notification ? 1 : 0);
        if (notification)
            QCOMPARE(f.state.notificationKind(), notification);
        QCOMPARE(f.session.phase(), status ? Session::Phase::Receiving : Session::Phase::Waiting);
    }

    void slotTableSetsTheIndicatorOnly()
    {
        ConsoleFixture f;
        QVERIFY(f.start());
        QSignalSpy decoded(&f.state, &kestavo::core::ConsoleState::statusDecoded);
        f.feed(ReplyBuilder::slotTable({{QStringLiteral("1357"), QStringLiteral("Lights on")}}));
        QCOMPARE(f.state.replyIndicator(), 1);
        QCOMPARE(decoded.size(), 0);
        QCOMPARE(f.state.slotTable()[0].codeField, std::string("1357            "));
        QCOMPARE(f.state.slotTable()[0].description, std::string("Lights on       "));
    }

    void shortReportsShowWhatTheyCarryAndSayItOnce()
    {
        // Every cut of a 1.7.2 report: below the base fields nothing is shown, from there on the
        // report is applied without its tail; either way the session says it once.
        ConsoleFixture f;
        f.session.setTiming({100000, 200, 100000});
        QVERIFY(f.start());
        QSignalSpy decoded(&f.state, &kestavo::core::ConsoleState::statusDecoded);
        QSignalSpy noted(&f.session, &Session::shortReports);
        const QByteArray full = ReplyBuilder().at(41, 1).bytes();
        for (int n = 0; n < full.size(); ++n)
            f.feed(full.left(n));
        QCOMPARE(decoded.size(), int(full.size() - kestavo::protocol::kStatusBaseLength));
        QCOMPARE(f.state.allowedRule(), 1);
        QCOMPARE(f.session.phase(), Session::Phase::Receiving);
        QCOMPARE(noted.size(), 1);
        QCOMPARE(noted.first().first().toInt(), 14); // the first one that reached the decoder
        QCOMPARE(f.session.received(), int(full.size()));
        QVERIFY(f.state.acquiring());
        QCOMPARE(f.prompter.calls().size(), 0);
        f.session.start(f.stationEntry()); // said again after the next Start
        f.feed(full.left(130));
        QCOMPARE(noted.size(), 2);
    }

    void repliesAreFilteredByAddressOnly_data()
    {
        QTest::addColumn<QString>("sender");
        QTest::addColumn<bool>("fromPeer");
        QTest::addColumn<bool>("counted");
        QTest::newRow("the unit's port") << "127.0.0.1" << true << true;
        QTest::newRow("another port of the unit's address") << "127.0.0.1" << false << true;
        QTest::newRow("another address") << "127.0.0.2" << false << false;
    }
    void repliesAreFilteredByAddressOnly()
    {
        QFETCH(QString, sender);
        QFETCH(bool, fromPeer);
        QFETCH(bool, counted);
        ConsoleFixture f;
        f.session.setTiming({100000, 200, 100000});
        QVERIFY(f.start());
        QUdpSocket other;
        QVERIFY(other.bind(QHostAddress(sender), 0));
        QSignalSpy decoded(&f.state, &kestavo::core::ConsoleState::statusDecoded);
        if (fromPeer)
            f.peer.reply(ReplyBuilder().bytes());
        else
            other.writeDatagram(ReplyBuilder().bytes(), QHostAddress::LocalHost, f.session.localPort());
        if (counted) {
            QTRY_COMPARE(f.session.received(), 1);
            QCOMPARE(decoded.size(), 1);
        } else {
            QTest::qWait(100);
            QCOMPARE(f.session.received(), 0);
        }
    }

    void stopKeepsCountersAndIgnoresLateWatchdog()
    {
        ConsoleFixture f;
        // The watchdog is due well after the three polls, so that it is still pending at Stop even
        // on a slow (sanitizer) build.
        f.session.setTiming({20, 20, 200});
        QVERIFY(f.start());
        QVERIFY(f.peer.waitFrames(3));
        f.session.stop();
        const int sent = f.session.sent();
        const auto prompts = f.prompter.calls().size();
        QTest::qWait(300);
        QCOMPARE(f.session.sent(), sent);
        QCOMPARE(f.prompter.calls().size(), prompts);
        QVERIFY(!f.session.send(kestavo::protocol::timerStopFrame("secret****")));
    }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
