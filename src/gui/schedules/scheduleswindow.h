#pragma once

#include <functional>

#include <QDateTime>

#include "gui/main/consoledialog.h"
#include "schedules/occurrences.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QTableWidget;

namespace kestavo::core {
class DialogRegistry;
}

namespace kestavo::schedulewindows {

/// `Schedules`: the entries of the history file, an editor that refuses an entry that cannot run
/// (naming the field), and the next seven days of actions per station.
class SchedulesWindow final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SchedulesWindow)

public:
    /// `historyPath` names the file the entries live in; `now` is the clock of the timeline.
    SchedulesWindow(core::Context& context, QString historyPath, std::function<QDateTime()> now);

    void refresh();
    /// The entry the editor describes, or the reason it cannot run ("relay: …").
    std::variant<schedules::ScheduleEntry, QString> editedEntry() const;

private:
    void addEntry();
    void removeSelected();
    void toggleSelected();
    qint64 selectedId() const;
    QList<schedules::Site> sitesOf(const schedules::ScheduleEntry& entry) const;

    QString m_historyPath;
    std::function<QDateTime()> m_now;
    QTableWidget* m_entries = nullptr;
    QTableWidget* m_week = nullptr;
    QComboBox* m_targetKind = nullptr;
    QLineEdit* m_target = nullptr;
    QComboBox* m_action = nullptr;
    QSpinBox* m_relay = nullptr;
    QSpinBox* m_seconds = nullptr;
    QSpinBox* m_slot = nullptr;
    QComboBox* m_anchor = nullptr;
    QLineEdit* m_time = nullptr;
    QSpinBox* m_offset = nullptr;
    QList<QCheckBox*> m_days;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_until = nullptr;
    QLineEdit* m_except = nullptr;
};

/// Registers the window for the Monitor menu; `historyPath` is asked each time it opens (empty:
/// the console runs without a history file and the entry stays hidden).
void registerSchedulesWindow(core::DialogRegistry& registry, std::function<QString()> historyPath);

} // namespace kestavo::schedulewindows
