#pragma once

// Sorts and filters the Fleet window's tree. Stations sort by the column chosen, as the flat
// table did; group headers always stand worst first, whichever column and direction, and a
// header shows only while some station under it passes the filter.

#include <QSortFilterProxyModel>

namespace kestavo::fleetui {

class FleetSortProxy final : public QSortFilterProxyModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FleetSortProxy)

public:
    explicit FleetSortProxy(QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
};

} // namespace kestavo::fleetui
