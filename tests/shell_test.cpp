// Start-up and shutdown order, the message loop's pacing and the window
// procedure's dispatch, seen through the headless platform.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "control/show.h"
#include "platform/headless/headless_platform.h"
#include "shell/run_show.h"

namespace {

struct FrameSeen {
    uint32_t at;
    int32_t rate;
};

// A loop under test: every wait lets one millisecond pass, and each frame
// may take some time of its own; the loop ends after `frames` frames.
struct PacedLoop {
    HeadlessPlatform platform;
    Show show;
    std::vector<FrameSeen> seen;
    std::vector<uint32_t> frameCost;  // ms each frame takes, by frame number
    std::vector<uint32_t> waits;
    size_t frames = 0;

    static PacedLoop* current;

    explicit PacedLoop(uint32_t start, size_t frameCount) : frames(frameCount) {
        platform.clock = start;
        platform.onWait = [this](HeadlessPlatform& p, uint32_t timeout) {
            waits.push_back(timeout);
            p.clock += 1;
        };
        show.platform = &platform;
    }

    int32_t Run() {
        current = this;
        return RunMessageLoop(show, [](Show&, int32_t rate) {
            PacedLoop& loop = *current;
            loop.seen.push_back({loop.platform.clock, rate});
            if (loop.seen.size() <= loop.frameCost.size()) loop.platform.clock += loop.frameCost[loop.seen.size() - 1];
            if (loop.seen.size() == loop.frames) loop.platform.PostQuit(7);
        });
    }
};
PacedLoop* PacedLoop::current = nullptr;

std::vector<std::string> StartUpCalls() {
    return {"CreateShowWindow",        "FocusShowWindow",          "OpenDisplay",
            "ClearSurfaces",           "DrawTexts",                "SetShowTimer 2 28000",
            "SetShowTimer 88 220",     "SetShowTimer 38 18000",    "SetShowTimer 37 400",
            "SetShowTimer 377 17000"};
}

}  // namespace

TEST(MessageLoop, FramesTwentyOneMillisecondsApartAcrossTheTickWrap) {
    for (uint32_t start : {5000u, 0xFFFFFFF0u}) {
        PacedLoop loop(start, 4);
        EXPECT_EQ(loop.Run(), 7);  // the quit message's wParam
        ASSERT_EQ(loop.seen.size(), 4u);
        EXPECT_EQ(loop.seen[0].at, start + 21);
        EXPECT_EQ(loop.seen[0].rate, 1000);
        // A pass exactly 20 ms after a frame began runs none; 21 ms does.
        for (size_t i = 1; i < loop.seen.size(); ++i) {
            EXPECT_EQ(uint32_t(loop.seen[i].at - loop.seen[i - 1].at), 21u);
            EXPECT_EQ(loop.seen[i].rate, 47);
        }
        // The loop waits instead of spinning, never past the frame due.
        for (uint32_t w : loop.waits) {
            EXPECT_GE(w, 1u);
            EXPECT_LE(w, 21u);
        }
    }
}

TEST(MessageLoop, RateComesFromTheIntervalBetweenTheTwoFramesBefore) {
    // Frames taking 19, 40 and 1001 ms make intervals of 21, 40 and 1001.
    PacedLoop loop(0, 6);
    loop.frameCost = {0, 19, 40, 1001};
    loop.Run();
    ASSERT_EQ(loop.seen.size(), 6u);
    EXPECT_EQ(loop.seen[4].at - loop.seen[3].at, 1001u);
    const int32_t rates[] = {1000, 47, 47, 47, 25, 0};
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(loop.seen[i].rate, rates[i]) << i;
}

TEST(MessageLoop, PumpedOnAnimationFramesRunsAFrameOnlyWhenDueAndStopsAtQuit) {
    // A page's animation frames every 16 ms, the clock read once per frame:
    // a show frame on every second one, messages always dispatched first.
    PacedLoop paced(1000, 0);
    Show& show = paced.show;
    PacedLoop::current = &paced;
    const FrameStep record = [](Show&, int32_t rate) {
        PacedLoop::current->seen.push_back({PacedLoop::current->platform.clock, rate});
    };
    MessageLoop loop = BeginMessageLoop(paced.platform);
    std::vector<uint32_t> waits;
    for (uint32_t i = 1; i <= 6; ++i) {
        paced.platform.clock = 1000 + 16 * i;
        if (i == 3) paced.platform.queue.timers[88] = {10, 1040};  // due at this pump, before its frame
        waits.push_back(PumpMessageLoop(show, loop, record));
        if (i == 3) {
            EXPECT_EQ(paced.platform.queue.timers[88].nextDue, 1050u);
        }
    }
    EXPECT_EQ(waits, (std::vector<uint32_t>{5, 0, 5, 0, 5, 0}));
    ASSERT_EQ(paced.seen.size(), 3u);
    const FrameSeen expected[] = {{1032, 1000}, {1064, 31}, {1096, 31}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(paced.seen[i].at, expected[i].at);
        EXPECT_EQ(paced.seen[i].rate, expected[i].rate);
    }
    // The quit message ends it, even with a frame due.
    paced.platform.queue.timers.clear();
    paced.platform.clock += 100;
    paced.platform.PostQuit(5);
    EXPECT_EQ(PumpMessageLoop(show, loop, record), 0u);
    EXPECT_TRUE(loop.quit);
    EXPECT_EQ(loop.exitCode, 5);
    EXPECT_EQ(paced.seen.size(), 3u);
}

