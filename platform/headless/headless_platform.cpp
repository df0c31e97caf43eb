#include "platform/headless/headless_platform.h"

#include <algorithm>

HeadlessPlatform::HeadlessPlatform() {
    logCalls = true;
    // The images exist from the start, so tests may draw before a display
    // is opened.
    OpenMemorySurfaces(surfaces);
}

void HeadlessPlatform::DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) {
    if (keepTexts) {
        for (int32_t i = 0; i < count; ++i)
            texts.push_back({runs[i].x, runs[i].y, textColor, std::string(runs[i].text, size_t(runs[i].length))});
    }
    MemoryPlatform::DrawTexts(textColor, runs, count);
}

uint32_t* HeadlessPlatform::LockBackBuffer(int32_t& pitch) {
    uint32_t* pixels = MemoryPlatform::LockBackBuffer(pitch);
    return backBufferLost ? nullptr : pixels;
}

void HeadlessPlatform::Present() {
    MemoryPlatform::Present();
    if (onPresent) onPresent(*this);
}

void HeadlessPlatform::PumpEvents() {
    // Scheduled input whose tick has come, in order; ticks wrap.
    while (!scheduled.empty() && int32_t(clock - scheduled.begin()->first) >= 0) {
        PostShowMessage(queue, scheduled.begin()->second);
        scheduled.erase(scheduled.begin());
    }
}

void HeadlessPlatform::WaitForEvent(uint32_t timeoutMs) {
    if (onWait) {
        onWait(*this, timeoutMs);
        return;
    }
    // The core has already shortened the wait to the next due timer.
    uint32_t step = timeoutMs;
    if (!scheduled.empty()) step = std::min(step, scheduled.begin()->first - clock);
    clock += step;
}
