#include "control/status_line.h"

#include <gtest/gtest.h>

#include "control/keyboard_mouse.h"
#include "control/style_codes.h"
#include "control_fixture.h"

namespace {

const std::string kBanner = "___Press 'H' For Help ";
const std::string kBlank(52, ' ');

void ExpectBlank(const std::vector<HeadlessPlatform::DrawnText>& texts) {
    ASSERT_EQ(texts.size(), 4u);
    const int32_t xs[4] = {1, 200, 400, 600};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(texts[i].x, xs[i]);
        EXPECT_EQ(texts[i].y, 5);
        EXPECT_EQ(texts[i].color, 0xFFFF00u);
        EXPECT_EQ(texts[i].text, kBlank);
    }
}

}  // namespace

TEST(StatusLine, BannerTicks) {
    ControlFixture f;
    f.platform.SetShowTimer(BannerTimer, 220);
    f.platform.calls.clear();

    // Tick 1: the first random style, nothing drawn.
    Rng peek = f.show.world.random;
    const StyleCode chosen = f.show.StyleTable[Rand(peek) % 45];
    BannerTick(f.show);
    EXPECT_EQ(f.show.bannerTicks, 1);
    EXPECT_TRUE(f.platform.texts.empty());
    ControlFixture g;
    g.platform.SetShowTimer(BannerTimer, 220);
    ApplyStyle(g.show, chosen);
    EXPECT_EQ(f.Armed(), g.Armed());
    EXPECT_EQ(f.show.timerStopped, g.show.timerStopped);
    EXPECT_EQ(f.show.world.params.motionMode, g.show.world.params.motionMode);

    // Ticks 2 to 24: the banner again, one device-context pair each.
    for (int32_t tick = 2; tick <= 24; ++tick) {
        f.platform.texts.clear();
        f.platform.calls.clear();
        BannerTick(f.show);
        ASSERT_EQ(f.platform.texts.size(), 1u) << tick;
        EXPECT_EQ(f.platform.calls, std::vector<std::string>{"DrawTexts"}) << tick;
        EXPECT_EQ(f.platform.texts[0].x, 1);
        EXPECT_EQ(f.platform.texts[0].y, 5);
        EXPECT_EQ(f.platform.texts[0].color, 16316514u);
        EXPECT_EQ(f.platform.texts[0].text, kBanner);
    }

    // Tick 25: the blank in one pair, then the timer ends.
    f.platform.texts.clear();
    f.platform.calls.clear();
    BannerTick(f.show);
    EXPECT_EQ(f.show.bannerTicks, 25);
    EXPECT_EQ(f.platform.calls, (std::vector<std::string>{"DrawTexts", "KillShowTimer 88"}));
    ExpectBlank(f.platform.texts);
    EXPECT_EQ(f.platform.timers.count(BannerTimer), 0u);

    // The schedule routes timer 88 here too.
    f.platform.texts.clear();
    HandleTimer(f.show, BannerTimer);
    EXPECT_EQ(f.show.bannerTicks, 26);
}

TEST(StatusLine, KeyHOnceAndTwice) {
    ControlFixture f;
    HandleKey(f.show, 'H');
    EXPECT_EQ(f.platform.calls, std::vector<std::string>{"SetShowTimer 77 1000"});
    EXPECT_TRUE(f.platform.texts.empty());  // the first line comes with the first tick
    EXPECT_EQ(f.show.timerStopped[StatusTimer], 0);

    f.platform.calls.clear();
    HandleKey(f.show, 'H');
    EXPECT_EQ(f.platform.calls, (std::vector<std::string>{"KillShowTimer 77", "DrawTexts"}));
    ExpectBlank(f.platform.texts);
    EXPECT_EQ(f.show.timerStopped[StatusTimer], 1);
    EXPECT_EQ(f.platform.timers.count(StatusTimer), 0u);
}

TEST(StatusLine, StatusText) {
    ControlFixture f;
    f.show.frameRate = 47;
    f.show.world.params.gravity = 0.027f;
    f.show.world.params.damping = 0.97f;
    f.show.world.params.motionMode = 2;
    HandleTimer(f.show, StatusTimer);
    ASSERT_EQ(f.platform.texts.size(), 1u);
    EXPECT_EQ(f.platform.texts[0].x, 1);
    EXPECT_EQ(f.platform.texts[0].y, 5);
    EXPECT_EQ(f.platform.texts[0].color, 16316514u);
    EXPECT_EQ(f.platform.texts[0].text,
              "_EXIT:Esc _ChangeStyle:N _LockStyle:L _f:47 _n:1900 _g:0.027 _b:0.970 _m:1"
              " [Starvane v1.0 by the Starvane developers]    ");

    f.platform.texts.clear();
    f.show.frameRate = 1000;
    f.show.world.params.gravity = -0.031f;
    f.show.world.params.damping = 1.25f;
    f.show.world.params.motionMode = 0;
    DrawStatusLine(f.show);
    ASSERT_EQ(f.platform.texts.size(), 1u);
    EXPECT_NE(f.platform.texts[0].text.find("_f:1000 _n:1900 _g:-0.031 _b:1.250 _m:-1 ["), std::string::npos)
        << f.platform.texts[0].text;

    // The widest floats still come out whole.
    f.platform.texts.clear();
    f.show.world.params.gravity = -3.0e38f;
    f.show.world.params.damping = 3.0e38f;
    DrawStatusLine(f.show);
    ASSERT_EQ(f.platform.texts.size(), 1u);
    const std::string& wide = f.platform.texts[0].text;
    EXPECT_EQ(wide.substr(wide.size() - 4), "    ");
    EXPECT_NE(wide.find("_m:-1 [Starvane v1.0"), std::string::npos);
}