TEST(StartUp, RunsInOrderAndShutsDownRestoringTheDisplayFirst) {
    HeadlessPlatform platform;
    platform.seconds = 1234;
    platform.PostAt(500, {MsgKeyDown, VkEscape, 0});
    EXPECT_EQ(RunShow(platform), 0);

    std::vector<std::string> expected = StartUpCalls();
    ASSERT_GE(platform.calls.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(platform.calls.begin(), platform.calls.begin() + long(expected.size())), expected);
    const std::vector<std::string> shutdown = {"RestoreDisplay", "ReleaseBackBuffer", "ReleasePrimarySurface",
                                               "ReleaseDisplayObject"};
    ASSERT_GE(platform.calls.size(), shutdown.size());
    EXPECT_EQ(std::vector<std::string>(platform.calls.end() - long(shutdown.size()), platform.calls.end()), shutdown);
    // The banner is the first text drawn.
    ASSERT_FALSE(platform.texts.empty());
    EXPECT_EQ(platform.texts[0].text, "___Press 'H' For Help ");
    EXPECT_EQ(platform.texts[0].x, 1);
    EXPECT_EQ(platform.texts[0].y, 5);
    EXPECT_EQ(platform.texts[0].color, 16316514u);
}

TEST(StartUp, GeneratedStylesAreTheSameWhateverTheSeedAndTheBurstIsThere) {
    for (uint32_t seed : {0u, 1u, 99999u}) {
        HeadlessPlatform platform;
        auto show = std::make_unique<Show>();
        const char* reason = nullptr;
        ASSERT_TRUE(StartShow(*show, platform, seed, &reason));
        EXPECT_EQ(show->StyleTable[30], 0x48230029u);
        EXPECT_EQ(show->StyleTable[44], 0x4DB74D06u);
        int32_t live = 0;
        for (int32_t i = 0; i < show->world.pool.particleCount; ++i) live += show->world.pool.particles[i].life != 0;
        EXPECT_GT(live, 1000);  // the grand burst fills all but the last slots
        EXPECT_EQ(show->clientRect.right - show->clientRect.left, 1024);
        StopShow(*show);
    }
}

TEST(StartUp, FailuresEndWithStatusOneAndGiveTheDisplayBack) {
    HeadlessPlatform noWindow;
    noWindow.failWindow = true;
    EXPECT_EQ(RunShow(noWindow), 1);
    EXPECT_EQ(noWindow.calls, std::vector<std::string>{"CreateShowWindow"});

    HeadlessPlatform noDisplay;
    noDisplay.failDisplay = "no 1024 x 768 x 32 display mode";
    EXPECT_EQ(RunShow(noDisplay), 1);
    const std::vector<std::string> expected = {"CreateShowWindow",  "FocusShowWindow",       "OpenDisplay",
                                               "RestoreDisplay",    "ReleaseBackBuffer",     "ReleasePrimarySurface",
                                               "ReleaseDisplayObject"};
    EXPECT_EQ(noDisplay.calls, expected);
    EXPECT_TRUE(noDisplay.queue.timers.empty());
}

TEST(WindowProcedure, HandledMessagesReturnOneAndDestroyPostsQuit) {
    HeadlessPlatform platform;
    auto show = std::make_unique<Show>();
    const char* reason = nullptr;
    ASSERT_TRUE(StartShow(*show, platform, 5, &reason));
    const uint32_t before = show->world.random.state;
    EXPECT_EQ(WindowProc(show.get(), MsgTimer, 4242, 0), 1);   // unknown timer
    EXPECT_EQ(WindowProc(show.get(), MsgKeyDown, 37, 0), 1);   // left arrow: no action
    EXPECT_EQ(WindowProc(show.get(), MsgKeyDown, 0x79, 0), 1); // F10: no action
    EXPECT_EQ(show->world.random.state, before);
    EXPECT_FALSE(platform.queue.quitPosted);
    EXPECT_EQ(WindowProc(show.get(), 0x000F, 0, 0), 0);  // anything else: default procedure
    EXPECT_EQ(WindowProc(show.get(), MsgDestroy, 0, 0), 1);
    EXPECT_TRUE(platform.queue.quitPosted);
    EXPECT_EQ(platform.queue.quitCode, 0);
    StopShow(*show);
}

TEST(FrameStep, TouchesOnlyThePictureRowsAndSurvivesALostBackBuffer) {
    HeadlessPlatform platform;
    auto show = std::make_unique<Show>();
    const char* reason = nullptr;
    ASSERT_TRUE(StartShow(*show, platform, 77, &reason));
    std::fill(platform.surfaces.visible.begin(), platform.surfaces.visible.end(), 0x12345678u);
    for (int i = 0; i < 5; ++i) RunFrame(*show, 47);
    EXPECT_EQ(show->frameRate, 47);
    bool lit = false;
    for (int32_t row = 0; row < kScreenHeight; ++row) {
        for (int32_t col = 0; col < kScreenWidth; ++col) {
            const uint32_t p = platform.surfaces.visible[size_t(row) * kScreenWidth + size_t(col)];
            if (row < 25 || row > 742) {
                ASSERT_EQ(p, 0x12345678u) << row;
            } else if (row > 740) {
                ASSERT_EQ(p, 0u) << row;
            } else {
                lit |= p != 0;
            }
        }
    }
    EXPECT_TRUE(lit);

    // Lost: no lock, the trails still go on in the canvas, the frame is presented.
    platform.backBufferLost = true;
    platform.calls.clear();
    const std::vector<uint32_t> canvasBefore(show->canvas.pixels, show->canvas.pixels + 1024 * 719);
    RunFrame(*show, 47);
    EXPECT_EQ(platform.calls, (std::vector<std::string>{"LockBackBuffer", "Present"}));
    EXPECT_NE(std::vector<uint32_t>(show->canvas.pixels, show->canvas.pixels + 1024 * 719), canvasBefore);
    StopShow(*show);
}
