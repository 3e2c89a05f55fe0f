#include "gui/automation/temperaturedialog.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
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

// Fields of the temperature setting in the console state.
constexpr int kFlagField = 0;
constexpr int kUpperCodeField = 1;
constexpr int kLowerCodeField = 2;
constexpr int kUpperField = 3;
constexpr int kLowerField = 4;

// Below this many degrees the box text is black, above it yellow; at exactly this value the
// text keeps the colour it had.
constexpr int kTextColourTurn = 10;

const QString kCrLf = qs("\r\n");

QLineEdit* makeDegreeBox(QWidget* parent, const QString& name, const QString& accessibleName)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignRight);
    box->setMaximumWidth(80);
    return box;
}

QSlider* makeSlider(QWidget* parent, const QString& name, const QString& accessibleName)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setAccessibleName(accessibleName);
    slider->setRange(TemperatureDialog::kLowest, TemperatureDialog::kHighest);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(5);
    return slider;
}

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

QString TemperatureDialog::fahrenheitText(int celsius)
{
    return QString::number(celsius * 9.0 / 5.0 + 32.0, 'g', 15);
}

QColor TemperatureDialog::background(int celsius)
{
    return QColor(5 * celsius, 255 - 5 * celsius, 255 - 5 * celsius);
}

TemperatureDialog::TemperatureDialog(core::Context& context)
    : ConsoleDialog(context),
      m_disable(makeOption(this, qs("Option1"), qs("Disable temperature activated relay action."))),
      m_run(makeOption(this, qs("Option2"),
                       qs("Execute a relay script when temerature thresholds are reached."))),
      m_upper(makeSlider(this, qs("Slider1"),
                         QCoreApplication::translate("kestavo::automation", "Upper threshold"))),
      m_upperC(makeDegreeBox(this, qs("Text1"),
                             QCoreApplication::translate("kestavo::automation", "Upper threshold °C"))),
      m_upperF(makeDegreeBox(this, qs("Text2"),
                             QCoreApplication::translate("kestavo::automation", "Upper threshold °F"))),
      m_upperSlots(makeList(
          this, qs("List1"),
          QCoreApplication::translate("kestavo::automation", "Relay Script above the upper threshold"))),
      m_upperSteps(
          makeList(this, qs("List2"),
                   QCoreApplication::translate("kestavo::automation",
                                               "Steps of the Relay Script above the upper threshold"))),
      m_lower(makeSlider(this, qs("Slider2"),
                         QCoreApplication::translate("kestavo::automation", "Lower threshold"))),
      m_lowerC(makeDegreeBox(this, qs("Text3"),
                             QCoreApplication::translate("kestavo::automation", "Lower threshold °C"))),
      m_lowerF(makeDegreeBox(this, qs("Text4"),
                             QCoreApplication::translate("kestavo::automation", "Lower threshold °F"))),
      m_lowerSlots(makeList(
          this, qs("List3"),
          QCoreApplication::translate("kestavo::automation", "Relay Script below the lower threshold"))),
      m_lowerSteps(
          makeList(this, qs("List4"),
                   QCoreApplication::translate("kestavo::automation",
                                               "Steps of the Relay Script below the lower threshold")))
{
    setObjectName(qs("tempBox"));

    auto* options = new QButtonGroup(this);
    options->addButton(m_disable);
    options->addButton(m_run);
    m_disable->setChecked(true);
    connect(m_disable, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            setChoicesEnabled(false);
    });
    connect(m_run, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            setChoicesEnabled(true);
    });

    auto group = [this](const char* name, const char* heading, QSlider* slider, QLineEdit* celsius,
                        QLineEdit* fahrenheit, QListWidget* slotList, QListWidget* steps) {
        auto* box = new QGroupBox(QString::fromUtf8(heading), this);
        box->setObjectName(qs(name));
        box->setAccessibleName(QString::fromUtf8(heading));
        auto* grid = new QGridLayout(box);
        grid->addWidget(slider, 0, 0, 1, 2);
        auto* degrees = new QHBoxLayout;
        degrees->addWidget(celsius);
        degrees->addWidget(makeLabel(box, qs(name) + qs("Celsius"), QString::fromUtf8("°C")));
        degrees->addWidget(fahrenheit);
        degrees->addWidget(makeLabel(box, qs(name) + qs("Fahrenheit"), QString::fromUtf8("°F")));
        degrees->addStretch();
        grid->addLayout(degrees, 1, 0, 1, 2);
        grid->addWidget(slotList, 2, 0);
        grid->addWidget(steps, 2, 1);
        return box;
    };

    auto* uploadButton = makeButton(this, qs("Upload"), qs("Upload"));
    auto* refreshButton = makeButton(this, qs("Refresh"), qs("Refresh"));
    auto* cancelButton = makeButton(this, qs("Cancel"), qs("Cancel"));
    connect(uploadButton, &QPushButton::clicked, this, &TemperatureDialog::upload);
    connect(refreshButton, &QPushButton::clicked, this, &TemperatureDialog::refresh);
    connect(cancelButton, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refreshButton);
    buttons->addStretch();
    buttons->addWidget(uploadButton);
    buttons->addWidget(cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_disable);
    layout->addWidget(m_run);
    layout->addWidget(group("Frame1", "Execute a relay script when GREATER than:", m_upper, m_upperC,
                            m_upperF, m_upperSlots, m_upperSteps));
    layout->addWidget(group("Frame2", "Execute a relay script when LOWER than:", m_lower, m_lowerC, m_lowerF,
                            m_lowerSlots, m_lowerSteps));
    layout->addLayout(buttons);

    // The Fahrenheit box follows its Celsius box, whoever changes it.
    for (auto [celsius, fahrenheit] : {std::pair{m_upperC, m_upperF}, std::pair{m_lowerC, m_lowerF}}) {
        connect(celsius, &QLineEdit::textChanged, this, [fahrenheit](const QString& text) {
            bool ok = false;
            const int value = text.toInt(&ok);
            fahrenheit->setText(ok ? fahrenheitText(value) : QString());
        });
    }
    connect(m_upper, &QSlider::valueChanged, this, [this] { showThreshold(m_upper, m_upperC, m_upperF); });
    connect(m_lower, &QSlider::valueChanged, this, [this] { showThreshold(m_lower, m_lowerC, m_lowerF); });
    connectPreview(this, m_upperSlots, m_upperSteps, context.state);
    connectPreview(this, m_lowerSlots, m_lowerSteps, context.state);
    connect(&context.state, &core::ConsoleState::replyIndicatorChanged, this,
            &TemperatureDialog::onReplyIndicator);
    connect(&context.state, &core::ConsoleState::temperatureTextChanged, this,
            &TemperatureDialog::updateCaption);

    updateCaption(context.state.temperatureText());
    setChoicesEnabled(false);
    fillSlotLists();
    showCurrentSetting();
    waitForUnitReport({m_disable, m_run, uploadButton}, [this] { showCurrentSetting(); });
    showThreshold(m_upper, m_upperC, m_upperF);
    showThreshold(m_lower, m_lowerC, m_lowerF);
}

