#include "gui/fleet/fleetgroupmodel.h"

#include <algorithm>
#include <climits>

#include <QBrush>
#include <QFont>

#include "stations/stationextras.h"

#include "fleet/fleetpoller.h"
#include "gui/fleet/fleetmodel.h"

namespace kestavo::fleetui {

namespace {

constexpr std::array kStates{fleet::LinkState::Online, fleet::LinkState::Stale, fleet::LinkState::Offline,
                             fleet::LinkState::BadPassword, fleet::LinkState::Invalid};

const std::vector<int> kNoMembers;
const FleetGroupModel::Counts kNoCounts;

} // namespace

fleet::LinkState FleetGroupModel::Counts::worst() const
{
    fleet::LinkState worst = fleet::LinkState::Online;
    for (const fleet::LinkState state : kStates) {
        if (of(state) > 0 && fleet::problemRank(state) < fleet::problemRank(worst))
            worst = state;
    }
    return worst;
}

FleetGroupModel::FleetGroupModel(FleetModel& source, QObject* parent)
    : QAbstractItemModel(parent), m_source(source)
{
    connect(&source, &QAbstractItemModel::modelReset, this, &FleetGroupModel::rebuild);
    connect(&source, &FleetModel::flushed, this, &FleetGroupModel::onFlushed);
    rebuild();
}

void FleetGroupModel::setGrouping(Grouping grouping)
{
    if (grouping == m_grouping)
        return;
    m_grouping = grouping;
    rebuild();
}

void FleetGroupModel::setTagFilter(const QString& tag)
{
    const QString wanted = tag.trimmed();
    if (wanted == m_tagFilter)
        return;
    m_tagFilter = wanted;
    rebuild();
}

void FleetGroupModel::count(Counts& counts, int unit, int delta) const
{
    counts.states[std::size_t(m_stateSeen[std::size_t(unit)])] += delta;
    counts.inAlarm += m_alarmSeen[std::size_t(unit)] ? delta : 0;
    counts.total += delta;
}

void FleetGroupModel::groupsOf(int unit, std::vector<int>& out) const
{
    out.clear();
    switch (m_grouping) {
    case Grouping::None:
        out.push_back(0);
        return;
    case Grouping::State:
        out.push_back(stateGroup(m_stateSeen[std::size_t(unit)]));
        return;
    case Grouping::Tag:
        out.assign(m_tagGroups.begin() + m_tagGroupsStart[std::size_t(unit)],
                   m_tagGroups.begin() + m_tagGroupsStart[std::size_t(unit) + 1]);
        return;
    }
}

void FleetGroupModel::collectTagGroups(int unit, std::vector<int>& out) const
{
    // A tag's group holds the stations with the tag or one below it, as `--tag` takes them: a
    // station tagged "north/pumps" is in "north/pumps" and, when some station is tagged so, "north".
    out.clear();
    for (const QString& tag : m_source.poller().unit(unit).station.tags) {
        for (qsizetype end = tag.size(); end > 0; end = tag.lastIndexOf(u'/', end - 1)) {
            const auto group = m_groupOfTag.constFind(tag.left(end));
            if (group != m_groupOfTag.cend() && std::find(out.begin(), out.end(), *group) == out.end())
                out.push_back(*group);
        }
    }
    if (out.empty()) {
        if (const auto untagged = m_groupOfTag.constFind(QString()); untagged != m_groupOfTag.cend())
            out.push_back(*untagged);
    }
}

void FleetGroupModel::rebuild()
{
    beginResetModel();
    const fleet::FleetPoller& poller = m_source.poller();
    const auto units = std::size_t(poller.count());
    m_groups.clear();
    m_groupOfTag.clear();
    m_included.assign(units, 1);
    m_stateSeen.assign(units, fleet::LinkState::Online);
    m_alarmSeen.assign(units, 0);
    for (std::size_t u = 0; u < units; ++u) {
        const fleet::FleetPoller::Unit& unit = poller.unit(int(u));
        if (!m_tagFilter.isEmpty())
            m_included[u] = stations::tagMatches(unit.station.tags, m_tagFilter) ? 1 : 0;
        m_stateSeen[u] = unit.state;
        m_alarmSeen[u] = m_source.inAlarm(int(u)) ? 1 : 0;
    }

    switch (m_grouping) {
    case Grouping::None:
        m_groups.push_back(Group{});
        break;
    case Grouping::State:
        for (const fleet::LinkState state : kStates) {
            Q_ASSERT(stateGroup(state) == int(m_groups.size()));
            m_groups.push_back(Group{fleet::linkStateText(state), fleet::linkStateText(state), {}, {}});
        }
        break;
    case Grouping::Tag: {
        QStringList tags;
        bool untagged = false;
        for (std::size_t u = 0; u < units; ++u) {
            if (!m_included[u])
                continue;
            const QStringList& own = poller.unit(int(u)).station.tags;
            untagged = untagged || own.isEmpty();
            for (const QString& tag : own) {
                if (m_tagFilter.isEmpty() || stations::tagMatches({tag}, m_tagFilter))
                    tags.append(tag);
            }
        }
        tags.sort();
        tags.removeDuplicates();
        for (const QString& tag : tags) {
            m_groupOfTag.insert(tag, int(m_groups.size()));
            m_groups.push_back(Group{tag, tag, {}, {}});
        }
        if (untagged) {
            m_groupOfTag.insert(QString(), int(m_groups.size()));
            m_groups.push_back(Group{QString(), tr("(no tag)"), {}, {}});
        }
        break;
    }
    }

    // By tag a station's groups stay until the next rebuild: worked out once, looked up per report.
    std::vector<int> groups;
    m_tagGroups.clear();
    m_tagGroupsStart.assign(units + 1, 0);
    if (m_grouping == Grouping::Tag) {
        for (std::size_t u = 0; u < units; ++u) {
            m_tagGroupsStart[u] = int(m_tagGroups.size());
            if (m_included[u]) {
                collectTagGroups(int(u), groups);
                m_tagGroups.insert(m_tagGroups.end(), groups.begin(), groups.end());
            }
        }
        m_tagGroupsStart[units] = int(m_tagGroups.size());
    }
    for (std::size_t u = 0; u < units; ++u) {
        if (!m_included[u])
            continue;
        groupsOf(int(u), groups);
        for (const int g : groups) {
            m_groups[std::size_t(g)].members.push_back(int(u));
            count(m_groups[std::size_t(g)].counts, int(u), +1);
        }
    }
    endResetModel();
}

void FleetGroupModel::onFlushed(const std::vector<int>& rows, bool all)
{
    const fleet::FleetPoller& poller = m_source.poller();
    if (std::size_t(poller.count()) != m_included.size())
        return; // the reset that follows rebuilds
    std::vector<int> everyRow;
    if (all) {
        everyRow.resize(m_included.size());
        for (std::size_t u = 0; u < everyRow.size(); ++u)
            everyRow[u] = int(u);
    }
    const std::vector<int>& dirty = all ? everyRow : rows;
    std::vector<char> headerDirty(m_groups.size(), 0);
    std::vector<int> groups;

    // First the counts and, by state, the moves between groups.
    for (const int u : dirty) {
        const auto k = std::size_t(u);
        if (k >= m_included.size() || !m_included[k])
            continue;
        const fleet::LinkState state = poller.unit(u).state;
        const char alarm = m_source.inAlarm(u) ? 1 : 0;
        if (state == m_stateSeen[k] && alarm == m_alarmSeen[k])
            continue;
        groupsOf(u, groups);
        if (m_grouping == Grouping::State && state != m_stateSeen[k]) {
            Group& from = m_groups[std::size_t(stateGroup(m_stateSeen[k]))];
            const auto at = std::lower_bound(from.members.begin(), from.members.end(), u);
            const int row = int(at - from.members.begin());
            beginRemoveRows(index(stateGroup(m_stateSeen[k]), 0), row, row);
            from.members.erase(at);
            count(from.counts, u, -1);
            endRemoveRows();
            headerDirty[std::size_t(stateGroup(m_stateSeen[k]))] = 1;

            m_stateSeen[k] = state;
            m_alarmSeen[k] = alarm;
            Group& to = m_groups[std::size_t(stateGroup(state))];
            const auto into = std::lower_bound(to.members.begin(), to.members.end(), u);
            const int newRow = int(into - to.members.begin());
            beginInsertRows(index(stateGroup(state), 0), newRow, newRow);
            to.members.insert(into, u);
            count(to.counts, u, +1);
            endInsertRows();
            headerDirty[std::size_t(stateGroup(state))] = 1;
            continue;
        }
        for (const int g : groups)
            count(m_groups[std::size_t(g)].counts, u, -1);
        m_stateSeen[k] = state;
        m_alarmSeen[k] = alarm;
        for (const int g : groups) {
            count(m_groups[std::size_t(g)].counts, u, +1);
            headerDirty[std::size_t(g)] = 1;
        }
    }

    // Then one dataChanged per group for its marked rows, and the ages of all.
    std::vector<int> first(m_groups.size(), INT_MAX);
    std::vector<int> last(m_groups.size(), -1);
    for (const int u : dirty) {
        if (std::size_t(u) >= m_included.size() || !m_included[std::size_t(u)])
            continue;
        groupsOf(u, groups);
        for (const int g : groups) {
            const std::vector<int>& members = m_groups[std::size_t(g)].members;
            const int row = int(std::lower_bound(members.begin(), members.end(), u) - members.begin());
            first[std::size_t(g)] = std::min(first[std::size_t(g)], row);
            last[std::size_t(g)] = std::max(last[std::size_t(g)], row);
        }
    }
    const bool flat = m_grouping == Grouping::None;
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        const QModelIndex parent = flat ? QModelIndex() : index(int(g), 0);
        const int size = int(m_groups[g].members.size());
        // Description and address change only with the directory (a rebuild): leaving them out
        // spares the proxy a re-sort when the stations are sorted by either.
        if (last[g] >= 0)
            Q_EMIT dataChanged(index(first[g], FleetModel::State, parent),
                               index(last[g], FleetModel::ColumnCount - 1, parent));
        if (size > 0)
            Q_EMIT dataChanged(index(0, FleetModel::Age, parent), index(size - 1, FleetModel::Age, parent),
                               {Qt::DisplayRole, FleetModel::SortRole});
        if (headerDirty[g] && !flat)
            Q_EMIT dataChanged(index(int(g), 0), index(int(g), FleetModel::ColumnCount - 1));
    }
}

