#include "control/keyboard_mouse.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "control/style_codes.h"
#include "control_fixture.h"

static intptr_t Client(int32_t x, int32_t y) { return intptr_t(uint32_t(y) << 16 | uint32_t(x)); }

TEST(KeyboardMouse, FanAndMotionKeysClampOrWrap) {
    const struct { uint32_t key; int32_t ShowParams::*field; int32_t from, to; } cases[] = {
        {VkNext, &ShowParams::fanRepeats, 3, 2},     {VkNext, &ShowParams::fanRepeats, 2, 2},
        {VkMultiply, &ShowParams::fanRepeats, 8, 9}, {VkMultiply, &ShowParams::fanRepeats, 9, 9},
        {VkDown, &ShowParams::fanSpokes, 9, 8},      {VkDown, &ShowParams::fanSpokes, 1, 1},
        {VkDivide, &ShowParams::fanSpokes, 8, 9},    {VkDivide, &ShowParams::fanSpokes, 9, 9},
        {'M', &ShowParams::motionMode, 3, 0},        {'M', &ShowParams::motionMode, 0, 1},
    };
    ControlFixture f;
    for (const auto& c : cases) {
        f.show.world.params.*c.field = c.from;
        HandleKey(f.show, c.key);
        EXPECT_EQ(f.show.world.params.*c.field, c.to) << "key " << c.key << " from " << c.from;
    }
}

TEST(KeyboardMouse, GravityDampingAndPoolKeys) {
    ControlFixture f;
    ShowParams& p = f.show.world.params;
    float g = p.gravity = 0.027f, d = p.damping = 0.97f;
    for (int i = 0; i < 500; ++i) {  // 32-bit steps, no lower limit
        HandleKey(f.show, VkPrior);
        HandleKey(f.show, VkClear);
        ASSERT_EQ(std::tuple(p.gravity, p.damping), std::tuple(g = g - 0.003f, d = d - 0.002f)) << "press " << i;
    }
    for (int i = 0; i < 600; ++i) HandleKey(f.show, VkUp);
    EXPECT_GT(p.damping, 1.0f);  // no upper limit either

    for (int32_t from : {300, 250, 100}) {  // keypad minus stops at 100 and empties the pool even there
        ResizePool(f.show.world.pool, f.show.world.random, from);
        f.MakeSomeLive();
        HandleKey(f.show, VkSubtract);
        EXPECT_EQ(std::tuple(f.show.world.pool.particleCount, f.LiveCount()), std::tuple(100, 0)) << from;
    }
}

