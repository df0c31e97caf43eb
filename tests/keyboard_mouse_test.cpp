#include "control/keyboard_mouse.h"

#include <gtest/gtest.h>

#include <cstring>

#include "control/style_codes.h"
#include "control_fixture.h"
#include "emitters/fan_bursts.h"
#include "emitters/rainbow_bursts.h"
#include "emitters/scatter_bursts.h"

namespace {

intptr_t Client(int32_t x, int32_t y) { return intptr_t(uint32_t(y) << 16 | uint32_t(x)); }

bool SamePool(const ParticlePool& a, const ParticlePool& b) {
    return a.particleCount == b.particleCount &&
           std::memcmp(a.particles, b.particles, sizeof(Particle) * size_t(a.particleCount)) == 0;
}

}  // namespace

TEST(KeyboardMouse, FanKeysClamp) {
    ControlFixture f;
    ShowParams& p = f.show.world.params;
    p.fanRepeats = 3;
    HandleKey(f.show, VkNext);
    EXPECT_EQ(p.fanRepeats, 2);
    HandleKey(f.show, VkNext);
    EXPECT_EQ(p.fanRepeats, 2);
    p.fanRepeats = 8;
    HandleKey(f.show, VkMultiply);
    HandleKey(f.show, VkMultiply);
    EXPECT_EQ(p.fanRepeats, 9);
    p.fanSpokes = 1;
    HandleKey(f.show, VkDown);
    EXPECT_EQ(p.fanSpokes, 1);
    p.fanSpokes = 9;
    HandleKey(f.show, VkDivide);
    EXPECT_EQ(p.fanSpokes, 9);
    HandleKey(f.show, VkDown);
    EXPECT_EQ(p.fanSpokes, 8);
}

TEST(KeyboardMouse, GravityAndDampingKeysUseFloatSteps) {
    ControlFixture f;
    ShowParams& p = f.show.world.params;
    float g = 0.027f, d = 0.97f;
    p.gravity = g;
    p.damping = d;
    for (int i = 0; i < 20; ++i) {
        HandleKey(f.show, VkPrior);
        g = g - 0.003f;
        HandleKey(f.show, VkClear);
        d = d - 0.002f;
    }
    EXPECT_EQ(p.gravity, g);
    EXPECT_EQ(p.damping, d);
    EXPECT_LT(p.gravity, -0.03f);  // no lower limit
    ShowParams derived = p;
    DeriveTurn(derived);
    EXPECT_EQ(p.turnSin, derived.turnSin);
    EXPECT_EQ(p.turnCos, derived.turnCos);
    for (int i = 0; i < 300; ++i) HandleKey(f.show, VkUp);
    EXPECT_GT(p.damping, 1.0f);  // no upper limit either
    HandleKey(f.show, VkRight);
    EXPECT_EQ(p.gravity, g + 0.003f);
}

TEST(KeyboardMouse, PoolKeys) {
    for (int32_t from : {300, 250, 100}) {
        ControlFixture f;
        ResizePool(f.show.world.pool, f.show.world.random, from);
        f.MakeSomeLive();
        HandleKey(f.show, VkSubtract);
        EXPECT_EQ(f.show.world.pool.particleCount, 100) << from;
        EXPECT_EQ(f.LiveCount(), 0) << from;  // emptied even when the size stays
    }
    ControlFixture f;
    HandleKey(f.show, VkSubtract);
    EXPECT_EQ(f.show.world.pool.particleCount, 1700);
    HandleKey(f.show, VkAdd);
    HandleKey(f.show, VkAdd);
    EXPECT_EQ(f.show.world.pool.particleCount, 2100);
}

