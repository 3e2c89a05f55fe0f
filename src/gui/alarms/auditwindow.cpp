#include "gui/alarms/auditwindow.h"

#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimeZone>
#include <QVBoxLayout>

#include "alarms/alarmengine.h"
#include "alarms/auditrecorder.h"
#include "gui/alarms/alarmwindows.h"
#include "gui/alarms/csvexport.h"
#include "history/auditlog.h"

namespace kestavo::alarmwindows {

namespace {

const QString kShownTime = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Said once where times are shown: the zone they are in.
QString zoneNote()
{
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDateTime now = QDateTime::currentDateTime();
    return QCoreApplication::translate("kestavo::alarms", "Local time, %1 (%2)")
        .arg(zone.displayName(now, QTimeZone::LongName), zone.displayName(now, QTimeZone::OffsetName));
}

} // namespace

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
    m_to = new QDateTimeEdit(now, this);
    m_to->setObjectName(QStringLiteral("AuditTo"));
    m_to->setAccessibleName(QCoreApplication::translate("kestavo::alarms", "Until time"));
    for (QDateTimeEdit* edit : {m_from, m_to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(kShownTime);
        edit->setToolTip(zoneNote());
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
    QStringList headers;
    for (const QString& field : history::AuditLog::csvHeader())
        headers.append(field.left(1).toUpper() + field.mid(1));
    m_table->setHorizontalHeaderLabels(headers);
    m_table->horizontalHeaderItem(0)->setToolTip(zoneNote());
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
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("AuditNote"));
    m_note->setAccessibleName(QCoreApplication::translate("kestavo::alarms", "Audit filter note"));
    m_note->hide();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_note);
    layout->addWidget(m_table);
    resize(980, 520);

    connect(m_station, &QLineEdit::textChanged, this, &AuditWindow::refresh);
    connect(m_text, &QLineEdit::textChanged, this, &AuditWindow::refresh);
    connect(m_from, &QDateTimeEdit::dateTimeChanged, this, &AuditWindow::refresh);
    connect(m_to, &QDateTimeEdit::dateTimeChanged, this, &AuditWindow::untilEdited);
    connect(exportButton, &QPushButton::clicked, this, &AuditWindow::exportRows);
    connect(&services.recorder, &alarms::AuditRecorder::recorded, this, &AuditWindow::refresh);
    refresh();
}

void AuditWindow::untilEdited()
{
    m_untilIsNow = false;
    refresh();
}

void AuditWindow::refresh()
{
    if (m_untilIsNow) {
        // Records made while the window is open are listed as they come.
        const QSignalBlocker block(m_to);
        m_to->setDateTime(QDateTime::fromMSecsSinceEpoch(m_services.engine.now()).addSecs(1));
    }
    if (m_from->dateTime() > m_to->dateTime()) {
        m_rows.clear();
        m_table->setRowCount(0);
        const QString note = QCoreApplication::translate(
            "kestavo::alarms", "\"From\" is after \"Until\": no record can be listed.");
        m_note->setText(note);
        m_note->setAccessibleDescription(note);
        m_note->show();
        return;
    }
    m_note->clear();
    m_note->hide();
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
    const QString zone = zoneNote();
    for (int r = 0; r < m_rows.size(); ++r) {
        for (int c = 0; c < m_rows[r].size(); ++c) {
            // The export keeps ISO 8601 UTC; the screen shows the time where the user sits.
            if (c == 0) {
                const qint64 utcMs = records.at(records.size() - 1 - r).utcMs;
                auto* item = new QTableWidgetItem(QDateTime::fromMSecsSinceEpoch(utcMs).toString(kShownTime));
                item->setToolTip(zone + QStringLiteral("\n") + m_rows[r][c]);
                m_table->setItem(r, c, item);
                continue;
            }
            m_table->setItem(r, c, new QTableWidgetItem(m_rows[r][c]));
        }
    }
}

void AuditWindow::exportRows()
{
    exportCsv(this, m_services.files, context().prompter, QStringLiteral("audit.csv"),
              history::AuditLog::csvHeader(), m_rows);
}

} // namespace kestavo::alarmwindows
