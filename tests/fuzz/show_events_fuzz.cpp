// libFuzzer target: the show under an event stream decoded from the bytes,
// through its own start-up, window procedure and frame step on the headless
// platform: timers of any id, any key, clicks anywhere, frames at any rate,
// and the pool grown and shrunk by its keys.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "control/show.h"
#include "platform/headless/headless_platform.h"
#include "shell/run_show.h"

namespace {

// Bounds that keep one run to a few milliseconds.
constexpr int32_t kPoolCap = 6000;
constexpr int32_t kFrameCap = 4;

struct Bytes {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool empty() const { return at >= size; }
    uint32_t Take(int count) {  // little-endian, zero past the end
        uint32_t v = 0;
        for (int i = 0; i < count; ++i) v |= uint32_t(at < size ? data[at++] : 0) << (8 * i);
        return v;
    }
};

void Key(Show& show, uint32_t vk) {
    if (vk == VkAdd && show.world.pool.particleCount + 200 > kPoolCap) return;
    WindowProc(&show, MsgKeyDown, vk, 0);
}

intptr_t ClickParam(uint32_t x, uint32_t y) { return intptr_t(x & 0xFFFF) | intptr_t(y & 0xFFFF) << 16; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in{data, size};
    HeadlessPlatform platform;
    platform.logCalls = false;
    auto show = std::make_unique<Show>();
    const char* reason = nullptr;
    if (!StartShow(*show, platform, in.Take(4), &reason)) __builtin_trap();
    int32_t frames = 0;
    while (!in.empty() && !platform.queue.quitPosted) {
        const uint8_t op = uint8_t(in.Take(1));
        switch (op % 8) {
        case 0:  // a timer: mostly the ids in use and just past them, now and then any
            WindowProc(show.get(), MsgTimer, op & 0x80 ? in.Take(4) : in.Take(2) % 512, 0);
            break;
        case 1:  // a key: any byte, now and then any 32-bit code
            Key(*show, op & 0x80 ? in.Take(4) : in.Take(1));
            break;
        case 2:
        case 3: {  // a click anywhere, inside the client area or not
            const uint32_t x = in.Take(2), y = in.Take(2);
            WindowProc(show.get(), op % 8 == 2 ? MsgLButtonDown : MsgRButtonDown, 0, ClickParam(x, y));
            break;
        }
        case 4:
        case 5: {  // frames at any rate
            const int32_t rate = op & 0x80 ? int32_t(in.Take(4)) : 47;
            for (int32_t n = 1 + (op >> 4 & 3); n > 0 && frames < kFrameCap; --n, ++frames) RunFrame(*show, rate);
            break;
        }
        case 6:  // the pool grown or shrunk by several steps
            for (int32_t n = 1 + (op >> 3 & 15); n > 0; --n) Key(*show, op & 0x80 ? VkAdd : VkSubtract);
            break;
        case 7:  // the style keys and the effect switches, the common case
            Key(*show, "NLRM12345678"[in.Take(1) % 12]);
            break;
        }
        const ParticlePool& pool = show->world.pool;
        if (pool.particleCount < 0 || pool.particleCount > kPoolCap || (pool.particleCount > 0 && !pool.particles))
            __builtin_trap();
    }
    StopShow(*show);
    return 0;
}
