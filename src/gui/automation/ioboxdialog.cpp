#include "gui/automation/ioboxdialog.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "protocol/codes.h"
#include "protocol/frames.h"

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

// Fields of a box's setting in the console state.
constexpr int kFlagField = 0;
constexpr int kCodeFor0Field = 1;
constexpr int kCodeFor1Field = 2;

void connectPreview(QObject* owner, QListWidget* slotList, QListWidget* steps,
                    const core::ConsoleState& state)
{
    auto preview = [slotList, steps, &state](int row) {
        if (row >= 0 && row < slotList->count())
            showSlotPreview(*steps, state.slotTable(), row);
    };
    QObject::connect(slotList, &QListWidget::currentRowChanged, owner, preview);
    QObject::connect(slotList, &QListWidget::itemClicked, owner,
                     [slotList, preview](QListWidgetItem* item) { preview(slotList->row(item)); });
}

} // namespace

IoBoxDialog::IoBoxDialog(core::Context& context, int boxIndex)
    : ConsoleDialog(context), m_box(boxIndex),
      m_disable(makeOption(this, qs("Option1"), qs("Disable I/O state change action."))),
      m_run(makeOption(this, qs("Option2"), qs("Run a Relay Script when I/O states change"))),
      m_slotsFor0(makeList(this, qs("List1"),
                           QCoreApplication::translate("kestavo::automation", "Relay Script for a 0"))),
      m_stepsFor0(
          makeList(this, qs("List2"),
                   QCoreApplication::translate("kestavo::automation", "Steps of the Relay Script for a 0"))),
      m_slotsFor1(makeList(this, qs("List3"),
                           QCoreApplication::translate("kestavo::automation", "Relay Script for a 1"))),
      m_stepsFor1(
          makeList(this, qs("List4"),
                   QCoreApplication::translate("kestavo::automation", "Steps of the Relay Script for a 1")))
{
    const QString number = QString::number(boxIndex + 1);
    setObjectName(qs("ioBox"));
    setWindowTitle(qs("I/O BOX ") + number);

    QLabel* numberLabel = makeLabel(this, qs("Label1"), number);
    numberLabel->setAccessibleName(QCoreApplication::translate("kestavo::automation", "I/O box number"));
    QFont big = numberLabel->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    numberLabel->setFont(big);

    auto* options = new QButtonGroup(this);
    options->addButton(m_disable);
    options->addButton(m_run);
    m_disable->setChecked(true);
    connect(m_disable, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            setSlotListsEnabled(false);
    });
    connect(m_run, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            setSlotListsEnabled(true);
    });

    auto* uploadButton = makeButton(this, qs("Upload"), qs("Upload"));
    auto* refreshButton = makeButton(this, qs("Refresh"), qs("Refresh"));
    auto* cancelButton = makeButton(this, qs("Cancel"), qs("Cancel"));
    connect(uploadButton, &QPushButton::clicked, this, &IoBoxDialog::upload);
    connect(refreshButton, &QPushButton::clicked, this, &IoBoxDialog::refresh);
    connect(cancelButton, &QPushButton::clicked, this, &QWidget::close);

    auto* top = new QHBoxLayout;
    auto* optionColumn = new QVBoxLayout;
    optionColumn->addWidget(m_disable);
    optionColumn->addWidget(m_run);
    top->addWidget(numberLabel);
    top->addLayout(optionColumn, 1);

    auto* lists = new QGridLayout;
    lists->addWidget(
        makeLabel(this, qs("Label2"),
                  QCoreApplication::translate("kestavo::automation",
                                              "Run this Relay Script when the I/O pin is a \"0\":")),
        0, 0, 1, 2);
    lists->addWidget(m_slotsFor0, 1, 0);
    lists->addWidget(m_stepsFor0, 1, 1);
    lists->addWidget(
        makeLabel(this, qs("Label3"),
                  QCoreApplication::translate("kestavo::automation",
                                              "Run this Relay Script when the I/O pin is a \"1\":")),
        2, 0, 1, 2);
    lists->addWidget(m_slotsFor1, 3, 0);
    lists->addWidget(m_stepsFor1, 3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refreshButton);
    buttons->addStretch();
    buttons->addWidget(uploadButton);
    buttons->addWidget(cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(lists);
    layout->addLayout(buttons);

    connectPreview(this, m_slotsFor0, m_stepsFor0, context.state);
    connectPreview(this, m_slotsFor1, m_stepsFor1, context.state);
    connect(&context.state, &core::ConsoleState::replyIndicatorChanged, this, &IoBoxDialog::onReplyIndicator);

    // The lists show the slot table the console holds; Refresh asks the unit for a fresh one.
    setSlotListsEnabled(false);
    fillLists();
    showCurrentSetting();
    waitForUnitReport({m_disable, m_run, uploadButton}, [this] { showCurrentSetting(); });
}

