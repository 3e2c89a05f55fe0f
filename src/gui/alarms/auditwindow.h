#pragma once

#include "gui/main/consoledialog.h"

class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace kestavo::alarmwindows {
struct AlarmServices;

/// `Audit`: every command that changed a unit, from the console, the command-line client or the
/// agent, filtered by station, time and text, with "Export CSV…". Follows new records live.
class AuditWindow final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AuditWindow)

public:
    AuditWindow(core::Context& context, AlarmServices& services);

    void refresh();

private:
    void exportRows();
    void untilEdited();

    AlarmServices& m_services;
    QLineEdit* m_station = nullptr;
    QDateTimeEdit* m_from = nullptr;
    QDateTimeEdit* m_to = nullptr;
    QLineEdit* m_text = nullptr;
    QLabel* m_note = nullptr;
    bool m_untilIsNow = true; // Until moves with the clock until the user sets it
    QTableWidget* m_table = nullptr;
    QList<QStringList> m_rows;
};

} // namespace kestavo::alarmwindows
