// The life of the show: start-up, the message loop, the window procedure,
// the frame step and shutdown.
#pragma once
#include <cstdint>
#include <optional>
#include "control/show.h"
#include "platform/platform.h"

// Runs the whole show on a platform. Exit status: 0 after a normal end, 1
// when the show cannot start (one line on standard error says why). The
// generator is seeded with `seed` when given, else with the time.
int RunShow(Platform& platform, std::optional<uint32_t> seed = std::nullopt);

// Start-up up to the first grand burst. The generator is seeded with `seed`
// when given, else with the platform's time in seconds. On failure returns
// false with `reason` set; what was acquired has been given back.
bool StartShow(Show& show, Platform& platform, std::optional<uint32_t> seed, const char** reason);
// Shutdown: display restored, surfaces and display released, canvas and pool freed.
void StopShow(Show& show);

// The window procedure; context is the Show.
intptr_t WindowProc(void* context, uint32_t message, uintptr_t wParam, intptr_t lParam);

using FrameStep = void (*)(Show& show, int32_t frameRate);
// Dispatches messages and, whenever the queue is empty and more than 20 ms
// have passed since the last frame began, runs one frame. Returns the quit
// message's wParam.
int32_t RunMessageLoop(Show& show, FrameStep frameStep);

// The message loop in steps, for hosts that own the loop themselves (a web
// page's animation frames): the two frame start times, and the quit message
// once it has come.
struct MessageLoop {
    uint32_t lastStart;
    uint32_t previousStart;
    bool quit;
    int32_t exitCode;  // the quit message's wParam
};
// Before the first frame: lastStart is now, previousStart one tick earlier.
MessageLoop BeginMessageLoop(Platform& platform);
// Dispatches every waiting message, then runs one frame if more than 20 ms
// have passed since the last one began. Returns 0 after a frame or the quit
// message (loop.quit set), else the milliseconds until a frame is due.
uint32_t PumpMessageLoop(Show& show, MessageLoop& loop, FrameStep frameStep);
// Move, plot, filter into the locked back buffer, present.
void RunFrame(Show& show, int32_t frameRate);
