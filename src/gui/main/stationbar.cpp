#include "gui/main/stationbar.h"

#include <algorithm>

#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>

#include "stations/stationformat.h"
#include "stations/stationstore.h"

#include "session/consolestate.h"

#include "gui/main/comboaccessible.h"
#include "gui/main/formcontrols.h"
#include "gui/main/readoutaccessible.h"
#include "platform/prompter.h"

namespace kestavo::core {

namespace {

constexpr qsizetype kMinimumEntryLength = 40;

} // namespace

StationBar::StationBar(Context& context, QWidget* parent) : QGroupBox(tr("Station"), parent), m_ctx(context)
{
    setObjectName(qs("StationBar"));
    auto* grid = new QGridLayout(this);

    nameCombosByLabel();
    m_box = new QComboBox(this);
    m_box->setObjectName(qs("Combo1"));
    m_box->setEditable(true);
    m_box->setInsertPolicy(QComboBox::NoInsert);
    m_box->setAccessibleName(tr("Station"));
    // A directory may list 100,000 stations. The list is one string list handed over at once
    // (not an item object per station), the box is as wide as its longest entry in the
    // fixed-pitch font (not measured entry by entry), and the drop-down list takes every row to
    // be as high as the first instead of laying each one out.
    m_model = new QStringListModel(this);
    m_box->setModel(m_model);
    m_box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_box->setMinimumContentsLength(kMinimumEntryLength);
    if (auto* list = qobject_cast<QListView*>(m_box->view()))
        list->setUniformItemSizes(true);
    QFont mono(qs("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    m_box->setFont(mono);
    m_box->installEventFilter(this);
    // Typed text stays what was typed: completing it onto another entry would let Delete IP,
    // Set Default or Start act on a station the user never named.
    m_box->setCompleter(nullptr);
    connect(m_box, &QComboBox::activated, this, [this](int index) { selectStation(m_box->itemText(index)); });

    m_passwordMirror = new QLineEdit(this);
    m_passwordMirror->setObjectName(qs("Text9"));
    m_passwordMirror->setEchoMode(QLineEdit::Password);
    m_passwordMirror->setAccessibleName(tr("Password"));
    m_passwordMirror->hide();
    m_entryMirror = new QLineEdit(this);
    m_entryMirror->setObjectName(qs("Text1"));
    m_entryMirror->setAccessibleName(tr("Station entry"));
    m_entryMirror->hide();

    auto* setDefault = makeButton(this, qs("Command1"), qs("Set  Default IP"));
    auto* add = makeButton(this, qs("Command2"), qs("Add IP"));
    auto* remove = makeButton(this, qs("Command4"), qs("Delete IP"));
    auto* start = makeButton(this, qs("Command3"), qs("Start"));
    auto* stop = makeButton(this, qs("Command5"), qs("Stop"));
    connect(setDefault, &QPushButton::clicked, this, &StationBar::setDefaultStation);
    connect(add, &QPushButton::clicked, this, [this] {
        m_ctx.session.stop();
        Q_EMIT addRequested();
    });
    connect(remove, &QPushButton::clicked, this, &StationBar::removeStation);
    connect(start, &QPushButton::clicked, this, [this] { m_ctx.session.start(m_box->currentText()); });
    connect(stop, &QPushButton::clicked, this, [this] { m_ctx.session.stop(); });

    m_activity = makeLabel(this, qs("Label8"), qs("Aquire Data"));
    markReadout(m_activity, tr("Activity"));
    QFont bold = m_activity->font();
    bold.setBold(true);
    m_activity->setFont(bold);
    m_sentLabel = makeLabel(this, qs("Label19"), qs("0"));
    markReadout(m_sentLabel, qs("Sent"));
    m_receivedLabel = makeLabel(this, qs("Label17"), qs("0"));
    markReadout(m_receivedLabel, qs("Received"));
    m_lostLabel = makeLabel(this, qs("Label21"), qs("0"));
    markReadout(m_lostLabel, qs("Lost"));

    grid->addWidget(m_box, 0, 0, 1, 3);
    grid->addWidget(setDefault, 0, 3);
    grid->addWidget(add, 0, 4);
    grid->addWidget(remove, 0, 5);
    grid->addWidget(start, 1, 0);
    grid->addWidget(stop, 1, 1);
    grid->addWidget(m_activity, 1, 2);
    auto* counters = new QHBoxLayout;
    counters->addWidget(makeLabel(this, qs("Label18"), qs("Sent:")));
    counters->addWidget(m_sentLabel);
    counters->addWidget(makeLabel(this, qs("Label16"), qs("Received:")));
    counters->addWidget(m_receivedLabel);
    counters->addWidget(makeLabel(this, qs("Label20"), qs("Lost:")));
    counters->addWidget(m_lostLabel);
    grid->addLayout(counters, 1, 3, 1, 3);

    connect(&m_ctx.state, &ConsoleState::statusDecoded, this,
            [this](const protocol::StatusReport&) { m_activity->setText(qs("Receiving Data")); });
    connect(&m_ctx.session, &Session::phaseChanged, this, &StationBar::onPhase);
    connect(&m_ctx.session, &Session::countersChanged, this, &StationBar::onCounters);
    // Every Start says "Connecting", also one that reused the open socket.
    connect(&m_ctx.session, &Session::started, this, [this] { m_activity->setText(qs("Connecting")); });
    connect(&m_ctx.session, &Session::pulseColour, this,
            [this](quint32 rgb) { setTextColour(m_activity, QColor::fromRgb(rgb)); });
    // The mirrors follow every write, e.g. a new password the unit accepted.
    connect(&m_ctx.store, &stations::StationStore::changed, this, &StationBar::showRecord);
}

StationBar::~StationBar()
{
    detach();
}

void StationBar::detach()
{
    m_box->removeEventFilter(this);
    m_box->disconnect(this);
}

QString StationBar::text() const
{
    return m_box->currentText();
}

void StationBar::fill()
{
    const auto fill = m_ctx.store.fillList();
    qsizetype longest = kMinimumEntryLength;
    for (const QString& entry : fill.entries)
        longest = std::max(longest, entry.size());
    m_model->setStringList(fill.entries);
    m_box->setMinimumContentsLength(int(longest));
    m_box->setCurrentIndex(-1);
    m_box->setEditText(fill.defaultEntry); // the last default wins; none leaves it empty
    // A first run has nothing to choose: say where stations come from.
    m_box->lineEdit()->setPlaceholderText(
        fill.entries.isEmpty() ? tr("No stations yet: press \"Add IP\" to add the first one") : QString());
}

void StationBar::showRecord()
{
    m_passwordMirror->setText(m_ctx.store.password());
    m_entryMirror->setText(m_ctx.store.ips());
}

void StationBar::selectStation(const QString& entry)
{
    const QString address = stations::addressOf(entry);
    // A pick from the list or an arrow key moves the record (password, notes) to another unit:
    // the session with the old one ends first, as with Stop, so nothing of the new record reaches
    // the old unit and no old reading is shown under the new name.
    if (m_ctx.state.acquiring() && address != m_ctx.state.selectedAddress())
        m_ctx.session.stop();
    m_ctx.state.setSelectedAddress(address);
    m_ctx.store.findAddress(address);
    showRecord();
    Q_EMIT selected(address);
}

bool StationBar::startStation(const QString& address)
{
    // Another unit's session ends here: the user says so first (Enter in a list is easily pressed).
    const QString running = m_ctx.state.selectedAddress();
    if (m_ctx.state.acquiring() && address != running &&
        !m_ctx.prompter.confirmYesNo(
            tr("Stop the session with %1 and start one with %2?").arg(running, address), tr("Kestavo")))
        return false;
    const int position = m_ctx.store.findAddress(address);
    if (position < 0)
        return false;
    const QString entry = m_ctx.store.entryAt(position);
    m_box->setEditText(entry);
    selectStation(entry);
    m_ctx.session.start(entry);
    return true;
}

void StationBar::refill()
{
    fill();
    const QString address = stations::addressOf(m_box->currentText());
    m_ctx.state.setSelectedAddress(address);
    m_ctx.store.findAddress(address);
    showRecord();
}

void StationBar::refreshKeepingChoice()
{
    const QString address = stations::addressOf(m_box->currentText());
    const int position = address.isEmpty() ? -1 : m_ctx.store.positionOf(address);
    if (position < 0) {
        refill();
        return;
    }
    fill();
    m_box->setEditText(m_ctx.store.entryAt(position));
    m_ctx.store.findAddress(address);
    showRecord();
}

void StationBar::setDefaultStation()
{
    m_ctx.session.stop();
    const QString address = stations::addressOf(m_box->currentText());
    if (!m_ctx.store.setDefault(address)) {
        if (!m_ctx.store.lastError().isEmpty())
            m_ctx.prompter.inform(m_ctx.store.lastError());
        else
            m_ctx.prompter.inform(stations::kNotFound);
        return;
    }
    if (m_ctx.store.findAddress(address) < 0)
        m_ctx.prompter.inform(stations::kNotFound);
    m_passwordMirror->setText(m_ctx.store.password());
}

void StationBar::removeStation()
{
    m_ctx.session.stop();
    const QString address = stations::addressOf(m_box->currentText());
    int position = -1;
    switch (m_ctx.store.checkRemove(address, &position)) {
    case stations::StationStore::RemoveCheck::NotFound:
        m_ctx.prompter.inform(stations::kNotFound);
        return;
    case stations::StationStore::RemoveCheck::FirstRecord:
        m_ctx.prompter.inform(stations::kDontDelete);
        return;
    case stations::StationStore::RemoveCheck::Ok:
        break;
    }
    if (!m_ctx.prompter.confirmOkCancel(stations::kRemoveQuestion + QLatin1Char('\n') +
                                            m_ctx.store.entryAt(position).trimmed(),
                                        stations::kRemoveTitle))
        return;
    if (!m_ctx.store.removeAt(position)) {
        m_ctx.prompter.inform(m_ctx.store.lastError());
        return;
    }
    refill();
}

bool StationBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && watched == m_box) {
        // Choosing another station ends the running session first. Only the user moving to the
        // box counts: Qt also focuses it when the window is re-activated after a dialog closed.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const bool byUser = reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
                            reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
        if (byUser && m_ctx.state.acquiring())
            m_ctx.session.stop();
    }
    return QGroupBox::eventFilter(watched, event);
}

void StationBar::onPhase(Session::Phase phase)
{
    switch (phase) {
    case Session::Phase::Idle:
        m_activity->setText(qs("Aquire Data"));
        setTextColour(m_activity, Qt::black);
        break;
    case Session::Phase::Waiting:
        m_activity->setText(qs("Connecting"));
        break;
    case Session::Phase::Receiving:
        m_activity->setText(qs("Receiving Data"));
        break;
    }
}

void StationBar::onCounters(bool sentChanged)
{
    m_sentLabel->setText(QString::number(m_ctx.session.sent()));
    m_receivedLabel->setText(QString::number(m_ctx.session.received()));
    if (sentChanged)
        m_lostLabel->setText(QString::number(m_ctx.session.lost()));
}

} // namespace kestavo::core
