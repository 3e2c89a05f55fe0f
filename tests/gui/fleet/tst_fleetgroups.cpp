// The Fleet window's grouped tree without a window: the groups by tag, by state and by nothing,
// their counts and worst states, the tag filter's subtree, a station under each of its tags, and
// reports moving stations between groups without a rebuild. States come from reports handed to
// the poller and a moved clock; nothing is sent.

#include <QSignalSpy>
#include <QTest>

#include "alarms/alarmengine.h"
#include "fleet/fleetpoller.h"
#include "gui/fleet/fleetgroupmodel.h"
#include "gui/fleet/fleetmodel.h"
#include "gui/fleet/fleetsortproxy.h"

using namespace kestavo;
using fleet::LinkState;
using fleetui::FleetGroupModel;
using fleetui::FleetModel;
using Grouping = FleetGroupModel::Grouping;

namespace {

struct Member
{
    const char* tags; // ';'-separated
    char state;       // o(nline) s(tale) f (offline) i(nvalid)
    bool alarm = false;
};

// S0..S5: a station with two tags, tags below "north", one beside it ("northeast"), an untagged
// one and one that can never be polled.
const QList<Member> kFleet = {{"north/pumps;east", 'o', true},
                              {"north", 's'},
                              {"northeast", 'f'},
                              {"", 'o'},
                              {"north/pumps", 'o'},
                              {"north/wells", 'i'}};

struct GroupRig
{
    explicit GroupRig(const QList<Member>& members)
    {
        poller.setClock([this] { return now; });
        QList<fleet::FleetStation> list;
        for (qsizetype k = 0; k < members.size(); ++k) {
            fleet::FleetStation station;
            station.address =
                members[k].state == 'i' ? QStringLiteral("127.0.0") : QStringLiteral("127.0.0.%1").arg(k + 1);
            station.description = QStringLiteral("S%1").arg(k);
            station.password = QStringLiteral("secret****");
            station.tags = QString::fromLatin1(members[k].tags).split(u';', Qt::SkipEmptyParts);
            list << station;
        }
        poller.setStations(list);
        // The stale ones last reported 30 s before the online ones (stale after 15 s, offline after 60 s).
        now -= 30000;
        report(members, 's');
        now += 30000;
        report(members, 'o');
        poller.refreshStates();
        history::AlarmRule rule;
        rule.id = 1;
        rule.kind = history::AlarmRuleKind::BadPassword;
        engine.setRules({rule});
        for (qsizetype k = 0; k < members.size(); ++k) {
            if (members[k].alarm)
                engine.linkState(poller.unit(int(k)).station.address, engine.now(),
                                 alarms::LinkState::BadPassword);
        }
        model.setFlushInterval(3600000);
        model.setAlarms(&engine);
        model.flush();
        proxy.setSourceModel(&groups);
        proxy.sort(FleetModel::Description);
    }
    void report(const QList<Member>& members, char state)
    {
        for (qsizetype k = 0; k < members.size(); ++k) {
            if (members[k].state == state)
                poller.noteExternalReport(poller.unit(int(k)).station.address, protocol::StatusReport{});
        }
    }
    // "title n:online/stale/offline/invalid aN worst" per header, or descriptions of flat rows.
    QString shown() const
    {
        QStringList rows;
        for (int row = 0; row < proxy.rowCount(); ++row) {
            const QModelIndex source = proxy.mapToSource(proxy.index(row, 0));
            if (!groups.isGroup(source)) {
                rows << source.data().toString();
                continue;
            }
            const FleetGroupModel::Counts& c = groups.countsOf(source);
            rows << QStringLiteral("%1 %2:%3/%4/%5/%6 a%7 %8")
                        .arg(groups.groupTitle(source))
                        .arg(c.total)
                        .arg(c.of(LinkState::Online))
                        .arg(c.of(LinkState::Stale))
                        .arg(c.of(LinkState::Offline))
                        .arg(c.of(LinkState::Invalid))
                        .arg(c.inAlarm)
                        .arg(proxy.index(row, FleetModel::State).data().toString());
        }
        return rows.join(u'|');
    }

    qint64 now = 1'700'000'000'000;
    fleet::FleetPoller poller;
    alarms::AlarmEngine engine{nullptr};
    FleetModel model{poller};
    FleetGroupModel groups{model};
    fleetui::FleetSortProxy proxy;
};

} // namespace

class TestFleetGroups final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void countsAndWorstFirst_data();
    void countsAndWorstFirst();
    void reportsMoveStationsWithoutARebuild();
};

