// The show's only loop, the window procedure and the frame step.
#include "shell/run_show.h"

#include "control/keyboard_mouse.h"
#include "control/style_codes.h"
#include "engine/motion.h"
#include "engine/trail_filter.h"

int32_t RunMessageLoop(Show& show, FrameStep frameStep) {
    Platform& platform = *show.platform;
    uint32_t lastStart = platform.TickCount();
    uint32_t previousStart = lastStart - 1;
    for (;;) {
        if (platform.PeekShowMessage()) {
            ShowMessage message;
            if (platform.GetShowMessage(message) == 0) return int32_t(message.wParam);
            platform.DispatchShowMessage(message);
            continue;
        }
        const uint32_t now = platform.TickCount();
        const uint32_t rate = 1000u / (lastStart - previousStart);
        const uint32_t elapsed = now - lastStart;  // modulo 2^32
        if (elapsed <= 20) {
            // Sleep until a message comes or the next frame is due.
            platform.WaitForMessage(21 - elapsed);
            continue;
        }
        frameStep(show, int32_t(rate));
        previousStart = lastStart;
        lastStart = now;
    }
}

void RunFrame(Show& show, int32_t frameRate) {
    show.frameRate = frameRate;
    MoveParticles(show.world.pool, show.world.params);
    PlotParticles(show.world.pool, show.canvas);
    Platform& platform = *show.platform;
    int32_t pitch = 0;
    uint32_t* output = platform.LockBackBuffer(pitch);
    // A back buffer that cannot be locked still gets the canvas filtered, so
    // the trails go on; only this frame's picture is lost.
    TrailFilter(show.canvas, output, pitch, show.filterWorkers);
    if (output) platform.UnlockBackBuffer();
    platform.Present();
}

intptr_t WindowProc(void* context, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    Show& show = *static_cast<Show*>(context);
    switch (message) {
    case MsgCreate:
    case MsgMove:
    case MsgSize:
        RefreshClientRect(show);
        return 1;
    case MsgDestroy:
    case MsgQuit:
        show.platform->PostQuit(0);
        return 1;
    case MsgKeyDown:
        if (wParam == VkEscape) {
            show.platform->PostQuit(0);
        } else {
            HandleKey(show, uint32_t(wParam));
        }
        return 1;
    case MsgTimer:
        HandleTimer(show, uint32_t(wParam));
        return 1;
    case MsgLButtonDown:
    case MsgRButtonDown:
        HandleMouse(show, message, lParam);
        return 1;
    default:
        return show.platform->DefaultWindowProc(message, wParam, lParam);
    }
}
