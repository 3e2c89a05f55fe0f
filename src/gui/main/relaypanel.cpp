#include "gui/main/relaypanel.h"

#include <QDateTime>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "gui/main/formcontrols.h"
#include "gui/main/readoutaccessible.h"

namespace kestavo::core {

RelayPanel::RelayPanel(QWidget* parent) : QGroupBox(tr("Power relays"), parent)
{
    auto* grid = new QGridLayout(this);
    const std::array<const char*, 3> buttons{"Command6", "Command7", "Command8"};
    const std::array<const char*, 3> labels{"Label9", "Label10", "Label11"};
    for (int r = 0; r < 3; ++r) {
        auto* b = makeButton(this, qs(buttons[std::size_t(r)]), QStringLiteral("Relay %1").arg(r + 1));
        connect(b, &QPushButton::clicked, this, [this, r] { Q_EMIT relayClicked(r + 1); });
        auto* l = makeLabel(this, qs(labels[std::size_t(r)]), qs("===="));
        markReadout(l, tr("Relay %1 state").arg(r + 1));
        l->setAlignment(Qt::AlignCenter);
        l->setMinimumWidth(60);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        m_labels[std::size_t(r)] = l;
        grid->addWidget(b, r, 0);
        grid->addWidget(l, r, 1);
    }
}

void RelayPanel::showReport(const protocol::StatusReport& report)
{
    for (std::size_t r = 0; r < 3; ++r) {
        const std::optional<bool> on = report.relayOn[r];
        if (!on)
            continue;
        m_labels[r]->setText(*on ? qs("ON") : qs("OFF"));
        paint(m_labels[r]);
    }
}

void RelayPanel::paint(QLabel* label)
{
    setTextColour(label, m_old ? kOld : label->text() == qs("ON") ? kOn : kOff);
}

void RelayPanel::showAge(const QDateTime& asOf, const QString& age)
{
    const bool turned = m_old != asOf.isValid();
    m_old = asOf.isValid();
    setTitle(m_old ? tr("Power relays, as of %1").arg(asOf.toString(qs("HH:mm"))) : tr("Power relays"));
    const QString tip = oldReadingTip(asOf, age);
    for (std::size_t r = 0; r < 3; ++r) {
        QLabel* label = m_labels[r];
        if (turned)
            paint(label);
        label->setToolTip(tip);
        // "====" is no reading: nothing to call old.
        const QString value = label->text() == qs("====") ? QString() : label->text();
        label->setAccessibleName(spokenReading(tr("Relay %1 state").arg(r + 1), value, age));
    }
}

void RelayPanel::reset()
{
    for (auto* l : m_labels) {
        l->setText(qs("===="));
        setTextColour(l, kOff);
    }
}

} // namespace kestavo::core
