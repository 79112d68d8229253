#pragma once

// C64-style editing keys shared by the screen editor and the monitor.
enum class EditKey : int {
    Insert = 1,
    Delete = 2,
    Backspace = 3,
    Up = 4,
    Down = 5,
    Left = 6,
    Right = 7,
    Return = 8,
    Home = 9,
};
