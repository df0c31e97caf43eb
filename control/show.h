// The whole state of one running show: the simulation, the canvas, the style
// table, the timer flags and the platform it runs on. Tests and tools build
// a fresh one at will.
#pragma once
#include <array>
#include <cstdint>
#include "control/show_timers.h"
#include "engine/canvas.h"
#include "engine/world.h"
#include "platform/platform.h"

using StyleCode = uint32_t;
constexpr int32_t kStyleCount = 45;

struct Show {
    World world;
    Canvas canvas;
    // Rows 0 to 29 are built in; 30 to 44 are filled at start-up.
    StyleCode StyleTable[kStyleCount] = {
        0x680005C0, 0x710085C0, 0x080005C0, 0x800005C0, 0x230005C0, 0x650005C0,
        0x4A8005C0, 0x018005C0, 0x002005C0, 0x001005C0, 0x284005C0, 0x108245C0,
        0x1800C640, 0x014305C0, 0x480245C0, 0x0044B2AB, 0x000609C0, 0x80093B7C,
        0x00293B7C, 0x650401C0, 0x4C0405C0, 0x002401C0, 0x41484DC0, 0x004C1DCB,
        0x004C9DCB, 0x004C5DCF, 0x000C9ECC, 0x000CDE4C, 0x6B0085C0,
        0x500005C0,
    };
    // 1 when the timer of that id is not armed; the only record of its state.
    std::array<uint8_t, kTimerIdLimit> timerStopped = InitialTimerFlags();
    int32_t bannerTicks = 0;
    int32_t frameRate = 0;
    ScreenRect clientRect = {0, 0, 0, 0};
    Platform* platform = nullptr;
};
