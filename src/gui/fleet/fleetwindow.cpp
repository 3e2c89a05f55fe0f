#include "gui/fleet/fleetwindow.h"

#include <array>
#include <set>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTreeView>
#include <QVBoxLayout>

#include "fleet/fleetpoller.h"
#include "gui/fleet/fleetbulkcommand.h"
#include "gui/fleet/fleetgroupmodel.h"
#include "gui/fleet/fleetmodel.h"
#include "gui/fleet/fleetsortproxy.h"
#include "gui/fleet/fleettreeview.h"
#include "gui/main/readoutaccessible.h"

namespace kestavo::fleetui {

namespace {

QPushButton* button(const QString& text, const QString& objectName, const QString& accessible,
                    QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    b->setAccessibleName(accessible);
    return b;
}

} // namespace

FleetWindow::FleetWindow(const fleet::FleetPoller& poller, QWidget* parent)
    : QWidget(parent, Qt::Window), m_poller(poller), m_model(new FleetModel(poller, this)),
      m_groups(new FleetGroupModel(*m_model, this)), m_proxy(new FleetSortProxy(this))
{
    setObjectName(QStringLiteral("Fleet"));
    setWindowTitle(QCoreApplication::translate("kestavo::fleetui", "Fleet"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_proxy->setSourceModel(m_groups);

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("FleetFilter"));
    m_filter->setAccessibleName(QCoreApplication::translate("kestavo::fleetui", "Filter"));
    m_filter->setPlaceholderText(
        QCoreApplication::translate("kestavo::fleetui", "Filter by description, address or state"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, m_proxy, &QSortFilterProxyModel::setFilterFixedString);

    m_groupBy = new QComboBox(this);
    m_groupBy->setObjectName(QStringLiteral("FleetGroupBy"));
    m_groupBy->setAccessibleName(QCoreApplication::translate("kestavo::fleetui", "Group by"));
    m_groupBy->addItem(QCoreApplication::translate("kestavo::fleetui", "Group by tag"),
                       int(FleetGroupModel::Grouping::Tag));
    m_groupBy->addItem(QCoreApplication::translate("kestavo::fleetui", "Group by state"),
                       int(FleetGroupModel::Grouping::State));
    m_groupBy->addItem(QCoreApplication::translate("kestavo::fleetui", "No groups"),
                       int(FleetGroupModel::Grouping::None));
    connect(m_groupBy, &QComboBox::activated, this, [this] { m_groupingChosen = true; });
    connect(m_groupBy, &QComboBox::currentIndexChanged, this, [this] {
        const auto grouping = FleetGroupModel::Grouping(m_groupBy->currentData().toInt());
        m_groups->setGrouping(grouping);
        m_table->setRootIsDecorated(grouping != FleetGroupModel::Grouping::None);
        spanHeaders(0, m_proxy->rowCount() - 1);
    });

    // A tag takes in the tags below it; typed or chosen from the tags in use.
    m_tagFilter = new QComboBox(this);
    m_tagFilter->setObjectName(QStringLiteral("FleetTagFilter"));
    m_tagFilter->setAccessibleName(QCoreApplication::translate("kestavo::fleetui", "Tag filter"));
    m_tagFilter->setEditable(true);
    m_tagFilter->setInsertPolicy(QComboBox::NoInsert);
    m_tagFilter->lineEdit()->setPlaceholderText(QCoreApplication::translate("kestavo::fleetui", "All tags"));
    m_tagFilter->setMinimumContentsLength(14);
    const auto applyTag = [this] {
        m_groups->setTagFilter(m_tagFilter->currentText());
        spanHeaders(0, m_proxy->rowCount() - 1);
    };
    connect(m_tagFilter, &QComboBox::activated, this, applyTag);
    connect(m_tagFilter->lineEdit(), &QLineEdit::editingFinished, this, applyTag);

    m_problemsFirst = button(QCoreApplication::translate("kestavo::fleetui", "&Problems first"),
                             QStringLiteral("ProblemsFirst"),
                             QCoreApplication::translate("kestavo::fleetui", "Problems first"), this);
    connect(m_problemsFirst, &QPushButton::clicked, this, &FleetWindow::sortProblemsFirst);

    m_watchAll = new QCheckBox(QCoreApplication::translate("kestavo::fleetui", "Watch all stations"), this);
    m_watchAll->setObjectName(QStringLiteral("WatchAllStations"));
    m_watchAll->setAccessibleName(QCoreApplication::translate("kestavo::fleetui", "Watch all stations"));
    m_watchAll->setToolTip(QCoreApplication::translate(
        "kestavo::fleetui",
        "Keep polling every station while this window is closed (each poll costs traffic)."));
    connect(m_watchAll, &QCheckBox::toggled, this, &FleetWindow::watchAllToggled);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("FleetSummary"));
    core::markReadout(m_summary, QCoreApplication::translate("kestavo::fleetui", "Fleet summary"));

    m_table = new FleetTreeView(this);
    m_table->setObjectName(QStringLiteral("FleetTable"));
    m_table->setAccessibleName(QCoreApplication::translate("kestavo::fleetui", "Stations"));
    m_table->setModel(m_proxy);
    m_table->setSortingEnabled(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false); // Tab leaves the table; the arrow keys move inside it
    m_table->setAlternatingRowColors(true);
    m_table->setAllColumnsShowFocus(true);
    m_table->setExpandsOnDoubleClick(false); // a double-click on a station starts its session
    // One row height for all: sizing ten thousand rows to their contents would stall every update.
    m_table->setUniformRowHeights(true);
    m_table->header()->setStretchLastSection(true);
    m_table->header()->setSortIndicatorShown(true);
    m_table->sortByColumn(FleetModel::Description, Qt::AscendingOrder);
    connect(m_table, &QTreeView::activated, this, [this](const QModelIndex& index) {
        if (index.data(FleetGroupModel::IsGroupRole).toBool()) {
            m_table->setExpanded(index.siblingAtColumn(0), !m_table->isExpanded(index.siblingAtColumn(0)));
            return;
        }
        Q_EMIT stationChosen(index.data(FleetModel::AddressRole).toString());
    });
    // Every column fits a 1280-pixel screen without a sideways scroll: each as wide as its header
    // or its usual contents, whichever is wider; the last takes what is left. The outcome of bulk
    // commands shows only once one was sent from this window.
    constexpr std::array<int, FleetModel::ColumnCount> contents{125, 95, 90, 75, 80, 60, 42, 42, 42,
                                                                42,  42, 42, 42, 42, 50, 75, 0,  80};
    const QFontMetrics header(m_table->header()->font());
    // A two-digit voltage ("13.25") must be read whole, in whatever font the skin gives the rows.
    const int voltage = QFontMetrics(m_table->font()).horizontalAdvance(QStringLiteral("88.88")) + 12;
    for (int c = 0; c < FleetModel::ColumnCount; ++c) {
        const int title = header.horizontalAdvance(m_model->headerData(c, Qt::Horizontal).toString()) + 20;
        int width = std::max(contents[static_cast<std::size_t>(c)], title);
        if (c >= FleetModel::FirstVoltage && c <= FleetModel::LastVoltage)
            width = std::max(width, voltage);
        m_table->setColumnWidth(c, width);
    }
    // Headers span the row and stay open unless the operator closed them.
    connect(m_table, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        m_collapsed.insert(index.data(FleetGroupModel::GroupKeyRole).toString());
    });
    connect(m_table, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        m_collapsed.remove(index.data(FleetGroupModel::GroupKeyRole).toString());
    });
    // Spans and open groups are kept by persistent index, which a re-sort carries along: only
    // headers new to the proxy need them (every one after a reset).
    connect(m_proxy, &QAbstractItemModel::modelReset, this,
            [this] { spanHeaders(0, m_proxy->rowCount() - 1); });
    connect(m_proxy, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
                if (!parent.isValid())
                    spanHeaders(first, last);
            });

    // Bulk commands on the selected stations or groups.
    m_bulkBar = new QWidget(this);
    m_relay = new QComboBox(m_bulkBar);
    m_relay->setObjectName(QStringLiteral("BulkRelay"));
    m_relay->setAccessibleName(QCoreApplication::translate("kestavo::fleetui", "Relay"));
    for (int r = 1; r <= 3; ++r)
        m_relay->addItem(QCoreApplication::translate("kestavo::fleetui", "Relay %1").arg(r), r);
    auto* on = button(QCoreApplication::translate("kestavo::fleetui", "O&N"), QStringLiteral("BulkRelayOn"),
                      QCoreApplication::translate("kestavo::fleetui", "Switch the relay on"), m_bulkBar);
    auto* off =
        button(QCoreApplication::translate("kestavo::fleetui", "O&FF"), QStringLiteral("BulkRelayOff"),
               QCoreApplication::translate("kestavo::fleetui", "Switch the relay off"), m_bulkBar);
    auto* pulse =
        button(QCoreApplication::translate("kestavo::fleetui", "P&ulse"), QStringLiteral("BulkRelayPulse"),
               QCoreApplication::translate("kestavo::fleetui", "Pulse the relay"), m_bulkBar);
    pulse->setToolTip(QCoreApplication::translate(
        "kestavo::fleetui", "Switch the relay off and back on after the seconds given."));
    m_pulseSeconds = new QSpinBox(m_bulkBar);
    m_pulseSeconds->setObjectName(QStringLiteral("BulkPulseSeconds"));
    m_pulseSeconds->setAccessibleName(QCoreApplication::translate("kestavo::fleetui", "Pulse seconds"));
    m_pulseSeconds->setRange(1, 60);
    m_pulseSeconds->setValue(5);
    m_pulseSeconds->setSuffix(QCoreApplication::translate("kestavo::fleetui", " s"));
    m_slot = new QSpinBox(m_bulkBar);
    m_slot->setObjectName(QStringLiteral("BulkScriptSlot"));
    m_slot->setAccessibleName(QCoreApplication::translate("kestavo::fleetui", "Relay script slot"));
    m_slot->setRange(1, 8);
    m_slot->setPrefix(QCoreApplication::translate("kestavo::fleetui", "Slot "));
    auto* run = button(QCoreApplication::translate("kestavo::fleetui", "Run &script"),
                       QStringLiteral("BulkScriptRun"),
                       QCoreApplication::translate("kestavo::fleetui", "Run the relay script"), m_bulkBar);
    m_stop = button(QCoreApplication::translate("kestavo::fleetui", "S&top"), QStringLiteral("BulkStop"),
                    QCoreApplication::translate("kestavo::fleetui", "Stop the bulk command"), m_bulkBar);
    m_stop->setToolTip(QCoreApplication::translate("kestavo::fleetui",
                                                   "Start no further station; those being sent to finish."));
    m_bulkProgress = new QLabel(m_bulkBar);
    m_bulkProgress->setObjectName(QStringLiteral("BulkProgress"));
    core::markReadout(m_bulkProgress,
                      QCoreApplication::translate("kestavo::fleetui", "Bulk command progress"));
    auto* bulk = new QHBoxLayout(m_bulkBar);
    bulk->setContentsMargins(0, 0, 0, 0);
    bulk->addWidget(new QLabel(
        QCoreApplication::translate("kestavo::fleetui", "Selected stations or groups:"), m_bulkBar));
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_relay, on, off, pulse, m_pulseSeconds, m_slot, run, m_stop})
        bulk->addWidget(w);
    bulk->addWidget(m_bulkProgress, 1);
    using Kind = FleetBulkCommand::Action::Kind;
    connect(on, &QPushButton::clicked, this, [this] { sendBulk(int(Kind::RelayOn)); });
    connect(off, &QPushButton::clicked, this, [this] { sendBulk(int(Kind::RelayOff)); });
    connect(pulse, &QPushButton::clicked, this, [this] { sendBulk(int(Kind::RelayPulse)); });
    connect(run, &QPushButton::clicked, this, [this] { sendBulk(int(Kind::Script)); });
    connect(m_stop, &QPushButton::clicked, this, [this] {
        if (m_bulk)
            m_bulk->stop();
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FleetWindow::updateBulkButtons);
    m_bulkBar->setEnabled(false); // until setCommandServices()
    m_table->setColumnHidden(FleetModel::Command, true);

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_groupBy);
    bar->addWidget(m_tagFilter);
    bar->addWidget(m_filter, 1);
    bar->addWidget(m_problemsFirst);
    bar->addWidget(m_watchAll);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_bulkBar);
    layout->addWidget(m_summary);
    // The window and its frame stay on the screen, 1280×800 included.
    QSize size(1200, 560);
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(40, 80));
    resize(size);

    connect(m_model, &QAbstractItemModel::dataChanged, this, &FleetWindow::updateSummary);
    connect(m_model, &QAbstractItemModel::modelReset, this, &FleetWindow::updateSummary);
    connect(m_model, &QAbstractItemModel::modelReset, this, &FleetWindow::refillTags);
    updateSummary();
    refillTags();
    spanHeaders(0, m_proxy->rowCount() - 1);
    updateBulkButtons();
}

