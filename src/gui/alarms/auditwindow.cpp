#include "gui/alarms/auditwindow.h"

#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "alarms/alarmengine.h"
#include "alarms/auditrecorder.h"
#include "gui/alarms/alarmwindows.h"
#include "gui/alarms/csvexport.h"
#include "history/auditlog.h"

namespace kestavo::alarmwindows {

AuditWindow::AuditWindow(core::Context& context, AlarmServices& services)
    : ConsoleDialog(context, false), m_services(services)
{
    setObjectName(QStringLiteral("Audit"));
    setWindowTitle(QCoreApplication::translate("kestavo::alarms", "Audit log"));
    m_station = new QLineEdit(this);
    m_station->setObjectName(QStringLiteral("AuditStation"));
    m_station->setAccessibleName(QCoreApplication::translate("kestavo::alarms", "Filter by station address"));
    m_station->setPlaceholderText(QCoreApplication::translate("kestavo::alarms", "every station"));
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(services.engine.now());
    m_from = new QDateTimeEdit(now.addDays(-7), this);
    m_from->setObjectName(QStringLiteral("AuditFrom"));
    m_from->setAccessibleName(QCoreApplication::translate("kestavo::alarms", "From time"));
    m_to = new QDateTimeEdit(now.addYears(1), this);
    m_to->setObjectName(QStringLiteral("AuditTo"));
    m_to->setAccessibleName(QCoreApplication::translate("kestavo::alarms", "Until time"));
    for (QDateTimeEdit* edit : {m_from, m_to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    }
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("AuditText"));
    m_text->setAccessibleName(QCoreApplication::translate("kestavo::alarms", "Filter by text"));
    m_text->setPlaceholderText(
        QCoreApplication::translate("kestavo::alarms", "text in the command, outcome or user"));
    auto* exportButton = new QPushButton(QCoreApplication::translate("kestavo::alarms", "Export CSV…"), this);
    exportButton->setObjectName(QStringLiteral("ExportAudit"));
    exportButton->setAccessibleName(
        QCoreApplication::translate("kestavo::alarms", "Export the audit log as CSV"));

    m_table = new QTableWidget(0, 9, this);
    m_table->setObjectName(QStringLiteral("AuditList"));
    m_table->setAccessibleName(QCoreApplication::translate("kestavo::alarms", "Audit log"));
    m_table->setHorizontalHeaderLabels(history::AuditLog::csvHeader());
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false); // Tab leaves the table; the arrow keys move inside it
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();

    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QCoreApplication::translate("kestavo::alarms", "Station"), this));
    filters->addWidget(m_station);
    filters->addWidget(new QLabel(QCoreApplication::translate("kestavo::alarms", "From"), this));
    filters->addWidget(m_from);
    filters->addWidget(new QLabel(QCoreApplication::translate("kestavo::alarms", "Until"), this));
    filters->addWidget(m_to);
    filters->addWidget(m_text, 1);
    filters->addWidget(exportButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_table);
    resize(980, 520);

    connect(m_station, &QLineEdit::textChanged, this, &AuditWindow::refresh);
    connect(m_text, &QLineEdit::textChanged, this, &AuditWindow::refresh);
    connect(m_from, &QDateTimeEdit::dateTimeChanged, this, &AuditWindow::refresh);
    connect(m_to, &QDateTimeEdit::dateTimeChanged, this, &AuditWindow::refresh);
    connect(exportButton, &QPushButton::clicked, this, &AuditWindow::exportRows);
    connect(&services.recorder, &alarms::AuditRecorder::recorded, this, &AuditWindow::refresh);
    refresh();
}

void AuditWindow::refresh()
{
    history::AuditFilter filter;
    filter.address = m_station->text().trimmed();
    filter.text = m_text->text().trimmed();
    filter.fromMs = m_from->dateTime().toMSecsSinceEpoch();
    filter.toMs = m_to->dateTime().toMSecsSinceEpoch();
    m_rows.clear();
    const QList<history::AuditRecord> records = m_services.audit.records(filter);
    for (auto it = records.rbegin(); it != records.rend(); ++it) // newest first
        m_rows.append(history::AuditLog::csvFields(*it));
    m_table->setRowCount(int(m_rows.size()));
    for (int r = 0; r < m_rows.size(); ++r)
        for (int c = 0; c < m_rows[r].size(); ++c)
            m_table->setItem(r, c, new QTableWidgetItem(m_rows[r][c]));
}

void AuditWindow::exportRows()
{
    exportCsv(this, m_services.files, context().prompter, QStringLiteral("audit.csv"),
              history::AuditLog::csvHeader(), m_rows);
}

} // namespace kestavo::alarmwindows
