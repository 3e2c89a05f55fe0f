#include "gui/automation/timerdialog.h"

#include <algorithm>

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "protocol/codes.h"
#include "protocol/frames.h"

#include "stations/stationformat.h"

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

const QString kOneShot =
    qs("This timer should execute a Relay Script only one time after counting down. (one shot)");
const QString kContinuous = qs("This timer should execute a Relay Script after counting down then reload the "
                               "timer and start again. (continous)");

// Whole number 0..maximum, digits only (leading zeros as in the lists' "05"), or nothing.
std::optional<int> wholeNumber(const QString& typed, int maximum)
{
    const QString text = stations::trimSpaces(typed);
    if (text.isEmpty() ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value > maximum)
        return std::nullopt;
    return value;
}

} // namespace

const std::array<TimerDialog::DelayUnit, 4>& TimerDialog::delayUnits()
{
    static const std::array<DelayUnit, 4> units{{
        {"Combo1", "days", 30, 86400},
        {"Combo2", "hours", 24, 3600},
        {"Combo3", "minutes", 60, 60},
        {"Combo4", "seconds", 60, 1},
    }};
    return units;
}

TimerDialog::TimerDialog(core::Context& context)
    : ConsoleDialog(context), m_slots(makeList(this, qs("List1"), qs("Relay Scripts"))),
      m_slotText(new QLineEdit(qs("Choose a Relay Script!"), this)),
      m_steps(makeList(this, qs("List2"),
                       QCoreApplication::translate("kestavo::automation", "Relay Script steps"))),
      m_oneShot(makeOption(this, qs("Option1"), kOneShot)),
      m_continuous(makeOption(this, qs("Option2"), kContinuous))
{
    setObjectName(qs("Timer"));
    setWindowTitle(qs("Relay Timer"));

    m_slotText->setObjectName(qs("Text1"));
    m_slotText->setAccessibleName(QCoreApplication::translate("kestavo::automation", "Chosen Relay Script"));
    m_slotText->setReadOnly(true);

    // Readout: days "-" hours ":" minutes ":" seconds.
    auto* readout = new QHBoxLayout;
    auto* boxes = new QHBoxLayout;
    const std::array<const char*, 4> readoutNames{"DaysReadout", "HoursReadout", "MinutesReadout",
                                                  "SecondsReadout"};
    const std::array<const char*, 3> separators{"-", ":", ":"};
    for (std::size_t i = 0; i < delayUnits().size(); ++i) {
        const DelayUnit& unit = delayUnits()[i];
        auto* box = new QComboBox(this);
        box->setObjectName(qs(unit.boxName));
        box->setAccessibleName(qs("Delay ") + qs(unit.unitName));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        for (int v = 0; v <= unit.maximum; ++v)
            box->addItem(QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')));
        box->setCurrentIndex(-1);
        box->setEditText(qs("0"));
        m_delayBoxes[i] = box;
        boxes->addWidget(makeLabel(this, qs(unit.unitName) + qs("Label"), qs(unit.unitName)));
        boxes->addWidget(box);

        m_readouts[i] = makeLabel(this, qs(readoutNames[i]), qs("00"));
        m_readouts[i]->setAccessibleName(qs("Delay ") + qs(unit.unitName) + qs(" readout"));
        m_readouts[i]->setWordWrap(false);
        readout->addWidget(m_readouts[i]);
        if (i < separators.size())
            readout->addWidget(makeLabel(this, QStringLiteral("Separator%1").arg(i + 1), qs(separators[i])));
        // A list choice sets the edit text too: one handler serves both ways of choosing.
        connect(box, &QComboBox::editTextChanged, this,
                [this, i](const QString& text) { m_readouts[i]->setText(text); });
    }
    readout->addStretch();

    auto* modes = new QButtonGroup(this);
    modes->addButton(m_oneShot);
    modes->addButton(m_continuous);
    m_oneShot->setChecked(true);

    auto* setButton = makeButton(this, qs("SetTimer"), qs("Set Timer"));
    auto* stopButton = makeButton(this, qs("StopTimer"), qs("Stop Timer"));
    auto* refreshButton = makeButton(this, qs("Refresh"), qs("Refresh"));
    auto* cancelButton = makeButton(this, qs("Cancel"), qs("Cancel"));
    connect(setButton, &QPushButton::clicked, this, &TimerDialog::setTimer);
    connect(stopButton, &QPushButton::clicked, this, &TimerDialog::stopTimer);
    connect(refreshButton, &QPushButton::clicked, this, &TimerDialog::refresh);
    connect(cancelButton, &QPushButton::clicked, this, &QWidget::close);

    auto* lists = new QGridLayout;
    lists->addWidget(m_slots, 0, 0, 2, 1);
    lists->addWidget(m_slotText, 0, 1);
    lists->addWidget(m_steps, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(setButton);
    buttons->addWidget(stopButton);
    buttons->addWidget(refreshButton);
    buttons->addStretch();
    buttons->addWidget(cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists);
    layout->addLayout(boxes);
    layout->addLayout(readout);
    layout->addWidget(m_oneShot);
    layout->addWidget(m_continuous);
    layout->addLayout(buttons);

    connect(m_slots, &QListWidget::currentRowChanged, this, &TimerDialog::chooseSlot);
    connect(m_slots, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { chooseSlot(m_slots->row(item)); });
    connect(&context.state, &core::ConsoleState::replyIndicatorChanged, this, &TimerDialog::onReplyIndicator);

    refresh();
    // A slot table that arrived while no dialog was open is shown at once; the answer to the
    // request just sent replaces it.
    onReplyIndicator(context.state.replyIndicator());
}

void TimerDialog::refresh()
{
    m_slots->clear();
    sendFrame(protocol::readRequestFrame(context().session.password()));
}

void TimerDialog::onReplyIndicator(int value)
{
    if (value < 1)
        return;
    context().state.setReplyIndicator(0);
    fillSlotList(*m_slots, context().state.slotTable());
}

void TimerDialog::chooseSlot(int row)
{
    if (row < 0 || row >= m_slots->count())
        return;
    m_chosenSlot = row;
    m_slotText->setText(m_slots->item(row)->text());
    showSlotPreview(*m_steps, context().state.slotTable(), row);
}

std::optional<std::uint32_t> TimerDialog::delaySeconds()
{
    std::uint32_t total = 0;
    for (std::size_t i = 0; i < delayUnits().size(); ++i) {
        const DelayUnit& unit = delayUnits()[i];
        const QString typed = m_delayBoxes[i]->currentText();
        const std::optional<int> value = wholeNumber(typed, unit.maximum);
        if (!value) {
            context().prompter.inform(tr("The %1 box holds \"%2\", which is no delay. Choose a value "
                                         "from its list or type a whole number from 0 to %3.")
                                          .arg(qs(unit.unitName), typed)
                                          .arg(unit.maximum));
            m_delayBoxes[i]->setFocus();
            return std::nullopt;
        }
        total += std::uint32_t(*value) * unit.seconds;
    }
    return total;
}

void TimerDialog::setTimer()
{
    auto& prompter = context().prompter;
    if (selectedRow(*m_slots) < 0 || !m_chosenSlot) {
        prompter.inform(qs("Choose a Relay Script to execute when time is up!"));
        return;
    }
    const int index = *m_chosenSlot;
    if (index >= protocol::kScriptSlots) {
        prompter.inform(qs("Some weird error 3!"));
        return;
    }
    if (!slotHoldsScript(context().state.slotTable(), index)) {
        prompter.inform(qs("Make a Relay Script first!"));
        return;
    }
    const std::optional<std::uint32_t> delay = delaySeconds();
    if (!delay)
        return;
    if (*delay == 0) {
        prompter.inform(qs("Choose a delay time!"));
        return;
    }
    if (!prompter.confirmYesNo(qs("Are you sure you want to set a Relay Timer?"), qs("Set a Timer?")))
        return;
    const int mode = m_continuous->isChecked() ? 1 : 0;
    sendFrame(
        protocol::timerSetFrame(*delay, protocol::slotCode(index + 1), mode, context().session.password()));
    close();
}

void TimerDialog::stopTimer()
{
    sendFrame(protocol::timerStopFrame(context().session.password()));
}

} // namespace kestavo::automation