FleetWindow::~FleetWindow() = default;

void FleetWindow::setWatchAll(bool on)
{
    const QSignalBlocker block(m_watchAll);
    m_watchAll->setChecked(on);
}

void FleetWindow::setCommandServices(platform::Prompter& prompter, alarms::AuditRecorder* recorder,
                                     const fleet::FleetOperation::Options& options)
{
    delete m_bulk;
    m_bulk = new FleetBulkCommand(*m_model, prompter, this);
    m_bulk->setRecorder(recorder);
    m_bulk->setOptions(options);
    connect(m_bulk, &FleetBulkCommand::progress, m_bulkProgress, [this](const QString& text) {
        m_bulkProgress->setText(text);
        m_bulkProgress->setAccessibleDescription(text);
    });
    connect(m_bulk, &FleetBulkCommand::finished, this, &FleetWindow::updateBulkButtons);
    m_bulkBar->setEnabled(true);
    updateBulkButtons();
}

void FleetWindow::updateBulkButtons()
{
    const bool running = m_bulk && m_bulk->isRunning();
    const bool chosen = m_table->selectionModel()->hasSelection();
    for (auto* b : m_bulkBar->findChildren<QPushButton*>())
        b->setEnabled(b == m_stop ? running : chosen && !running && m_bulk);
}

