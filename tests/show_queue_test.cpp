#include <gtest/gtest.h>

#include <tuple>

#include "platform/headless/headless_platform.h"
#include "platform/show_queue.h"

namespace {

constexpr int64_t Msg(uint32_t message, uint64_t wParam) { return int64_t(message) << 32 | int64_t(wParam); }

// The next message at `now` as Msg(message, wParam), or -1 when none waits.
int64_t Next(ShowQueue& queue, uint32_t now) {
    ShowMessage m{0, 0, 0};
    return TakeShowMessage(queue, now, m) ? Msg(m.message, m.wParam) : -1;
}

}  // namespace

TEST(ShowQueue, PostedThenQuitThenTimers) {
    ShowQueue queue;
    ArmQueueTimer(queue, 88, 220, 1000);
    EXPECT_FALSE(ShowMessageWaiting(queue, 1219));
    EXPECT_TRUE(ShowMessageWaiting(queue, 1220));
    PostShowMessage(queue, {MsgKeyDown, 72, 1});
    PostQuitMessage(queue, 3);
    PostShowMessage(queue, {MsgLButtonDown, 1, 409 << 16 | 512});
    for (int64_t m : {Msg(MsgKeyDown, 72), Msg(MsgLButtonDown, 1), Msg(MsgQuit, 3), Msg(MsgTimer, 88), int64_t(-1)})
        EXPECT_EQ(Next(queue, 1300), m);
}

TEST(ShowQueue, TimersKeepTheirGridThroughDelaysKillsRearmsAndTheWrap) {
    ShowQueue queue;
    ArmQueueTimer(queue, 37, 400, 0);
    EXPECT_EQ(Next(queue, 1250), Msg(MsgTimer, 37));  // three periods missed, one message
    EXPECT_EQ(Next(queue, 1599), -1);
    EXPECT_EQ(TimeToNextTimer(queue, 1250), 350u);
    EXPECT_EQ(Next(queue, 1600), Msg(MsgTimer, 37));
    EXPECT_EQ(TimeToNextTimer(queue, 2100), 0u);
    // The most overdue first, the lowest id on ties.
    ShowQueue three;
    for (uint32_t id : {377u, 2u, 38u}) ArmQueueTimer(three, id, id == 38 ? 50 : 100, 0);
    for (uint32_t id : {38u, 2u, 377u}) EXPECT_EQ(Next(three, 100), Msg(MsgTimer, id));
    // A killed timer, overdue or not, leaves nothing behind.
    DisarmQueueTimer(queue, 37);
    DisarmQueueTimer(queue, 12);  // not armed: nothing happens
    EXPECT_EQ(Next(queue, 5000), -1);
    EXPECT_EQ(TimeToNextTimer(queue, 5), UINT32_MAX);
    ArmQueueTimer(queue, 11, 2500, 0);
    ArmQueueTimer(queue, 11, 2500, 2000);  // re-armed: the period starts again
    EXPECT_FALSE(ShowMessageWaiting(queue, 4499));
    EXPECT_EQ(Next(queue, 4500), Msg(MsgTimer, 11));
    ArmQueueTimer(queue, 11, 700, 4500);  // a new period replaces the old
    EXPECT_EQ(TimeToNextTimer(queue, 4500), 700u);
    ArmQueueTimer(queue, 88, 220, 0u - 300);  // due 80 ms before the tick count wraps to 0
    EXPECT_EQ(Next(queue, 10), Msg(MsgTimer, 88));  // taken after the wrap; next due at 140
    EXPECT_EQ(TimeToNextTimer(queue, 0u - 10), 150u);
    EXPECT_FALSE(ShowMessageWaiting(queue, 139));
    EXPECT_EQ(Next(queue, 140), Msg(MsgTimer, 88));
    EXPECT_EQ(TimeToNextTimer(queue, 140), 220u);
}

// The core's blocking retrieval, on the headless clock.
TEST(MemoryPlatform, GetWaitsForTimersAndInputAndNeverSpinsOnAStoppedClock) {
    HeadlessPlatform p;
    p.clock = 1000;
    p.SetShowTimer(7, 50);
    p.PostAt(1020, {MsgKeyDown, 72, 0});
    ShowMessage m{};
    ASSERT_EQ(p.GetShowMessage(m), 1);  // the clock jumps to the input first
    EXPECT_EQ(std::tuple(m.message, m.wParam, p.clock), std::tuple(uint32_t(MsgKeyDown), uintptr_t(72), 1020u));
    ASSERT_EQ(p.GetShowMessage(m), 1);
    EXPECT_EQ(std::tuple(m.message, m.wParam, p.clock), std::tuple(uint32_t(MsgTimer), uintptr_t(7), 1050u));

    // A wait that moves no clock used to recurse without end.
    p.onWait = [](HeadlessPlatform&, uint32_t) {};
    ASSERT_EQ(p.GetShowMessage(m), 1);
    EXPECT_EQ(m.message, 0u);
    // Nothing armed and nothing scheduled: nothing can ever come.
    p.KillShowTimer(7);
    EXPECT_EQ(p.GetShowMessage(m), 0);
    EXPECT_EQ(m.message, uint32_t(MsgQuit));
}
