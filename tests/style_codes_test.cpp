#include "control/style_codes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <tuple>

#include "control/keyboard_mouse.h"
#include "control/show_timers.h"
#include "control_fixture.h"
#include "emitters/fan_bursts.h"
#include "emitters/rainbow_bursts.h"
#include "emitters/scatter_bursts.h"

namespace {

const std::map<uint32_t, uint32_t> kStylePeriods = {  // every timer a style switches, and its period
    {111, 100}, {1, 400},   {222, 390}, {3, 70},    {4, 70},   {6, 180},   {7, 180},  {8, 380},
    {9, 200},   {11, 2500}, {10, 100},  {12, 100},  {33, 2000}, {44, 500}, {35, 2000}, {36, 700},
};

struct DecodedRow {
    StyleCode code;
    std::set<uint32_t> running;  // the style timers running afterwards
    float gravity, damping;
    int32_t particleCount, motionMode, fanRepeats, fanSpokes;  // particleCount 0: unchanged
};

// Rows 0 to 29 of the built-in table, then codes at the clamps and bounds of the fields, and key R's code.
const DecodedRow kDecoded[] = {
    {0x680005C0, {1, 4, 222}, 0, 0.97f, 0, 1, 3, 4}, {0x710085C0, {1, 3, 8, 35, 222}, 0, 0.97f, 0, 1, 3, 4},
    {0x080005C0, {4}, 0, 0.97f, 0, 1, 3, 4}, {0x800005C0, {111}, 0, 0.97f, 0, 1, 3, 4},
    {0x230005C0, {7, 8, 222}, 0, 0.97f, 0, 1, 3, 4}, {0x650005C0, {1, 6, 8, 222}, 0, 0.97f, 0, 1, 3, 4},
    {0x4A8005C0, {1, 4, 7, 9}, 0, 0.97f, 0, 1, 3, 4}, {0x018005C0, {8, 9}, 0, 0.97f, 0, 1, 3, 4},
    {0x002005C0, {10}, 0, 0.97f, 0, 1, 3, 4}, {0x001005C0, {12}, 0, 0.97f, 0, 1, 3, 4},
    {0x284005C0, {4, 11, 222}, 0, 0.97f, 0, 1, 3, 4}, {0x108245C0, {3, 9, 33, 36}, 0, 0.97f, 0, 1, 3, 4},
    {0x1800C640, {3, 4, 35, 36}, 0, 0.97f, 0, 1, 4, 4}, {0x014305C0, {8, 11, 33, 44}, 0, 0.97f, 0, 1, 3, 4},
    {0x480245C0, {1, 4, 33, 36}, 0, 0.97f, 0, 1, 3, 4}, {0x0044B2AB, {11, 35}, 0.027f, 0.998f, 2190, 0, 5, 2},
    {0x000609C0, {33}, 0.027f, 0.97f, 0, 2, 3, 4}, {0x80093B7C, {44, 111}, -0.031f, 0.998f, 2380, 2, 6, 7},
    {0x00293B7C, {10, 44}, -0.031f, 0.998f, 2380, 2, 6, 7}, {0x650401C0, {1, 6, 8, 222}, 0.027f, 0.97f, 0, 0, 3, 4},
    {0x4C0405C0, {1, 4, 6}, 0.027f, 0.97f, 0, 1, 3, 4}, {0x002401C0, {10}, 0.027f, 0.97f, 0, 0, 3, 4},
    {0x41484DC0, {1, 8, 11, 36}, -0.031f, 0.97f, 0, 3, 3, 4}, {0x004C1DCB, {11}, 0.072f, 0.97f, 2190, 3, 3, 4},
    {0x004C9DCB, {11, 35}, 0.072f, 0.97f, 2190, 3, 3, 4}, {0x004C5DCF, {11, 36}, 0.072f, 0.97f, 2950, 3, 3, 4},
    {0x000C9ECC, {35}, 0.072f, 0.97f, 2380, 3, 5, 4}, {0x000CDE4C, {35, 36}, 0.072f, 0.97f, 2380, 3, 4, 4},
    {0x6B0085C0, {1, 4, 7, 8, 35, 222}, 0, 0.97f, 0, 1, 3, 4}, {0x500005C0, {1, 3}, 0, 0.97f, 0, 1, 3, 4},
    {0, {}, 0, 0.97f, 0, 0, 2, 1}, {0x80, {}, 0, 0.97f, 0, 0, 2, 1}, {0xFF0, {}, 0, 0.97f, 0, 3, 7, 7},
    {0x1000, {}, 0, 0.97f, 100, 0, 2, 1}, {ResetStyleCode, {}, 0, 0.97f, 1810, 1, 3, 4},
};

// Timers 1, 33, 38 and 44 drawn by hand.
void TickByHand(World& w, uint32_t id) {
    constexpr int32_t sizes[11] = {1900, 2400, 3330, 1700, 1800, 1900, 2000, 2100, 2700, 3000, 3600};
    constexpr float winds[13] = {0.5f, 0.9f, 0.3f, 0.2f, 0.2f, 0.3f, 0.3f, 0.4f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f};
    const int32_t c = w.pool.particleCount, r = Rand(w.random);
    if (id == ScatterTimer) {  // a pool too small to halve still draws, and bursts c / 4
        const int32_t n = (c / 2 ? r % (c / 2) : 0) + c / 4, y = 576 - Rand(w.random) % 512;
        return SpawnScatterBurst(w, Rand(w.random) % 984 + 30, y, n);
    }
    if (id == GrandTimer) {
        if (r % 3 == 0) return;
        if (Rand(w.random) & 1) ResizePool(w.pool, w.random, sizes[Rand(w.random) % 11]);
        w.params.windStrength = winds[Rand(w.random) % 13];
        return SpawnGrandBurst(w, 512, 384);
    }
    const bool fan = r % (id == SpiralFanTimer ? 2 : 4) == 0;
    const int32_t y = fan ? Rand(w.random) % 153 + 307 : Rand(w.random) % 256 + 256;
    const int32_t x = fan ? Rand(w.random) % 204 + 409 : Rand(w.random) % 341 + 341;
    if (fan) SpawnFanBurst(w, x, y, 1200, id == SpiralFanTimer ? 0.11f : 0.1f, 7);
    else if (id == SpiralFanTimer) SpawnSpiralBurst(w, x, y);
    else SpawnSparkleBurst(w, x, y, 3);
}

}  // namespace

