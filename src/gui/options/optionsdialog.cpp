#include "gui/options/optionsdialog.h"

#include <algorithm>

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "stations/stationstore.h"

#include "gui/main/mainform.h"
#include "platform/prompter.h"

namespace kestavo::options {

namespace {

QString qs(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

// The caption box is painted light grey while it cannot be edited, so a glance tells whether
// Apply will keep what it shows.
const QColor kLockedCaption(192, 192, 192);
const QColor kOpenCaption(255, 255, 255);

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(qs(name));
    label->setAccessibleName(text);
    label->setWordWrap(true);
    return label;
}

QRadioButton* makeOption(QWidget* parent, const char* name, const char* text)
{
    auto* option = new QRadioButton(qs(text), parent);
    option->setObjectName(qs(name));
    option->setAccessibleName(option->text());
    return option;
}

// A read-only box showing how a choice looks on the main window.
QLineEdit* makeSample(QWidget* parent, const char* name, const char* text, const QString& accessibleName)
{
    auto* sample = new QLineEdit(qs(text), parent);
    sample->setObjectName(qs(name));
    sample->setReadOnly(true);
    sample->setFocusPolicy(Qt::NoFocus);
    sample->setAccessibleName(accessibleName);
    sample->setMaximumWidth(120);
    return sample;
}

} // namespace

OptionsDialog::OptionsDialog(core::Context& context, int input, core::MainForm* mainForm)
    : ConsoleDialog(context), m_input(std::clamp(input, 1, 8)), m_columns(columns(m_input)),
      m_mainForm(mainForm)
{
    setObjectName(qs("options"));
    setWindowTitle(QStringLiteral("    Voltage %1 Options").arg(m_input));
    setAccessibleName(windowTitle().trimmed());

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(qs("TabStrip1"));
    m_tabs->setAccessibleName(QCoreApplication::translate("kestavo::options", "Option pages"));
    m_tabs->addTab(buildNotesPage(), qs("Notes"));
    m_tabs->addTab(buildViewsPage(), qs("Views"));
    if (!m_columns.jumper.isEmpty())
        m_tabs->addTab(buildJumperPage(), m_columns.jumper);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);

    load();
}

OptionsDialog::~OptionsDialog() = default;

OptionsDialog::Columns OptionsDialog::columns(int input)
{
    static const std::array<const char*, 8> notes{"Voltage1Notes", "Alarm3Recip",  "Alarm3smtp",
                                                  "Alarm4Recip",   "Alarm4smtp",   "Voltage6Notes",
                                                  "Voltage7Notes", "Voltage8Notes"};
    const int n = std::clamp(input, 1, 8);
    Columns c;
    c.notes = qs(notes[std::size_t(n - 1)]);
    c.view = QStringLiteral("Voltage%1View").arg(n);
    c.caption = QStringLiteral("Label%1voltage").arg(n);
    if (n == 1)
        c.jumper = qs("JP6");
    else if (n == 2)
        c.jumper = qs("JP7");
    return c;
}

QWidget* OptionsDialog::buildNotesPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(qs("Frame1"));
    auto* prompt =
        makeLabel(page, "Label1", qs("Enter a brief description of what this voltage represents."));

    m_notes = new QPlainTextEdit(page);
    m_notes->setObjectName(qs("Text1"));
    m_notes->setPlaceholderText(qs("Quick Notes"));
    m_notes->setAccessibleName(qs("Quick Notes"));
    m_notes->setTabChangesFocus(true);
    prompt->setBuddy(m_notes);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(prompt);
    layout->addWidget(m_notes, 1);
    addButtons(page, "ApplyNotes", "ExitNotes");
    return page;
}