TEST(KeyboardMouse, SpiralKeysAndPresets) {
    ControlFixture f;
    ShowParams& p = f.show.world.params;
    // Key 2 while 11 runs: re-armed, still running, preset A.
    HandleKey(f.show, '1');
    ASSERT_EQ(f.show.timerStopped[SpiralTimer], 0);
    f.platform.calls.clear();
    HandleKey(f.show, '2');
    EXPECT_EQ(f.platform.calls, std::vector<std::string>{"SetShowTimer 11 2500"});
    EXPECT_EQ(f.show.timerStopped[SpiralTimer], 0);
    EXPECT_EQ(p.gravity, 0.027f);
    EXPECT_EQ(p.damping, 0.996f);
    EXPECT_EQ(p.motionMode, Swirl);
    EXPECT_NEAR(p.turnDegrees, 0.027 * 66.666, 1e-6);
    HandleKey(f.show, '1');
    EXPECT_EQ(f.platform.timers.count(SpiralTimer), 0u);
    EXPECT_EQ(f.show.timerStopped[SpiralTimer], 1);

    // Key 3 twice: on with preset B, off with preset B kept.
    p.fanRepeats = 7;
    HandleKey(f.show, '3');
    EXPECT_EQ(f.platform.timers.at(SpiralFanTimer).period, 2000u);
    EXPECT_EQ(p.gravity, 0.017f);
    EXPECT_EQ(p.damping, 0.97f);
    EXPECT_EQ(p.motionMode, Radial);
    EXPECT_EQ(p.fanRepeats, 7);
    p.gravity = 0.5f;
    HandleKey(f.show, '3');
    EXPECT_EQ(f.platform.timers.count(SpiralFanTimer), 0u);
    EXPECT_EQ(f.show.timerStopped[SpiralFanTimer], 1);
    EXPECT_EQ(p.gravity, 0.5f);
}

TEST(KeyboardMouse, SparklePairFollowsTimer44) {
    ControlFixture f;
    ApplyStyle(f.show, 0x800005C0);  // 111 running, 44 stopped
    ASSERT_EQ(f.show.timerStopped[111], 0);
    f.platform.calls.clear();
    HandleKey(f.show, '4');
    EXPECT_EQ(f.platform.calls, (std::vector<std::string>{"SetShowTimer 44 1400", "SetShowTimer 111 100"}));
    EXPECT_EQ(f.show.timerStopped[SparkleTimer], 0);
    EXPECT_EQ(f.show.timerStopped[111], 0);
    const ShowParams& p = f.show.world.params;
    EXPECT_EQ(p.gravity, -0.031f);
    EXPECT_EQ(p.damping, 0.9997f);
    EXPECT_EQ(p.motionMode, Radial);
    EXPECT_EQ(p.fanRepeats, 6);
    EXPECT_EQ(p.fanSpokes, 4);
    EXPECT_LT(p.turnSin, 0.0f);
    HandleKey(f.show, '4');
    EXPECT_EQ(f.platform.timers.count(SparkleTimer), 0u);
    EXPECT_EQ(f.platform.timers.count(111), 0u);
    EXPECT_EQ(f.show.timerStopped[SparkleTimer], 1);
    EXPECT_EQ(f.show.timerStopped[111], 1);
}

TEST(KeyboardMouse, WindGrandAndSwitchKeys) {
    ControlFixture f;
    HandleKey(f.show, '7');  // the wind runs from start-up, so this stops it
    EXPECT_EQ(f.show.timerStopped[WindTimer], 1);
    EXPECT_EQ(f.platform.timers.count(WindTimer), 0u);

    f.MakeSomeLive();
    HandleKey(f.show, '8');  // stops the grand timer, no burst
    EXPECT_EQ(f.platform.timers.count(GrandTimer), 0u);
    EXPECT_EQ(f.show.timerStopped[GrandTimer], 1);
    EXPECT_EQ(f.LiveCount(), 10);
    HandleKey(f.show, '8');  // burst, then re-armed at 17 s
    EXPECT_GT(f.LiveCount(), 10);
    EXPECT_EQ(f.platform.timers.at(GrandTimer).period, 17000u);
    EXPECT_EQ(f.show.timerStopped[GrandTimer], 0);

    HandleKey(f.show, 'L');
    EXPECT_EQ(f.show.timerStopped[StyleTimer], 1);
    HandleKey(f.show, 'L');
    EXPECT_EQ(f.platform.timers.at(StyleTimer).period, 28000u);

    f.show.world.params.motionMode = 3;
    HandleKey(f.show, 'M');
    EXPECT_EQ(f.show.world.params.motionMode, 0);
    HandleKey(f.show, 'M');
    EXPECT_EQ(f.show.world.params.motionMode, 1);

    const std::pair<uint32_t, std::pair<uint32_t, uint32_t>> fkeys[] = {
        {112, {111, 100}}, {113, {1, 400}}, {114, {222, 390}}, {115, {3, 70}},  {116, {4, 70}},
        {117, {6, 180}},   {118, {7, 180}}, {119, {8, 380}},   {120, {9, 200}}, {122, {10, 100}},
        {123, {12, 100}},  {'5', {35, 2000}}, {'6', {36, 700}}, {'1', {11, 2500}},
    };
    for (const auto& [key, timer] : fkeys) {
        HandleKey(f.show, key);
        EXPECT_EQ(f.platform.timers.at(timer.first).period, timer.second) << key;
        EXPECT_EQ(f.show.timerStopped[timer.first], 0) << key;
    }

    // R: every style timer stopped, defaults back, a pool of 1810.
    f.MakeSomeLive();
    HandleKey(f.show, 'R');
    for (uint32_t id : {111u, 1u, 222u, 3u, 4u, 6u, 7u, 8u, 9u, 11u, 10u, 12u, 33u, 44u, 35u, 36u})
        EXPECT_EQ(f.show.timerStopped[id], 1) << id;
    EXPECT_EQ(f.show.world.pool.particleCount, 1810);
    EXPECT_EQ(f.LiveCount(), 0);
    EXPECT_EQ(f.show.world.params.fanRepeats, 3);
    EXPECT_EQ(f.show.world.params.fanSpokes, 4);
    EXPECT_EQ(f.show.world.params.motionMode, 1);

    // Unlisted keys: Esc (the window procedure's), left arrow, F10, letters.
    f.MakeSomeLive();
    f.platform.calls.clear();
    const ShowParams before = f.show.world.params;
    const uint32_t state = f.show.world.random.state;
    for (uint32_t key : {27u, 37u, 121u, uint32_t('A'), uint32_t('Z'), uint32_t('0'), uint32_t('9'), 0u, 255u, 0x10000u}) HandleKey(f.show, key);
    EXPECT_TRUE(f.platform.calls.empty());
    EXPECT_EQ(f.show.world.random.state, state);
    EXPECT_EQ(f.LiveCount(), 10);
    EXPECT_EQ(0, std::memcmp(&before, &f.show.world.params, sizeof before));
}

