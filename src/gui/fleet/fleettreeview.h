#pragma once

// The Fleet window's tree view. Its one difference from QTreeView: a change over many rows
// repaints the viewport instead of uniting the rectangle of every changed cell, which QTreeView
// finds by searching its rows one cell at a time — at ten thousand stations reporting every second
// that search alone stalled the window for tens of milliseconds per flush.

#include <QTreeView>

namespace kestavo::fleetui {

class FleetTreeView final : public QTreeView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FleetTreeView)

public:
    using QTreeView::QTreeView;

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
};

} // namespace kestavo::fleetui
