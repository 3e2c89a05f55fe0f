#include "gui/fleet/fleetmodel.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>

#include "protocol/conversions.h"

#include "alarms/alarmengine.h"

namespace kestavo::fleetui {

namespace {

QString relayWord(const std::optional<bool>& on)
{
    return on ? (*on ? QStringLiteral("ON") : QStringLiteral("OFF")) : QStringLiteral("-");
}

std::optional<double> volts(const fleet::FleetPoller::Unit& unit, int channel)
{
    if (!unit.lastReport)
        return std::nullopt;
    const int flag = channel <= 2 ? unit.station.rangeFlags[static_cast<std::size_t>(channel - 1)] : 0;
    return protocol::channelVolts(channel, unit.lastReport->channels[static_cast<std::size_t>(channel - 1)],
                                  flag);
}

} // namespace

QColor FleetModel::stateColour(fleet::LinkState state)
{
    switch (state) {
    case fleet::LinkState::Online:
        return {}; // normal stays neutral: colour marks only what needs a look
    case fleet::LinkState::Stale:
        return QColor(0xFF, 0xE8, 0xA0);
    case fleet::LinkState::Offline:
        return QColor(0xF4, 0xB8, 0xB8);
    case fleet::LinkState::BadPassword:
        return QColor(0xE8, 0xC0, 0xF0);
    case fleet::LinkState::Invalid:
        return QColor(0xD8, 0xD8, 0xD8);
    }
    return {};
}

FleetModel::FleetModel(const fleet::FleetPoller& poller, QObject* parent)
    : QAbstractTableModel(parent), m_poller(poller)
{
    m_flush.setInterval(1000);
    connect(&m_flush, &QTimer::timeout, this, &FleetModel::flush);
    connect(&poller, &fleet::FleetPoller::unitChanged, this, &FleetModel::mark);
    connect(&poller, &fleet::FleetPoller::stationsReset, this, [this] {
        beginResetModel();
        m_firstDirty = m_lastDirty = -1;
        m_dirtyRows.clear();
        m_isDirty.assign(std::size_t(m_poller.count()), 0);
        m_allDirty = false;
        endResetModel();
    });
    m_isDirty.assign(std::size_t(m_poller.count()), 0);
    m_flush.start();
}

void FleetModel::setAlarms(const alarms::AlarmEngine* engine)
{
    if (m_alarms)
        disconnect(m_alarms, nullptr, this, nullptr);
    m_alarms = engine;
    // Alarm changes are rare beside reports: marking every row costs one batched update.
    if (m_alarms)
        connect(m_alarms, &alarms::AlarmEngine::alarmChanged, this, &FleetModel::markAll);
    markAll();
}

bool FleetModel::inAlarm(int row) const
{
    return m_alarms && m_alarms->summary(m_poller.unit(row).station.address).count > 0;
}

void FleetModel::setCommandOutcome(const QString& address, const QString& text)
{
    m_commandOutcomes.insert(address, text);
    const int row = m_poller.indexOf(address);
    if (row >= 0)
        mark(row);
}

void FleetModel::clearCommandOutcomes()
{
    m_commandOutcomes.clear();
    markAll();
}

void FleetModel::markAll()
{
    if (rowCount() > 0) {
        m_firstDirty = 0;
        m_lastDirty = rowCount() - 1;
        m_allDirty = true;
    }
}

void FleetModel::mark(int row)
{
    m_firstDirty = m_firstDirty < 0 ? row : std::min(m_firstDirty, row);
    m_lastDirty = std::max(m_lastDirty, row);
    if (m_allDirty)
        return;
    if (m_isDirty.size() != std::size_t(m_poller.count()))
        m_isDirty.resize(std::size_t(m_poller.count()), 0);
    if (std::size_t(row) < m_isDirty.size() && !m_isDirty[std::size_t(row)]) {
        m_isDirty[std::size_t(row)] = 1;
        m_dirtyRows.push_back(row);
    }
}

void FleetModel::flush()
{
    const int rows = rowCount();
    if (rows == 0)
        return;
    if (m_firstDirty >= 0)
        Q_EMIT dataChanged(index(m_firstDirty, 0), index(m_lastDirty, ColumnCount - 1));
    // Ages move on without any report.
    Q_EMIT dataChanged(index(0, Age), index(rows - 1, Age), {Qt::DisplayRole, SortRole});
    m_firstDirty = m_lastDirty = -1;
    std::vector<int> dirty;
    dirty.swap(m_dirtyRows);
    for (const int row : dirty)
        m_isDirty[std::size_t(row)] = 0;
    const bool all = m_allDirty;
    m_allDirty = false;
    Q_EMIT flushed(dirty, all);
}

int FleetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_poller.count();
}

int FleetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString FleetModel::ageText(qint64 ms)
{
    const qint64 s = std::max<qint64>(ms, 0) / 1000;
    if (s < 60)
        return tr("%1 s").arg(s);
    if (s < 3600)
        return tr("%1 min %2 s").arg(s / 60).arg(s % 60);
    if (s < 86400)
        return tr("%1 h %2 min").arg(s / 3600).arg(s % 3600 / 60);
    return tr("%1 d %2 h").arg(s / 86400).arg(s % 86400 / 3600);
}