void FleetWindow::sendBulk(int kind)
{
    if (!m_bulk)
        return;
    FleetBulkCommand::Action action;
    action.kind = FleetBulkCommand::Action::Kind(kind);
    action.relay = m_relay->currentData().toInt();
    action.seconds = m_pulseSeconds->value();
    action.slot = m_slot->value();

    // A header stands for every station it counts; rows add themselves; each station once.
    std::set<int> units;
    QList<QModelIndex> headers;
    for (const QModelIndex& row : m_table->selectionModel()->selectedRows(0)) {
        const QModelIndex source = m_proxy->mapToSource(row);
        if (m_groups->isGroup(source)) {
            headers << source;
            const std::vector<int>& members = m_groups->membersOf(source);
            units.insert(members.begin(), members.end());
        } else if (const int unit = m_groups->unitOf(source); unit >= 0) {
            units.insert(unit);
        }
    }
    FleetBulkCommand::Scope scope;
    for (const int unit : units)
        scope.units << unit;
    // One group chosen (its rows selected too, or not): the question names it.
    if (headers.size() == 1 && int(units.size()) == int(m_groups->membersOf(headers.first()).size())) {
        const QString key = headers.first().data(FleetGroupModel::GroupKeyRole).toString();
        if (m_groups->grouping() == FleetGroupModel::Grouping::State)
            scope.group = QCoreApplication::translate("kestavo::fleetui", "state %1").arg(key);
        else
            scope.group = key.isEmpty() ? QCoreApplication::translate("kestavo::fleetui", "no tag")
                                        : QCoreApplication::translate("kestavo::fleetui", "tag %1").arg(key);
    }
    if (scope.units.isEmpty())
        return;
    m_bulk->start(action, scope);
    // Left-out stations say why even when nothing was sent.
    if (m_model->hasCommandOutcomes())
        m_table->setColumnHidden(FleetModel::Command, false);
    updateBulkButtons();
}

