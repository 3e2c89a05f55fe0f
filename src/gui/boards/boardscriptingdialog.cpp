#include "gui/boards/boardscriptingdialog.h"

#include <algorithm>
#include <string>
#include <vector>

#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "protocol/codes.h"
#include "protocol/frames.h"

#include "stations/stationstore.h"

#include "session/consolestate.h"
#include "session/session.h"

#include "platform/prompter.h"

namespace kestavo::daughterboards {

namespace {

// Reply indicator values this window owns: the decoder stored the board slot descriptions (2)
// or the slots' step codes (3).
constexpr int kListingStored = 2;
constexpr int kContentsStored = 3;

QString boardEntry(int board)
{
    return QStringLiteral("Relay Board %1 Commands").arg(board);
}

QString latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

QLabel* makeLabel(QWidget* parent, const QString& text, const QString& objectName = QString())
{
    auto* label = new QLabel(text, parent);
    if (!objectName.isEmpty())
        label->setObjectName(objectName);
    label->setAccessibleName(text);
    return label;
}

QPushButton* makeButton(QWidget* parent, const QString& caption, const QString& objectName)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    button->setAccessibleName(caption);
    return button;
}

QListWidget* makeList(QWidget* parent, const QString& objectName, const QString& accessibleName)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(objectName);
    list->setAccessibleName(accessibleName);
    return list;
}

} // namespace

