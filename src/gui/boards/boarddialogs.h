#pragma once

#include "gui/boards/boardtimings.h"

namespace kestavo::core {
class DialogRegistry;
}

namespace kestavo::daughterboards {

/// Serves DialogId::DaughterBoards: the main window's daughter-board button opens `I2C`.
void registerBoardDialogs(core::DialogRegistry& registry, const BoardTimings& timings = {});

} // namespace kestavo::daughterboards
