#include "gui/boards/boardchooserdialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "protocol/codes.h"

#include "session/consolestate.h"

#include "gui/boards/boarddialog.h"

namespace kestavo::daughterboards {

namespace {
// Presence values the unit reports per board; anything else leaves the button as it was.
constexpr int kFitted = 255;
constexpr int kAbsent = 0;
} // namespace

BoardChooserDialog::BoardChooserDialog(core::Context& context, const BoardTimings& timings)
    : ConsoleDialog(context), m_timings(timings)
{
    setObjectName(QStringLiteral("I2C"));
    setWindowTitle(QStringLiteral("Relay Daughter Board Control"));

    auto* layout = new QVBoxLayout(this);
    m_noBoardsLabel = new QLabel(QStringLiteral("NO RELAY DAUGHTER BOARDS DETECTED!"), this);
    m_noBoardsLabel->setObjectName(QStringLiteral("Label1"));
    m_noBoardsLabel->setAccessibleName(m_noBoardsLabel->text());
    m_noBoardsLabel->setAlignment(Qt::AlignCenter);
    m_noBoardsLabel->setStyleSheet(QStringLiteral("color: #FF0000; font-weight: bold;"));
    layout->addWidget(m_noBoardsLabel);

    auto* grid = new QGridLayout;
    for (int board = 1; board <= protocol::kBoards; ++board) {
        auto* button = new QPushButton(QStringLiteral("RELAY DB %1").arg(board), this);
        button->setObjectName(QStringLiteral("Command%1").arg(board));
        button->setAccessibleName(button->text());
        // Nothing is offered until a report says the board is fitted.
        button->setEnabled(false);
        connect(button, &QPushButton::clicked, this, [this, board] { chooseBoard(board); });
        grid->addWidget(button, (board - 1) / 3, (board - 1) % 3);
        m_boardButtons[std::size_t(board - 1)] = button;
    }
    layout->addLayout(grid);

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command9"));
    cancel->setAccessibleName(cancel->text());
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);
    layout->addWidget(cancel, 0, Qt::AlignRight);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setObjectName(QStringLiteral("Timer1"));
    m_refreshTimer->setInterval(m_timings.chooserRefreshMs);
    connect(m_refreshTimer, &QTimer::timeout, this, &BoardChooserDialog::refreshAvailability);
    refreshAvailability();
    m_refreshTimer->start();
}

void BoardChooserDialog::refreshAvailability()
{
    const core::ConsoleState& state = context().state;
    bool allAbsent = true;
    for (int board = 1; board <= protocol::kBoards; ++board) {
        QPushButton* button = m_boardButtons[std::size_t(board - 1)];
        const int presence = state.boardPresence(board);
        if (presence == kFitted) {
            button->setEnabled(true);
            m_noBoardsLabel->hide();
        } else if (presence == kAbsent) {
            button->setEnabled(false);
        }
        if (presence != kAbsent)
            allAbsent = false;
    }
    if (allAbsent)
        m_noBoardsLabel->show();
}

void BoardChooserDialog::chooseBoard(int board)
{
    context().state.setSelectedBoard(board);
    auto* control = new BoardDialog(context(), m_timings);
    control->show();
    releaseMainWindow();
    close();
}

} // namespace kestavo::daughterboards
