#pragma once

#include <array>

#include <QPointer>
#include <QString>

#include "gui/main/consoledialog.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace kestavo::core {
class MainForm;
}

namespace kestavo::options {

/// `options`: notes, display mode, caption and (inputs 1 and 2) range jumper of one voltage input,
/// kept in the selected station's record. It sends nothing to the unit. Apply writes the record
/// and shows the result on the main window at once; Exit and the close box keep nothing.
class OptionsDialog final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OptionsDialog)

public:
    /// Where an input's settings live in the station record.
    struct Columns
    {
        QString notes;
        QString view;
        QString caption;
        QString jumper; // empty for inputs 3 to 8
    };

    /// `input` 1 … 8 (clamped). `mainForm` (may be null) gets the new view flags and caption.
    OptionsDialog(core::Context& context, int input, core::MainForm* mainForm = nullptr);
    ~OptionsDialog() override;

    int input() const { return m_input; }

    /// The record columns of input 1 … 8. Inputs 2 to 5 keep their notes in columns named after
    /// alarms: the table had them before it had per-input notes, and station files carry them.
    static Columns columns(int input);

    /// Saves the pages into the current station record and updates the main window. On a write
    /// the store refuses, says why and stops; the dialog stays open either way.
    bool apply();

private:
    QWidget* buildNotesPage();
    QWidget* buildViewsPage();
    QWidget* buildJumperPage();
    void addButtons(QWidget* page, const char* applyName, const char* exitName);
    void load();
    void setCaptionEditable(bool editable);
    bool write(const QString& column, const QVariant& value);

    int m_input;
    Columns m_columns;
    QPointer<core::MainForm> m_mainForm;
    QTabWidget* m_tabs = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    QRadioButton* m_plainView = nullptr;
    QRadioButton* m_graphicView = nullptr;
    QCheckBox* m_changeCaption = nullptr;
    QLineEdit* m_caption = nullptr;
    QRadioButton* m_jumperInstalled = nullptr;
    QRadioButton* m_jumperRemoved = nullptr;
};

} // namespace kestavo::options
