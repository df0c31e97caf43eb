// The show's only loop, the window procedure and the frame step.
#include "shell/run_show.h"

#include "control/keyboard_mouse.h"
#include "control/show_timers.h"
#include "engine/motion.h"
#include "engine/trail_filter.h"

MessageLoop BeginMessageLoop(Platform& platform) {
    const uint32_t now = platform.TickCount();
    return {now, now - 1, false, 0};
}

uint32_t PumpMessageLoop(Show& show, MessageLoop& loop, FrameStep frameStep) {
    Platform& platform = *show.platform;
    for (;;) {
        if (platform.PeekShowMessage()) {
            ShowMessage message;
            if (platform.GetShowMessage(message) == 0) {
                loop.quit = true;
                loop.exitCode = int32_t(message.wParam);
                return 0;
            }
            platform.DispatchShowMessage(message);
            continue;
        }
        const uint32_t now = platform.TickCount();
        const uint32_t rate = 1000u / (loop.lastStart - loop.previousStart);
        const uint32_t elapsed = now - loop.lastStart;  // modulo 2^32
        if (elapsed <= 20) return 21 - elapsed;
        frameStep(show, int32_t(rate));
        loop.previousStart = loop.lastStart;
        loop.lastStart = now;
        return 0;
    }
}

int32_t RunMessageLoop(Show& show, FrameStep frameStep) {
    MessageLoop loop = BeginMessageLoop(*show.platform);
    for (;;) {
        const uint32_t wait = PumpMessageLoop(show, loop, frameStep);
        if (loop.quit) return loop.exitCode;
        // Sleep until a message comes or the next frame is due.
        if (wait > 0) show.platform->WaitForMessage(wait);
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
    TrailFilter(show.canvas, output, pitch);
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
