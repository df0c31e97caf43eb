// The show in a web page: a 1024 x 768 canvas element fed with putImageData
// from two in-memory images, the visible surface and the back buffer; keys
// and clicks from DOM events; timers on the page's clock. The page drives
// the message loop from its animation frames, so nothing here ever blocks.
#pragma once
#include <cstdint>
#include <vector>
#include "platform/memory_platform.h"

// What the page reports of the frames, for whoever watches it.
struct PageFrameStats {
    int32_t frames = 0;
    double stepMs = 0;        // the frame steps' time, all together
    double firstFrameAt = 0;  // page time at the end of the first frame
};

class WebPlatform : public MemoryPlatform {
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

    uint32_t TickCount() override { return clock_; }
    uint32_t TimeSeconds() override;

    // Input from the DOM callbacks.
    void PostInput(const ShowMessage& message);
    const char* CanvasSelector() const { return canvas_; }

protected:
    bool OpenWindow() override;
    const char* AttachDisplay() override;
    void DetachDisplay() override;
    // Marks rows of the visible image to put on the page.
    void ShowRows(RowSpan rows) override;
    // The page owns the loop: it comes back on the next animation frame.
    void WaitForEvent(uint32_t) override {}

private:

    const char* canvas_;
    uint32_t clock_;
    std::vector<uint32_t> rgba_;  // the visible image as the canvas takes it
    int32_t dirtyTop_ = 0, dirtyBottom_ = 0;  // rows to put on the page
    bool inputAttached_ = false;
    PageFrameStats stats_;
};
