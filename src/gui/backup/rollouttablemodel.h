#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

namespace kestavo::unitbackup {

/// The Rollout window's table: one row per unit (address, description, result), set once when
/// the rollout starts and changed one cell at a time as units finish, so a tag with thousands of
/// stations costs no widget per cell.
class RolloutTableModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RolloutTableModel)

public:
    enum Column { Address = 0, Description = 1, Result = 2 };

    struct Row
    {
        QString address;
        QString description;
        QString result;
    };

    explicit RolloutTableModel(QObject* parent = nullptr);

    void setRows(QList<Row> rows);
    void setResult(int row, const QString& result);
    const Row& row(int row) const { return m_rows.at(row); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<Row> m_rows;
};

} // namespace kestavo::unitbackup