bool FleetGroupModel::isGroup(const QModelIndex& index) const
{
    return index.isValid() && index.internalId() == kHeader && m_grouping != Grouping::None;
}

int FleetGroupModel::unitOf(const QModelIndex& index) const
{
    if (!index.isValid() || isGroup(index))
        return -1;
    const std::vector<int>& members = m_groups.at(std::size_t(index.internalId() - 1)).members;
    return index.row() < int(members.size()) ? members[std::size_t(index.row())] : -1;
}

const std::vector<int>& FleetGroupModel::membersOf(const QModelIndex& header) const
{
    return isGroup(header) ? m_groups.at(std::size_t(header.row())).members : kNoMembers;
}

const FleetGroupModel::Counts& FleetGroupModel::countsOf(const QModelIndex& header) const
{
    return isGroup(header) ? m_groups.at(std::size_t(header.row())).counts : kNoCounts;
}

QString FleetGroupModel::groupTitle(const QModelIndex& header) const
{
    return isGroup(header) ? m_groups.at(std::size_t(header.row())).title : QString();
}

QModelIndex FleetGroupModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column < 0 || column >= FleetModel::ColumnCount || m_groups.empty())
        return {};
    if (m_grouping == Grouping::None) {
        if (parent.isValid() || row >= int(m_groups.front().members.size()))
            return {};
        return createIndex(row, column, quintptr(1));
    }
    if (!parent.isValid())
        return row < int(m_groups.size()) ? createIndex(row, column, kHeader) : QModelIndex();
    if (parent.internalId() != kHeader || parent.row() >= int(m_groups.size()) ||
        row >= int(m_groups[std::size_t(parent.row())].members.size()))
        return {};
    return createIndex(row, column, quintptr(parent.row()) + 1);
}

