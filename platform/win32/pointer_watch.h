// When pointer movement ends the screen saver: once the pointer has moved
// more than a few pixels from where it first stood. The first movement
// report only marks that place, since Windows sends one when the saver's
// window appears and the display mode change may have moved the pointer.
#pragma once
#include <cstdint>

// Pixels the pointer may drift, along either axis, without ending the show.
constexpr int32_t kPointerTolerance = 4;

struct PointerWatch {
    bool anchored = false;
    int32_t x = 0, y = 0;  // where the pointer first stood, screen pixels
};

// One movement report at screen position (x, y); true when it ends the show.
bool PointerMovedAway(PointerWatch& watch, int32_t x, int32_t y);