QVariant FleetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_poller.count())
        return {};
    const fleet::FleetPoller::Unit& unit = m_poller.unit(index.row());
    const auto& report = unit.lastReport;
    const int column = index.column();
    if (role == AddressRole)
        return unit.station.address;
    if (role == Qt::BackgroundRole && column == State) {
        const QColor colour = stateColour(unit.state);
        return colour.isValid() ? QVariant(QBrush(colour)) : QVariant();
    }
    // Readings a unit no longer sends are old: dimmed, dated, and said so to screen readers.
    const bool old = unit.lastReport && unit.lastReportMs && unit.state != fleet::LinkState::Online &&
                     column >= Relays && column <= Uptime;
    if (old && role == Qt::ForegroundRole)
        return QBrush(QColor(0x80, 0x80, 0x80));
    if (role == Qt::ToolTipRole && column == Age && unit.lastReportMs)
        return tr("Last report %1 ago").arg(ageText(m_poller.now() - *unit.lastReportMs));
    if (role == Qt::ToolTipRole && old) {
        return tr("As of %1 (%2 old)")
            .arg(QDateTime::fromMSecsSinceEpoch(*unit.lastReportMs).toString(QStringLiteral("HH:mm:ss")),
                 ageText(m_poller.now() - *unit.lastReportMs));
    }
    if (role == Qt::AccessibleTextRole && old) {
        const bool voltage = column >= FirstVoltage && column <= LastVoltage;
        const QString what = voltage ? tr("Voltage %1").arg(column - FirstVoltage + 1)
                                     : headerData(column, Qt::Horizontal).toString();
        const QString shown = data(index, Qt::DisplayRole).toString() + (voltage ? tr(" V") : QString());
        return tr("%1: %2, %3 old").arg(what, shown, ageText(m_poller.now() - *unit.lastReportMs));
    }
    if (role == Qt::ToolTipRole && column == State && !unit.invalidReason.isEmpty())
        return unit.invalidReason;
    if (column == Command && (role == Qt::ToolTipRole || role == Qt::AccessibleTextRole))
        return m_commandOutcomes.value(unit.station.address);
    if (role == Qt::TextAlignmentRole && column >= Age && column != Io && column != Command)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != SortRole)
        return {};
    const bool sort = role == SortRole;

    switch (column) {
    case Description:
        return unit.station.description;
    case Address:
        return sort ? QVariant(QHostAddress(unit.station.address).toIPv4Address())
                    : QVariant(unit.station.address);
    case State:
        if (sort)
            return fleet::problemRank(unit.state);
        return unit.invalidReason.isEmpty()
                   ? fleet::linkStateText(unit.state)
                   : fleet::linkStateText(unit.state) + QStringLiteral(": ") + unit.invalidReason;
    case Age: {
        if (!unit.lastReportMs)
            return sort ? QVariant(std::numeric_limits<qint64>::max()) : QVariant(tr("never"));
        const qint64 age = m_poller.now() - *unit.lastReportMs;
        if (sort)
            return age;
        // A live row says how fresh it is; an old one when its values were true.
        if (unit.state == fleet::LinkState::Online)
            return ageText(age);
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(*unit.lastReportMs);
        const bool today = at.date() == QDateTime::fromMSecsSinceEpoch(m_poller.now()).date();
        return tr("as of %1")
            .arg(at.toString(today ? QStringLiteral("HH:mm") : QStringLiteral("yyyy-MM-dd HH:mm")));
    }
    case Relays: {
        if (!report)
            return QString();
        return QStringLiteral("%1 %2 %3")
            .arg(relayWord(report->relayOn[0]), relayWord(report->relayOn[1]), relayWord(report->relayOn[2]));
    }
    case Temperature:
        if (!report || !report->temperatureC)
            return sort ? QVariant(-1000.0) : QVariant(QString());
        return sort ? QVariant(*report->temperatureC)
                    : QVariant(QStringLiteral("%1 °C").arg(*report->temperatureC));
    case Io: {
        if (!report)
            return QString();
        QString pins;
        for (const auto& pin : report->ioPins)
            pins += pin ? QString::number(*pin) : QStringLiteral("-");
        return pins;
    }
    case Uptime:
        if (!report)
            return sort ? QVariant(-1.0) : QVariant(QString());
        return sort ? QVariant(report->uptimeCount) : QVariant(ageText(qint64(report->uptimeCount) * 1000));
    case Alarms: {
        const alarms::AlarmEngine::Summary summary =
            m_alarms ? m_alarms->summary(unit.station.address) : alarms::AlarmEngine::Summary{};
        if (summary.count == 0 || !summary.highest)
            return sort ? QVariant(0) : QVariant(QString());
        // Sorted by highest priority first, then by how many.
        return sort ? QVariant((4 - int(*summary.highest)) * 1'000'000 + summary.count)
                    : QVariant(QStringLiteral("%1 (%2)")
                                   .arg(summary.count)
                                   .arg(history::priorityText(*summary.highest)));
    }
    case Command:
        return m_commandOutcomes.value(unit.station.address);
    default:
        break;
    }
    if (column >= FirstVoltage && column <= LastVoltage) {
        const std::optional<double> v = volts(unit, column - FirstVoltage + 1);
        if (!v)
            return sort ? QVariant(-1.0) : QVariant(QString());
        return sort ? QVariant(*v) : QVariant(QString::number(*v, 'f', 2));
    }
    return {};
}

QVariant FleetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Description:
        return tr("Description");
    case Address:
        return tr("Address");
    case State:
        return tr("Link");
    case Age:
        return tr("Last report");
    case Relays:
        return tr("Relays 1 2 3");
    case Temperature:
        return tr("Temperature");
    case Io:
        return tr("I/O 1-5");
    case Uptime:
        return tr("Uptime");
    case Alarms:
        return tr("Alarms");
    case Command:
        return tr("Last command");
    default:
        return QStringLiteral("V%1").arg(section - FirstVoltage + 1);
    }
}

} // namespace kestavo::fleetui
