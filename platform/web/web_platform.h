// The show in a web page: a 1024 x 768 canvas element fed with putImageData
// from two in-memory images, the visible surface and the back buffer; keys
// and clicks from DOM events; timers on the page's clock. The page drives
// the message loop from its animation frames, so nothing here ever blocks.
#pragma once
#include <cstdint>
#include <vector>
#include "platform/memory_surfaces.h"
#include "platform/platform.h"
#include "platform/show_queue.h"

// What the page reports of the frames, for whoever watches it.
struct PageFrameStats {
    int32_t frames = 0;
    double stepMs = 0;        // the frame steps' time, all together
    double firstFrameAt = 0;  // page time at the end of the first frame
};

class WebPlatform : public Platform {
public:
    // The canvas, by CSS selector.
    explicit WebPlatform(const char* canvasSelector);
    WebPlatform(const WebPlatform&) = delete;
    WebPlatform& operator=(const WebPlatform&) = delete;
    // Lets the page have its keys and clicks back.
    ~WebPlatform() override;

    // The clock of the animation frame being handled, in page milliseconds.
    void SetClock(uint32_t now) { clock_ = now; }
    // Puts what changed on the visible image onto the canvas.
    void ShowOnPage();
    // Counts one frame step that took stepMs.
    void CountFrame(double stepMs);
    // Makes the frame figures and whether the show ended readable from the
    // page, as Module.showStats.
    void PublishStats(bool ended) const;

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

    // Input from the DOM callbacks.
    void PostInput(const ShowMessage& message);
    const char* CanvasSelector() const { return canvas_; }

private:
    // Rows of the visible image to put on the page.
    void MarkRows(RowSpan rows);

    const char* canvas_;
    uint32_t clock_;
    MemorySurfaces surfaces_;
    std::vector<uint32_t> rgba_;  // the visible image as the canvas takes it
    int32_t dirtyTop_ = 0, dirtyBottom_ = 0;  // rows to put on the page
    bool inputAttached_ = false;
    WindowProcedure proc_ = nullptr;
    void* context_ = nullptr;
    ShowQueue queue_;
    PageFrameStats stats_;
};
