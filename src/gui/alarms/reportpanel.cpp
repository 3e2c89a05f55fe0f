#include "gui/alarms/reportpanel.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "alarms/alarmengine.h"
#include "gui/alarms/alarmtables.h"
#include "gui/alarms/alarmwindows.h"
#include "notify/alarmreport.h"

namespace kestavo::alarmwindows {

using namespace Qt::StringLiterals;

namespace {

// Each alarm's state before the period is read from the day before, as the command line does.
constexpr qint64 kLeadMs = 86'400'000;

} // namespace

ReportPanel::ReportPanel(AlarmServices& services, QWidget* parent) : QWidget(parent), m_services(services)
{
    m_period = named(new QComboBox(this), u"ReportPeriod"_s, tr("Report period"));
    m_period->addItem(tr("Last 24 hours"), qint64(86'400'000));
    m_period->addItem(tr("Last 7 days"), qint64(7 * 86'400'000LL));
    m_period->addItem(tr("Last 30 days"), qint64(30 * 86'400'000LL));
    m_period->setCurrentIndex(1); // the command line's default
    auto* again =
        named(new QPushButton(tr("Refresh"), this), u"RefreshReport"_s, tr("Compute the report again"));
    m_text = named(new QPlainTextEdit(this), u"ReportText"_s, tr("Alarm report"));
    m_text->setReadOnly(true);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    connect(m_period, &QComboBox::currentIndexChanged, this, &ReportPanel::refresh);
    connect(again, &QPushButton::clicked, this, &ReportPanel::refresh);

    auto* top = new QHBoxLayout;
    auto* label = new QLabel(tr("Period"), this);
    label->setBuddy(m_period);
    top->addWidget(label);
    top->addWidget(m_period);
    top->addWidget(again);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_text);
    refresh();
}

void ReportPanel::refresh()
{
    const qint64 now = m_services.engine.now();
    const qint64 from = now - m_period->currentData().toLongLong();
    QList<history::AlarmEvent> events;
    QList<history::AlarmRecord> open;
    if (m_services.journal.isOpen()) {
        events = m_services.journal.events(from - kLeadMs, now);
        open = m_services.journal.alarms(true);
    }
    const notify::AlarmReport report =
        notify::buildReport(events, open, from, now, [this](const QString& address) {
            return m_services.stationName ? m_services.stationName(address) : QString();
        });
    m_text->setPlainText(notify::reportText(report));
}

} // namespace kestavo::alarmwindows
