#include "gui/fleet/fleettreeview.h"

#include <QAccessible>

namespace kestavo::fleetui {

namespace {

// Beyond this many rows the changed cells cover more than a screen: repaint what is visible.
constexpr int kManyRows = 64;

} // namespace

void FleetTreeView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                const QList<int>& roles)
{
    // One row (a group header whose counts changed) keeps the tree's own handling: it refreshes
    // whether the row has children. Rows all have one height, so there is no height to refresh.
    if (!topLeft.isValid() || !bottomRight.isValid() || bottomRight.row() - topLeft.row() < kManyRows) {
        QTreeView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    viewport()->update();
    // What the base view tells screen readers, so that they hear the change all the same.
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::DataChanged);
        event.setFirstRow(topLeft.row());
        event.setFirstColumn(topLeft.column());
        event.setLastRow(bottomRight.row());
        event.setLastColumn(bottomRight.column());
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace kestavo::fleetui