BoardScriptingDialog::BoardScriptingDialog(core::Context& context, QWidget* returnTo,
                                           const BoardTimings& timings)
    : ConsoleDialog(context, false), m_returnTo(returnTo), m_timings(timings)
{
    setObjectName(QStringLiteral("RDBrelayScripting"));
    setWindowTitle(QStringLiteral("Relay Scripting     ") + stationBoxText());

    m_boardBox = new QComboBox(this);
    m_boardBox->setObjectName(QStringLiteral("Combo1"));
    m_boardBox->setAccessibleName(QCoreApplication::translate("kestavo::daughterboards", "Board"));
    m_boardBox->setEditable(true);
    m_boardBox->setInsertPolicy(QComboBox::NoInsert);
    for (int board = 1; board <= protocol::kBoards; ++board)
        m_boardBox->addItem(boardEntry(board));
    m_boardBox->setCurrentIndex(-1);
    m_boardBox->setEditText(QStringLiteral("RDB 1 Commands"));

    m_palette = makeList(this, QStringLiteral("List3"),
                         QCoreApplication::translate("kestavo::daughterboards", "Board commands"));
    m_steps = makeList(this, QStringLiteral("List2"),
                       QCoreApplication::translate("kestavo::daughterboards", "Script steps"));
    m_slots = makeList(this, QStringLiteral("List1"),
                       QCoreApplication::translate("kestavo::daughterboards", "Script slots"));
    m_palette->setToolTip(
        QCoreApplication::translate("kestavo::daughterboards", "Click a command to add it to the script"));
    m_steps->setToolTip(QCoreApplication::translate("kestavo::daughterboards", "Click a step to remove it"));
    for (QListWidget* list : {m_palette, m_steps})
        list->installEventFilter(this);
    // Room for a whole script and for all sixteen slots without scrolling.
    for (QListWidget* list : {m_palette, m_steps, m_slots})
        list->setMinimumHeight(list->fontMetrics().lineSpacing() * (protocol::kMaxBoardSteps + 1));
    m_scriptLabel = makeLabel(this, QStringLiteral("Script"), QStringLiteral("Label17"));

    m_execute = makeButton(this, QStringLiteral("Execute"), QStringLiteral("Command1"));
    m_upload = makeButton(this, QStringLiteral("Upload"), QStringLiteral("Command2"));
    m_refresh = makeButton(this, QStringLiteral("Refresh"), QStringLiteral("Command3"));
    m_close = makeButton(this, QStringLiteral("Close"), QStringLiteral("Command4"));

    m_descriptionPanel = new QFrame(this);
    m_descriptionPanel->setObjectName(QStringLiteral("Picture1"));
    m_descriptionPanel->setAccessibleName(
        QCoreApplication::translate("kestavo::daughterboards", "Script description"));
    m_descriptionPanel->setFrameShape(QFrame::StyledPanel);
    m_description = new QLineEdit(m_descriptionPanel);
    m_description->setObjectName(QStringLiteral("Text1"));
    m_description->setAccessibleName(QCoreApplication::translate("kestavo::daughterboards", "Description"));
    m_description->setMaxLength(int(protocol::kFieldWidth));
    auto* descriptionOk = makeButton(m_descriptionPanel, QStringLiteral("OK"), QStringLiteral("Command5"));
    auto* descriptionCancel =
        makeButton(m_descriptionPanel, QStringLiteral("Cancel"), QStringLiteral("Command6"));
    {
        auto* panel = new QGridLayout(m_descriptionPanel);
        panel->addWidget(makeLabel(m_descriptionPanel, QStringLiteral("Enter a script Description")), 0, 0, 1,
                         2);
        panel->addWidget(makeLabel(m_descriptionPanel, QStringLiteral("16 characters max.")), 1, 0, 1, 2);
        panel->addWidget(m_description, 2, 0, 1, 2);
        panel->addWidget(descriptionOk, 3, 0);
        panel->addWidget(descriptionCancel, 3, 1);
    }

    m_confirmPanel = new QFrame(this);
    m_confirmPanel->setObjectName(QStringLiteral("Picture2"));
    m_confirmPanel->setAccessibleName(
        QCoreApplication::translate("kestavo::daughterboards", "Execute confirmation"));
    m_confirmPanel->setFrameShape(QFrame::StyledPanel);
    m_slotQuestion = makeLabel(m_confirmPanel, QStringLiteral("in Slot # 1 ?"), QStringLiteral("Label20"));
    auto* yes = makeButton(m_confirmPanel, QStringLiteral("YES"), QStringLiteral("Command8"));
    auto* no = makeButton(m_confirmPanel, QStringLiteral("NO"), QStringLiteral("Command7"));
    {
        auto* panel = new QGridLayout(m_confirmPanel);
        panel->addWidget(makeLabel(m_confirmPanel, QStringLiteral("Are you sure you want to")), 0, 0, 1, 2);
        panel->addWidget(makeLabel(m_confirmPanel, QStringLiteral("Execute a relay script")), 1, 0, 1, 2);
        panel->addWidget(m_slotQuestion, 2, 0, 1, 2);
        panel->addWidget(yes, 3, 0);
        panel->addWidget(no, 3, 1);
    }
    m_descriptionPanel->hide();
    m_confirmPanel->hide();

    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(m_boardBox);
    left->addWidget(m_palette);
    auto* middle = new QVBoxLayout;
    middle->addWidget(m_scriptLabel);
    middle->addWidget(m_steps);
    auto* right = new QVBoxLayout;
    right->addWidget(makeLabel(this, QCoreApplication::translate("kestavo::daughterboards", "Slots")));
    right->addWidget(m_slots);
    right->addWidget(m_descriptionPanel);
    right->addWidget(m_confirmPanel);
    columns->addLayout(left);
    columns->addLayout(middle);
    columns->addLayout(right);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_execute, m_upload, m_refresh, m_close})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);

    m_contentsTimer = new QTimer(this);
    m_contentsTimer->setObjectName(QStringLiteral("Timer2"));
    m_contentsTimer->setSingleShot(true);
    m_contentsTimer->setInterval(m_timings.contentsDelayMs);
    connect(m_contentsTimer, &QTimer::timeout, this, &BoardScriptingDialog::requestContents);

    connect(m_boardBox, &QComboBox::currentTextChanged, this, &BoardScriptingDialog::chooseBoard);
    connect(m_palette, &QListWidget::itemClicked, this, &BoardScriptingDialog::appendStep);
    connect(m_steps, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { delete item; });
    // A click on the selected slot shows it again, replacing what was being edited.
    connect(m_slots, &QListWidget::itemClicked, this, [this] {
        if (m_contentsShown)
            showSlotContents();
    });
    connect(m_slots, &QListWidget::currentRowChanged, this, [this] {
        if (m_contentsShown)
            showSlotContents();
    });
    connect(m_execute, &QPushButton::clicked, this, &BoardScriptingDialog::startExecute);
    connect(m_upload, &QPushButton::clicked, this, &BoardScriptingDialog::startUpload);
    connect(m_refresh, &QPushButton::clicked, this, &BoardScriptingDialog::refresh);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);
    connect(descriptionOk, &QPushButton::clicked, this, &BoardScriptingDialog::confirmUpload);
    connect(descriptionCancel, &QPushButton::clicked, this, [this] {
        showPanels(false, false);
        setMainButtonsEnabled(true);
    });
    connect(m_description, &QLineEdit::returnPressed, this, &BoardScriptingDialog::confirmUpload);
    connect(yes, &QPushButton::clicked, this, &BoardScriptingDialog::confirmExecute);
    connect(no, &QPushButton::clicked, this, [this] {
        showPanels(false, false);
        setMainButtonsEnabled(true);
    });
    connect(&context.state, &core::ConsoleState::replyIndicatorChanged, this,
            &BoardScriptingDialog::onReplyIndicator);

    fillPalette(1);
    refresh();
}

