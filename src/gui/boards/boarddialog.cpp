#include "gui/boards/boarddialog.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include "protocol/codes.h"
#include "protocol/frames.h"

#include "session/consolestate.h"
#include "session/session.h"

#include "gui/boards/boardframequeue.h"
#include "gui/boards/boardscriptingdialog.h"
#include "platform/resourcepaths.h"

namespace kestavo::daughterboards {

namespace {

namespace res = platform::resources;

// Position 23 of an 'R' frame: the unit runs a timed toggle, or switches the item over.
constexpr int kTimedToggle = 0x02;
constexpr int kPlainSwitch = 0x00;
constexpr int kMinDelay = 1;
constexpr int kMaxDelay = 60;
// Notification kind of the pop-up that says "One Toggle Timer Only !".
constexpr int kOneToggleOnly = 100;

int itemMask(int item)
{
    return 1 << (item - 1);
}

res::BoardItem pictureKind(int item)
{
    if (item == BoardDialog::kOutputItem)
        return res::BoardItem::Output;
    if (item == BoardDialog::kLightItem)
        return res::BoardItem::Light;
    return res::BoardItem::Relay;
}

QString itemCaption(int item)
{
    if (item == BoardDialog::kOutputItem)
        return QStringLiteral("5V (150ma) Output");
    if (item == BoardDialog::kLightItem)
        return QStringLiteral("Test Light");
    // Relays 1 to 4 switch 5 A, relays 5 and 6 switch 10 A.
    return QStringLiteral("Relay %1 (%2 Amp)").arg(item).arg(item <= 4 ? 5 : 10);
}

// The short name screen readers announce before each control of an item.
QString itemName(int item)
{
    if (item == BoardDialog::kOutputItem)
        return QStringLiteral("Output");
    if (item == BoardDialog::kLightItem)
        return QStringLiteral("Light");
    return QStringLiteral("Relay %1").arg(item);
}

QPushButton* makeButton(QWidget* parent, const QString& caption, const QString& objectName,
                        const QString& accessibleName)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    button->setAccessibleName(accessibleName);
    return button;
}

} // namespace

BoardDialog::BoardDialog(core::Context& context, const BoardTimings& timings)
    : ConsoleDialog(context), m_timings(timings)
{
    m_board = context.state.selectedBoard();
    if (m_board < 1 || m_board > protocol::kBoards)
        m_board = 1; // only I2C opens this window, and it always chooses a board first
    setObjectName(QStringLiteral("RDB"));
    setWindowTitle(QStringLiteral("Relay Daughter Board %1").arg(m_board));

    m_queue = new BoardFrameQueue([this](const std::string& frame) { return sendFrame(frame); },
                                  m_timings.frameSpacingMs, this);

    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (int item = 1; item <= kItems; ++item)
        buildItemRow(item, item - 1, grid);
    layout->addLayout(grid);

    auto* scripts = makeButton(this, QCoreApplication::translate("kestavo::daughterboards", "Scripts"),
                               QStringLiteral("cmdScripts"),
                               QCoreApplication::translate("kestavo::daughterboards", "Scripts"));
    scripts->setToolTip(QCoreApplication::translate("kestavo::daughterboards",
                                                    "Compose, upload and run daughter-board scripts"));
    connect(scripts, &QPushButton::clicked, this, &BoardDialog::openScripts);
    layout->addWidget(scripts, 0, Qt::AlignRight);

    m_stateTimer = new QTimer(this);
    m_stateTimer->setObjectName(QStringLiteral("Timer1"));
    m_stateTimer->setInterval(m_timings.stateRefreshMs);
    connect(m_stateTimer, &QTimer::timeout, this, &BoardDialog::refreshState);
    refreshState();
    m_stateTimer->start();
}

