// What the desktop program asks of X beside SDL: whether a window manager
// runs, and a wait for events on SDL's own connection.
#pragma once
#include <SDL.h>
#include <cstdint>

// True when the window is on X and a window manager announces itself there
// (_NET_SUPPORTING_WM_CHECK on the root window, naming a live window); also
// true when this cannot be told, since asking a missing manager for full
// screen only costs SDL a wait.
bool WindowManagerRuns(SDL_Window* window);

// Waits until SDL's X connection of `window` has something to read or
// timeoutMs pass. False, without waiting, when the window is not on X.
// Unlike SDL's own wait this arms no wake-up message, which SDL may later
// send to a window already destroyed.
bool WaitForX11Events(SDL_Window* window, uint32_t timeoutMs);
