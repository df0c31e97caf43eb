#include "control/style_codes.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "control/keyboard_mouse.h"
#include "control_fixture.h"
#include "emitters/effects.h"
#include "emitters/fan_bursts.h"
#include "emitters/rainbow_bursts.h"
#include "emitters/scatter_bursts.h"

namespace {

// Every timer a style code switches, with its period.
const std::map<uint32_t, uint32_t> kStylePeriods = {
    {111, 100}, {1, 400}, {222, 390}, {3, 70},   {4, 70},    {6, 180},  {7, 180},  {8, 380},
    {9, 200},   {11, 2500}, {10, 100}, {12, 100}, {33, 2000}, {44, 500}, {35, 2000}, {36, 700},
};

struct DecodedRow {
    StyleCode code;
    std::set<uint32_t> running;
    float gravity, damping;
    int32_t particleCount;  // 0: unchanged
    int32_t motionMode, fanRepeats, fanSpokes;
};

const DecodedRow kDecoded[30] = {
    {0x680005C0, {1, 4, 222}, 0, 0.97f, 0, 1, 3, 4},
    {0x710085C0, {1, 3, 8, 35, 222}, 0, 0.97f, 0, 1, 3, 4},
    {0x080005C0, {4}, 0, 0.97f, 0, 1, 3, 4},
    {0x800005C0, {111}, 0, 0.97f, 0, 1, 3, 4},
    {0x230005C0, {7, 8, 222}, 0, 0.97f, 0, 1, 3, 4},
    {0x650005C0, {1, 6, 8, 222}, 0, 0.97f, 0, 1, 3, 4},
    {0x4A8005C0, {1, 4, 7, 9}, 0, 0.97f, 0, 1, 3, 4},
    {0x018005C0, {8, 9}, 0, 0.97f, 0, 1, 3, 4},
    {0x002005C0, {10}, 0, 0.97f, 0, 1, 3, 4},
    {0x001005C0, {12}, 0, 0.97f, 0, 1, 3, 4},
    {0x284005C0, {4, 11, 222}, 0, 0.97f, 0, 1, 3, 4},
    {0x108245C0, {3, 9, 33, 36}, 0, 0.97f, 0, 1, 3, 4},
    {0x1800C640, {3, 4, 35, 36}, 0, 0.97f, 0, 1, 4, 4},
    {0x014305C0, {8, 11, 33, 44}, 0, 0.97f, 0, 1, 3, 4},
    {0x480245C0, {1, 4, 33, 36}, 0, 0.97f, 0, 1, 3, 4},
    {0x0044B2AB, {11, 35}, 0.027f, 0.998f, 2190, 0, 5, 2},
    {0x000609C0, {33}, 0.027f, 0.97f, 0, 2, 3, 4},
    {0x80093B7C, {44, 111}, -0.031f, 0.998f, 2380, 2, 6, 7},
    {0x00293B7C, {10, 44}, -0.031f, 0.998f, 2380, 2, 6, 7},
    {0x650401C0, {1, 6, 8, 222}, 0.027f, 0.97f, 0, 0, 3, 4},
    {0x4C0405C0, {1, 4, 6}, 0.027f, 0.97f, 0, 1, 3, 4},
    {0x002401C0, {10}, 0.027f, 0.97f, 0, 0, 3, 4},
    {0x41484DC0, {1, 8, 11, 36}, -0.031f, 0.97f, 0, 3, 3, 4},
    {0x004C1DCB, {11}, 0.072f, 0.97f, 2190, 3, 3, 4},
    {0x004C9DCB, {11, 35}, 0.072f, 0.97f, 2190, 3, 3, 4},
    {0x004C5DCF, {11, 36}, 0.072f, 0.97f, 2950, 3, 3, 4},
    {0x000C9ECC, {35}, 0.072f, 0.97f, 2380, 3, 5, 4},
    {0x000CDE4C, {35, 36}, 0.072f, 0.97f, 2380, 3, 4, 4},
    {0x6B0085C0, {1, 4, 7, 8, 35, 222}, 0, 0.97f, 0, 1, 3, 4},
    {0x500005C0, {1, 3}, 0, 0.97f, 0, 1, 3, 4},
};

// Checks the style timers against `running`: armed with their style period
// and flagged as running, every other one killed and flagged as stopped.
void ExpectStyleTimers(const ControlFixture& f, const std::set<uint32_t>& running, const char* where) {
    for (const auto& [id, period] : kStylePeriods) {
        const bool wanted = running.count(id) != 0;
        EXPECT_EQ(f.show.timerStopped[id], wanted ? 0 : 1) << where << " timer " << id;
        auto it = f.platform.timers.find(id);
        ASSERT_EQ(it != f.platform.timers.end(), wanted) << where << " timer " << id;
        if (wanted) {
            EXPECT_EQ(it->second.period, period) << where << " timer " << id;
        }
    }
}

void ExpectSamePools(const ControlFixture& a, const ControlFixture& b, const char* what) {
    ASSERT_EQ(a.show.world.pool.particleCount, b.show.world.pool.particleCount) << what;
    EXPECT_EQ(0, std::memcmp(a.show.world.pool.particles, b.show.world.pool.particles,
                             sizeof(Particle) * size_t(a.show.world.pool.particleCount)))
        << what;
    EXPECT_EQ(a.show.world.random.state, b.show.world.random.state) << what;
}

}  // namespace