QModelIndex FleetGroupModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == kHeader || m_grouping == Grouping::None)
        return {};
    return createIndex(int(child.internalId() - 1), 0, kHeader);
}

int FleetGroupModel::rowCount(const QModelIndex& parent) const
{
    if (m_groups.empty())
        return 0;
    if (m_grouping == Grouping::None)
        return parent.isValid() ? 0 : int(m_groups.front().members.size());
    if (!parent.isValid())
        return int(m_groups.size());
    if (parent.column() > 0 || parent.internalId() != kHeader)
        return 0;
    return int(m_groups.at(std::size_t(parent.row())).members.size());
}

int FleetGroupModel::columnCount(const QModelIndex&) const
{
    return FleetModel::ColumnCount;
}

QString FleetGroupModel::headerText(const Group& group) const
{
    const Counts& c = group.counts;
    QStringList parts;
    parts << (c.total == 1 ? tr("1 station") : tr("%1 stations").arg(c.total));
    parts << tr("%1 online").arg(c.of(fleet::LinkState::Online));
    parts << tr("%1 stale").arg(c.of(fleet::LinkState::Stale));
    parts << tr("%1 offline").arg(c.of(fleet::LinkState::Offline));
    // The rarer states only when there are any.
    if (c.of(fleet::LinkState::BadPassword) > 0)
        parts << tr("%1 bad password").arg(c.of(fleet::LinkState::BadPassword));
    if (c.of(fleet::LinkState::Invalid) > 0)
        parts << tr("%1 invalid").arg(c.of(fleet::LinkState::Invalid));
    parts << tr("%1 in alarm").arg(c.inAlarm);
    const QString counts = parts.join(QStringLiteral(", "));
    // By state the title is the state; otherwise the worst member's state is said in words too.
    if (m_grouping == Grouping::State)
        return QStringLiteral("%1: %2").arg(group.title, counts);
    return tr("%1 (worst: %2): %3").arg(group.title, fleet::linkStateText(c.worst()), counts);
}