TEST(KeyboardMouse, ClientToCanvasMapping) {
    const ScreenRect full = {0, 0, 1024, 768};
    CanvasPoint p{};
    ASSERT_TRUE(MapClientToCanvas(full, Client(512, 409), p));
    EXPECT_EQ(p.x, 512);
    EXPECT_EQ(p.y, 384);
    ASSERT_TRUE(MapClientToCanvas(full, Client(3, 0), p));
    EXPECT_EQ(p.x, 3);
    EXPECT_EQ(p.y, -25);
    // Only width and height count; the division truncates toward zero.
    const ScreenRect scaled = {100, 50, 900, 650};  // 800 x 600
    ASSERT_TRUE(MapClientToCanvas(scaled, Client(400, 325), p));
    EXPECT_EQ(p.x, 512);
    EXPECT_EQ(p.y, 384);
    ASSERT_TRUE(MapClientToCanvas(scaled, Client(1, 24), p));
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, -1);  // -768 / 600
    // The halves are unsigned 16-bit; higher bits of lParam are not looked at.
    ASSERT_TRUE(MapClientToCanvas(full, intptr_t(-1), p));
    EXPECT_EQ(p.x, 65535 * 1024 / 1024);
    EXPECT_EQ(p.y, 65510);
    EXPECT_FALSE(MapClientToCanvas({5, 5, 5, 700}, Client(1, 1), p));
    EXPECT_FALSE(MapClientToCanvas({0, 9, 1024, 9}, Client(1, 1), p));
}

TEST(KeyboardMouse, MouseBursts) {
    ControlFixture f, g;
    RefreshClientRect(f.show);
    EXPECT_EQ(f.show.clientRect.right, 1024);
    EXPECT_EQ(f.show.clientRect.bottom, 768);
    HandleMouse(f.show, MsgLButtonDown, Client(512, 409));
    SpawnFanBurstFixed(g.show.world, 512, 384, 500, 0.18f, 10);
    EXPECT_TRUE(SamePool(f.show.world.pool, g.show.world.pool));
    HandleMouse(f.show, MsgRButtonDown, Client(700, 0));
    SpawnScatterBurst(g.show.world, 700, -25, 300);
    EXPECT_TRUE(SamePool(f.show.world.pool, g.show.world.pool));
    EXPECT_EQ(f.show.world.random.state, g.show.world.random.state);

    // No client area: the click is ignored.
    f.show.clientRect = {0, 0, 0, 0};
    const uint32_t state = f.show.world.random.state;
    HandleMouse(f.show, MsgLButtonDown, Client(10, 10));
    HandleMouse(f.show, MsgRButtonDown, Client(10, 10));
    EXPECT_TRUE(SamePool(f.show.world.pool, g.show.world.pool));
    EXPECT_EQ(f.show.world.random.state, state);
}
