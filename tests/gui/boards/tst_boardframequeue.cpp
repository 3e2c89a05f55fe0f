#include <QElapsedTimer>
#include <QTest>

#include "gui/boards/boardframequeue.h"

using kestavo::daughterboards::BoardFrameQueue;

class TestBoardFrameQueue : public QObject
{
    Q_OBJECT

private slots:
    void paced_data();
    void paced();
    void failedSendDropsWaitingFrames();
    void quietLineSendsAtOnce();
};

void TestBoardFrameQueue::paced_data()
{
    QTest::addColumn<int>("spacingMs");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("sentAtOnce");

    QTest::newRow("no spacing: all at once") << 0 << 4 << 4;
    QTest::newRow("one frame goes at once") << 40 << 1 << 1;
    QTest::newRow("burst of five, 25 ms apart") << 25 << 5 << 1;
    QTest::newRow("two, 40 ms apart") << 40 << 2 << 1;
}

void TestBoardFrameQueue::paced()
{
    QFETCH(int, spacingMs);
    QFETCH(int, frames);
    QFETCH(int, sentAtOnce);

    QElapsedTimer clock;
    clock.start();
    QList<std::string> sent;
    QList<qint64> sentAt;
    BoardFrameQueue queue(
        [&](const std::string& frame) {
            sent.append(frame);
            sentAt.append(clock.elapsed());
            return true;
        },
        spacingMs);

    QList<std::string> pushed;
    for (int i = 0; i < frames; ++i) {
        pushed.append("frame " + std::to_string(i));
        queue.push(pushed.last());
    }
    QCOMPARE(sent.size(), sentAtOnce);
    QCOMPARE(queue.pending(), std::size_t(frames - sentAtOnce));

    QTRY_COMPARE_WITH_TIMEOUT(sent.size(), frames, 5000);
    QCOMPARE(sent, pushed);
    QCOMPARE(queue.pending(), std::size_t(0));
    for (qsizetype i = 1; i < sentAt.size(); ++i)
        QVERIFY2(sentAt[i] - sentAt[i - 1] >= spacingMs,
                 qPrintable(QStringLiteral("frames %1 and %2 only %3 ms apart")
                                .arg(i - 1)
                                .arg(i)
                                .arg(sentAt[i] - sentAt[i - 1])));
}

void TestBoardFrameQueue::failedSendDropsWaitingFrames()
{
    int attempts = 0;
    BoardFrameQueue queue(
        [&](const std::string&) {
            ++attempts;
            return attempts == 1; // the session ends after the first frame
        },
        10);
    queue.push("a");
    queue.push("b");
    queue.push("c");
    QCOMPARE(attempts, 1);
    QCOMPARE(queue.pending(), std::size_t(2));
    QTRY_COMPARE_WITH_TIMEOUT(queue.pending(), std::size_t(0), 2000);
    QCOMPARE(attempts, 2); // "c" is not tried once "b" failed

    // A later press is tried again: the user may have restarted the session meanwhile.
    QTest::qWait(15);
    queue.push("d");
    QCOMPARE(attempts, 3);
}

void TestBoardFrameQueue::quietLineSendsAtOnce()
{
    int sent = 0;
    BoardFrameQueue queue(
        [&](const std::string&) {
            ++sent;
            return true;
        },
        20);
    queue.push("first");
    QCOMPARE(sent, 1);
    queue.push("too soon");
    QCOMPARE(sent, 1);
    QTRY_COMPARE_WITH_TIMEOUT(sent, 2, 2000);
    QTest::qWait(25); // the line has been quiet for longer than the spacing
    queue.push("later");
    QCOMPARE(sent, 3);
}

QTEST_GUILESS_MAIN(TestBoardFrameQueue)
#include "tst_boardframequeue.moc"