void BoardDialog::buildItemRow(int item, int row, QGridLayout* grid)
{
    ItemControls& c = m_items[std::size_t(item - 1)];
    const QString name = itemName(item);

    auto* caption = new QLabel(itemCaption(item), this);
    caption->setAccessibleName(caption->text());
    grid->addWidget(caption, row, 0);

    c.picture = new QLabel(this);
    c.picture->setObjectName(QStringLiteral("statePicture%1").arg(item));
    c.picture->setAccessibleName(name + QStringLiteral(" state"));
    c.picture->setFixedSize(32, 32);
    c.picture->setScaledContents(true);
    grid->addWidget(c.picture, row, 1);

    if (item == kOutputItem) {
        c.whenSet =
            makeButton(this, QStringLiteral("ON"), QStringLiteral("Command2"), name + QStringLiteral(" ON"));
        c.whenClear = makeButton(this, QStringLiteral("OFF"), QStringLiteral("Command1"),
                                 name + QStringLiteral(" OFF"));
        c.toggle = makeButton(this, QStringLiteral("Toggle"), QStringLiteral("Command3"),
                              name + QStringLiteral(" Toggle"));
    } else if (item == kLightItem) {
        c.whenSet =
            makeButton(this, QStringLiteral("ON"), QStringLiteral("Command5"), name + QStringLiteral(" ON"));
        c.whenClear = makeButton(this, QStringLiteral("OFF"), QStringLiteral("Command6"),
                                 name + QStringLiteral(" OFF"));
    } else {
        c.whenSet = makeButton(this, QStringLiteral("NO"), QStringLiteral("cmdno%1").arg(item),
                               name + QStringLiteral(" NO"));
        c.whenClear = makeButton(this, QStringLiteral("NC"), QStringLiteral("cmdnc%1").arg(item),
                                 name + QStringLiteral(" NC"));
        c.toggle = makeButton(this, QStringLiteral("Toggle"), QStringLiteral("cmdtoggle%1").arg(item),
                              name + QStringLiteral(" Toggle"));
    }
    // Both buttons of an item ask the unit to change it over; the display keeps only the one
    // that matches the reported state enabled.
    connect(c.whenSet, &QPushButton::clicked, this, [this, item] { plainSwitch(item); });
    connect(c.whenClear, &QPushButton::clicked, this, [this, item] { plainSwitch(item); });
    grid->addWidget(c.whenSet, row, 2);
    grid->addWidget(c.whenClear, row, 3);

    if (!c.toggle)
        return;
    connect(c.toggle, &QPushButton::clicked, this, [this, item] { timedToggle(item); });
    grid->addWidget(c.toggle, row, 4);

    c.delay = new QSlider(Qt::Horizontal, this);
    c.delay->setObjectName(QStringLiteral("Slider%1").arg(item));
    c.delay->setAccessibleName(name + QStringLiteral(" delay"));
    c.delay->setRange(kMinDelay, kMaxDelay);
    c.delay->setValue(kMinDelay);
    c.delay->setMinimumWidth(120);
    auto* value = new QLabel(QString::number(c.delay->value()), this);
    value->setAccessibleName(name + tr(" delay seconds"));
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("60")));
    connect(c.delay, &QSlider::valueChanged, value, [value](int seconds) { value->setNum(seconds); });
    auto* hint = new QLabel(QStringLiteral("1 - 60 Second Delay"), this);
    hint->setAccessibleName(hint->text());

    auto* delayBox = new QHBoxLayout;
    delayBox->addWidget(c.delay);
    delayBox->addWidget(value);
    delayBox->addWidget(hint);
    grid->addLayout(delayBox, row, 5);
}

std::size_t BoardDialog::pendingFrames() const
{
    return m_queue->pending();
}

void BoardDialog::plainSwitch(int item)
{
    sendBoardFrame(itemMask(item), kPlainSwitch, 0);
}

void BoardDialog::timedToggle(int item)
{
    core::ConsoleState& state = context().state;
    if (state.toggleCountdown() > 0) {
        // The unit runs one toggle at a time; a second one would only be refused.
        state.raiseNotification(kOneToggleOnly);
        return;
    }
    const int seconds = m_items[std::size_t(item - 1)].delay->value();
    m_whatToggle = item;
    sendBoardFrame(itemMask(item), kTimedToggle, seconds);
}

void BoardDialog::sendBoardFrame(int mask, int toggle, int delaySeconds)
{
    m_queue->push(protocol::boardFrame(protocol::boardAddress(m_board), mask, toggle, delaySeconds,
                                       context().session.password()));
}

void BoardDialog::refreshState()
{
    const core::ConsoleState& state = context().state;
    const int bits = state.boardState(m_board);
    for (int item = 1; item <= kItems; ++item) {
        ItemControls& c = m_items[std::size_t(item - 1)];
        const bool set = (bits & itemMask(item)) != 0;
        c.whenSet->setEnabled(set);
        c.whenClear->setEnabled(!set);
        c.picture->setPixmap(QPixmap(res::boardStatePath(pictureKind(item), set)));
    }
    if (m_whatToggle == 0)
        return;
    QPushButton* shown = m_items[std::size_t(m_whatToggle - 1)].toggle;
    const int countdown = state.toggleCountdown();
    shown->setText(countdown > 0 ? QString::number(countdown) : QStringLiteral("Toggle"));
}

void BoardDialog::openScripts()
{
    auto* scripts = new BoardScriptingDialog(context(), this, m_timings);
    scripts->show();
    hide();
}

} // namespace kestavo::daughterboards
