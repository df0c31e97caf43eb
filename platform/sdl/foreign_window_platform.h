// The show drawn into an X window another program made: a screensaver
// daemon's window, the root window, or any window named by its id. Xlib
// only (foreign_window.h): the picture is scaled into an image of the
// window's size and put into it. SIGTERM and SIGINT end the show.
#pragma once
#include <cstdint>
#include <string>
#include "platform/scaled_platform.h"

struct ForeignWindow;

class ForeignWindowPlatform : public ScaledPlatform {
public:
    ForeignWindowPlatform() = default;
    ForeignWindowPlatform(const ForeignWindowPlatform&) = delete;
    ForeignWindowPlatform& operator=(const ForeignWindowPlatform&) = delete;
    ~ForeignWindowPlatform() override;

    // Takes window `id`, or with useRoot the one XSCREENSAVER_WINDOW names,
    // else the root window. 0 on success, else the exit status (2 for a bad
    // id, 1 otherwise), with `error` set to one line.
    int Open(bool useRoot, uint32_t id, std::string& error);

protected:
    bool OpenWindow() override;
    bool AcquireTarget(int32_t view, TargetPixels& target) override;
    void PushRects(int32_t view, const std::vector<PixelRect>& rects) override;
    void PumpEvents() override;
    void WaitForEvent(uint32_t timeoutMs) override;

private:
    ForeignWindow* window_ = nullptr;
    uint32_t nextSizeCheck_ = 0;  // tick count of the next size poll
    int stopFd_ = -1;             // readable once SIGTERM or SIGINT came
    bool destroyPosted_ = false;
};
