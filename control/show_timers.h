// The timer table: every window timer of the show, its period, what arms it
// and what one tick does. Start-up, styles, keys and the window procedure
// all go by it.
#pragma once
#include <array>
#include <cstdint>
#include <span>

struct Show;

enum ShowTimer : uint32_t {
    ScatterTimer = 1,
    StyleTimer = 2,
    MirrorGlitterTimer = 3,
    SprayTrailTimer = 4,
    MirrorFanTimer = 6,
    MirrorCrossTimer = 7,
    EchoSpiralTimer = 8,
    FanTimer = 9,
    AxisSparksTimer = 10,
    SpiralTimer = 11,
    HexSparksTimer = 12,
    SpiralFanTimer = 33,
    FixedFanTimer = 35,
    RingTimer = 36,
    WindTimer = 37,
    GrandTimer = 38,
    SparkleTimer = 44,
    StatusTimer = 77,
    BannerTimer = 88,
    ForkSplitTimer = 111,
    FlowerTimer = 222,
    WindSwitchTimer = 377,
};
constexpr uint32_t kTimerIdLimit = 378;  // above every id

struct TimerRow {
    ShowTimer id;
    uint32_t period;         // ms, as start-up, a style or ToggleTimer arms it
    int32_t styleBit;        // the style code bit that switches it, or -1
    bool startUp;            // armed at start-up
    void (*tick)(Show& show);
    uint32_t keyPeriod = 0;  // ms, as its own key arms it where that differs (keys 4 and 8)
};

// Style timers first, by falling style bit: the order ApplyStyle brings them
// into line. Then the start-up timers in the order start-up arms them, and
// the status line's.
extern const std::span<const TimerRow> kShowTimers;

// The row of this id, or null.
const TimerRow* FindTimer(uint32_t id);
// Stopped (1) for every timer start-up does not arm.
std::array<uint8_t, kTimerIdLimit> InitialTimerFlags();
// The platform's timer calls; nothing without a platform.
void SetTimer(Show& show, uint32_t id, uint32_t period);
void KillTimer(Show& show, uint32_t id);
// Arms the timer at its period when its flag says stopped, kills it
// otherwise; then the flag is inverted. Ids not in the table do nothing.
void ToggleTimer(Show& show, uint32_t id);
// One tick of the timer with this id; unknown ids do nothing.
void HandleTimer(Show& show, uint32_t id);
