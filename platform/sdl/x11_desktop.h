// What the desktop program asks of X beside SDL: whether a window manager
// runs, a wait for events on SDL's own connection, and whether a window is
// covered.
#pragma once
#include <SDL.h>
#include <SDL_syswm.h>
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

// Asks X for the window's visibility changes (which SDL does not select),
// to come as SDL_SYSWMEVENT once those are enabled.
void WatchX11Visibility(SDL_Window* window);

// For a window-manager event: 0 when it says `window` is now fully covered,
// 1 when it can be seen again (in part or whole), -1 when it is no
// visibility change of that window.
int32_t X11VisibilityChange(const SDL_SysWMmsg* message, SDL_Window* window);