QWidget* OptionsDialog::buildViewsPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(qs("Frame2"));
    auto* heading = makeLabel(page, "Label2", qs("Default View"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    m_plainView = makeOption(page, "Option1", "View this Voltage as plain text");
    m_graphicView = makeOption(page, "Option2", "View this Voltage in graphical format");
    auto* group = new QButtonGroup(page);
    group->addButton(m_plainView);
    group->addButton(m_graphicView);

    m_changeCaption = new QCheckBox(qs("Change the label of this voltage."), page);
    m_changeCaption->setObjectName(qs("Check1"));
    m_changeCaption->setAccessibleName(m_changeCaption->text());
    m_caption = new QLineEdit(page);
    m_caption->setObjectName(qs("Text4"));
    m_caption->setAccessibleName(tr("Voltage %1 label").arg(m_input));
    connect(m_changeCaption, &QCheckBox::toggled, this, &OptionsDialog::setCaptionEditable);

    auto* grid = new QGridLayout;
    grid->addWidget(m_plainView, 0, 0);
    grid->addWidget(makeSample(page, "Text2", "24.564876", tr("Plain text sample")), 0, 1);
    grid->addWidget(m_graphicView, 1, 0);
    grid->addWidget(makeSample(page, "Text3", "Graphical", tr("Graphical sample")), 1, 1);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(heading);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addWidget(m_changeCaption);
    layout->addWidget(m_caption);
    layout->addStretch();
    addButtons(page, "ApplyViews", "ExitViews");
    return page;
}

QWidget* OptionsDialog::buildJumperPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(qs("Frame3"));
    const QString number = m_input == 1 ? qs("6") : qs("7");
    auto* question = makeLabel(page, "Label3", qs("On the KSV board, Jumper ") + number + qs(" is:"));
    m_jumperInstalled = makeOption(page, "Option3", "Installed, 0 to 30 volt operation.");
    m_jumperRemoved = makeOption(page, "Option4", "Not Installed, 0 to 60 volt operation.");
    auto* group = new QButtonGroup(page);
    group->addButton(m_jumperInstalled);
    group->addButton(m_jumperRemoved);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(question);
    layout->addWidget(m_jumperInstalled);
    layout->addWidget(m_jumperRemoved);
    layout->addStretch();
    addButtons(page, "ApplyJumper", "ExitJumper");
    return page;
}

void OptionsDialog::addButtons(QWidget* page, const char* applyName, const char* exitName)
{
    auto* apply = new QPushButton(qs("Apply"), page);
    apply->setObjectName(qs(applyName));
    apply->setAccessibleName(qs("Apply"));
    auto* exit = new QPushButton(qs("Exit"), page);
    exit->setObjectName(qs(exitName));
    exit->setAccessibleName(qs("Exit"));
    // Enter in the notes box is a new line, not an Apply.
    apply->setAutoDefault(false);
    exit->setAutoDefault(false);
    connect(apply, &QPushButton::clicked, this, &OptionsDialog::apply);
    connect(exit, &QPushButton::clicked, this, &QWidget::close);

    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(apply);
    row->addWidget(exit);
    qobject_cast<QBoxLayout*>(page->layout())->addLayout(row);
}

void OptionsDialog::load()
{
    const auto& store = context().store;
    m_notes->setPlainText(store.value(m_columns.notes).toString());
    const bool graphic = store.value(m_columns.view).toInt() == 1;
    m_graphicView->setChecked(graphic);
    m_plainView->setChecked(!graphic);
    if (m_jumperInstalled) {
        const bool removed = store.value(m_columns.jumper).toInt() == 1;
        m_jumperRemoved->setChecked(removed);
        m_jumperInstalled->setChecked(!removed);
    }
    m_caption->setText(store.value(m_columns.caption).toString());
    setCaptionEditable(false);
    m_tabs->setCurrentIndex(0);
}

void OptionsDialog::setCaptionEditable(bool editable)
{
    m_caption->setEnabled(editable);
    // A style sheet rather than the palette: a skin's style sheet would repaint a palette colour.
    // The locked caption stays readable on the grey.
    m_caption->setStyleSheet(
        editable ? QStringLiteral("QLineEdit { background-color: %1; }").arg(kOpenCaption.name())
                 : QStringLiteral("QLineEdit { background-color: %1; color: #404040; }")
                       .arg(kLockedCaption.name()));
    if (editable)
        m_caption->setFocus(Qt::OtherFocusReason);
}

bool OptionsDialog::write(const QString& column, const QVariant& value)
{
    auto& store = context().store;
    if (store.writeCurrent({{column, value}}))
        return true;
    const QString why = store.lastError();
    context().prompter.inform(
        why.isEmpty() ? tr("The voltage %1 options could not be stored in the station database %2.")
                            .arg(m_input)
                            .arg(store.path())
                      : why);
    return false;
}

bool OptionsDialog::apply()
{
    // One write per setting, so a store that refuses one keeps the settings saved before it.
    if (!write(m_columns.notes, m_notes->toPlainText()))
        return false;
    if (m_changeCaption->isChecked() && !write(m_columns.caption, m_caption->text()))
        return false;
    if (!write(m_columns.view, m_graphicView->isChecked() ? 1 : 0))
        return false;
    if (m_jumperRemoved && !write(m_columns.jumper, m_jumperRemoved->isChecked() ? 1 : 0))
        return false;
    // The main window re-reads view flags and captions from the record just written: the ticked
    // caption appears at once, an unticked one stays as the record (and so the label) had it.
    if (m_mainForm)
        m_mainForm->applyStationDisplay();
    return true;
}

} // namespace kestavo::options