void IoBoxDialog::setSlotListsEnabled(bool enabled)
{
    m_slotsFor0->setEnabled(enabled);
    m_slotsFor1->setEnabled(enabled);
}

void IoBoxDialog::fillLists()
{
    m_stepsFor0->clear();
    m_stepsFor1->clear();
    fillSlotList(*m_slotsFor0, context().state.slotTable());
    fillSlotList(*m_slotsFor1, context().state.slotTable());
}

void IoBoxDialog::showCurrentSetting()
{
    const core::ConsoleState& state = context().state;
    switch (state.ioSetting(m_box, kFlagField)) {
    case 0:
        m_disable->setChecked(true);
        setSlotListsEnabled(false);
        break;
    case 1:
        m_run->setChecked(true);
        setSlotListsEnabled(true);
        selectSlotByCode(*m_slotsFor0, state.ioSetting(m_box, kCodeFor0Field));
        selectSlotByCode(*m_slotsFor1, state.ioSetting(m_box, kCodeFor1Field));
        break;
    default:
        break; // a flag the console does not know: leave the options as they are
    }
}

void IoBoxDialog::onReplyIndicator(int value)
{
    if (value < 1)
        return;
    context().state.setReplyIndicator(0);
    fillLists();
    showCurrentSetting();
}

void IoBoxDialog::refresh()
{
    sendFrame(protocol::readRequestFrame(context().session.password()));
}

void IoBoxDialog::upload()
{
    auto& prompter = context().prompter;
    const protocol::SlotTable& table = context().state.slotTable();
    int codeFor0 = 0;
    int codeFor1 = 0;
    if (!m_disable->isChecked()) {
        const int row0 = selectedRow(*m_slotsFor0);
        const int row1 = selectedRow(*m_slotsFor1);
        if (row0 < 0) {
            prompter.inform(qs("Choose a Relay Script to execute when I/O state changes to 0 !"));
            return;
        }
        if (row1 < 0) {
            prompter.inform(qs("Choose a Relay Script to execute when I/O state changes to 1 !"));
            return;
        }
        if (row0 >= protocol::kScriptSlots) {
            prompter.inform(qs("Some weird error 3!"));
            return;
        }
        if (!slotHoldsScript(table, row0)) {
            prompter.inform(qs("Make a Relay Script first!"));
            return;
        }
        if (row1 >= protocol::kScriptSlots) {
            prompter.inform(qs("Some weird error 4!"));
            return;
        }
        if (!slotHoldsScript(table, row1)) {
            prompter.inform(qs("Make a Relay Script first!"));
            return;
        }
        codeFor0 = protocol::slotCode(row0 + 1);
        codeFor1 = protocol::slotCode(row1 + 1);
    }
    const int action = m_run->isChecked() ? 1 : 0;
    sendFrame(protocol::ioTriggerFrame(m_box, action, codeFor0, codeFor1, context().session.password()));
    close();
}

} // namespace kestavo::automation