void TemperatureDialog::updateCaption(const QString& temperatureText)
{
    setWindowTitle(qs("Temperature Control         (") + temperatureText + qs(")"));
}

void TemperatureDialog::setChoicesEnabled(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(m_upperSlots), static_cast<QWidget*>(m_lowerSlots),
                       static_cast<QWidget*>(m_upper), static_cast<QWidget*>(m_lower)})
        w->setEnabled(enabled);
}

void TemperatureDialog::fillSlotLists()
{
    fillSlotList(*m_upperSlots, context().state.slotTable());
    fillSlotList(*m_lowerSlots, context().state.slotTable());
}

void TemperatureDialog::showCurrentSetting()
{
    const core::ConsoleState& state = context().state;
    const int flag = state.temperatureSetting(kFlagField);
    if (flag != 0 && flag != 1)
        return; // a flag the console does not know: leave everything as it is
    m_upper->setValue(state.temperatureSetting(kUpperField));
    m_lower->setValue(state.temperatureSetting(kLowerField));
    if (flag == 0) {
        m_disable->setChecked(true);
        setChoicesEnabled(false);
        return;
    }
    m_run->setChecked(true);
    setChoicesEnabled(true);
    selectSlotByCode(*m_upperSlots, state.temperatureSetting(kUpperCodeField));
    selectSlotByCode(*m_lowerSlots, state.temperatureSetting(kLowerCodeField));
}

