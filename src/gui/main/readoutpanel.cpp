#include "gui/main/readoutpanel.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "protocol/conversions.h"

#include "stations/stationstore.h"

#include "session/consolestate.h"

#include "gui/main/formcontrols.h"
#include "gui/main/readoutaccessible.h"
#include "gui/main/voltagebar.h"

namespace kestavo::core {

namespace {

// Channel wiring: numeric box, bar, title label, options button, default title.
struct ChannelWiring
{
    const char* box;
    const char* bar;
    const char* title;
    const char* optionButton;
    const char* defaultTitle;
};
constexpr std::array<ChannelWiring, 8> kChannels{{
    {"Text16", "Picture8", "Label15", "Command9", "Voltage 1  (0 - 30 - 60)"},
    {"Text17", "Picture9", "Label14", "Command14", "Voltage 2  (0 - 30 - 60)"},
    {"Text2", "Picture2", "Label2", "Command16", "Voltage 3  (0 - 30)"},
    {"Text3", "Picture3", "Label3", "Command17", "Voltage 4  (0 - 30)"},
    {"Text4", "Picture4", "Label4", "Command18", "Voltage 5  (0 - 30)"},
    {"Text5", "Picture5", "Label5", "Command19", "Voltage 6  (0 - 5)"},
    {"Text6", "Picture6", "Label6", "Command20", "Voltage 7  (0 - 5)"},
    {"Text7", "Picture7", "Label7", "Command21", "Voltage 8  (0 - 5)"},
}};

} // namespace

ReadoutPanel::ReadoutPanel(Context& context, QWidget* parent)
    : QGroupBox(tr("Voltage inputs"), parent), m_ctx(context)
{
    auto* grid = new QGridLayout(this);
    for (int c = 0; c < 8; ++c) {
        const auto& w = kChannels[std::size_t(c)];
        auto* title = makeLabel(this, qs(w.title), qs(w.defaultTitle));
        auto* value = makeReadout(this, qs(w.box), QStringLiteral("Voltage %1").arg(c + 1), this);
        value->setText(qs("0.00"));
        auto* bar = new VoltageBar(c + 1, this);
        bar->setObjectName(qs(w.bar));
        markReadout(bar, tr("Voltage %1 gauge").arg(c + 1));
        bar->hide();
        bar->installEventFilter(this);
        connect(bar, &VoltageBar::clicked, this, [this, c] { toggleChannel(c, false); });
        auto* options =
            makeButton(this, qs(w.optionButton), QStringLiteral("ADC Input %1 Options").arg(c + 1));
        connect(options, &QPushButton::clicked, this, [this, c] {
            m_ctx.state.setOptionsInput(c + 1);
            Q_EMIT openRequested(DialogId::Options, c + 1);
        });
        m_titles[std::size_t(c)] = title;
        m_boxes[std::size_t(c)] = value;
        m_bars[std::size_t(c)] = bar;
        grid->addWidget(title, c, 0);
        // Box and gauge share one cell: exactly one of them is shown.
        grid->addWidget(value, c, 1);
        grid->addWidget(bar, c, 1);
        grid->addWidget(options, c, 2);
    }
    grid->setColumnStretch(1, 1);
}

bool ReadoutPanel::eventFilter(QObject* watched, QEvent* event)
{
    for (int c = 0; c < 8; ++c) {
        if (watched != m_bars[std::size_t(c)] && watched != m_boxes[std::size_t(c)])
            continue;
        if (event->type() == QEvent::MouseButtonDblClick) {
            // A double click arrives after two presses, which swapped box and gauge there and back.
            Q_EMIT openRequested(DialogId::Trends, c + 1);
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress && watched == m_boxes[std::size_t(c)]) {
            toggleChannel(c, true);
            return true;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

void ReadoutPanel::toggleChannel(int index, bool showBar)
{
    m_boxes[std::size_t(index)]->setVisible(!showBar);
    m_bars[std::size_t(index)]->setVisible(showBar);
}

int ReadoutPanel::rangeFlag(int channel) const
{
    if (channel > 2 || m_ctx.store.count() == 0)
        return 0;
    const QVariant v = m_ctx.store.value(channel == 1 ? qs("JP6") : qs("JP7"));
    return v.isNull() ? 0 : v.toInt();
}

QString ReadoutPanel::baseName(int channel) const
{
    const QString input = QStringLiteral("Voltage %1").arg(channel + 1);
    if (m_ctx.store.count() == 0)
        return input;
    const QString stored = m_ctx.store.value(QStringLiteral("Label%1voltage").arg(channel + 1)).toString();
    return stored.trimmed().isEmpty() ? input : input + qs(", ") + stored.simplified();
}

void ReadoutPanel::showFresh()
{
    m_stale = false;
    setTitle(tr("Voltage inputs"));
    for (int c = 0; c < 8; ++c) {
        auto* box = m_boxes[std::size_t(c)];
        box->setStyleSheet(QString());
        box->setToolTip(QString());
        box->setAccessibleName(baseName(c));
    }
    Q_EMIT ageChanged(QDateTime(), QString());
}

void ReadoutPanel::refreshAge()
{
    if (!m_lastReport.isValid() || !m_ctx.state.acquiring())
        return;
    const QDateTime now = m_clock();
    const qint64 ageMs = m_lastReport.msecsTo(now);
    if (ageMs < m_staleAfterMs) {
        if (m_stale)
            showFresh();
        return;
    }
    // The unit has gone quiet while the session waits for its watchdog: the numbers are the last
    // ones it sent, not what it measures now, and must not look live.
    m_stale = true;
    const qint64 s = ageMs / 1000;
    const QString age = s < 60 ? tr("%1 s old").arg(s) : tr("%1 min old").arg(s / 60);
    const QString shortTime = m_lastReport.toString(qs("HH:mm"));
    setTitle(tr("Voltage inputs, as of %1").arg(shortTime));
    const QString tip = tr("As of %1 (%2)").arg(m_lastReport.toString(qs("HH:mm:ss")), age);
    for (int c = 0; c < 8; ++c) {
        auto* box = m_boxes[std::size_t(c)];
        box->setStyleSheet(qs("QLineEdit { color: #808080; }"));
        box->setToolTip(tip);
        box->setAccessibleName(tr("%1: %2 V, %3").arg(baseName(c), box->text().trimmed(), age));
    }
    Q_EMIT ageChanged(m_lastReport, age);
}

void ReadoutPanel::showReport(const protocol::StatusReport& report)
{
    m_lastReport = m_clock();
    if (m_stale)
        showFresh();
    for (int c = 0; c < 8; ++c) {
        const auto text = protocol::channelText(c + 1, report.channels[std::size_t(c)], rangeFlag(c + 1));
        if (text)
            m_boxes[std::size_t(c)]->setText(QString::fromStdString(*text));
    }
}

void ReadoutPanel::reset()
{
    for (auto* box : m_boxes)
        box->setText(qs("0.00"));
    m_lastReport = QDateTime();
    if (m_stale)
        showFresh();
}

void ReadoutPanel::applyStationDisplay()
{
    auto& store = m_ctx.store;
    if (store.count() == 0)
        return;
    for (int c = 0; c < 8; ++c) {
        const QVariant view = store.value(QStringLiteral("Voltage%1View").arg(c + 1));
        const int flag = view.isNull() ? 0 : view.toInt();
        if (flag == 0)
            toggleChannel(c, false);
        else if (flag == 1)
            toggleChannel(c, true);
        // A station without stored captions (one from the fleet, one just added: they are
        // stored empty) keeps the default titles.
        const QString stored = store.value(QStringLiteral("Label%1voltage").arg(c + 1)).toString();
        const bool named = !stored.trimmed().isEmpty();
        const QString title = named ? stored : qs(kChannels[std::size_t(c)].defaultTitle);
        m_titles[std::size_t(c)]->setText(title);
        m_titles[std::size_t(c)]->setAccessibleName(title.simplified());
        m_bars[std::size_t(c)]->setAccessibleName(tr("%1 gauge").arg(baseName(c)));
    }
    // Screen readers hear which input it is and what the station calls it.
    showFresh();
    refreshAge();
}

void ReadoutPanel::drawBars()
{
    refreshAge();
    // PerCnt for the eight channels.
    for (int c = 0; c < 8; ++c) {
        const QString text = m_boxes[std::size_t(c)]->text();
        int v = protocol::barValue(text.toStdString());
        if (v > 41)
            continue; // the 60 V range can exceed the bar: it keeps its previous drawing
        if (v < 0)
            v = 0;
        double scale = m_bars[std::size_t(c)]->scaleWidth();
        if (const auto fs = protocol::fullScale(c + 1, rangeFlag(c + 1)))
            scale = *fs;
        m_bars[std::size_t(c)]->draw(v, scale,
                                     QString::fromStdString(protocol::barLabel(text.toStdString())));
    }
}

} // namespace kestavo::core