TEST(StyleCodes, FillRandomStylesFromTheInitialGenerator) {
    Show show;
    FillRandomStyles(show);
    const StyleCode expected[15] = {0x48230029, 0x678408BE, 0x3D6C4AE1, 0x72AE2CD6, 0x5F906952,
                                    0x6DF10649, 0x41BB4AF1, 0x01EB26E9, 0x2EA60BB3, 0x153C02DB,
                                    0x390C6E87, 0x00990F3E, 0x305E0124, 0x491C440D, 0x4DB74D06};
    for (int32_t i = 0; i < 15; ++i) {
        EXPECT_EQ(show.StyleTable[30 + i], expected[i]) << "row " << 30 + i;
        EXPECT_EQ(show.StyleTable[30 + i] & 0x80009000u, 0u) << "row " << 30 + i;
    }
    EXPECT_EQ(show.StyleTable[29], 0x500005C0u);  // built-in rows untouched
}

TEST(StyleCodes, BuiltInRowsDecode) {
    // Each row from a fresh start, and then all rows in a row on one show, so
    // that every timer is brought into line from whatever state it was in.
    ControlFixture chained;
    for (int32_t row = 0; row < 30; ++row) {
        const DecodedRow& d = kDecoded[row];
        ASSERT_EQ(chained.show.StyleTable[row], d.code) << "row " << row;
        ControlFixture fresh;
        for (ControlFixture* f : {&fresh, &chained}) {
            const int32_t countBefore = f->show.world.pool.particleCount;
            ApplyStyle(f->show, d.code);
            const std::string where = "row " + std::to_string(row);
            ExpectStyleTimers(*f, d.running, where.c_str());
            const ShowParams& p = f->show.world.params;
            EXPECT_EQ(p.gravity, d.gravity) << where;
            EXPECT_EQ(p.damping, d.damping) << where;
            EXPECT_EQ(f->show.world.pool.particleCount, d.particleCount ? d.particleCount : countBefore) << where;
            EXPECT_EQ(p.motionMode, d.motionMode) << where;
            EXPECT_EQ(p.fanRepeats, d.fanRepeats) << where;
            EXPECT_EQ(p.fanSpokes, d.fanSpokes) << where;
            // The turn follows gravity.
            EXPECT_NEAR(p.turnDegrees, d.gravity * 66.666, 1e-5) << where;
            EXPECT_NEAR(p.turnSin, std::sin(d.gravity * 66.666 * 3.14159 / 180), 1e-6) << where;
            // Start-up timers are not style timers.
            EXPECT_EQ(f->show.timerStopped[2], 0) << where;
            EXPECT_EQ(f->show.timerStopped[37], 0) << where;
        }
    }
}

TEST(StyleCodes, ApplyingTwiceRestartsNothingButBit12EmptiesThePool) {
    ControlFixture f;
    ApplyStyle(f.show, 0x4A8005C0);
    f.MakeSomeLive();
    f.platform.calls.clear();
    const uint32_t state = f.show.world.random.state;
    ApplyStyle(f.show, 0x4A8005C0);
    EXPECT_TRUE(f.platform.calls.empty());
    EXPECT_EQ(f.LiveCount(), 10);
    EXPECT_EQ(f.show.world.random.state, state);

    // Bit 12 re-creates the pool even at the size it has: lives gone, phases redrawn.
    ApplyStyle(f.show, 0x1000u | 9u);  // 9 * 190 + 100 = 1810
    EXPECT_EQ(f.show.world.pool.particleCount, 1810);
    f.MakeSomeLive();
    Rng expected = f.show.world.random;
    for (int32_t i = 0; i < 1810; ++i) Rand(expected);
    ApplyStyle(f.show, 0x1000u | 9u);
    EXPECT_EQ(f.show.world.pool.particleCount, 1810);
    EXPECT_EQ(f.LiveCount(), 0);
    EXPECT_EQ(f.show.world.random.state, expected.state);

    ApplyStyle(f.show, 0x1000u);
    EXPECT_EQ(f.show.world.pool.particleCount, 100);
    ApplyStyle(f.show, 0x100Fu);
    EXPECT_EQ(f.show.world.pool.particleCount, 2950);
}

