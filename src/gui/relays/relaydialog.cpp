#include "gui/relays/relaydialog.h"

#include <algorithm>

#include <QButtonGroup>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "protocol/frames.h"

#include "session/consolestate.h"
#include "session/session.h"

#include "gui/relays/relaynotesdialog.h"

namespace kestavo::relays {

namespace {

QString qs(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

QLabel* namedLabel(QWidget* parent, const QString& name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAccessibleName(text.trimmed());
    return label;
}

} // namespace

RelayDialog::RelayDialog(core::Context& context, int relay)
    : ConsoleDialog(context), m_relay(std::clamp(relay, 1, 3))
{
    const QString n = QString::number(m_relay);
    setObjectName(qs("Switch") + n);
    setWindowTitle(qs("Relay ") + n + qs(" Control"));

    auto* heading = namedLabel(this, qs("Label1"), qs("Power Relay ") + n);
    QFont big = heading->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    heading->setFont(big);
    heading->setAlignment(Qt::AlignCenter);

    auto option = [this, &n](const char* name, const char* what) {
        const QString caption = qs(" Relay ") + n + qs(what);
        auto* button = new QRadioButton(caption, this);
        button->setObjectName(qs(name));
        button->setAccessibleName(caption.trimmed());
        return button;
    };
    m_on = option("Option1", " ON");
    m_off = option("Option2", " OFF");
    m_cycle = option("Option3", " OFF then ON");
    auto* options = new QButtonGroup(this);
    options->addButton(m_on);
    options->addButton(m_off);
    options->addButton(m_cycle);
    m_on->setChecked(true);

    m_delay = new QSlider(Qt::Horizontal, this);
    m_delay->setObjectName(qs("Slider1"));
    m_delay->setAccessibleName(QCoreApplication::translate("kestavo::relays", "Delay in seconds"));
    m_delay->setRange(kMinDelay, kMaxDelay);
    m_delay->setTickPosition(QSlider::TicksBelow);
    m_delay->setTickInterval(5);
    m_delay->setPageStep(5);
    // The slider tells nothing by itself; show the seconds it stands for.
    m_delayValue = namedLabel(this, qs("DelayValue"), QString());
    m_delayValue->setMinimumWidth(m_delayValue->fontMetrics().horizontalAdvance(qs("60 s")));
    connect(m_delay, &QSlider::valueChanged, this, [this](int seconds) {
        m_delayValue->setText(QString::number(seconds) + qs(" s"));
        m_delay->setAccessibleDescription(QString::number(seconds));
    });
    m_delay->setValue(clampDelay(context.state.relayDelay(m_relay)));
    m_delayValue->setText(QString::number(m_delay->value()) + qs(" s"));
    m_delay->setAccessibleDescription(QString::number(m_delay->value()));

    auto* ok = new QPushButton(qs("OK"), this);
    ok->setObjectName(qs("Command1"));
    ok->setAccessibleName(qs("OK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(qs("Cancel"), this);
    cancel->setObjectName(qs("Command2"));
    cancel->setAccessibleName(qs("Cancel"));
    auto* help = new QPushButton(qs("?"), this);
    help->setObjectName(qs("Command3"));
    help->setToolTip(qs("Quick Notes"));
    help->setAccessibleName(qs("Quick Notes"));
    connect(ok, &QPushButton::clicked, this, &RelayDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(help, &QPushButton::clicked, this, &RelayDialog::openNotes);

    auto* sliderRow = new QGridLayout;
    sliderRow->addWidget(namedLabel(this, qs("Label2"), qs("1")), 0, 0);
    sliderRow->addWidget(m_delay, 0, 1);
    sliderRow->addWidget(namedLabel(this, qs("Label3"), qs("60")), 0, 2);
    sliderRow->addWidget(m_delayValue, 0, 3);
    sliderRow->addWidget(namedLabel(this, qs("Label4"), qs("1 second delays")), 1, 1);
    sliderRow->addWidget(namedLabel(this, qs("Label5"), qs("(1 minute Max)")), 2, 1);
    sliderRow->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(help);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_on);
    layout->addWidget(m_off);
    layout->addWidget(m_cycle);
    layout->addLayout(sliderRow);
    layout->addLayout(buttons);
}

RelayDialog::~RelayDialog()
{
    // The notes belong to this dialog's relay: they do not outlive it.
    if (m_notes)
        m_notes->close();
}

int RelayDialog::clampDelay(int seconds)
{
    return std::clamp(seconds, kMinDelay, kMaxDelay);
}

void RelayDialog::accept()
{
    const std::string password = context().session.password();
    std::string frame;
    if (m_on->isChecked())
        frame = protocol::relayOnFrame(m_relay, password);
    else if (m_off->isChecked())
        frame = protocol::relayOffFrame(m_relay, password);
    else
        frame = protocol::relayCycleFrame(m_relay, m_delay->value(), password);
    sendFrame(frame);
    close();
}

RelayNotesDialog* RelayDialog::openNotes()
{
    if (m_notes) {
        m_notes->raise();
        m_notes->activateWindow();
        return m_notes;
    }
    m_notes = new RelayNotesDialog(context(), m_relay, this);
    m_notes->show();
    return m_notes;
}

} // namespace kestavo::relays
