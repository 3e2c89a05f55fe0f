#include "gui/automation/relayscriptingdialog.h"

#include <string>
#include <vector>

#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "protocol/codes.h"
#include "protocol/frames.h"

#include "stations/stationstore.h"

#include "session/consolestate.h"
#include "session/session.h"

#include "gui/automation/controls.h"
#include "gui/automation/slotlists.h"
#include "platform/prompter.h"

namespace kestavo::automation {

namespace {

QString qs(const char* text)
{
    return QString::fromLatin1(text);
}

// The unit stores 16 description characters; the last one stays a space so the text never runs
// into the fill.
constexpr int kDescriptionLength = 15;

const QString kUploadQuestion = qs("Are you sure that you want to Upload this Script to ");
const QString kExecuteQuestion = qs("Are you sure that you want to Execute this Script in ");

} // namespace

RelayScriptingDialog::RelayScriptingDialog(core::Context& context)
    : ConsoleDialog(context), m_slots(makeList(this, qs("List1"), qs("Script Name"))),
      m_steps(makeList(this, qs("List2"), qs("My Script"))),
      m_palette(makeList(this, qs("List3"), qs("Commands"))),
      m_stepsHeading(makeLabel(this, qs("MyScriptHeading"), qs("My Script"))),
      m_description(new QLineEdit(this))
{
    setObjectName(qs("RelayScripting"));
    setWindowTitle(qs("Relay Scripting     ") + stationBoxText());

    // A full box still takes Backspace, Delete and selection: only the length is limited.
    m_description->setObjectName(qs("Text1"));
    m_description->setAccessibleName(QCoreApplication::translate("kestavo::automation", "Description"));
    m_description->setMaxLength(kDescriptionLength);

    // Tall enough for the whole palette without scrolling.
    for (QListWidget* list : {m_slots, m_steps, m_palette})
        list->setMinimumHeight(list->fontMetrics().height() * 13);

    auto* grid = new QGridLayout;
    grid->addWidget(makeLabel(this, qs("ScriptNameHeading"), qs("Script Name")), 0, 0);
    grid->addWidget(m_stepsHeading, 0, 1);
    grid->addWidget(makeLabel(this, qs("CommandsHeading"), qs("Commands")), 0, 2);
    grid->addWidget(m_slots, 1, 0);
    grid->addWidget(m_steps, 1, 1);
    grid->addWidget(m_palette, 1, 2);

    const std::array<std::pair<const char*, const char*>, 4> mainButtons{{
        {"Refresh", "Refresh"},
        {"Close", "Close"},
        {"UploadScript", "Upload Script"},
        {"ExecuteScript", "Execute Script"},
    }};
    auto* buttonRow = new QHBoxLayout;
    for (std::size_t i = 0; i < mainButtons.size(); ++i) {
        m_mainButtons[i] = makeButton(this, qs(mainButtons[i].first), qs(mainButtons[i].second));
        buttonRow->addWidget(m_mainButtons[i]);
    }
    connect(m_mainButtons[0], &QPushButton::clicked, this, &RelayScriptingDialog::refresh);
    connect(m_mainButtons[1], &QPushButton::clicked, this, &QWidget::close);
    connect(m_mainButtons[2], &QPushButton::clicked, this, &RelayScriptingDialog::startUpload);
    connect(m_mainButtons[3], &QPushButton::clicked, this, &RelayScriptingDialog::startExecute);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    buildPanels();
    for (QFrame* frame : m_panels)
        layout->addWidget(frame);
    layout->addLayout(buttonRow);

    // A mouse click on the chosen slot shows its steps again after editing; keyboard moves and the
    // selection made when a slot table arrives change the current row.
    connect(m_slots, &QListWidget::currentRowChanged, this, &RelayScriptingDialog::previewSlot);
    connect(m_slots, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { previewSlot(m_slots->row(item)); });
    connect(m_steps, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { delete item; });
    connect(m_palette, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { addStep(m_palette->row(item)); });
    connect(&context.state, &core::ConsoleState::replyIndicatorChanged, this,
            &RelayScriptingDialog::onReplyIndicator);

    for (const protocol::StepCode& step : protocol::relaySteps())
        m_palette->addItem(QString::fromLatin1(step.text.data(), qsizetype(step.text.size())));
    refresh();
    // A slot table that arrived while no dialog was open is shown at once; the answer to the
    // request just sent replaces it.
    onReplyIndicator(context.state.replyIndicator());
}

void RelayScriptingDialog::buildPanels()
{
    struct PanelLayout
    {
        const char* name;
        const char* heading;
        const char* text;
        std::vector<std::pair<const char*, const char*>> buttons; // objectName, caption
    };
    const std::array<PanelLayout, 6> panels{{
        {"UploadPanel",
         "WARNING !!!",
         "Are you sure that you want to Upload this Script to ",
         {{"UploadYes", "YES"}, {"UploadNo", "NO"}}},
        {"ExecutePanel",
         "WARNING !!!",
         "Are you sure that you want to Execute this Script in ",
         {{"ExecuteYes", "YES"}, {"ExecuteNo", "NO"}}},
        {"DescriptionPanel",
         "",
         "Enter a Description of this Relay Script",
         {{"DescriptionOk", "OK"}, {"DescriptionCancel", "Cancel"}}},
        {"EmptyScriptPanel", "ERROR !!", "Make a Script first !", {{"EmptyScriptOk", "OK"}}},
        {"FullScriptPanel", "ERROR !!", "Script FULL !", {{"FullScriptOk", "OK"}}},
        {"NoDescriptionPanel", "ERROR !!", "No Description !", {{"NoDescriptionOk", "OK"}}},
    }};
    std::array<std::vector<QPushButton*>, 6> buttons;
    for (std::size_t i = 0; i < panels.size(); ++i) {
        const PanelLayout& panel = panels[i];
        auto* frame = new QFrame(this);
        frame->setObjectName(qs(panel.name));
        frame->setFrameShape(QFrame::StyledPanel);
        frame->setAccessibleName(QString::fromLatin1(*panel.heading ? panel.heading : panel.text));
        auto* box = new QVBoxLayout(frame);
        if (*panel.heading) {
            QLabel* heading = makeLabel(frame, qs(panel.name) + qs("Heading"), qs(panel.heading));
            QFont bold = heading->font();
            bold.setBold(true);
            heading->setFont(bold);
            box->addWidget(heading);
        }
        QLabel* text = makeLabel(frame, qs(panel.name) + qs("Text"), qs(panel.text));
        box->addWidget(text);
        if (i == std::size_t(Panel::Upload))
            m_uploadText = text;
        else if (i == std::size_t(Panel::Execute))
            m_executeText = text;
        else if (i == std::size_t(Panel::Description))
            box->addWidget(m_description);
        auto* row = new QHBoxLayout;
        row->addStretch();
        for (const auto& [name, caption] : panel.buttons) {
            buttons[i].push_back(makeButton(frame, qs(name), qs(caption)));
            row->addWidget(buttons[i].back());
        }
        box->addLayout(row);
        frame->hide();
        m_panels[i] = frame;
    }

    auto onClick = [this](QPushButton* button, void (RelayScriptingDialog::*handler)()) {
        connect(button, &QPushButton::clicked, this, handler);
    };
    onClick(buttons[std::size_t(Panel::Upload)][0], &RelayScriptingDialog::askDescription);
    onClick(buttons[std::size_t(Panel::Upload)][1], &RelayScriptingDialog::endFlow);
    onClick(buttons[std::size_t(Panel::Execute)][0], &RelayScriptingDialog::execute);
    onClick(buttons[std::size_t(Panel::Execute)][1], &RelayScriptingDialog::endFlow);
    onClick(buttons[std::size_t(Panel::Description)][0], &RelayScriptingDialog::upload);
    onClick(buttons[std::size_t(Panel::Description)][1], &RelayScriptingDialog::endFlow);
    onClick(buttons[std::size_t(Panel::EmptyScript)][0], &RelayScriptingDialog::endFlow);
    onClick(buttons[std::size_t(Panel::FullScript)][0], &RelayScriptingDialog::endFlow);
    onClick(buttons[std::size_t(Panel::NoDescription)][0], &RelayScriptingDialog::askDescription);
}

void RelayScriptingDialog::showPanel(Panel which)
{
    for (std::size_t i = 0; i < m_panels.size(); ++i)
        m_panels[i]->setVisible(i == std::size_t(which));
}

void RelayScriptingDialog::hidePanels()
{
    for (QFrame* frame : m_panels)
        frame->hide();
}

void RelayScriptingDialog::setMainButtonsEnabled(bool enabled)
{
    for (QPushButton* button : m_mainButtons)
        button->setEnabled(enabled);
}

void RelayScriptingDialog::endFlow()
{
    hidePanels();
    setMainButtonsEnabled(true);
    leaveQuestion();
}

void RelayScriptingDialog::leaveQuestion()
{
    if (!m_confirmedSlot)
        return;
    m_confirmedSlot.reset();
    onReplyIndicator(context().state.replyIndicator());
}

void RelayScriptingDialog::refresh()
{
    m_slots->clear();
    m_steps->clear();
    sendFrame(protocol::readRequestFrame(context().session.password()));
}

void RelayScriptingDialog::onReplyIndicator(int value)
{
    if (value != 1 || m_confirmedSlot)
        return;
    context().state.setReplyIndicator(0);
    fillSlotList(*m_slots, context().state.slotTable());
    m_slots->setCurrentRow(0);
}

void RelayScriptingDialog::previewSlot(int row)
{
    if (row < 0 || row >= m_slots->count())
        return;
    showSlotPreview(*m_steps, context().state.slotTable(), row);
    m_stepsHeading->setText(m_slots->item(row)->text());
}

void RelayScriptingDialog::addStep(int paletteRow)
{
    if (m_steps->count() >= protocol::kMaxScriptSteps) {
        showPanel(Panel::FullScript);
        return;
    }
    m_steps->addItem(m_palette->item(paletteRow)->text());
}

std::optional<QString> RelayScriptingDialog::slotQuestion()
{
    const int row = selectedRow(*m_slots);
    if (row < 0) {
        context().prompter.inform(qs("Some weird error 1!"));
        return std::nullopt;
    }
    if (row >= protocol::kScriptSlots) {
        context().prompter.inform(qs("Some weird error 2!"));
        return std::nullopt;
    }
    return QStringLiteral("Slot # %1 ?").arg(row + 1);
}

void RelayScriptingDialog::startUpload()
{
    setMainButtonsEnabled(false);
    if (m_steps->count() == 0) {
        showPanel(Panel::EmptyScript);
        return;
    }
    // The panel stays up even without a slot: its NO is the way back to the main buttons.
    m_uploadText->setText(kUploadQuestion);
    showPanel(Panel::Upload);
    if (const std::optional<QString> question = slotQuestion()) {
        m_uploadText->setText(kUploadQuestion + *question);
        m_confirmedSlot = selectedRow(*m_slots);
    }
}

void RelayScriptingDialog::startExecute()
{
    setMainButtonsEnabled(false);
    if (m_steps->count() == 0) {
        showPanel(Panel::EmptyScript);
        return;
    }
    m_executeText->setText(kExecuteQuestion);
    showPanel(Panel::Execute);
    if (const std::optional<QString> question = slotQuestion()) {
        m_executeText->setText(kExecuteQuestion + *question);
        m_confirmedSlot = selectedRow(*m_slots);
    }
}

void RelayScriptingDialog::askDescription()
{
    showPanel(Panel::Description);
    m_description->clear();
    m_description->setFocus();
}

void RelayScriptingDialog::upload()
{
    hidePanels();
    const QString description = m_description->text();
    if (description.isEmpty()) {
        showPanel(Panel::NoDescription);
        return;
    }
    std::vector<std::string> steps;
    for (const QString& text : itemTexts(*m_steps))
        steps.push_back(text.toStdString());
    const std::string codeField = protocol::codeFieldFor(steps);

    if (m_confirmedSlot || slotQuestion()) {
        const int row = m_confirmedSlot.value_or(selectedRow(*m_slots));
        sendFrame(protocol::scriptUploadFrame(protocol::slotCode(row + 1), codeField,
                                              description.toLatin1().toStdString(),
                                              context().session.password()));
    }
    setMainButtonsEnabled(true);
    leaveQuestion();
}

void RelayScriptingDialog::execute()
{
    hidePanels();
    // The steps can be clicked away while the question is up.
    if (m_steps->count() == 0) {
        context().prompter.inform(qs("Make a Script First!"));
        setMainButtonsEnabled(true);
        leaveQuestion();
        return;
    }
    if (!m_confirmedSlot && !slotQuestion()) {
        setMainButtonsEnabled(true);
        return;
    }
    const int row = m_confirmedSlot.value_or(selectedRow(*m_slots));
    m_confirmedSlot.reset();
    sendFrame(protocol::scriptExecuteFrame(protocol::slotCode(row + 1), context().session.password()));
    close();
}

} // namespace kestavo::automation