void TemperatureDialog::showThreshold(QSlider* slider, QLineEdit* celsius, QLineEdit* fahrenheit)
{
    const int v = slider->value();
    celsius->setText(QString::number(v));
    QPalette palette = celsius->palette();
    palette.setColor(QPalette::Base, background(v));
    if (v < kTextColourTurn)
        palette.setColor(QPalette::Text, QColor(0, 0, 0));
    else if (v > kTextColourTurn)
        palette.setColor(QPalette::Text, QColor(255, 255, 0));
    // The style sheet repeats the palette: a skin that styles line edits would paint over it.
    const QString sheet =
        QStringLiteral("QLineEdit { background-color: %1; color: %2; }")
            .arg(palette.color(QPalette::Base).name(), palette.color(QPalette::Text).name());
    for (QLineEdit* box : {celsius, fahrenheit}) {
        box->setPalette(palette);
        box->setStyleSheet(sheet);
    }
}

void TemperatureDialog::onReplyIndicator(int value)
{
    if (value < 1)
        return;
    context().state.setReplyIndicator(0);
    // The setting is not shown again: the user's choices are gone and must be made anew.
    fillSlotLists();
}

void TemperatureDialog::refresh()
{
    sendFrame(protocol::readRequestFrame(context().session.password()));
}

void TemperatureDialog::upload()
{
    auto& prompter = context().prompter;
    const protocol::SlotTable& table = context().state.slotTable();
    int upperCode = 0;
    int lowerCode = 0;
    if (!m_disable->isChecked()) {
        const int upperRow = selectedRow(*m_upperSlots);
        const int lowerRow = selectedRow(*m_lowerSlots);
        if (upperRow < 0) {
            prompter.inform(qs("Choose a Relay Script to execute when the") + kCrLf +
                            qs("temperature is greater than your chosen threshold !"));
            return;
        }
        if (lowerRow < 0) {
            prompter.inform(qs("Choose a Relay Script to execute when the") + kCrLf +
                            qs("temperature is less than your chosen threshold !"));
            return;
        }
        if (upperRow >= protocol::kScriptSlots) {
            prompter.inform(qs("Some weird error 6!"));
            return;
        }
        if (!slotHoldsScript(table, upperRow)) {
            prompter.inform(qs("Make a Relay Script first!"));
            return;
        }
        if (lowerRow >= protocol::kScriptSlots) {
            prompter.inform(qs("Some weird error 7!"));
            return;
        }
        if (!slotHoldsScript(table, lowerRow)) {
            prompter.inform(qs("Make a Relay Script first!"));
            return;
        }
        if (m_upper->value() == m_lower->value()) {
            prompter.inform(qs("There should be at least one degree difference") + kCrLf +
                            qs("between the two temperature thresholds !"));
            return;
        }
        if (m_upper->value() < m_lower->value()) {
            prompter.inform(qs("The top slider should be GREATER than the bottom slider !"));
            return;
        }
        upperCode = protocol::slotCode(upperRow + 1);
        lowerCode = protocol::slotCode(lowerRow + 1);
    }
    const int action = m_run->isChecked() ? 1 : 0;
    sendFrame(protocol::temperatureTriggerFrame(action, upperCode, lowerCode, m_upper->value(),
                                                m_lower->value(), context().session.password()));
    close();
}

} // namespace kestavo::automation