void BoardScriptingDialog::refresh()
{
    m_contentsShown = false;
    m_slots->clear();
    m_steps->clear();
    sendFrame(protocol::boardListingFrame(context().session.password()));
}

void BoardScriptingDialog::requestContents()
{
    sendFrame(protocol::boardContentsFrame(context().session.password()));
}

void BoardScriptingDialog::onReplyIndicator(int value)
{
    core::ConsoleState& state = context().state;
    if (value == kListingStored) {
        state.setReplyIndicator(0);
        m_slots->clear();
        for (int slot = 0; slot < protocol::kBoardSlots; ++slot)
            m_slots->addItem(state.boardDescription(slot));
        m_slots->setCurrentRow(0);
        m_contentsTimer->start();
    } else if (value == kContentsStored) {
        state.setReplyIndicator(0);
        m_contentsShown = true;
        showSlotContents();
    }
    // Other values belong to the relay-script windows.
}

void BoardScriptingDialog::fillPalette(int board)
{
    m_palette->clear();
    for (const std::string& text : protocol::boardPalette(board))
        m_palette->addItem(latin1(text));
}

void BoardScriptingDialog::chooseBoard(const QString& text)
{
    for (int board = 1; board <= protocol::kBoards; ++board) {
        if (text == boardEntry(board)) {
            fillPalette(board);
            return;
        }
    }
}

void BoardScriptingDialog::appendStep(QListWidgetItem* item)
{
    if (!item)
        return;
    if (m_steps->count() >= protocol::kMaxBoardSteps) {
        context().prompter.inform(QStringLiteral("Script Full !"));
        return;
    }
    m_steps->addItem(item->text());
}

void BoardScriptingDialog::showSlotContents()
{
    const int slot = m_slots->currentRow();
    if (slot < 0 || slot >= protocol::kBoardSlots)
        return;
    const core::ConsoleState& state = context().state;
    m_steps->clear();
    m_scriptLabel->setText(state.boardDescription(slot));
    for (std::uint8_t code : state.boardCodes(slot)) {
        if (const auto text = protocol::boardStepDisplayText(code))
            m_steps->addItem(latin1(*text));
    }
}

void BoardScriptingDialog::setMainButtonsEnabled(bool enabled)
{
    for (QPushButton* button : {m_execute, m_upload, m_refresh, m_close})
        button->setEnabled(enabled);
}

void BoardScriptingDialog::showPanels(bool description, bool confirmation)
{
    m_descriptionPanel->setVisible(description);
    m_confirmPanel->setVisible(confirmation);
}

void BoardScriptingDialog::startUpload()
{
    showPanels(true, false);
    setMainButtonsEnabled(false);
    m_description->setFocus();
}