TEST(StyleCodes, FillRandomStylesFromTheInitialGenerator) {
    Show show;
    FillRandomStyles(show);
    const StyleCode expected[15] = {0x48230029, 0x678408BE, 0x3D6C4AE1, 0x72AE2CD6, 0x5F906952,
                                    0x6DF10649, 0x41BB4AF1, 0x01EB26E9, 0x2EA60BB3, 0x153C02DB,
                                    0x390C6E87, 0x00990F3E, 0x305E0124, 0x491C440D, 0x4DB74D06};
    for (int32_t i = 0; i < 15; ++i) EXPECT_EQ(show.StyleTable[30 + i], expected[i]) << "row " << 30 + i;
    EXPECT_EQ(show.StyleTable[29], 0x500005C0u);  // built-in rows untouched
}

TEST(StyleCodes, CodesDecode) {
    // Each code from a fresh start, and all in a row on one show, so timers come into line from either state.
    ControlFixture chained;
    for (size_t row = 0; row < std::size(kDecoded); ++row) {
        const DecodedRow& d = kDecoded[row];
        SCOPED_TRACE("row " + std::to_string(row));
        if (row < 30) { ASSERT_EQ(chained.show.StyleTable[row], d.code); }
        ControlFixture fresh;
        for (ControlFixture* f : {&fresh, &chained}) {
            const int32_t countBefore = f->show.world.pool.particleCount;
            f->MakeSomeLive();
            ApplyStyle(f->show, d.code);
            EXPECT_EQ(f->LiveCount(), d.particleCount ? 0 : 10);  // bit 12 re-creates the pool even at its size
            std::set<uint32_t> armed = d.running;
            armed.insert({2, 37, 38});  // start-up timers are no style timers
            EXPECT_EQ(f->Armed(), armed);
            for (const auto& [id, period] : kStylePeriods) {
                EXPECT_EQ(f->show.timerStopped[id], d.running.count(id) ? 0 : 1) << "timer " << id;
                if (d.running.count(id)) { EXPECT_EQ(f->platform.queue.timers.at(id).period, period) << "timer " << id; }
            }
            const ShowParams& p = f->show.world.params;
            ShowParams turned = p;
            DeriveTurn(turned);
            EXPECT_EQ(std::tuple(p.gravity, p.damping, f->show.world.pool.particleCount, p.motionMode, p.fanRepeats,
                                 p.fanSpokes, p.turnSin, p.turnCos),
                      std::tuple(d.gravity, d.damping, d.particleCount ? d.particleCount : countBefore, d.motionMode,
                                 d.fanRepeats, d.fanSpokes, turned.turnSin, turned.turnCos));
            f->platform.calls.clear();
            ApplyStyle(f->show, d.code);  // timers already in line keep their phase
            EXPECT_TRUE(f->platform.calls.empty());
        }
    }
}

