// The console session's reports and link events as they reach the history file.

#include <QTest>

#include "app/historyrecorder.h"
#include "history/historystore.h"
#include "support/consolefixture.h"

using namespace kestavo;
using namespace Qt::StringLiterals;
using history::LinkEvent;

namespace {

QList<LinkEvent> kinds(const QList<history::Event>& events)
{
    QList<LinkEvent> out;
    for (const auto& e : events)
        out.append(e.kind);
    return out;
}

} // namespace

class TestHistoryRecorder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sessionBecomesSamplesAndEvents_data();
    void sessionBecomesSamplesAndEvents();
};

void TestHistoryRecorder::sessionBecomesSamplesAndEvents_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QList<LinkEvent>>("events");
    const QList<LinkEvent> begun{LinkEvent::Started, LinkEvent::FirstReport};
    QTest::newRow("stop") << u"stop"_s << (begun + QList{LinkEvent::Stopped});
    QTest::newRow("watchdog") << u"watchdog"_s << (begun + QList{LinkEvent::LinkLost, LinkEvent::Stopped});
    QTest::newRow("bad password") << u"password"_s
                                  << (begun + QList{LinkEvent::BadPassword, LinkEvent::Stopped});
}

void TestHistoryRecorder::sessionBecomesSamplesAndEvents()
{
    QFETCH(QString, ending);
    QFETCH(QList<LinkEvent>, events);
    testsupport::ConsoleFixture f;
    QVERIFY(f.store.writeCurrent({{u"JP6"_s, 1}}));
    qint64 now = 1'767'225'600'000;
    history::HistoryStore::Options options;
    options.clock = [&now] {
        return now;
    };
    history::HistoryStore store(options);
    QVERIFY(store.open(f.dir.filePath(u"history.db"_s)).ok);
    app::HistoryRecorder recorder(store, f.session, f.state, f.store);

    f.session.stop(); // no session yet: nothing to record
    QVERIFY(f.start());
    // Channel 1 at full scale on the 60 V range, as the main window shows it.
    f.feed(testsupport::ReplyBuilder().at(21, 0x0F).at(22, 0xFF).bytes());
    now += 1000;
    f.feed(testsupport::ReplyBuilder().at(21, 0x08).at(22, 0x00).bytes());
    if (ending == u"stop")
        f.session.stop();
    else if (ending == u"watchdog")
        QTRY_VERIFY(!f.state.acquiring());
    else
        f.feed(testsupport::ReplyBuilder().verdict(1).bytes());
    QVERIFY(store.flush());

    const auto series = store.reader().read(u"127.0.0.1"_s, now - 5000, now + 5000, history::Step::Raw);
    QCOMPARE(series.rows.size(), 2);
    QCOMPARE(series.rows.at(0).mean[0], 60.0);
    QCOMPARE(series.rows.at(1).timeMs, now);
    QCOMPARE(kinds(series.events), events);
}

QTEST_MAIN(TestHistoryRecorder)
#include "tst_historyrecorder.moc"
