#include "control/status_line.h"

#include <gtest/gtest.h>

#include <tuple>

#include "control/keyboard_mouse.h"
#include "control/show_timers.h"
#include "control_fixture.h"

using Text = std::tuple<int32_t, int32_t, uint32_t, std::string>;  // x, y, colour, text
static Text Drawn(const HeadlessPlatform& platform, size_t i) {
    const HeadlessPlatform::DrawnText& t = platform.texts.at(i);
    return {t.x, t.y, t.color, t.text};
}
static void ExpectBlank(const HeadlessPlatform& platform) {  // 52 spaces at x 1, 200, 400 and 600
    ASSERT_EQ(platform.texts.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(Drawn(platform, i), Text(i ? int32_t(200 * i) : 1, 5, 0xFFFF00u, std::string(52, ' ')));
}

TEST(StatusLine, BannerTicks) {
    ControlFixture f, g;
    HandleTimer(f.show, BannerTimer);  // tick 1: the first random style, nothing drawn
    HandleTimer(g.show, StyleTimer);
    EXPECT_TRUE(f.platform.texts.empty());
    EXPECT_EQ(std::tuple(f.Armed(), f.show.world.random.state), std::tuple(g.Armed(), g.show.world.random.state));
    for (int32_t tick = 2; tick <= 25; ++tick) {
        f.platform.texts.clear();
        f.platform.calls.clear();
        HandleTimer(f.show, BannerTimer);
        if (tick == 25) break;
        EXPECT_EQ(f.platform.calls, std::vector<std::string>{"DrawTexts"}) << tick;
        EXPECT_EQ(Drawn(f.platform, 0), Text(1, 5, 16316514u, "___Press 'H' For Help ")) << tick;
    }
    // Tick 25: the blank, then the timer ends.
    EXPECT_EQ(f.platform.calls, (std::vector<std::string>{"DrawTexts", "KillShowTimer 88"}));
    ExpectBlank(f.platform);
}

TEST(StatusLine, KeyHOnceAndTwice) {
    ControlFixture f;
    HandleKey(f.show, 'H');
    EXPECT_EQ(f.platform.calls, std::vector<std::string>{"SetShowTimer 77 1000"});
    EXPECT_TRUE(f.platform.texts.empty());  // the first line comes with the first tick
    f.platform.calls.clear();
    HandleKey(f.show, 'H');  // blanked at once, even before any line was drawn
    EXPECT_EQ(f.platform.calls, (std::vector<std::string>{"KillShowTimer 77", "DrawTexts"}));
    ExpectBlank(f.platform);
    EXPECT_EQ(f.show.timerStopped[StatusTimer], 1);
}

TEST(StatusLine, StatusText) {
    ControlFixture f;
    ShowParams& p = f.show.world.params;
    const auto line = [&](int32_t rate, float gravity, float damping, int32_t mode) {
        f.platform.texts.clear();
        std::tie(f.show.frameRate, p.gravity, p.damping, p.motionMode) = std::tuple(rate, gravity, damping, mode);
        HandleTimer(f.show, StatusTimer);
        return Drawn(f.platform, 0);
    };
    EXPECT_EQ(line(47, 0.027f, 0.97f, 2),
              Text(1, 5, 16316514u, "_EXIT:Esc _ChangeStyle:N _LockStyle:L _f:47 _n:1900 _g:0.027 _b:0.970 _m:1"
                                    " [Starvane v1.0 by the Starvane developers]    "));
    EXPECT_NE(std::get<3>(line(1000, -0.031f, 1.25f, 0)).find("_f:1000 _n:1900 _g:-0.031 _b:1.250 _m:-1 ["),
              std::string::npos);
    const std::string wide = std::get<3>(line(0, -3.0e38f, 3.0e38f, 0));  // the widest floats still come out whole
    EXPECT_EQ(wide.substr(wide.size() - 4), "    ");
    EXPECT_NE(wide.find("_m:-1 [Starvane v1.0"), std::string::npos);
}
