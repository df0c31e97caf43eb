// Style codes and the style table.
#include "control/style_codes.h"

#include <cmath>

namespace {

constexpr float GravityTable[4] = {0.0f, 0.027f, -0.031f, 0.072f};
constexpr float DampingTable[2] = {0.97f, 0.998f};

}  // namespace

void FillRandomStyles(Show& show) {
    for (int32_t row = 30; row < kStyleCount; ++row) {
        const uint32_t r1 = uint32_t(Rand(show.world.random));
        const uint32_t r2 = uint32_t(Rand(show.world.random));
        show.StyleTable[row] = (r1 & ~0x1000u) | (r2 << 16);
    }
}

void DeriveTurn(ShowParams& params) {
    params.turnDegrees = float(double(params.gravity) * 66.666);
    const double radians = double(params.turnDegrees) * 3.14159 / 180.0;
    params.turnSin = float(std::sin(radians));
    params.turnCos = float(std::cos(radians));
}

void ApplyStyle(Show& show, StyleCode code) {
    for (const TimerRow& t : kShowTimers) {
        if (t.styleBit < 0) continue;
        const bool wanted = (code >> t.styleBit) & 1u;
        const bool stopped = show.timerStopped[t.id] == 1;
        if (wanted == stopped) ToggleTimer(show, t.id);
    }
    ShowParams& params = show.world.params;
    params.gravity = GravityTable[(code >> 18) & 3u];
    DeriveTurn(params);
    params.damping = DampingTable[(code >> 13) & 1u];
    if ((code >> 12) & 1u) ResizePool(show.world.pool, show.world.random, int64_t(code & 15u) * 190 + 100);
    params.motionMode = int32_t((code >> 10) & 3u);
    const int32_t repeats = int32_t((code >> 7) & 7u);
    params.fanRepeats = repeats < 2 ? 2 : repeats;
    const int32_t spokes = int32_t((code >> 4) & 7u);
    params.fanSpokes = spokes == 0 ? 1 : spokes;
}

void ChooseRandomStyle(Show& show) {
    const int32_t r = Rand(show.world.random);
    ApplyStyle(show, show.StyleTable[r % kStyleCount]);
}
