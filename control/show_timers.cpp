// The timer table and what every timer tick does.
#include "control/show_timers.h"

#include "control/show.h"
#include "control/status_line.h"
#include "control/style_codes.h"
#include "emitters/effects.h"
#include "emitters/fan_bursts.h"
#include "emitters/rainbow_bursts.h"
#include "emitters/scatter_bursts.h"

namespace {

constexpr int32_t PoolSizeTable[11] = {1900, 2400, 3330, 1700, 1800, 1900, 2000, 2100, 2700, 3000, 3600};
constexpr float WindStrengthTable[13] = {0.5f, 0.9f, 0.3f, 0.2f, 0.2f, 0.3f, 0.3f,
                                         0.4f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f};

// The ticks below draw a burst's y before its x.

// A scatter burst of a quarter to three quarters of the pool.
void ScatterTick(Show& show) {
    World& world = show.world;
    const int32_t count = world.pool.particleCount;
    const int32_t half = count / 2;
    // The draw is made even when the pool is too small to divide by its half.
    const int32_t r = Rand(world.random);
    const int32_t n = (half != 0 ? r % half : 0) + count / 4;
    const int32_t y = 576 - Rand(world.random) % 512, x = Rand(world.random) % 984 + 30;
    SpawnScatterBurst(world, x, y, n);
}

void FanTick(Show& show) {
    const int32_t y = Rand(show.world.random) % 688 + 40, x = Rand(show.world.random) % 944 + 40;
    SpawnFanBurst(show.world, x, y, 125, 0.37f, 7);
}

void SpiralTick(Show& show) {
    const int32_t y = Rand(show.world.random) % 384 + 168, x = Rand(show.world.random) % 512 + 256;
    SpawnSpiralBurst(show.world, x, y);
}

void SpiralOrFanTick(Show& show) {
    World& world = show.world;
    const int32_t coin = Rand(world.random);
    if (coin % 2 != 0) {
        const int32_t y = Rand(world.random) % 256 + 256, x = Rand(world.random) % 341 + 341;
        SpawnSpiralBurst(world, x, y);
    } else {
        const int32_t y = Rand(world.random) % 153 + 307, x = Rand(world.random) % 204 + 409;
        SpawnFanBurst(world, x, y, 1200, 0.11f, 7);
    }
}

void SparkleOrFanTick(Show& show) {
    World& world = show.world;
    const int32_t sel = Rand(world.random);
    if (sel % 4 != 0) {
        const int32_t y = Rand(world.random) % 256 + 256, x = Rand(world.random) % 341 + 341;
        SpawnSparkleBurst(world, x, y, 3);
    } else {
        const int32_t y = Rand(world.random) % 153 + 307, x = Rand(world.random) % 204 + 409;
        SpawnFanBurst(world, x, y, 1200, 0.1f, 7);
    }
}

void FixedFanTick(Show& show) {
    const int32_t y = Rand(show.world.random) % 256 + 231, x = Rand(show.world.random) % 341 + 341;
    SpawnFanBurstFixed(show.world, x, y, 600, 0.18f, 10);
}

void RingTick(Show& show) {
    const int32_t y = Rand(show.world.random) % 460 + 128, x = Rand(show.world.random) % 682 + 170;
    SpawnRainbowRing(show.world, x, y);
}

void FlowerTick(Show& show) {
    const int32_t y = Rand(show.world.random) % 688 + 40, x = Rand(show.world.random) % 944 + 40;
    SpawnFlowerBurst(show.world, x, y);
}

// Now and then a new pool size and wind strength, then the grand burst.
void GrandTick(Show& show) {
    World& world = show.world;
    if (Rand(world.random) % 3 == 0) return;
    if (Rand(world.random) % 2 != 0) {
        const int32_t r = Rand(world.random);
        ResizePool(world.pool, world.random, PoolSizeTable[r % 11]);
    }
    world.params.windStrength = WindStrengthTable[Rand(world.random) % 13];
    SpawnGrandBurst(world, 512, 384);
}

constexpr int32_t NoBit = -1;

constexpr TimerRow kTimerTable[] = {
    // id, period (ms), style bit, armed at start-up, one tick[, period when its own key arms it]
    {ForkSplitTimer,     100,   31,    false, [](Show& s) { SpawnForkSplit(s.world); }},
    {ScatterTimer,       400,   30,    false, ScatterTick},
    {FlowerTimer,        390,   29,    false, FlowerTick},
    {MirrorGlitterTimer, 70,    28,    false, [](Show& s) { SpawnMirrorGlitter(s.world); }},
    {SprayTrailTimer,    70,    27,    false, [](Show& s) { SpawnSprayTrail(s.world); }},
    {MirrorFanTimer,     180,   26,    false, [](Show& s) { SpawnMirrorFan(s.world); }},
    {MirrorCrossTimer,   180,   25,    false, [](Show& s) { SpawnMirrorCross(s.world); }},
    {EchoSpiralTimer,    380,   24,    false, [](Show& s) { SpawnEchoSpiral(s.world); }},
    {FanTimer,           200,   23,    false, FanTick},
    {SpiralTimer,        2500,  22,    false, SpiralTick},
    {AxisSparksTimer,    100,   21,    false, [](Show& s) { SpawnAxisSparks(s.world); }},
    {HexSparksTimer,     100,   20,    false, [](Show& s) { SpawnHexSparks(s.world); }},
    {SpiralFanTimer,     2000,  17,    false, SpiralOrFanTick},
    {SparkleTimer,       500,   16,    false, SparkleOrFanTick, 1400},
    {FixedFanTimer,      2000,  15,    false, FixedFanTick},
    {RingTimer,          700,   14,    false, RingTick},
    {StyleTimer,         28000, NoBit, true,  ChooseRandomStyle},
    {BannerTimer,        220,   NoBit, true,  BannerTick},
    {GrandTimer,         18000, NoBit, true,  GrandTick, 17000},
    {WindTimer,          400,   NoBit, true,  [](Show& s) { ApplyWind(s.world); }},
    {WindSwitchTimer,    17000, NoBit, true,  [](Show& s) { ToggleTimer(s, WindTimer); }},
    {StatusTimer,        1000,  NoBit, false, DrawStatusLine},
};

// Ids distinct and within the flags; style bits falling down the table.
constexpr bool TableIsSound() {
    int32_t lastBit = 32;
    for (const TimerRow& t : kTimerTable) {
        for (const TimerRow& u : kTimerTable)
            if (&u != &t && u.id == t.id) return false;
        if (t.id == 0 || t.id >= kTimerIdLimit || (t.styleBit != NoBit && t.styleBit >= lastBit)) return false;
        if (t.styleBit != NoBit) lastBit = t.styleBit;
    }
    return true;
}
static_assert(TableIsSound());

}  // namespace

const std::span<const TimerRow> kShowTimers = kTimerTable;

const TimerRow* FindTimer(uint32_t id) {
    for (const TimerRow& t : kTimerTable)
        if (t.id == id) return &t;
    return nullptr;
}

std::array<uint8_t, kTimerIdLimit> InitialTimerFlags() {
    std::array<uint8_t, kTimerIdLimit> flags{};
    for (const TimerRow& t : kTimerTable) flags[t.id] = t.startUp ? 0 : 1;
    return flags;
}

void SetTimer(Show& show, uint32_t id, uint32_t period) {
    if (show.platform) show.platform->SetShowTimer(id, period);
}

void KillTimer(Show& show, uint32_t id) {
    if (show.platform) show.platform->KillShowTimer(id);
}

void ToggleTimer(Show& show, uint32_t id) {
    const TimerRow* t = FindTimer(id);
    if (!t) return;
    uint8_t& stopped = show.timerStopped[id];
    if (stopped == 1)
        SetTimer(show, id, t->period);
    else
        KillTimer(show, id);
    stopped = stopped == 1 ? 0 : 1;
}

void HandleTimer(Show& show, uint32_t id) {
    if (const TimerRow* t = FindTimer(id)) t->tick(show);
}
