// A platform without a screen, on the shared in-memory core: the two
// 1024 x 768 images, the queue and the timers are the core's, on a clock
// the caller controls. Used by the tests, the replay harness and the
// recorder; what the show writes here is what a real display would show.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>
#include "platform/memory_platform.h"

class HeadlessPlatform : public MemoryPlatform {
public:
    struct DrawnText {
        int32_t x, y;
        uint32_t color;  // GDI colour reference
        std::string text;
    };

    // Every text drawn into the strip, while keepTexts is set.
    bool keepTexts = true;
    std::vector<DrawnText> texts;
    // Input waiting for its moment: (tick, message).
    std::multimap<uint32_t, ShowMessage> scheduled;

    // The clock. A wait jumps it to whichever comes first: the end of the
    // wait, the next due timer, the next scheduled input.
    uint32_t clock = 0;
    uint32_t seconds = 0;

    // Failure injection.
    bool failWindow = false;
    const char* failDisplay = nullptr;
    bool backBufferLost = false;

    // When set, replaces the clock's own behaviour in a wait.
    std::function<void(HeadlessPlatform&, uint32_t timeoutMs)> onWait;
    // Called after every present with the visible surface as it now is.
    std::function<void(const HeadlessPlatform&)> onPresent;

    HeadlessPlatform();
    // Posts input to the queue now, or at a tick.
    void Post(const ShowMessage& message) { PostShowMessage(queue, message); }
    void PostAt(uint32_t time, const ShowMessage& message) { scheduled.emplace(time, message); }

    void DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) override;
    uint32_t* LockBackBuffer(int32_t& pitch) override;
    void Present() override;
    uint32_t TickCount() override { return clock; }
    uint32_t TimeSeconds() override { return seconds; }

protected:
    bool OpenWindow() override { return !failWindow; }
    const char* AttachDisplay() override { return failDisplay; }
    void PumpEvents() override;
    void ShowRows(RowSpan) override {}
    void WaitForEvent(uint32_t timeoutMs) override;
    bool MayReceive() const override { return !scheduled.empty(); }
};