QVariant FleetGroupModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (!isGroup(index)) {
        if (role == IsGroupRole)
            return false;
        const int unit = unitOf(index);
        return unit < 0 ? QVariant() : m_source.data(m_source.index(unit, index.column()), role);
    }
    const Group& group = m_groups.at(std::size_t(index.row()));
    const fleet::LinkState worst = group.counts.worst();
    switch (role) {
    case IsGroupRole:
        return true;
    case GroupKeyRole:
        return group.key;
    case GroupRankRole:
        return fleet::problemRank(worst) * 1'000'000 - std::min(group.counts.inAlarm, 999'999);
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
        if (index.column() == FleetModel::Description)
            return headerText(group);
        if (index.column() == FleetModel::State)
            return fleet::linkStateText(worst);
        return {};
    case FleetModel::SortRole:
        return index.column() == FleetModel::Description ? QVariant(group.title) : QVariant();
    case Qt::BackgroundRole: {
        const QColor colour = FleetModel::stateColour(worst);
        return colour.isValid() ? QVariant(QBrush(colour)) : QVariant();
    }
    case Qt::FontRole: {
        QFont font;
        font.setBold(true);
        return font;
    }
    default:
        return {};
    }
}

QVariant FleetGroupModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return m_source.headerData(section, orientation, role);
}

} // namespace kestavo::fleetui
