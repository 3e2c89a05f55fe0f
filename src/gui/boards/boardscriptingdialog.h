#pragma once

#include <QPointer>

#include "gui/boards/boardtimings.h"
#include "gui/main/consoledialog.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTimer;

namespace kestavo::daughterboards {

/// `RDBrelayScripting`: composes daughter-board scripts from a per-board palette, uploads them
/// into one of the unit's sixteen board slots ('U'), runs a slot ('V'), and shows the slots'
/// descriptions and contents when the reply decoder has stored them (reply indicator 2 and 3).
/// Opened from `RDB`, which stays hidden until this window closes; `RDB` keeps the main window.
class BoardScriptingDialog final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BoardScriptingDialog)

public:
    BoardScriptingDialog(core::Context& context, QWidget* returnTo, const BoardTimings& timings = {});

    bool contentsShown() const { return m_contentsShown; }
    /// "Refresh": forget what was shown and ask the unit for the slot descriptions.
    void refresh();
    /// However the window closes, `RDB` is shown again.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onReplyIndicator(int value);
    void fillPalette(int board);
    void chooseBoard(const QString& text);
    void appendStep(QListWidgetItem* item);
    void showSlotContents();
    void setMainButtonsEnabled(bool enabled);
    void showPanels(bool description, bool confirmation);
    void startUpload();
    void confirmUpload();
    void startExecute();
    void confirmExecute();
    void requestContents();

    QPointer<QWidget> m_returnTo;
    BoardTimings m_timings;
    bool m_contentsShown = false;

    QComboBox* m_boardBox = nullptr;
    QListWidget* m_palette = nullptr;
    QListWidget* m_steps = nullptr;
    QListWidget* m_slots = nullptr;
    QLabel* m_scriptLabel = nullptr;
    QPushButton* m_execute = nullptr;
    QPushButton* m_upload = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_close = nullptr;
    QFrame* m_descriptionPanel = nullptr;
    QLineEdit* m_description = nullptr;
    QFrame* m_confirmPanel = nullptr;
    QLabel* m_slotQuestion = nullptr;
    QTimer* m_contentsTimer = nullptr;
};

} // namespace kestavo::daughterboards
