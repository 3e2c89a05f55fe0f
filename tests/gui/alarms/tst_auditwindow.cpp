// The Audit window's filters and times as the operator reads them, over a real history file.

#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTest>

#include "alarms/alarmengine.h"
#include "alarms/auditrecorder.h"
#include "gui/alarms/alarmsounder.h"
#include "gui/alarms/alarmwindows.h"
#include "gui/alarms/auditwindow.h"
#include "history/alarmjournal.h"
#include "history/auditlog.h"
#include "platform/filechooser.h"
#include "support/consolefixture.h"

using namespace kestavo;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kNow = 1'767'225'600'000;
constexpr qint64 kMinute = 60'000;

class NoFiles final : public platform::FileChooser
{
public:
    QString openFile(QWidget*, const QString&) override { return {}; }
    QString saveFile(QWidget*, const QString&, const QString&) override { return {}; }
};

} // namespace

class TestAuditWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filtersSayWhatTheyDo_data();
    void filtersSayWhatTheyDo();
};

void TestAuditWindow::filtersSayWhatTheyDo_data()
{
    QTest::addColumn<qint64>("from"); // minutes from now; 0: left as it opens
    QTest::addColumn<qint64>("until");
    QTest::addColumn<int>("rows"); // after a record made a minute after opening
    QTest::addColumn<bool>("note");
    QTest::newRow("as it opens, new records come in") << qint64(0) << qint64(0) << 3 << false;
    QTest::newRow("until set by hand stays") << qint64(0) << qint64(-30) << 1 << false;
    QTest::newRow("from after until") << qint64(24 * 60) << qint64(0) << 0 << true;
}

void TestAuditWindow::filtersSayWhatTheyDo()
{
    QFETCH(qint64, from);
    QFETCH(qint64, until);
    QFETCH(int, rows);
    QFETCH(bool, note);
    testsupport::ConsoleFixture fixture;
    const QString file = fixture.dir.filePath(u"history.db"_s);
    history::AlarmJournal journal;
    QVERIFY(journal.open(file));
    history::AuditLog audit;
    QVERIFY(audit.open(file));
    qint64 now = kNow;
    alarms::AlarmEngine::Options options;
    options.clock = [&now] {
        return now;
    };
    alarms::AlarmEngine engine(&journal, options);
    alarmwindows::AlarmSounder sounder(engine, nullptr, nullptr);
    alarms::AuditRecorder recorder(&audit, {});
    NoFiles files;
    alarmwindows::AlarmServices services{engine, journal, sounder, audit, recorder, files};
    const auto add = [&audit](qint64 at, const QString& action) {
        history::AuditRecord r;
        r.utcMs = at;
        r.address = u"127.0.0.1"_s;
        r.action = action;
        r.outcome = u"acknowledged"_s;
        QVERIFY(audit.append(r));
    };
    add(kNow - 120 * kMinute, u"Relay 1 ON"_s);
    add(kNow - kMinute, u"Relay 2 ON"_s);

    alarmwindows::AuditWindow window(fixture.context, services);
    auto* list = window.findChild<QTableWidget*>(u"AuditList"_s);
    auto* fromEdit = window.findChild<QDateTimeEdit*>(u"AuditFrom"_s);
    auto* untilEdit = window.findChild<QDateTimeEdit*>(u"AuditTo"_s);
    QVERIFY(list && fromEdit && untilEdit);
    QVERIFY(qAbs(untilEdit->dateTime().toMSecsSinceEpoch() - kNow) <= 1000); // Until is now
    QCOMPARE(list->horizontalHeaderItem(0)->text(), u"Time"_s);
    QCOMPARE(list->horizontalHeaderItem(6)->text(), u"Action"_s);
    // Local time on screen, the exported UTC form beside the zone in the tooltip.
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(kNow - kMinute);
    QCOMPARE(list->item(0, 0)->text(), at.toString(u"yyyy-MM-dd HH:mm:ss"_s));
    QVERIFY(list->item(0, 0)->toolTip().contains(u"2025-12-31T23:59:00.000Z"_s));

    if (from != 0)
        fromEdit->setDateTime(QDateTime::fromMSecsSinceEpoch(kNow + from * kMinute));
    if (until != 0)
        untilEdit->setDateTime(QDateTime::fromMSecsSinceEpoch(kNow + until * kMinute));
    now = kNow + kMinute;
    add(now, u"Relay 3 ON"_s);
    window.refresh();

    QCOMPARE(list->rowCount(), rows);
    auto* noteLabel = window.findChild<QLabel*>(u"AuditNote"_s);
    QVERIFY(noteLabel);
    QCOMPARE(!noteLabel->isHidden(), note);
    if (note)
        QVERIFY2(noteLabel->text().contains(u"after"_s), qPrintable(noteLabel->text()));
}

QTEST_MAIN(TestAuditWindow)
#include "tst_auditwindow.moc"
