#include <gtest/gtest.h>

#include <vector>

#include "platform/wayland/shm_buffers.h"

namespace {

bool Same(const PixelRect& a, const PixelRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Two buffers over plain memory: what TakeFreeBuffer and MarkStale do needs
// no compositor (the wl_buffer is only looked at, never used).
struct Pair {
    static constexpr int32_t kWidth = 16, kHeight = 8;
    std::vector<uint32_t> image = std::vector<uint32_t>(kWidth * kHeight, 0);
    std::vector<uint32_t> memory[2] = {std::vector<uint32_t>(kWidth * kHeight, 0),
                                       std::vector<uint32_t>(kWidth * kHeight, 0)};
    ShmBuffers b;
    Pair() {
        b.width = kWidth;
        b.height = kHeight;
        for (int i = 0; i < 2; ++i) {
            b.buffers[i].buffer = reinterpret_cast<wl_buffer*>(&memory[i]);
            b.buffers[i].pixels = memory[i].data();
        }
    }
    void Paint(const PixelRect& r, uint32_t color) {
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x) image[size_t(y * kWidth + x)] = color;
        MarkStale(b, r);
    }
};

}  // namespace

TEST(StaleRects, RowsNextToEachOtherMergeAndALongListBecomesItsBounds) {
    StaleRects s;
    AddStale(s, {2, 0, 6, 3});
    AddStale(s, {3, 3, 8, 5});  // touches the last: widened into it
    ASSERT_EQ(s.rects.size(), 1u);
    EXPECT_TRUE(Same(s.rects[0], {2, 0, 8, 5}));
    AddStale(s, {20, 10, 30, 12});  // apart: a rectangle of its own
    AddStale(s, {5, 5, 5, 9});      // empty: nothing
    ASSERT_EQ(s.rects.size(), 2u);
    for (int32_t i = 0; i < 40; ++i) AddStale(s, {i * 10, 100 + i * 3, i * 10 + 2, 101 + i * 3});
    EXPECT_LE(s.rects.size(), 32u);
    // Whatever was merged, every rectangle added is still covered.
    auto covered = [&](const PixelRect& r) {
        for (const PixelRect& q : s.rects)
            if (q.left <= r.left && q.top <= r.top && q.right >= r.right && q.bottom >= r.bottom) return true;
        return false;
    };
    EXPECT_TRUE(covered({2, 0, 8, 5}));
    EXPECT_TRUE(covered({20, 10, 30, 12}));
    for (int32_t i = 0; i < 40; ++i) EXPECT_TRUE(covered({i * 10, 100 + i * 3, i * 10 + 2, 101 + i * 3})) << i;
}

TEST(ShmBuffers, ABufferTakenAgainCatchesUpOnEveryFrameItMissed) {
    Pair p;
    p.Paint({0, 0, 4, 2}, 0x111111);
    ShmBuffer* first = TakeFreeBuffer(p.b, p.image.data());
    ASSERT_EQ(first, &p.b.buffers[0]);
    first->busy = true;  // attached
    EXPECT_EQ(p.memory[0], p.image);
    EXPECT_TRUE(first->stale.rects.empty());

    // Two more frames while the first buffer is shown: the second buffer
    // gets all three changes, the first keeps the two it has not seen.
    p.Paint({8, 4, 12, 6}, 0x222222);
    ShmBuffer* second = TakeFreeBuffer(p.b, p.image.data());
    ASSERT_EQ(second, &p.b.buffers[1]);
    second->busy = true;
    EXPECT_EQ(p.memory[1], p.image);
    EXPECT_EQ(TakeFreeBuffer(p.b, p.image.data()), nullptr);  // both held by the compositor

    p.Paint({2, 1, 10, 5}, 0x333333);
    first->busy = false;  // released
    ASSERT_EQ(TakeFreeBuffer(p.b, p.image.data()), first);
    EXPECT_EQ(p.memory[0], p.image);
    // The second buffer still lacks only the last change.
    ASSERT_EQ(second->stale.rects.size(), 1u);
    EXPECT_TRUE(Same(second->stale.rects[0], {2, 1, 10, 5}));
}
