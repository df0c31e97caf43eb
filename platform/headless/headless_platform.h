// A platform without a screen: two in-memory 1024 x 768 images, a record of
// every text drawn into the strip, the armed timers, a message queue and a
// clock the caller controls. Used by the tests, the replay harness and the
// recorder. What the show writes here is what a real display would show.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>
#include "platform/platform.h"

class HeadlessPlatform : public Platform {
public:
    struct DrawnText {
        int32_t x, y;
        uint32_t color;  // GDI colour reference
        std::string text;
    };
    // A window timer: due at armedAt + period, + 2 period and so on; an
    // overdue timer has one pending message at most.
    struct ArmedTimer {
        uint32_t period;
        uint32_t nextDue;
    };

    HeadlessPlatform();

    // The visible surface and the back buffer, row 0 first, 1024 words a row.
    std::vector<uint32_t> primary;
    std::vector<uint32_t> back;
    std::vector<DrawnText> texts;
    std::map<uint32_t, ArmedTimer> timers;
    std::vector<ShowMessage> queue;  // posted messages, oldest first
    // Input waiting for its moment: (virtual time, message).
    std::multimap<uint32_t, ShowMessage> scheduled;
    bool quitPosted = false;
    int32_t quitCode = 0;

    // The clock. With virtualClock set, WaitForMessage jumps it to the next
    // due timer or scheduled input, or to the end of the wait; without, a
    // wait simply lets its timeout pass.
    uint32_t clock = 0;
    uint32_t seconds = 0;
    bool virtualClock = false;

    // Every platform call, in order ("SetShowTimer 2 28000", "Present", ...);
    // only while logCalls is set.
    bool logCalls = true;
    std::vector<std::string> calls;

    // Failure injection.
    bool failWindow = false;
    const char* failDisplay = nullptr;
    bool backBufferLost = false;

    // When set, replaces the clock's own behaviour in WaitForMessage.
    std::function<void(HeadlessPlatform&, uint32_t timeoutMs)> onWait;
    // Called after every present with the visible surface as it now is.
    std::function<void(const HeadlessPlatform&)> onPresent;

    // Posts input to the queue now, or at a virtual time.
    void Post(const ShowMessage& message);
    void PostAt(uint32_t time, const ShowMessage& message);

    bool CreateShowWindow(WindowProcedure proc, void* context) override;
    void FocusShowWindow() override;
    ScreenRect ShowClientRect() override;
    intptr_t DefaultWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    const char* OpenDisplay() override;
    void ClearSurfaces() override;
    void DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) override;
    uint32_t* LockBackBuffer(int32_t& pitch) override;
    void UnlockBackBuffer() override;
    void Present() override;
    void RestoreDisplay() override;
    void ReleaseDisplay() override;

    void SetShowTimer(uint32_t id, uint32_t period) override;
    void KillShowTimer(uint32_t id) override;

    uint32_t TickCount() override;
    uint32_t TimeSeconds() override;

    bool PeekShowMessage() override;
    int32_t GetShowMessage(ShowMessage& message) override;
    void DispatchShowMessage(const ShowMessage& message) override;
    void PostQuit(int32_t code) override;
    void WaitForMessage(uint32_t timeoutMs) override;

private:
    void Log(std::string entry);
    void ReleaseScheduled();
    // The id of the timer due soonest (ties: lowest id), or 0 when none is due.
    uint32_t DueTimer() const;

    WindowProcedure proc_ = nullptr;
    void* context_ = nullptr;
    bool locked_ = false;
};
