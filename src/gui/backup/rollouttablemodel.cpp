#include "gui/backup/rollouttablemodel.h"

namespace kestavo::unitbackup {

RolloutTableModel::RolloutTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void RolloutTableModel::setRows(QList<Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void RolloutTableModel::setResult(int row, const QString& result)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row].result = result;
    const QModelIndex cell = index(row, Result);
    Q_EMIT dataChanged(cell, cell, {Qt::DisplayRole});
}

int RolloutTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RolloutTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant RolloutTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const Row& row = m_rows.at(index.row());
    switch (index.column()) {
    case Address:
        return row.address;
    case Description:
        return row.description;
    case Result:
        return row.result;
    default:
        return {};
    }
}

QVariant RolloutTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Address:
        return tr("Address");
    case Description:
        return tr("Description");
    case Result:
        return tr("Result");
    default:
        return {};
    }
}

} // namespace kestavo::unitbackup
