#pragma once

// One row per station of the fleet poller, for the Fleet window's table. Updates are batched:
// the poller's per-unit changes only mark rows, and a timer turns the marks into one dataChanged
// per flush, so ten thousand units reporting every second cost the view one update a second.

#include <vector>

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QTimer>

#include "fleet/fleetpoller.h"

namespace kestavo::alarms {
class AlarmEngine;
}

namespace kestavo::fleetui {

class FleetModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FleetModel)

public:
    enum Column : int {
        Description,
        Address,
        State,
        Age,
        Relays,
        Temperature,
        FirstVoltage,
        LastVoltage = FirstVoltage + 7,
        Io,
        Uptime,
        Alarms,
        Command, // what the window's last bulk command did at the unit
        ColumnCount
    };
    /// Numbers (or texts) the proxy sorts by; State sorts problems first.
    static constexpr int SortRole = Qt::UserRole;
    static constexpr int AddressRole = Qt::UserRole + 1;

    explicit FleetModel(const fleet::FleetPoller& poller, QObject* parent = nullptr);

    /// Shows each station's open alarms (count and highest priority); null shows none.
    void setAlarms(const alarms::AlarmEngine* engine);
    const alarms::AlarmEngine* alarms() const { return m_alarms; }
    const fleet::FleetPoller& poller() const { return m_poller; }
    /// True when the station has open, not shelved alarms.
    bool inAlarm(int row) const;

    /// What a bulk command did (or is doing) at the station; kept by address across reloads.
    void setCommandOutcome(const QString& address, const QString& text);
    void clearCommandOutcomes();
    bool hasCommandOutcomes() const { return !m_commandOutcomes.isEmpty(); }

    /// How often marked rows and the ages are pushed to the view.
    void setFlushInterval(int ms) { m_flush.setInterval(ms); }
    /// Pushes what is marked now (the flush timer calls this).
    void flush();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    /// The background of a link state; none for online (colour marks only what needs a look).
    static QColor stateColour(fleet::LinkState state);

    /// "3 s", "2 min 5 s", "2 h 5 min", "3 d 4 h".
    static QString ageText(qint64 ms);

Q_SIGNALS:
    /// After each flush: the rows marked since the last one (every row when `all`), so that a
    /// view over this model updates those alone.
    void flushed(const std::vector<int>& rows, bool all);

private:
    void mark(int row);
    void markAll();

    const fleet::FleetPoller& m_poller;
    const alarms::AlarmEngine* m_alarms = nullptr;
    QTimer m_flush;
    int m_firstDirty = -1;
    int m_lastDirty = -1;
    std::vector<int> m_dirtyRows;
    std::vector<char> m_isDirty; // per row: already in m_dirtyRows
    bool m_allDirty = false;
    QHash<QString, QString> m_commandOutcomes;
};

} // namespace kestavo::fleetui
