#include <gtest/gtest.h>

#include "platform/sdl/show_queue.h"

namespace {

ShowMessage Take(ShowQueue& queue, uint32_t now) {
    ShowMessage m{0, 0, 0};
    EXPECT_TRUE(TakeShowMessage(queue, now, m));
    return m;
}

}  // namespace

TEST(ShowQueue, PostedThenQuitThenTimers) {
    ShowQueue queue;
    ArmQueueTimer(queue, 88, 220, 1000);
    EXPECT_FALSE(ShowMessageWaiting(queue, 1219));
    EXPECT_TRUE(ShowMessageWaiting(queue, 1220));
    PostShowMessage(queue, {MsgKeyDown, 72, 1});
    PostQuitMessage(queue, 0);
    PostShowMessage(queue, {MsgLButtonDown, 0, 409 << 16 | 512});
    EXPECT_EQ(Take(queue, 1300).message, uint32_t(MsgKeyDown));
    EXPECT_EQ(Take(queue, 1300).message, uint32_t(MsgLButtonDown));
    const ShowMessage quit = Take(queue, 1300);
    EXPECT_EQ(quit.message, uint32_t(MsgQuit));
    EXPECT_EQ(quit.wParam, 0u);
    const ShowMessage timer = Take(queue, 1300);
    EXPECT_EQ(timer.message, uint32_t(MsgTimer));
    EXPECT_EQ(timer.wParam, 88u);
    ShowMessage none;
    EXPECT_FALSE(TakeShowMessage(queue, 1300, none));
    EXPECT_FALSE(ShowMessageWaiting(queue, 1300));
}

TEST(ShowQueue, OverdueTimerGivesOneMessageAndKeepsItsGrid) {
    ShowQueue queue;
    ArmQueueTimer(queue, 37, 400, 0);
    // Three periods missed: one message, next due on the grid at 1600.
    EXPECT_EQ(Take(queue, 1250).wParam, 37u);
    ShowMessage m;
    EXPECT_FALSE(TakeShowMessage(queue, 1599, m));
    EXPECT_EQ(TimeToNextTimer(queue, 1250), 350u);
    EXPECT_EQ(Take(queue, 1600).wParam, 37u);
    EXPECT_EQ(TimeToNextTimer(queue, 1700), 300u);
    EXPECT_EQ(TimeToNextTimer(queue, 2100), 0u);  // overdue
}

TEST(ShowQueue, MostOverdueFirstAndLowestIdOnTies) {
    ShowQueue queue;
    ArmQueueTimer(queue, 377, 100, 0);
    ArmQueueTimer(queue, 2, 100, 0);
    ArmQueueTimer(queue, 38, 50, 0);
    EXPECT_EQ(Take(queue, 100).wParam, 38u);  // due at 50
    EXPECT_EQ(Take(queue, 100).wParam, 2u);
    EXPECT_EQ(Take(queue, 100).wParam, 377u);
}

TEST(ShowQueue, KillAndRearm) {
    ShowQueue queue;
    EXPECT_EQ(TimeToNextTimer(queue, 5), UINT32_MAX);
    ArmQueueTimer(queue, 77, 1000, 0);
    DisarmQueueTimer(queue, 77);
    ShowMessage m;
    EXPECT_FALSE(TakeShowMessage(queue, 5000, m));  // a killed timer leaves nothing behind
    DisarmQueueTimer(queue, 12);                     // not armed: nothing happens
    ArmQueueTimer(queue, 11, 2500, 0);
    ArmQueueTimer(queue, 11, 2500, 2000);  // re-armed: the period starts again
    EXPECT_FALSE(ShowMessageWaiting(queue, 4499));
    EXPECT_EQ(Take(queue, 4500).wParam, 11u);
    ArmQueueTimer(queue, 11, 700, 4500);  // a new period replaces the old one
    EXPECT_EQ(TimeToNextTimer(queue, 4500), 700u);
}

TEST(ShowQueue, TicksWrapAround) {
    ShowQueue queue;
    const uint32_t start = UINT32_MAX - 100;
    ArmQueueTimer(queue, 88, 220, start);  // due at 119 after the wrap
    EXPECT_FALSE(ShowMessageWaiting(queue, UINT32_MAX));
    EXPECT_EQ(TimeToNextTimer(queue, UINT32_MAX), 120u);
    EXPECT_FALSE(ShowMessageWaiting(queue, 118));
    EXPECT_EQ(Take(queue, 119).wParam, 88u);
    EXPECT_EQ(TimeToNextTimer(queue, 119), 220u);
}
