#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include "gui/schedules/scheduleswindow.h"
#include "support/consolefixture.h"

using namespace kestavo;
using namespace Qt::StringLiterals;

class TestSchedulesWindow final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void editorRefusesWhatCannotRun_data();
    void editorRefusesWhatCannotRun();
    void addedEntryShowsInTheWeek();

private:
    struct Window
    {
        testsupport::ConsoleFixture fixture;
        schedulewindows::SchedulesWindow* window = nullptr;
        template <typename W> W* get(const char* name)
        {
            return window->findChild<W*>(QString::fromLatin1(name));
        }
    };
    static std::unique_ptr<Window> open();
};

std::unique_ptr<TestSchedulesWindow::Window> TestSchedulesWindow::open()
{
    auto w = std::make_unique<Window>();
    w->fixture.store.setSite(u"127.0.0.1"_s, {QString(), std::nullopt, std::nullopt, u"Europe/Berlin"_s});
    const QDateTime now(QDate(2026, 3, 28), QTime(12, 0), Qt::UTC);
    w->window = new schedulewindows::SchedulesWindow(
        w->fixture.context, w->fixture.dir.filePath(u"history.db"_s), [now] { return now; });
    w->window->setAttribute(Qt::WA_DeleteOnClose, false);
    return w;
}

void TestSchedulesWindow::editorRefusesWhatCannotRun_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<QString>("time");
    QTest::addColumn<bool>("noDays");
    QTest::addColumn<QString>("until");
    QTest::addColumn<QString>("message");
    QTest::newRow("sun time without a position")
        << u"127.0.0.1"_s << 2 << u"07:00"_s << false << QString() << u"when: 127.0.0.1 has no latitude"_s;
    QTest::newRow("station not listed") << u"10.0.0.9"_s << 0 << u"07:00"_s << false << QString()
                                        << u"station: 10.0.0.9 is not in the station list"_s;
    QTest::newRow("no time") << u"127.0.0.1"_s << 0 << u"7 pm"_s << false << QString() << u"time: \"7 pm\""_s;
    QTest::newRow("no weekday") << u"127.0.0.1"_s << 0 << u"07:00"_s << true << QString() << u"days:"_s;
    QTest::newRow("bad date") << u"127.0.0.1"_s << 0 << u"07:00"_s << false << u"31.12.2026"_s << u"until:"_s;
}

void TestSchedulesWindow::editorRefusesWhatCannotRun()
{
    QFETCH(QString, target);
    QFETCH(int, anchor);
    QFETCH(QString, time);
    QFETCH(bool, noDays);
    QFETCH(QString, until);
    QFETCH(QString, message);
    auto w = open();
    w->get<QLineEdit>("ScheduleTarget")->setText(target);
    w->get<QComboBox>("ScheduleAnchor")->setCurrentIndex(anchor);
    w->get<QLineEdit>("ScheduleTime")->setText(time);
    w->get<QLineEdit>("ScheduleUntil")->setText(until);
    if (noDays)
        for (int d = 1; d <= 7; ++d)
            w->window->findChild<QCheckBox*>(u"ScheduleDay%1"_s.arg(d))->setChecked(false);
    QTest::mouseClick(w->get<QPushButton>("ScheduleAdd"), Qt::LeftButton);
    QVERIFY2(w->fixture.prompter.lastText().contains(message), qPrintable(w->fixture.prompter.lastText()));
    QCOMPARE(w->get<QTableWidget>("ScheduleEntries")->rowCount(), 0);
}

void TestSchedulesWindow::addedEntryShowsInTheWeek()
{
    auto w = open();
    w->get<QLineEdit>("ScheduleTarget")->setText(u"127.0.0.1"_s);
    w->get<QComboBox>("ScheduleAction")->setCurrentIndex(1); // relay off
    w->get<QSpinBox>("ScheduleRelay")->setValue(2);
    w->get<QLineEdit>("ScheduleTime")->setText(u"02:30"_s);
    QTest::mouseClick(w->get<QPushButton>("ScheduleAdd"), Qt::LeftButton);
    QVERIFY2(w->fixture.prompter.calls().isEmpty(), qPrintable(w->fixture.prompter.lastText()));
    auto* entries = w->get<QTableWidget>("ScheduleEntries");
    QCOMPARE(entries->rowCount(), 1);
    QCOMPARE(entries->item(0, 3)->text(), u"relay 2 off"_s);
    // Today is 28 March in Berlin; on the 29th the clocks skip 02:30, so it runs at 03:00.
    auto* week = w->get<QTableWidget>("ScheduleWeek");
    QCOMPARE(week->rowCount(), 1);
    QCOMPARE(week->item(0, 0)->text(), u"127.0.0.1"_s);
    // The columns are the days of the machine's own zone, from today.
    const QDate today = QDateTime(QDate(2026, 3, 28), QTime(12, 0), Qt::UTC).toLocalTime().date();
    const int springForward = 1 + int(today.daysTo(QDate(2026, 3, 29)));
    QCOMPARE(week->item(0, springForward)->text(), u"03:00 relay 2 off"_s);
    QVERIFY(week->item(0, springForward)->toolTip().contains(u"clocks go forward"_s));
    QCOMPARE(week->item(0, springForward + 1)->text(), u"02:30 relay 2 off"_s);

    entries->selectRow(0);
    QTest::mouseClick(w->get<QPushButton>("ScheduleToggle"), Qt::LeftButton);
    QCOMPARE(entries->item(0, 1)->text(), u"no"_s);
    QCOMPARE(week->rowCount(), 0);
}

QTEST_MAIN(TestSchedulesWindow)
#include "tst_scheduleswindow.moc"
