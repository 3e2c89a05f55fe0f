#pragma once

#include <array>
#include <optional>

#include "gui/main/consoledialog.h"

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kestavo::automation {

/// `RelayScripting`: reads the unit's eight script slots, composes a script from the step palette,
/// uploads it into a slot ('J') and runs the script a slot holds ('K'). Confirmations and errors
/// are panels inside the window; only the slot-choice faults are message boxes.
class RelayScriptingDialog final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RelayScriptingDialog)

public:
    explicit RelayScriptingDialog(core::Context& context);

    /// Empties both lists and asks the unit for its slot table.
    void refresh();

private:
    enum class Panel { Upload, Execute, Description, EmptyScript, FullScript, NoDescription };

    void buildPanels();
    QFrame* panel(Panel which) const { return m_panels[std::size_t(which)]; }
    /// Shows one panel and hides every other one.
    void showPanel(Panel which);
    void hidePanels();
    void setMainButtonsEnabled(bool enabled);
    /// "Slot # n ?" for the chosen slot, or the slot-choice message box and nothing.
    std::optional<QString> slotQuestion();

    void onReplyIndicator(int value);
    void previewSlot(int row);
    void addStep(int paletteRow);
    void startUpload();
    void startExecute();
    void askDescription();
    void upload();
    void execute();
    void endFlow();
    /// Ends an upload or execute flow and shows a slot table that arrived meanwhile.
    void leaveQuestion();

    QListWidget* m_slots;   // List1
    QListWidget* m_steps;   // List2
    QListWidget* m_palette; // List3
    QLabel* m_stepsHeading;
    QLineEdit* m_description; // Text1
    std::array<QPushButton*, 4> m_mainButtons{};
    std::array<QFrame*, 6> m_panels{};
    QLabel* m_uploadText = nullptr;
    QLabel* m_executeText = nullptr;
    // The slot the user said yes to, from the question until the flow ends. A slot table arriving
    // meanwhile waits: it would move the selection to slot 1 and replace the composed steps.
    std::optional<int> m_confirmedSlot;
};

} // namespace kestavo::automation
