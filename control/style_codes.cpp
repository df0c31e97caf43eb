// Style codes, the style table and what every timer tick does.
#include "control/style_codes.h"

#include <cmath>

#include "control/status_line.h"
#include "emitters/effects.h"
#include "emitters/fan_bursts.h"
#include "emitters/rainbow_bursts.h"
#include "emitters/scatter_bursts.h"

namespace {

constexpr float GravityTable[4] = {0.0f, 0.027f, -0.031f, 0.072f};
constexpr float DampingTable[2] = {0.97f, 0.998f};
constexpr int32_t PoolSizeTable[11] = {1900, 2400, 3330, 1700, 1800, 1900, 2000, 2100, 2700, 3000, 3600};
constexpr float WindStrengthTable[13] = {0.5f, 0.9f, 0.3f, 0.2f, 0.2f, 0.3f, 0.3f,
                                         0.4f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f};

struct StyleTimerBit {
    uint32_t bit;
    uint32_t id;
    uint32_t period;
};

// The timer bits of a style code, in the order they are brought into line.
constexpr StyleTimerBit StyleTimerBits[] = {
    {31, 111, 100}, {30, 1, 400},   {29, 222, 390}, {28, 3, 70},    {27, 4, 70},     {26, 6, 180},
    {25, 7, 180},   {24, 8, 380},   {23, 9, 200},   {22, 11, 2500}, {21, 10, 100},   {20, 12, 100},
    {17, 33, 2000}, {16, 44, 500},  {15, 35, 2000}, {14, 36, 700},
};

// Timer 1: a scatter burst of a quarter to three quarters of the pool.
void ScatterTick(World& world) {
    const int32_t count = world.pool.particleCount;
    const int32_t half = count / 2;
    // The draw is made even when the pool is too small to divide by its half.
    const int32_t r = Rand(world.random);
    const int32_t n = (half != 0 ? r % half : 0) + count / 4;
    const int32_t y = 576 - Rand(world.random) % 512;
    const int32_t x = Rand(world.random) % 984 + 30;
    SpawnScatterBurst(world, x, y, n);
}

void SpiralOrFanTick(World& world) {
    const int32_t coin = Rand(world.random);
    if (coin % 2 != 0) {
        const int32_t y = Rand(world.random) % 256 + 256;
        const int32_t x = Rand(world.random) % 341 + 341;
        SpawnSpiralBurst(world, x, y);
    } else {
        const int32_t y = Rand(world.random) % 153 + 307;
        const int32_t x = Rand(world.random) % 204 + 409;
        SpawnFanBurst(world, x, y, 1200, 0.11f, 7);
    }
}

void SparkleOrFanTick(World& world) {
    const int32_t sel = Rand(world.random);
    if (sel % 4 != 0) {
        const int32_t y = Rand(world.random) % 256 + 256;
        const int32_t x = Rand(world.random) % 341 + 341;
        SpawnSparkleBurst(world, x, y, 3);
    } else {
        const int32_t y = Rand(world.random) % 153 + 307;
        const int32_t x = Rand(world.random) % 204 + 409;
        SpawnFanBurst(world, x, y, 1200, 0.1f, 7);
    }
}

// Timer 38: now and then a new pool size and wind strength, then the grand burst.
void GrandTick(World& world) {
    if (Rand(world.random) % 3 == 0) return;
    if (Rand(world.random) % 2 != 0) {
        const int32_t r = Rand(world.random);
        ResizePool(world.pool, world.random, PoolSizeTable[r % 11]);
    }
    world.params.windStrength = WindStrengthTable[Rand(world.random) % 13];
    SpawnGrandBurst(world, 512, 384);
}

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

void ToggleTimer(Show& show, uint32_t id, uint32_t period) {
    if (id >= kTimerIdLimit) return;
    if (show.platform) {
        if (show.timerStopped[id] == 1)
            show.platform->SetShowTimer(id, period);
        else
            show.platform->KillShowTimer(id);
    }
    show.timerStopped[id] = show.timerStopped[id] == 1 ? 0 : 1;
}

void ApplyStyle(Show& show, StyleCode code) {
    for (const StyleTimerBit& t : StyleTimerBits) {
        const bool wanted = (code >> t.bit) & 1u;
        const bool stopped = show.timerStopped[t.id] == 1;
        if (wanted == stopped) ToggleTimer(show, t.id, t.period);
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

void HandleTimer(Show& show, uint32_t id) {
    World& world = show.world;
    switch (id) {
    case ScatterTimer: ScatterTick(world); break;
    case StyleTimer: ChooseRandomStyle(show); break;
    case MirrorGlitterTimer: SpawnMirrorGlitter(world); break;
    case SprayTrailTimer: SpawnSprayTrail(world); break;
    case MirrorFanTimer: SpawnMirrorFan(world); break;
    case MirrorCrossTimer: SpawnMirrorCross(world); break;
    case EchoSpiralTimer: SpawnEchoSpiral(world); break;
    case FanTimer: {
        const int32_t y = Rand(world.random) % 688 + 40;
        const int32_t x = Rand(world.random) % 944 + 40;
        SpawnFanBurst(world, x, y, 125, 0.37f, 7);
        break;
    }
    case AxisSparksTimer: SpawnAxisSparks(world); break;
    case SpiralTimer: {
        const int32_t y = Rand(world.random) % 384 + 168;
        const int32_t x = Rand(world.random) % 512 + 256;
        SpawnSpiralBurst(world, x, y);
        break;
    }
    case HexSparksTimer: SpawnHexSparks(world); break;
    case SpiralFanTimer: SpiralOrFanTick(world); break;
    case FixedFanTimer: {
        const int32_t y = Rand(world.random) % 256 + 231;
        const int32_t x = Rand(world.random) % 341 + 341;
        SpawnFanBurstFixed(world, x, y, 600, 0.18f, 10);
        break;
    }
    case RingTimer: {
        const int32_t y = Rand(world.random) % 460 + 128;
        const int32_t x = Rand(world.random) % 682 + 170;
        SpawnRainbowRing(world, x, y);
        break;
    }
    case WindTimer: ApplyWind(world); break;
    case GrandTimer: GrandTick(world); break;
    case SparkleTimer: SparkleOrFanTick(world); break;
    case StatusTimer: StatusTick(show); break;
    case BannerTimer: BannerTick(show); break;
    case ForkSplitTimer: SpawnForkSplit(world); break;
    case FlowerTimer: {
        const int32_t y = Rand(world.random) % 688 + 40;
        const int32_t x = Rand(world.random) % 944 + 40;
        SpawnFlowerBurst(world, x, y);
        break;
    }
    case WindSwitchTimer: ToggleTimer(show, WindTimer, 400); break;
    default: break;
    }
}