void FleetWindow::sortProblemsFirst()
{
    m_table->sortByColumn(FleetModel::State, Qt::AscendingOrder);
}

void FleetWindow::spanHeaders(int first, int last)
{
    if (m_groups->grouping() == FleetGroupModel::Grouping::None)
        return;
    for (int row = first; row <= last && row < m_proxy->rowCount(); ++row) {
        const QModelIndex header = m_proxy->index(row, 0);
        m_table->setFirstColumnSpanned(row, {}, true);
        if (!m_table->isExpanded(header) &&
            !m_collapsed.contains(header.data(FleetGroupModel::GroupKeyRole).toString()))
            m_table->expand(header);
    }
}

void FleetWindow::refillTags()
{
    std::set<QString> tags;
    for (int i = 0; i < m_poller.count(); ++i) {
        for (const QString& tag : m_poller.unit(i).station.tags)
            tags.insert(tag);
    }
    const QString current = m_tagFilter->currentText();
    const QSignalBlocker block(m_tagFilter);
    m_tagFilter->clear();
    m_tagFilter->addItem(QString());
    for (const QString& tag : tags)
        m_tagFilter->addItem(tag);
    m_tagFilter->setEditText(current);
    // A directory without tags has nothing to group by tag: one "(no tag)" header would only
    // push the stations down a row.
    if (!m_groupingChosen)
        m_groupBy->setCurrentIndex(m_groupBy->findData(
            int(tags.empty() ? FleetGroupModel::Grouping::None : FleetGroupModel::Grouping::Tag)));
}

void FleetWindow::updateSummary()
{
    std::array<int, 5> counts{};
    for (int i = 0; i < m_poller.count(); ++i)
        ++counts[static_cast<std::size_t>(m_poller.unit(i).state)];
    using fleet::LinkState;
    const auto n = [&counts](LinkState state) {
        return counts[static_cast<std::size_t>(state)];
    };
    const QString text = tr("%1 stations: %2 online, %3 stale, %4 offline, %5 bad password, %6 invalid")
                             .arg(m_poller.count())
                             .arg(n(LinkState::Online))
                             .arg(n(LinkState::Stale))
                             .arg(n(LinkState::Offline))
                             .arg(n(LinkState::BadPassword))
                             .arg(n(LinkState::Invalid));
    m_summary->setText(text);
    m_summary->setAccessibleDescription(text); // said again when it changes
}

} // namespace kestavo::fleetui