void TestFleetGroups::countsAndWorstFirst_data()
{
    QTest::addColumn<int>("grouping");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("shown");
    const QString all = QStringLiteral("northeast 1:0/0/1/0 a0 offline|north 4:2/1/0/1 a1 stale|"
                                       "north/wells 1:0/0/0/1 a0 invalid|east 1:1/0/0/0 a1 online|"
                                       "north/pumps 2:2/0/0/0 a1 online|(no tag) 1:1/0/0/0 a0 online");
    // A tag's group holds the tags below it, as --tag does; S0 stands under each of its tags.
    QTest::newRow("by tag") << int(Grouping::Tag) << QString() << int(Qt::AscendingOrder) << all;
    QTest::newRow("by tag, sorted down: worst still first")
        << int(Grouping::Tag) << QString() << int(Qt::DescendingOrder) << all;
    QTest::newRow("by tag, north: its subtree, not northeast")
        << int(Grouping::Tag) << QStringLiteral("north") << int(Qt::AscendingOrder)
        << QStringLiteral(
               "north 4:2/1/0/1 a1 stale|north/wells 1:0/0/0/1 a0 invalid|north/pumps 2:2/0/0/0 a1 online");
    QTest::newRow("by tag, north/pumps")
        << int(Grouping::Tag) << QStringLiteral("north/pumps") << int(Qt::AscendingOrder)
        << QStringLiteral("north/pumps 2:2/0/0/0 a1 online");
    QTest::newRow("a part of a tag is no tag")
        << int(Grouping::Tag) << QStringLiteral("nort") << int(Qt::AscendingOrder) << QString();
    QTest::newRow("by state, empty states left out")
        << int(Grouping::State) << QString() << int(Qt::AscendingOrder)
        << QStringLiteral(
               "offline 1:0/0/1/0 a0 offline|stale 1:0/1/0/0 a0 stale|invalid 1:0/0/0/1 a0 invalid|"
               "online 3:3/0/0/0 a1 online");
    QTest::newRow("by state, north") << int(Grouping::State) << QStringLiteral("north")
                                     << int(Qt::AscendingOrder)
                                     << QStringLiteral(
                                            "stale 1:0/1/0/0 a0 stale|invalid 1:0/0/0/1 a0 invalid|"
                                            "online 2:2/0/0/0 a1 online");
    QTest::newRow("by nothing") << int(Grouping::None) << QString() << int(Qt::DescendingOrder)
                                << QStringLiteral("S5|S4|S3|S2|S1|S0");
    QTest::newRow("by nothing, north") << int(Grouping::None) << QStringLiteral("north")
                                       << int(Qt::AscendingOrder) << QStringLiteral("S0|S1|S4|S5");
}

void TestFleetGroups::countsAndWorstFirst()
{
    QFETCH(int, grouping);
    QFETCH(QString, tag);
    QFETCH(int, order);
    QFETCH(QString, shown);
    GroupRig rig(kFleet);
    rig.groups.setGrouping(Grouping(grouping));
    rig.groups.setTagFilter(tag);
    rig.proxy.sort(FleetModel::Description, Qt::SortOrder(order));
    QCOMPARE(rig.shown(), shown);
}

void TestFleetGroups::reportsMoveStationsWithoutARebuild()
{
    GroupRig rig(kFleet);
    rig.groups.setGrouping(Grouping::State);
    QSignalSpy resets(&rig.groups, &QAbstractItemModel::modelReset);
    QSignalSpy moves(&rig.groups, &QAbstractItemModel::rowsInserted);
    // S2 reports: from offline to online; the offline group empties and goes.
    rig.poller.noteExternalReport(rig.poller.unit(2).station.address, protocol::StatusReport{});
    rig.model.flush();
    QCOMPARE(rig.shown(), QStringLiteral("stale 1:0/1/0/0 a0 stale|invalid 1:0/0/0/1 a0 invalid|"
                                         "online 4:4/0/0/0 a1 online"));
    // An hour later S2 has been silent and S3 raised an alarm: both counted again.
    rig.now += 3600000;
    for (const int k : {0, 1, 3, 4})
        rig.poller.noteExternalReport(rig.poller.unit(k).station.address, protocol::StatusReport{});
    rig.poller.refreshStates();
    rig.engine.linkState(rig.poller.unit(3).station.address, rig.engine.now(),
                         alarms::LinkState::BadPassword);
    rig.model.flush();
    QCOMPARE(rig.shown(), QStringLiteral("offline 1:0/0/1/0 a0 offline|invalid 1:0/0/0/1 a0 invalid|"
                                         "online 4:4/0/0/0 a2 online"));
    QCOMPARE(resets.count(), 0);
    QCOMPARE(moves.count(), 3); // S2 into online, S1 into online, S2 into offline

    // By tag the groups stay; their counts and worst states follow.
    rig.groups.setGrouping(Grouping::Tag);
    resets.clear();
    rig.poller.noteExternalReport(rig.poller.unit(2).station.address, protocol::StatusReport{});
    rig.model.flush();
    QCOMPARE(rig.shown(), QStringLiteral("north 4:3/0/0/1 a1 invalid|north/wells 1:0/0/0/1 a0 invalid|"
                                         "(no tag) 1:1/0/0/0 a1 online|east 1:1/0/0/0 a1 online|"
                                         "north/pumps 2:2/0/0/0 a1 online|northeast 1:1/0/0/0 a0 online"));
    QCOMPARE(resets.count(), 0);
}

QTEST_MAIN(TestFleetGroups)
#include "tst_fleetgroups.moc"
