// The show pinned as it really runs: start-up from seed 1, then the message
// loop on the headless clock for 150 s of virtual time, every timer on its
// period and every frame paced by the loop's own rule. That takes in five
// style changes, banner and status ticks, wind switches, grand bursts and
// pool re-creations. A digest of the pool and the state (what the replay
// harness prints for `pool` and `state`) is taken at the first frame of each
// 10 s and at the end, and one of the final pictures.
//
// These digests change only when the show's behaviour changes. If a change
// is meant to alter the show (not a refactoring, not a speed-up), check it
// first against the replay scripts, then copy the digests this test prints
// on failure into kExpected below, in the same commit as the change, and say
// why in its message.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "control/show.h"
#include "platform/headless/headless_platform.h"
#include "shell/run_show.h"
#include "tools/replay_script.h"

namespace {

constexpr uint32_t kRunMs = 150000;
constexpr uint32_t kEveryMs = 10000;

uint64_t Fnv1a(const void* data, size_t bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < bytes; ++i) {
        hash ^= static_cast<const uint8_t*>(data)[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string Hex(uint64_t v) {
    char text[20];
    std::snprintf(text, sizeof text, "%016" PRIx64, v);
    return text;
}

// The state at 10 s to 140 s and at the end, then the canvas and the
// visible picture at the end.
const std::vector<std::string> kExpected = {
    "af1e5931b94b9973",
    "6a37454a2cd6cb2b",
    "42ee2403e82e303c",
    "b2dce26c592ba945",
    "a73e2a6c613a26a3",
    "5937c8e73468d6a6",
    "62423ee5dfc516b1",
    "9bfc6fb9b5afa6c6",
    "2e8f6b25353a5ee9",
    "743ec502863ad9cc",
    "d89c4c646cc656e0",
    "dd55620e92c89287",
    "6f5849c07a726b3a",
    "83f27fe67bb2f6fa",
    "ce403aa5adbb21cb",
    "25de1d5f6497778b",
    "fe99e0d7b6972fa7",
};

}  // namespace

TEST(GoldenRun, OneHundredFiftySecondsFromSeedOneMatchTheirDigests) {
    HeadlessPlatform platform;
    platform.logCalls = false;
    platform.keepTexts = false;
    platform.clock = 5000;  // any start; the run never looks at absolute ticks
    auto show = std::make_unique<Show>();
    const char* reason = nullptr;
    ASSERT_TRUE(StartShow(*show, platform, 1u, &reason)) << reason;
    // The status line too, so its ticks are pinned.
    platform.PostAt(platform.clock + 3000, {MsgKeyDown, 'H', 0});
    platform.PostAt(platform.clock + kRunMs, {MsgDestroy, 0, 0});

    std::vector<std::string> digests;
    int32_t frames = 0;
    uint32_t nextMark = platform.clock + kEveryMs;
    auto pinState = [&]() {
        std::ostringstream text;
        PrintPool(*show, text);
        PrintState(*show, platform, text);
        digests.push_back(Hex(Fnv1a(text.str().data(), text.str().size())));
    };
    platform.onPresent = [&](const HeadlessPlatform& p) {
        ++frames;
        if (int32_t(p.clock - nextMark) < 0) return;
        nextMark += kEveryMs;
        pinState();
    };
    EXPECT_EQ(RunMessageLoop(*show, RunFrame), 0);
    pinState();
    const Canvas& canvas = show->canvas;
    digests.push_back(Hex(Fnv1a(canvas.pixels, size_t(canvas.width) * size_t(canvas.height) * 4)));
    digests.push_back(Hex(Fnv1a(platform.surfaces.visible.data(), platform.surfaces.visible.size() * 4)));
    StopShow(*show);

    EXPECT_EQ(frames, int32_t(kRunMs / 21));  // 47 frames a second, every 21 ms
    std::string printed;
    for (const std::string& d : digests) printed += "    \"" + d + "\",\n";
    EXPECT_EQ(digests, kExpected) << "digests of this run:\n" << printed;
}
