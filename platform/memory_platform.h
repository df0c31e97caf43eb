// The platform core that every backend without a native message queue
// shares: the queue and window timers (show_queue.h) on the backend's clock,
// and the visible surface and back buffer in memory (memory_surfaces.h).
// The headless platform, the SDL program, the X window program and the web
// page are each this core plus what only they can do.
//
// A new backend derives from MemoryPlatform and writes:
//   TickCount, TimeSeconds   its clock
//   PumpEvents               its events, posted to `queue` as show messages
//   ShowRows                 its present: rows of `surfaces.visible` changed
//   WaitForEvent             its wait: sleep until an event may have come
// and, where it has them, OpenWindow, AttachDisplay and DetachDisplay.
// Input reaches the window procedure in picture coordinates: a backend that
// scales the picture maps its points before it posts them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "platform/memory_surfaces.h"
#include "platform/platform.h"
#include "platform/show_queue.h"

class MemoryPlatform : public Platform {
public:
    ShowQueue queue;
    MemorySurfaces surfaces;
    // Every platform call, in order ("SetShowTimer 2 28000", "Present", ...),
    // while logCalls is set; for tests.
    bool logCalls = false;
    std::vector<std::string> calls;

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

    bool PeekShowMessage() override;
    int32_t GetShowMessage(ShowMessage& message) override;
    void DispatchShowMessage(const ShowMessage& message) override;
    void PostQuit(int32_t code) override;
    void WaitForMessage(uint32_t timeoutMs) override;

protected:
    // Makes the backend's window; false when there is none.
    virtual bool OpenWindow() { return true; }
    // Readies the backend's display once the surfaces exist; a short reason
    // when it cannot be had.
    virtual const char* AttachDisplay() { return nullptr; }
    virtual void DetachDisplay() {}
    virtual void PumpEvents() {}
    virtual void ShowRows(RowSpan rows) = 0;
    virtual void WaitForEvent(uint32_t timeoutMs) = 0;
    // False once nothing but the timers can bring a message: with no timer
    // armed either, GetShowMessage then ends the loop as a closed window would.
    virtual bool MayReceive() const { return true; }

    void Log(std::string entry);

    WindowProcedure proc_ = nullptr;
    void* context_ = nullptr;
};
