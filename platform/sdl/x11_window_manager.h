// Whether a window manager runs on the X display of an SDL window.
#pragma once
#include <SDL.h>

// True when the window is on X and a window manager announces itself there
// (_NET_SUPPORTING_WM_CHECK on the root window, naming a live window); also
// true when this cannot be told, since asking a missing manager for full
// screen only costs SDL a wait.
bool WindowManagerRuns(SDL_Window* window);
