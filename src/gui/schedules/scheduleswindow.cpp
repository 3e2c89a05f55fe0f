#include "gui/schedules/scheduleswindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "gui/main/dialogregistry.h"
#include "platform/prompter.h"
#include "schedules/schedulestore.h"

namespace kestavo::schedulewindows {

namespace {

namespace s = schedules;

template <typename W> W* named(W* widget, const char* objectName, const QString& accessibleName)
{
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(accessibleName);
    return widget;
}

QTableWidget* table(QWidget* parent, const char* objectName, const QString& accessibleName,
                    const QStringList& header)
{
    auto* t = named(new QTableWidget(0, int(header.size()), parent), objectName, accessibleName);
    t->setHorizontalHeaderLabels(header);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setTabKeyNavigation(false);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->horizontalHeader()->setStretchLastSection(true);
    t->verticalHeader()->hide();
    return t;
}

} // namespace

SchedulesWindow::SchedulesWindow(core::Context& context, QString historyPath, std::function<QDateTime()> now)
    : ConsoleDialog(context, false), m_historyPath(std::move(historyPath)), m_now(std::move(now))
{
    setObjectName(QStringLiteral("Schedules"));
    setWindowTitle(tr("Schedules"));

    m_entries =
        table(this, "ScheduleEntries", tr("Schedule entries"),
              {tr("Id"), tr("On"), tr("Station or tag"), tr("Action"), tr("When"), tr("Days"), tr("Dates")});
    m_week = table(this, "ScheduleWeek", tr("Actions of the next seven days per station"), {});

    m_targetKind = named(new QComboBox(this), "ScheduleTargetKind", tr("Station or tag"));
    m_targetKind->addItems({tr("Station"), tr("Tag")});
    m_target = named(new QLineEdit(this), "ScheduleTarget", tr("Station address or tag"));
    m_action = named(new QComboBox(this), "ScheduleAction", tr("Action"));
    m_action->addItems({tr("Relay on"), tr("Relay off"), tr("Pulse relay"), tr("Run relay script")});
    m_relay = named(new QSpinBox(this), "ScheduleRelay", tr("Relay"));
    m_relay->setRange(1, s::kRelays);
    m_seconds = named(new QSpinBox(this), "SchedulePulseSeconds", tr("Pulse seconds"));
    m_seconds->setRange(1, s::kMaxPulseSeconds);
    m_seconds->setValue(5);
    m_slot = named(new QSpinBox(this), "ScheduleScriptSlot", tr("Relay script slot"));
    m_slot->setRange(1, s::kScriptSlots);
    m_anchor = named(new QComboBox(this), "ScheduleAnchor", tr("When"));
    m_anchor->addItems(
        {tr("At a time of day"), tr("Sunrise"), tr("Sunset"), tr("Civil dawn"), tr("Civil dusk")});
    m_time = named(new QLineEdit(QStringLiteral("07:00"), this), "ScheduleTime", tr("Time of day, HH:MM"));
    m_offset =
        named(new QSpinBox(this), "ScheduleOffset", tr("Minutes after the sun event (negative: before)"));
    m_offset->setRange(-s::kMaxSunOffsetMinutes, s::kMaxSunOffsetMinutes);
    auto* days = new QHBoxLayout;
    const QStringList dayNames = {tr("Mon"), tr("Tue"), tr("Wed"), tr("Thu"),
                                  tr("Fri"), tr("Sat"), tr("Sun")};
    for (int d = 0; d < 7; ++d) {
        auto* box = new QCheckBox(dayNames.at(d), this);
        box->setObjectName(QStringLiteral("ScheduleDay%1").arg(d + 1));
        box->setAccessibleName(dayNames.at(d));
        box->setChecked(true);
        days->addWidget(box);
        m_days << box;
    }
    m_from = named(new QLineEdit(this), "ScheduleFrom", tr("First date, YYYY-MM-DD"));
    m_until = named(new QLineEdit(this), "ScheduleUntil", tr("Last date, YYYY-MM-DD"));
    m_except =
        named(new QLineEdit(this), "ScheduleExcept", tr("Dates left out, YYYY-MM-DD separated by commas"));
    for (QLineEdit* edit : {m_from, m_until})
        edit->setPlaceholderText(tr("any"));

    auto* form = new QFormLayout;
    auto* target = new QHBoxLayout;
    target->addWidget(m_targetKind);
    target->addWidget(m_target, 1);
    form->addRow(tr("Where"), target);
    auto* what = new QHBoxLayout;
    what->addWidget(m_action);
    what->addWidget(m_relay);
    what->addWidget(m_seconds);
    what->addWidget(m_slot);
    form->addRow(tr("What"), what);
    auto* when = new QHBoxLayout;
    when->addWidget(m_anchor);
    when->addWidget(m_time);
    when->addWidget(m_offset);
    form->addRow(tr("When"), when);
    form->addRow(tr("Days"), days);
    auto* dates = new QHBoxLayout;
    dates->addWidget(m_from);
    dates->addWidget(m_until);
    dates->addWidget(m_except, 1);
    form->addRow(tr("Dates"), dates);

    auto* add = named(new QPushButton(tr("Add"), this), "ScheduleAdd", tr("Add the entry"));
    auto* remove =
        named(new QPushButton(tr("Remove"), this), "ScheduleRemove", tr("Remove the selected entry"));
    auto* toggle = named(new QPushButton(tr("Enable / disable"), this), "ScheduleToggle",
                         tr("Enable or disable the selected entry"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addStretch();
    buttons->addWidget(toggle);
    buttons->addWidget(remove);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_entries, 2);
    layout->addLayout(buttons);
    layout->addLayout(form);
    layout->addWidget(m_week, 2);

    const auto enableFields = [this] {
        const bool script = m_action->currentIndex() == 3;
        m_relay->setEnabled(!script);
        m_seconds->setEnabled(m_action->currentIndex() == 2);
        m_slot->setEnabled(script);
        m_time->setEnabled(m_anchor->currentIndex() == 0);
        m_offset->setEnabled(m_anchor->currentIndex() != 0);
    };
    connect(m_action, &QComboBox::currentIndexChanged, this, enableFields);
    connect(m_anchor, &QComboBox::currentIndexChanged, this, enableFields);
    enableFields();
    connect(add, &QPushButton::clicked, this, &SchedulesWindow::addEntry);
    connect(remove, &QPushButton::clicked, this, &SchedulesWindow::removeSelected);
    connect(toggle, &QPushButton::clicked, this, &SchedulesWindow::toggleSelected);
    resize(900, 640);
    refresh();
}

QList<s::Site> SchedulesWindow::sitesOf(const s::ScheduleEntry& entry) const
{
    const stations::StationStore& store = context().store;
    const QStringList addresses =
        entry.station.isEmpty() ? store.addressesWithTag(entry.tag) : QStringList{entry.station};
    QList<s::Site> sites;
    for (const QString& address : addresses) {
        const stations::StationSite site = store.siteOf(address);
        sites.append({address,
                      site.zone.isEmpty() ? QTimeZone::systemTimeZone() : QTimeZone(site.zone.toUtf8()),
                      site.latitude, site.longitude});
    }
    return sites;
}

std::variant<s::ScheduleEntry, QString> SchedulesWindow::editedEntry() const
{
    s::ScheduleEntry e;
    const QString target = m_target->text().trimmed();
    (m_targetKind->currentIndex() == 0 ? e.station : e.tag) = target;
    if (target.isEmpty())
        return m_targetKind->currentIndex() == 0 ? tr("station: enter the station's address")
                                                 : tr("tag: enter a tag");
    static const s::Action actions[] = {s::Action::On, s::Action::Off, s::Action::Pulse, s::Action::Script};
    e.action = actions[m_action->currentIndex()];
    if (e.action == s::Action::Script)
        e.scriptSlot = m_slot->value();
    else
        e.relay = m_relay->value();
    if (e.action == s::Action::Pulse)
        e.pulseSeconds = m_seconds->value();
    static const s::Anchor anchors[] = {s::Anchor::Clock, s::Anchor::Sunrise, s::Anchor::Sunset,
                                        s::Anchor::Dawn, s::Anchor::Dusk};
    e.anchor = anchors[m_anchor->currentIndex()];
    if (e.anchor == s::Anchor::Clock) {
        const std::optional<int> minute = s::parseClock(m_time->text());
        if (!minute)
            return tr("time: \"%1\" is no time of day (HH:MM)").arg(m_time->text());
        e.minuteOfDay = *minute;
    } else {
        e.offsetMinutes = m_offset->value();
    }
    e.weekdays = 0;
    for (int d = 0; d < 7; ++d)
        if (m_days.at(d)->isChecked())
            e.weekdays |= quint8(1u << d);
    for (const auto& [edit, field, out] :
         {std::tuple{m_from, "from", &e.from}, std::tuple{m_until, "until", &e.until}}) {
        if (edit->text().trimmed().isEmpty())
            continue;
        const std::optional<QDate> date = s::parseDate(edit->text());
        if (!date)
            return tr("%1: \"%2\" is no date (YYYY-MM-DD)").arg(QLatin1String(field), edit->text());
        *out = *date;
    }
    for (const QString& text : m_except->text().split(u',', Qt::SkipEmptyParts)) {
        const std::optional<QDate> date = s::parseDate(text);
        if (!date)
            return tr("except: \"%1\" is no date (YYYY-MM-DD)").arg(text.trimmed());
        e.except << *date;
    }
    if (const QString problem = e.problem(); !problem.isEmpty())
        return problem;
    // What the directory makes impossible: a station not listed, a sun time without a position.
    if (!e.station.isEmpty()) {
        if (context().store.positionOf(e.station) < 0)
            return tr("station: %1 is not in the station list").arg(e.station);
        if (e.usesSun() && !context().store.siteOf(e.station).hasPosition())
            return tr("when: %1 has no latitude and longitude, so its %2 is unknown")
                .arg(e.station, s::anchorWord(e.anchor));
    }
    return e;
}

void SchedulesWindow::addEntry()
{
    const auto edited = editedEntry();
    if (const auto* problem = std::get_if<QString>(&edited)) {
        context().prompter.ask(tr("This entry cannot run: %1.").arg(*problem), tr("Schedules"),
                               platform::Prompter::Buttons::Ok, platform::Prompter::Icon::Warning);
        return;
    }
    s::ScheduleStore store;
    if (!store.open(m_historyPath) ||
        store.add(std::get<s::ScheduleEntry>(edited), m_now().toMSecsSinceEpoch()) == 0) {
        context().prompter.ask(
            tr("The entry could not be written to \"%1\": %2").arg(m_historyPath, store.error()),
            tr("Schedules"), platform::Prompter::Buttons::Ok, platform::Prompter::Icon::Critical);
        return;
    }
    refresh();
}

qint64 SchedulesWindow::selectedId() const
{
    const int row = m_entries->currentRow();
    return row < 0 ? 0 : m_entries->item(row, 0)->text().toLongLong();
}

void SchedulesWindow::removeSelected()
{
    const qint64 id = selectedId();
    if (id == 0)
        return;
    if (context().prompter.ask(tr("Remove schedule entry #%1?").arg(id), tr("Schedules"),
                               platform::Prompter::Buttons::YesNo,
                               platform::Prompter::Icon::Question) != platform::Prompter::Answer::Yes)
        return;
    s::ScheduleStore store;
    if (store.open(m_historyPath))
        store.remove(id);
    refresh();
}

void SchedulesWindow::toggleSelected()
{
    const qint64 id = selectedId();
    s::ScheduleStore store;
    if (id == 0 || !store.open(m_historyPath))
        return;
    if (const auto entry = store.entry(id))
        store.setEnabled(id, !entry->enabled);
    refresh();
}

void SchedulesWindow::refresh()
{
    s::ScheduleStore store;
    const QList<s::ScheduleEntry> entries =
        store.open(m_historyPath) ? store.entries() : QList<s::ScheduleEntry>();
    m_entries->setRowCount(0);
    for (const s::ScheduleEntry& e : entries) {
        const int row = m_entries->rowCount();
        m_entries->insertRow(row);
        QString dates;
        if (e.from.isValid() || e.until.isValid())
            dates = QStringLiteral("%1..%2").arg(e.from.toString(Qt::ISODate), e.until.toString(Qt::ISODate));
        const QStringList cells = {QString::number(e.id),
                                   e.enabled ? tr("yes") : tr("no"),
                                   e.targetText(),
                                   e.actionText(),
                                   e.whenText(),
                                   e.daysText(),
                                   dates};
        for (int c = 0; c < cells.size(); ++c)
            m_entries->setItem(row, c, new QTableWidgetItem(cells.at(c)));
    }

    // The week: one row per station, one column per day from today in the station's own time.
    const QDateTime now = m_now().toUTC();
    const QList<s::Occurrence> week = s::upcoming(
        entries, [this](const s::ScheduleEntry& e) { return sitesOf(e); }, now, now.addDays(7));
    QStringList stations;
    for (const s::Occurrence& o : week)
        if (!stations.contains(o.address))
            stations << o.address;
    QStringList header{tr("Station")};
    const QDate today = now.toLocalTime().date(); // the columns are the days of whoever looks
    for (int d = 0; d < 7; ++d)
        header << QLocale().toString(today.addDays(d), QStringLiteral("ddd d MMM"));
    m_week->clear();
    m_week->setColumnCount(int(header.size()));
    m_week->setHorizontalHeaderLabels(header);
    m_week->setRowCount(int(stations.size()));
    for (int r = 0; r < stations.size(); ++r) {
        m_week->setItem(r, 0, new QTableWidgetItem(stations.at(r)));
        for (const s::Occurrence& o : week) {
            if (o.address != stations.at(r))
                continue;
            const int column =
                1 + int(today.daysTo(o.runs() ? o.utc.toTimeZone(o.zone).date() : o.localDate));
            if (column < 1 || column > 7)
                continue;
            QTableWidgetItem* cell = m_week->item(r, column);
            if (!cell) {
                cell = new QTableWidgetItem;
                m_week->setItem(r, column, cell);
            }
            const QString line =
                o.runs()
                    ? QStringLiteral("%1 %2").arg(o.utc.toTimeZone(o.zone).toString(QStringLiteral("HH:mm")),
                                                  o.entry.actionText())
                    : tr("no %1").arg(s::anchorWord(o.entry.anchor));
            cell->setText(cell->text().isEmpty() ? line : cell->text() + u'\n' + line);
            if (!o.detail.isEmpty())
                cell->setToolTip(cell->toolTip().isEmpty() ? o.detail : cell->toolTip() + u'\n' + o.detail);
        }
    }
    m_week->resizeRowsToContents();
}

void registerSchedulesWindow(core::DialogRegistry& registry, std::function<QString()> historyPath)
{
    registry.add(core::DialogId::Schedules, [historyPath](core::Context& context, int) -> QWidget* {
        return new SchedulesWindow(context, historyPath(), [] { return QDateTime::currentDateTimeUtc(); });
    });
}

} // namespace kestavo::schedulewindows