TEST(StyleCodes, EmitterTicksDrawInTheirOrder) {
    // Enough seeds that both branches of 33, 44 and 38 come up; a pool of 1 cannot be halved.
    for (uint32_t seed = 1; seed <= 36; ++seed) {
        const int32_t size = seed % 3 == 0 ? 1 : seed % 3 == 1 ? 1900 : 100;
        for (uint32_t id : {1u, 33u, 38u, 44u}) {
            SCOPED_TRACE(testing::Message() << "timer " << id << " seed " << seed << " pool " << size);
            ControlFixture tick(seed), hand(seed);
            for (ControlFixture* f : {&tick, &hand}) ResizePool(f->show.world.pool, f->show.world.random, size);
            HandleTimer(tick.show, id);
            TickByHand(hand.show.world, id);
            const World &a = tick.show.world, &b = hand.show.world;
            ASSERT_EQ(std::tuple(a.pool.particleCount, a.random.state, a.params.windStrength),
                      std::tuple(b.pool.particleCount, b.random.state, b.params.windStrength));
            const size_t bytes = sizeof(Particle) * size_t(a.pool.particleCount);
            EXPECT_EQ(std::memcmp(a.pool.particles, b.pool.particles, bytes), 0);
        }
    }
}

TEST(StyleCodes, OtherTimers) {
    ControlFixture f;
    HandleTimer(f.show, WindSwitchTimer);
    EXPECT_EQ(f.Armed(), (std::set<uint32_t>{2, 38}));
    HandleTimer(f.show, WindSwitchTimer);
    EXPECT_EQ(f.platform.queue.timers.at(WindTimer).period, 400u);

    f.MakeSomeLive();
    f.platform.calls.clear();
    const uint32_t state = f.show.world.random.state;
    for (uint32_t id : {0u, 5u, 13u, 34u, 99u, 376u, 378u, 0xFFFFFFFFu}) HandleTimer(f.show, id);
    EXPECT_TRUE(f.platform.calls.empty());
    EXPECT_EQ(f.show.world.random.state, state);
    EXPECT_EQ(f.LiveCount(), 10);
    // Timer 2 draws a row and applies it.
    ControlFixture g;
    g.show.world.random = f.show.world.random;
    ApplyStyle(g.show, g.show.StyleTable[Rand(g.show.world.random) % 45]);
    HandleTimer(f.show, StyleTimer);
    EXPECT_EQ(f.Armed(), g.Armed());
    EXPECT_EQ(f.show.world.params.gravity, g.show.world.params.gravity);
    EXPECT_EQ(f.show.world.random.state, g.show.world.random.state);
    // Timer 44 keeps the period it was armed with.
    ControlFixture k;
    HandleKey(k.show, '4');          // armed at 1400
    ApplyStyle(k.show, 0x014305C0);  // bit 16 set: left running
    EXPECT_EQ(k.platform.queue.timers.at(SparkleTimer).period, 1400u);
    ApplyStyle(k.show, 0x680005C0);  // bit 16 clear: stopped
    EXPECT_EQ(k.platform.queue.timers.count(SparkleTimer), 0u);
    ApplyStyle(k.show, 0x014305C0);  // armed again, at the style's period
    EXPECT_EQ(k.platform.queue.timers.at(SparkleTimer).period, 500u);
}
