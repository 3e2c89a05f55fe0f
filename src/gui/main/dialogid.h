#pragma once

namespace kestavo::core {

/// Windows the main window opens. The argument of a request (relay number, input number, box
/// index) travels beside the id.
enum class DialogId {
    AddIp,          // ADDIP1
    Relay,          // Switch1..Switch3 (argument 1..3)
    Options,        // options (input from the console state)
    ChangeMac,      // ChangeMAC
    ChangeIp,       // ChangeIP
    Security,       // Security
    RelayScripting, // RelayScripting
    StationName,    // StationName
    DaughterBoards, // I2C
    Uptime,         // uptime (main window stays enabled)
    About,          // About
    Timer,          // Timer
    Temperature,    // tempBox
    IoBox,          // ioBox (box index from the console state)
    // Windows beyond the unit's own dialogs; the main window stays enabled while they are open.
    Trends,     // Trends (argument: channel 1..8, 9 = temperature, 0 = none preselected)
    Fleet,      // Fleet
    Alarms,     // Alarms
    Audit,      // Audit
    UnitBackup, // UnitBackup (argument: 0 back up, 1 compare, 2 restore)
    Schedules,  // Schedules
    Rollout,    // Rollout
};

} // namespace kestavo::core