void BoardScriptingDialog::confirmUpload()
{
    platform::Prompter& prompter = context().prompter;
    const QString description = m_description->text();
    if (description.isEmpty()) {
        prompter.inform(QStringLiteral("Enter a Script Description!"));
        return;
    }
    // One byte per character on the wire: anything else would reach the unit as '?'.
    if (std::any_of(description.cbegin(), description.cend(), [](QChar c) { return c.unicode() > 0xFF; })) {
        prompter.inform(tr("The description \"%1\" holds a character the unit cannot store "
                           "(it takes Latin-1 letters, digits and signs only). Change the "
                           "description and press OK again.")
                            .arg(description));
        return;
    }
    std::vector<std::string> lines;
    lines.reserve(std::size_t(m_steps->count()));
    for (int row = 0; row < m_steps->count(); ++row) {
        const QString text = m_steps->item(row)->text();
        lines.push_back(text.toLatin1().toStdString());
        // A step without a code would go out as an empty step and silently end the script there.
        if (!protocol::boardStepCode(lines.back())) {
            prompter.inform(tr("The step \"%1\" is not one the unit knows. Remove it from the "
                               "script and press OK again.")
                                .arg(text.trimmed()));
            return;
        }
    }
    setMainButtonsEnabled(true);
    const auto codes = protocol::boardCodesFor(lines);

    const int index = m_slots->currentRow();
    if (index < 0) {
        prompter.inform(QStringLiteral("Some weird error 1!"));
        return;
    }
    if (index >= protocol::kBoardSlots) {
        prompter.inform(QStringLiteral("Some weird error 2!"));
        return;
    }
    sendFrame(protocol::boardUploadFrame(protocol::boardSlotCode(index + 1),
                                         protocol::padField(description.toLatin1().toStdString()), codes,
                                         context().session.password()));
    m_descriptionPanel->hide();
}

void BoardScriptingDialog::startExecute()
{
    const int index = m_slots->currentRow();
    if (index < 0) {
        context().prompter.inform(QStringLiteral("Some weird error 1!"));
        return;
    }
    if (index >= protocol::kBoardSlots) {
        context().prompter.inform(QStringLiteral("Some weird error 2!"));
        return;
    }
    m_slotQuestion->setText(QStringLiteral("in Slot # %1 ?").arg(index + 1));
    m_slotQuestion->setAccessibleName(m_slotQuestion->text());
    showPanels(false, true);
    setMainButtonsEnabled(false);
}

void BoardScriptingDialog::confirmExecute()
{
    showPanels(false, false);
    setMainButtonsEnabled(true);
    if (m_steps->count() == 0) {
        context().prompter.inform(QStringLiteral("Make a Script First!"));
        return;
    }
    // A listing that arrived while the question was open refills the slot list; the question
    // named a slot, so a lost selection must not fall back to another one.
    const int index = m_slots->currentRow();
    if (index < 0 || index >= protocol::kBoardSlots) {
        context().prompter.inform(QStringLiteral("Some weird error 1!"));
        return;
    }
    if (sendFrame(
            protocol::boardExecuteFrame(protocol::boardSlotCode(index + 1), context().session.password())))
        close();
}

bool BoardScriptingDialog::eventFilter(QObject* watched, QEvent* event)
{
    // The keyboard does what a click does: Enter adds the current command, Enter or Delete on a
    // step removes it.
    if (event->type() != QEvent::KeyPress)
        return ConsoleDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == m_palette && enter) {
        appendStep(m_palette->currentItem());
        return true;
    }
    if (watched == m_steps && (enter || key == Qt::Key_Delete)) {
        delete m_steps->currentItem();
        return true;
    }
    return ConsoleDialog::eventFilter(watched, event);
}

void BoardScriptingDialog::done(int result)
{
    ConsoleDialog::done(result);
    if (!m_returnTo)
        return;
    // Shown on the next turn of the event loop: when the main window unloads every window, it
    // sets the exiting flag right after closing this one, and `RDB` then closes instead.
    QPointer<QWidget> target = m_returnTo;
    m_returnTo.clear();
    core::ConsoleState* state = &context().state;
    QTimer::singleShot(0, target.data(), [target, state] {
        if (!target)
            return;
        if (state->exiting())
            target->close();
        else
            target->show();
    });
}

} // namespace kestavo::daughterboards
