#include "gui/fleet/fleetsortproxy.h"

#include <utility>

#include "fleet/fleetpoller.h"
#include "gui/fleet/fleetgroupmodel.h"
#include "gui/fleet/fleetmodel.h"

namespace kestavo::fleetui {

FleetSortProxy::FleetSortProxy(QObject* parent) : QSortFilterProxyModel(parent)
{
    setSortRole(FleetModel::SortRole);
    setFilterKeyColumn(-1);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
    setRecursiveFilteringEnabled(true);
}

bool FleetSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const auto* groups = qobject_cast<const FleetGroupModel*>(sourceModel());
    if (groups && groups->isGroup(left) && groups->isGroup(right)) {
        const auto key = [](const QModelIndex& header) {
            return std::pair(header.data(FleetGroupModel::GroupRankRole).toInt(),
                             header.data(FleetModel::SortRole).toString());
        };
        // A descending sort asks lessThan(right, left); worst (lowest rank) first either way.
        return sortOrder() == Qt::DescendingOrder ? key(right) < key(left) : key(left) < key(right);
    }
    // The usual order, by description, compared straight from the poller's list: opening a
    // directory of 100,000 sorts them once, and every detour through QVariant shows.
    if (groups && sortColumn() == FleetModel::Description && !isSortLocaleAware()) {
        const int a = groups->unitOf(left);
        const int b = groups->unitOf(right);
        if (a >= 0 && b >= 0) {
            const fleet::FleetPoller& poller = groups->source().poller();
            return poller.unit(a).station.description.compare(poller.unit(b).station.description,
                                                              sortCaseSensitivity()) < 0;
        }
    }
    return QSortFilterProxyModel::lessThan(left, right);
}

bool FleetSortProxy::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    // A header is never shown for its own text: recursive filtering shows it when a station
    // under it passes, and never when it has none.
    const auto* groups = qobject_cast<const FleetGroupModel*>(sourceModel());
    if (groups && !sourceParent.isValid() && groups->grouping() != FleetGroupModel::Grouping::None)
        return false;
    return QSortFilterProxyModel::filterAcceptsRow(sourceRow, sourceParent);
}

} // namespace kestavo::fleetui