TEST(StyleCodes, FanFieldsAreClamped) {
    ControlFixture f;
    ApplyStyle(f.show, 0u);
    EXPECT_EQ(f.show.world.params.fanRepeats, 2);
    EXPECT_EQ(f.show.world.params.fanSpokes, 1);
    ApplyStyle(f.show, 1u << 7);
    EXPECT_EQ(f.show.world.params.fanRepeats, 2);
    ApplyStyle(f.show, (7u << 7) | (7u << 4) | (3u << 10));
    EXPECT_EQ(f.show.world.params.fanRepeats, 7);
    EXPECT_EQ(f.show.world.params.fanSpokes, 7);
    EXPECT_EQ(f.show.world.params.motionMode, 3);
}

TEST(StyleCodes, SparkleTimerKeepsThePeriodItWasArmedWith) {
    ControlFixture f;
    HandleKey(f.show, '4');
    ASSERT_EQ(f.platform.timers.at(SparkleTimer).period, 1400u);
    f.platform.calls.clear();
    ApplyStyle(f.show, 0x014305C0);  // bit 16 set: left running at 1400
    EXPECT_EQ(f.CallCount("SetShowTimer 44"), 0u);
    EXPECT_EQ(f.platform.timers.at(SparkleTimer).period, 1400u);
    ApplyStyle(f.show, 0x680005C0);  // bit 16 clear: stopped
    EXPECT_EQ(f.platform.timers.count(SparkleTimer), 0u);
    EXPECT_EQ(f.show.timerStopped[SparkleTimer], 1);
    ApplyStyle(f.show, 0x014305C0);  // armed again, at the style's period
    EXPECT_EQ(f.platform.timers.at(SparkleTimer).period, 500u);
}

TEST(StyleCodes, ToggleTimerAndDeriveTurn) {
    ControlFixture f;
    ToggleTimer(f.show, 9, 200);
    EXPECT_EQ(f.show.timerStopped[9], 0);
    EXPECT_EQ(f.platform.timers.at(9).period, 200u);
    ToggleTimer(f.show, 9, 200);
    EXPECT_EQ(f.show.timerStopped[9], 1);
    EXPECT_EQ(f.platform.timers.count(9), 0u);
    // A flag with nobody to tell still flips.
    f.show.platform = nullptr;
    ToggleTimer(f.show, 9, 200);
    EXPECT_EQ(f.show.timerStopped[9], 0);

    ShowParams p;
    p.gravity = 0.0f;
    DeriveTurn(p);
    EXPECT_EQ(p.turnDegrees, 0.0f);
    EXPECT_EQ(p.turnSin, 0.0f);
    EXPECT_EQ(p.turnCos, 1.0f);
    p.gravity = 0.072f;
    DeriveTurn(p);
    EXPECT_EQ(p.turnDegrees, float(double(0.072f) * 66.666));
    EXPECT_EQ(p.turnSin, float(std::sin(double(p.turnDegrees) * 3.14159 / 180)));
    EXPECT_EQ(p.turnCos, float(std::cos(double(p.turnDegrees) * 3.14159 / 180)));
}