TEST(KeyboardMouse, TimerKeys) {
    ControlFixture f;
    const ShowParams& p = f.show.world.params;
    HandleKey(f.show, '1');
    f.platform.calls.clear();
    HandleKey(f.show, '2');  // 11 already runs: re-armed, and preset A
    EXPECT_EQ(f.platform.calls, std::vector<std::string>{"SetShowTimer 11 2500"});
    EXPECT_EQ(std::tuple(p.gravity, p.damping, p.motionMode), std::tuple(0.027f, 0.996f, 0));
    EXPECT_NEAR(p.turnDegrees, 0.027 * 66.666, 1e-6);
    HandleKey(f.show, '1');
    EXPECT_EQ(f.show.timerStopped[SpiralTimer], 1);

    // Key 4 goes by timer 44 alone: 111 is armed again although it runs, and stopped with 44.
    ApplyStyle(f.show, 0x800005C0);
    f.platform.calls.clear();
    HandleKey(f.show, '4');
    EXPECT_EQ(f.platform.calls, (std::vector<std::string>{"SetShowTimer 44 1400", "SetShowTimer 111 100"}));
    EXPECT_EQ(f.show.timerStopped[SparkleTimer] + f.show.timerStopped[111], 0);
    HandleKey(f.show, '4');
    EXPECT_EQ(f.show.timerStopped[SparkleTimer] + f.show.timerStopped[111], 2);

    // Keys 7, 8 and L stop the wind, grand and style timers of start-up; 8 fires no burst then.
    f.MakeSomeLive();
    for (uint32_t key : {'7', '8', 'L'}) HandleKey(f.show, key);
    EXPECT_TRUE(f.Armed().empty());
    EXPECT_EQ(f.LiveCount(), 10);
    HandleKey(f.show, '8');  // a grand burst, and 38 re-armed at 17 s
    EXPECT_GT(f.LiveCount(), 10);
    EXPECT_EQ(f.platform.queue.timers.at(GrandTimer).period, 17000u);
    const uint32_t keyed[][3] = {{'L', 2, 28000}, {'7', 37, 400}, {112, 111, 100}, {113, 1, 400}, {114, 222, 390},
                                 {115, 3, 70},    {116, 4, 70},   {117, 6, 180},   {118, 7, 180}, {119, 8, 380},
                                 {120, 9, 200},   {122, 10, 100}, {123, 12, 100},  {'5', 35, 2000}, {'6', 36, 700},
                                 {'1', 11, 2500}, {'3', 33, 2000}, {'H', 77, 1000}};
    for (const auto& [key, id, period] : keyed) {
        HandleKey(f.show, key);
        EXPECT_EQ(std::tuple(f.platform.queue.timers.at(id).period, f.show.timerStopped[id]), std::tuple(period, 0)) << key;
    }
    HandleKey(f.show, 'R');  // every style timer stopped, a fresh pool of 1810
    EXPECT_EQ(f.Armed(), (std::set<uint32_t>{2, 37, 38, 77}));
    EXPECT_EQ(std::tuple(f.show.world.pool.particleCount, f.LiveCount()), std::tuple(1810, 0));

    // Unlisted keys: Esc (the window procedure's), left arrow, F10, A, Z, 0, 9 and codes out of range.
    f.MakeSomeLive();
    f.platform.calls.clear();
    const ShowParams before = p;
    const uint32_t state = f.show.world.random.state;
    for (uint32_t key : {27u, 37u, 121u, 65u, 90u, 48u, 57u, 0u, 0x10000u}) HandleKey(f.show, key);
    EXPECT_TRUE(f.platform.calls.empty());
    EXPECT_EQ(std::tuple(f.show.world.random.state, f.LiveCount()), std::tuple(state, 10));
    EXPECT_EQ(0, std::memcmp(&before, &p, sizeof before));
}

TEST(KeyboardMouse, ClientToCanvasMapping) {
    const ScreenRect full = {0, 0, 1024, 768}, scaled = {100, 50, 900, 650};  // only width and height count
    const struct { ScreenRect rect; intptr_t lParam; bool mapped; int32_t x, y; } cases[] = {
        {full, Client(512, 409), true, 512, 384},   {full, Client(3, 0), true, 3, -25},
        {scaled, Client(400, 325), true, 512, 384}, {scaled, Client(1, 24), true, 1, -1},  // -768 / 600
        {full, intptr_t(-1), true, 65535, 65510},  // unsigned 16-bit halves, higher bits ignored
        {{5, 5, 5, 700}, Client(1, 1), false, 0, 0}, {{0, 9, 1024, 9}, Client(1, 1), false, 0, 0},
    };
    for (const auto& c : cases) {
        CanvasPoint p{};
        ASSERT_EQ(MapClientToCanvas(c.rect, c.lParam, p), c.mapped) << c.x << ", " << c.y;
        if (c.mapped) { EXPECT_EQ(std::tuple(p.x, p.y), std::tuple(c.x, c.y)); }
    }
    // Without a client area a click does nothing rather than divide by zero.
    ControlFixture f;
    f.show.clientRect = {0, 0, 0, 0};
    const uint32_t state = f.show.world.random.state;
    for (uint32_t message : {MsgLButtonDown, MsgRButtonDown}) HandleMouse(f.show, message, Client(10, 10));
    EXPECT_EQ(std::tuple(f.show.world.random.state, f.LiveCount()), std::tuple(state, 0));
}
