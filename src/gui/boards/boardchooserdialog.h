#pragma once

#include <array>

#include "gui/boards/boardtimings.h"
#include "gui/main/consoledialog.h"

class QLabel;
class QPushButton;
class QTimer;

namespace kestavo::daughterboards {

/// `I2C`: offers the daughter boards the unit reports as fitted. Choosing one opens `RDB` for it
/// and hands the disabled main window over; "Cancel" and the close box give the main window back.
class BoardChooserDialog final : public core::ConsoleDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BoardChooserDialog)

public:
    explicit BoardChooserDialog(core::Context& context, const BoardTimings& timings = {});

    /// Reads the presence values of the latest status report into the board buttons.
    void refreshAvailability();

private:
    void chooseBoard(int board);

    BoardTimings m_timings;
    std::array<QPushButton*, 6> m_boardButtons{};
    QLabel* m_noBoardsLabel = nullptr;
    QTimer* m_refreshTimer = nullptr;
};

} // namespace kestavo::daughterboards
