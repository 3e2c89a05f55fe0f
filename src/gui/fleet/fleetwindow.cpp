#include "gui/fleet/fleetwindow.h"

#include <array>

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "fleet/fleetpoller.h"
#include "gui/fleet/fleetmodel.h"
#include "gui/main/readoutaccessible.h"

namespace kestavo::fleetui {

FleetWindow::FleetWindow(const fleet::FleetPoller& poller, QWidget* parent)
    : QWidget(parent, Qt::Window), m_poller(poller), m_model(new FleetModel(poller, this)),
      m_proxy(new QSortFilterProxyModel(this))
{
    setObjectName(QStringLiteral("Fleet"));
    setWindowTitle(QCoreApplication::translate("kestavo::fleetui", "Fleet"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_proxy->setSourceModel(m_model);
    m_proxy->setSortRole(FleetModel::SortRole);
    m_proxy->setFilterKeyColumn(-1);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("FleetFilter"));
    m_filter->setAccessibleName(QCoreApplication::translate("kestavo::fleetui", "Filter"));
    m_filter->setPlaceholderText(
        QCoreApplication::translate("kestavo::fleetui", "Filter by description, address or state"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, m_proxy, &QSortFilterProxyModel::setFilterFixedString);

    m_problemsFirst =
        new QPushButton(QCoreApplication::translate("kestavo::fleetui", "&Problems first"), this);
    m_problemsFirst->setObjectName(QStringLiteral("ProblemsFirst"));
    m_problemsFirst->setAccessibleName(QCoreApplication::translate("kestavo::fleetui", "Problems first"));
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

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("FleetTable"));
    m_table->setAccessibleName(QCoreApplication::translate("kestavo::fleetui", "Stations"));
    m_table->setModel(m_proxy);
    m_table->setSortingEnabled(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false); // Tab leaves the table; the arrow keys move inside it
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    // Fixed row heights: sizing ten thousand rows to their contents would stall every update.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->sortByColumn(FleetModel::Description, Qt::AscendingOrder);
    connect(m_table, &QTableView::activated, this, [this](const QModelIndex& index) {
        Q_EMIT stationChosen(index.data(FleetModel::AddressRole).toString());
    });
    // Every column fits a 1280-pixel screen without a sideways scroll: each as wide as its header
    // or its usual contents, whichever is wider; Alarms takes what is left.
    constexpr std::array<int, FleetModel::ColumnCount> contents{140, 95, 90, 75, 80, 60, 42, 42,
                                                                42,  42, 42, 42, 42, 42, 50, 75};
    const QFontMetrics header(m_table->horizontalHeader()->font());
    for (int c = 0; c < FleetModel::ColumnCount; ++c) {
        const int title = header.horizontalAdvance(m_model->headerData(c, Qt::Horizontal).toString()) + 20;
        m_table->setColumnWidth(c, std::max(contents[static_cast<std::size_t>(c)], title));
    }

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_filter, 1);
    bar->addWidget(m_problemsFirst);
    bar->addWidget(m_watchAll);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_summary);
    // The window and its frame stay on the screen, 1280×800 included.
    QSize size(1200, 560);
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(40, 80));
    resize(size);

    connect(m_model, &QAbstractItemModel::dataChanged, this, &FleetWindow::updateSummary);
    connect(m_model, &QAbstractItemModel::modelReset, this, &FleetWindow::updateSummary);
    updateSummary();
}

FleetWindow::~FleetWindow() = default;

void FleetWindow::setWatchAll(bool on)
{
    const QSignalBlocker block(m_watchAll);
    m_watchAll->setChecked(on);
}

void FleetWindow::sortProblemsFirst()
{
    m_table->sortByColumn(FleetModel::State, Qt::AscendingOrder);
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
