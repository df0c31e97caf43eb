// Style codes, the style table and the timer schedule.
#pragma once
#include <cstdint>
#include "control/show.h"

// Timer ids and periods (ms).
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

// Rows 30 to 44 from the generator: (r1 without bit 12) | (r2 << 16).
void FillRandomStyles(Show& show);
void ApplyStyle(Show& show, StyleCode code);
void ChooseRandomStyle(Show& show);
// Arms the timer when its flag says stopped, kills it otherwise; then the
// flag is inverted.
void ToggleTimer(Show& show, uint32_t id, uint32_t period);
// turnDegrees, turnSin and turnCos from gravity.
void DeriveTurn(ShowParams& params);
// One tick of the timer with this id; unknown ids do nothing.
void HandleTimer(Show& show, uint32_t id);
