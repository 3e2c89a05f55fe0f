#pragma once

namespace kestavo::daughterboards {

/// Intervals of the daughter-board windows. The defaults are the console's; tests shorten them.
struct BoardTimings
{
    /// `I2C` re-reads which boards the unit reports as fitted.
    int chooserRefreshMs = 1000;
    /// `RDB` redraws the selected board's state and the toggle countdown.
    int stateRefreshMs = 500;
    /// Least time between two 'R' frames: the unit handles one I2C command at a time, so presses
    /// in quick succession are queued instead of being sent back to back.
    int frameSpacingMs = 100;
    /// `RDBrelayScripting` asks for the slot contents this long after the listing arrived.
    int contentsDelayMs = 250;
};

} // namespace kestavo::daughterboards
