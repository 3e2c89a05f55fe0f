#pragma once

// The Fleet window's tree: the fleet model's rows under one header row per group (a tag, a link
// state) or, grouped by nothing, as they are. A header counts its members by state and in alarm
// and takes the state of its worst member. Built once per directory, grouping or tag filter;
// after that a flush of the fleet model moves and recounts only the stations it marked, so ten
// thousand units reporting every second never rebuild the tree.

#include <array>
#include <vector>

#include <QAbstractItemModel>
#include <QHash>
#include <QString>

#include "fleet/linkstate.h"

namespace kestavo::fleetui {

class FleetModel;

class FleetGroupModel final : public QAbstractItemModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FleetGroupModel)

public:
    enum class Grouping { Tag, State, None };

    /// Header rows only: the worst member's problem rank, then more in alarm first (the sort
    /// proxy keeps the worst group first whatever column is sorted).
    static constexpr int GroupRankRole = Qt::UserRole + 10;
    /// True on header rows.
    static constexpr int IsGroupRole = Qt::UserRole + 11;
    /// Header rows: the tag (by tag) or the state word (by state); "" for "(no tag)".
    static constexpr int GroupKeyRole = Qt::UserRole + 12;

    struct Counts
    {
        std::array<int, 5> states{}; // by fleet::LinkState
        int inAlarm = 0;
        int total = 0;

        int of(fleet::LinkState state) const { return states[std::size_t(state)]; }
        /// The state of the worst member (online for an empty group).
        fleet::LinkState worst() const;
    };

    explicit FleetGroupModel(FleetModel& source, QObject* parent = nullptr);

    void setGrouping(Grouping grouping);
    Grouping grouping() const { return m_grouping; }
    /// Shows only the stations with `tag` or a tag below it ("north" takes in "north/pumps", not
    /// "northeast"); by tag, only the groups of such tags. Empty: every station.
    void setTagFilter(const QString& tag);
    QString tagFilter() const { return m_tagFilter; }

    FleetModel& source() { return m_source; }
    const FleetModel& source() const { return m_source; }
    bool isGroup(const QModelIndex& index) const;
    /// The fleet model's row (the poller's unit index) of a station row; -1 for a header.
    int unitOf(const QModelIndex& index) const;
    /// The units under a header, in directory order.
    const std::vector<int>& membersOf(const QModelIndex& header) const;
    const Counts& countsOf(const QModelIndex& header) const;
    /// The header's title: the tag, "(no tag)", or the state word.
    QString groupTitle(const QModelIndex& header) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Group
    {
        QString key;              // the tag, "" for untagged, or the state word
        QString title;            // what the header shows first
        std::vector<int> members; // unit indices, ascending
        Counts counts;
    };
    // Station rows carry their group's number + 1; header rows carry 0.
    static constexpr quintptr kHeader = 0;

    void rebuild();
    void onFlushed(const std::vector<int>& rows, bool all);
    /// The groups (by tag) a unit belongs to; by state its single group; by nothing group 0.
    void groupsOf(int unit, std::vector<int>& out) const;
    void collectTagGroups(int unit, std::vector<int>& out) const;
    int stateGroup(fleet::LinkState state) const { return int(state); }
    void count(Counts& counts, int unit, int delta) const;
    QString headerText(const Group& group) const;

    FleetModel& m_source;
    Grouping m_grouping = Grouping::Tag;
    QString m_tagFilter;
    std::vector<Group> m_groups;
    QHash<QString, int> m_groupOfTag;
    std::vector<int> m_tagGroups;              // by tag: each included unit's groups, unit after unit
    std::vector<int> m_tagGroupsStart;         // per unit (and one past the last): where its groups start
    std::vector<char> m_included;              // per unit: passes the tag filter
    std::vector<fleet::LinkState> m_stateSeen; // per unit, as counted
    std::vector<char> m_alarmSeen;             // per unit, as counted
};

} // namespace kestavo::fleetui