TEST(StyleCodes, EmitterTicksDrawInTheirOrder) {
    // Each tick against the same emitter called with positions drawn by hand.
    struct Case {
        uint32_t id;
        std::function<void(World&)> byHand;
    };
    const std::vector<Case> cases = {
        {1, [](World& w) {
             const int32_t c = w.pool.particleCount;
             const int32_t n = Rand(w.random) % (c / 2) + c / 4;
             const int32_t y = 576 - Rand(w.random) % 512;
             const int32_t x = Rand(w.random) % 984 + 30;
             SpawnScatterBurst(w, x, y, n);
         }},
        {9, [](World& w) {
             const int32_t y = Rand(w.random) % 688 + 40;
             SpawnFanBurst(w, Rand(w.random) % 944 + 40, y, 125, 0.37f, 7);
         }},
        {11, [](World& w) {
             const int32_t y = Rand(w.random) % 384 + 168;
             SpawnSpiralBurst(w, Rand(w.random) % 512 + 256, y);
         }},
        {35, [](World& w) {
             const int32_t y = Rand(w.random) % 256 + 231;
             SpawnFanBurstFixed(w, Rand(w.random) % 341 + 341, y, 600, 0.18f, 10);
         }},
        {36, [](World& w) {
             const int32_t y = Rand(w.random) % 460 + 128;
             SpawnRainbowRing(w, Rand(w.random) % 682 + 170, y);
         }},
        {222, [](World& w) {
             const int32_t y = Rand(w.random) % 688 + 40;
             SpawnFlowerBurst(w, Rand(w.random) % 944 + 40, y);
         }},
        {33, [](World& w) {
             if (Rand(w.random) & 1) {
                 const int32_t y = Rand(w.random) % 256 + 256;
                 SpawnSpiralBurst(w, Rand(w.random) % 341 + 341, y);
             } else {
                 const int32_t y = Rand(w.random) % 153 + 307;
                 SpawnFanBurst(w, Rand(w.random) % 204 + 409, y, 1200, 0.11f, 7);
             }
         }},
        {44, [](World& w) {
             if (Rand(w.random) % 4) {
                 const int32_t y = Rand(w.random) % 256 + 256;
                 SpawnSparkleBurst(w, Rand(w.random) % 341 + 341, y, 3);
             } else {
                 const int32_t y = Rand(w.random) % 153 + 307;
                 SpawnFanBurst(w, Rand(w.random) % 204 + 409, y, 1200, 0.1f, 7);
             }
         }},
        {38, [](World& w) {
             if (Rand(w.random) % 3 == 0) return;
             if (Rand(w.random) & 1) ResizePool(w.pool, w.random, std::array<int32_t, 11>{
                 1900, 2400, 3330, 1700, 1800, 1900, 2000, 2100, 2700, 3000, 3600}[Rand(w.random) % 11]);
             w.params.windStrength = std::array<float, 13>{
                 0.5f, 0.9f, 0.3f, 0.2f, 0.2f, 0.3f, 0.3f, 0.4f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f}[Rand(w.random) % 13];
             SpawnGrandBurst(w, 512, 384);
         }},
    };
    // Enough seeds that both branches of 33, 44 and 38 come up.
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        for (const Case& c : cases) {
            ControlFixture tick(seed), hand(seed);
            HandleTimer(tick.show, c.id);
            c.byHand(hand.show.world);
            const std::string what = "timer " + std::to_string(c.id) + " seed " + std::to_string(seed);
            ExpectSamePools(tick, hand, what.c_str());
            EXPECT_EQ(tick.show.world.params.windStrength, hand.show.world.params.windStrength) << what;
        }
    }
}

TEST(StyleCodes, SmallPoolsAndOtherTimers) {
    // Timer 1 on a pool of 100 asks for 25 to 74 particles.
    for (uint32_t seed = 1; seed <= 30; ++seed) {
        ControlFixture f(seed);
        ResizePool(f.show.world.pool, f.show.world.random, 100);
        Rng peek = f.show.world.random;
        const int32_t n = Rand(peek) % 50 + 25;
        HandleTimer(f.show, ScatterTimer);
        EXPECT_LE(f.LiveCount(), 74);
        EXPECT_LE(f.LiveCount(), n);
    }
    // A pool too small to halve must not divide by zero: its draws as
    // usual, and a burst of count / 4 = 0.
    {
        ControlFixture f, g;
        ResizePool(f.show.world.pool, f.show.world.random, 1);
        ResizePool(g.show.world.pool, g.show.world.random, 1);
        HandleTimer(f.show, ScatterTimer);
        World& w = g.show.world;
        Rand(w.random);
        const int32_t y = 576 - Rand(w.random) % 512;
        SpawnScatterBurst(w, Rand(w.random) % 984 + 30, y, 0);
        ExpectSamePools(f, g, "pool of 1");
    }
    // 377 flips the wind; 2 applies a random style; unknown ids do nothing.
    ControlFixture f;
    HandleTimer(f.show, WindSwitchTimer);
    EXPECT_EQ(f.show.timerStopped[WindTimer], 1);
    EXPECT_EQ(f.platform.timers.count(WindTimer), 0u);
    HandleTimer(f.show, WindSwitchTimer);
    EXPECT_EQ(f.platform.timers.at(WindTimer).period, 400u);

    f.MakeSomeLive();
    f.platform.calls.clear();
    const uint32_t state = f.show.world.random.state;
    for (uint32_t id : {0u, 5u, 13u, 34u, 99u, 376u, 378u, 1000u, 0xFFFFFFFFu}) HandleTimer(f.show, id);
    EXPECT_TRUE(f.platform.calls.empty());
    EXPECT_EQ(f.show.world.random.state, state);
    EXPECT_EQ(f.LiveCount(), 10);

    Rng peek = f.show.world.random;
    const StyleCode chosen = f.show.StyleTable[Rand(peek) % 45];
    ControlFixture g;
    g.show.world.random = f.show.world.random;
    HandleTimer(f.show, StyleTimer);
    g.show.world.random = peek;
    ApplyStyle(g.show, chosen);
    EXPECT_EQ(f.Armed(), g.Armed());
    EXPECT_EQ(f.show.world.params.gravity, g.show.world.params.gravity);
    EXPECT_EQ(f.show.world.random.state, g.show.world.random.state);
}
