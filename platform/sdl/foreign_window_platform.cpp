#include "platform/sdl/foreign_window_platform.h"

#include <poll.h>

#include <algorithm>

#include "platform/sdl/foreign_window.h"
#include "platform/sdl/stop_signals.h"

namespace {

// How often the size of the window is asked for: a window the show does not
// own tells it nothing of its size.
constexpr uint32_t kSizePollMs = 250;

}  // namespace

ForeignWindowPlatform::~ForeignWindowPlatform() {
    ReleaseDisplay();
    CloseForeignWindow(window_);
}

int ForeignWindowPlatform::Open(bool useRoot, uint32_t id, std::string& error) {
    int status = 0;
    window_ = OpenForeignWindow(useRoot, id, error, status);
    return window_ ? 0 : status;
}

bool ForeignWindowPlatform::OpenWindow() {
    if (!window_) return false;
    // The daemon that lent the window ends the show with SIGTERM.
    stopFd_ = WatchStopSignals();
    return true;
}

bool ForeignWindowPlatform::AcquireTarget(int32_t, TargetPixels& t) {
    ForeignSize(window_, t.width, t.height);
    t.pixels = ForeignPixels(window_, t.pitch);
    return t.pixels != nullptr;
}

void ForeignWindowPlatform::PushRects(int32_t, const std::vector<PixelRect>& rects) {
    for (const PixelRect& r : rects) PutForeignRows(window_, r.left, r.right - r.left, r.top, r.bottom);
}

void ForeignWindowPlatform::PumpEvents() {
    if (destroyPosted_ || !window_) return;
    if (StopRequested()) {
        PostShowMessage(queue, {MsgDestroy, 0, 0});
        destroyPosted_ = true;
        return;
    }
    const uint32_t now = TickCount();
    if (int32_t(now - nextSizeCheck_) >= 0) {
        nextSizeCheck_ = now + kSizePollMs;
        if (CheckForeignSize(window_)) {
            InvalidateTarget(0);
            RedrawAll(0);
        }
    }
    for (;;) {
        const ForeignEvent e = NextForeignEvent(window_);
        if (e.kind == ForeignEventKind::Nothing) break;
        if (e.kind == ForeignEventKind::Gone) {
            PostShowMessage(queue, {MsgDestroy, 0, 0});
            destroyPosted_ = true;
            break;
        }
        if (e.kind == ForeignEventKind::Exposed) {
            RepushAll(0);
        } else {
            PostClick(0, e.kind == ForeignEventKind::LeftClick, e.x, e.y);
        }
    }
}

void ForeignWindowPlatform::WaitForEvent(uint32_t timeoutMs) {
    // The X connection, the stop signals, and the next size poll.
    timeoutMs = std::min(timeoutMs, kSizePollMs);
    pollfd fds[2] = {{ForeignConnection(window_), POLLIN, 0}, {stopFd_, POLLIN, 0}};
    poll(fds, stopFd_ >= 0 ? 2 : 1, int(timeoutMs));
}
