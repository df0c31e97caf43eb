// Drawing into an X window another program made: a screensaver daemon's
// window, the root window, or any window named by its id. Only Xlib is
// used here: the window is never changed, resized or re-selected for input
// another client holds, and what is drawn is a plain image put into it.
#pragma once
#include <cstdint>
#include <string>

struct ForeignWindow;  // the connection, the window and its image

// Covered: nothing of the window can be seen; Uncovered: some of it can.
enum class ForeignEventKind { Nothing, Exposed, LeftClick, RightClick, Covered, Uncovered, Unmapped, Mapped, Gone };
struct ForeignEvent {
    ForeignEventKind kind = ForeignEventKind::Nothing;
    int32_t x = 0, y = 0;  // window coordinates of a click
};

// Opens the display and takes the window: `id`, or with useRoot the window
// XSCREENSAVER_WINDOW names, else the root window. Null on failure, with
// `error` set to one line and `status` to 2 for a bad id or 1 otherwise.
ForeignWindow* OpenForeignWindow(bool useRoot, uint32_t id, std::string& error, int& status);
void CloseForeignWindow(ForeignWindow* w);

// The window's size as last seen; CheckForeignSize asks the server again.
void ForeignSize(const ForeignWindow* w, int32_t& width, int32_t& height);
bool CheckForeignSize(ForeignWindow* w);  // true when the size changed
// Whether the window could be seen when it was taken.
bool ForeignViewable(const ForeignWindow* w);

// The image the size of the window, 0x00RRGGBB pixels; pitch in pixels.
// Made again (black) after a size change, so the old one lasts until then.
// Null when it cannot be made.
uint32_t* ForeignPixels(ForeignWindow* w, int32_t& pitch);
// Puts the part of the image from column x, `width` wide, rows [top,
// bottom), into the window.
void PutForeignRows(ForeignWindow* w, int32_t x, int32_t width, int32_t top, int32_t bottom);

// The next event that matters, or kind Nothing when none waits.
ForeignEvent NextForeignEvent(ForeignWindow* w);
// The connection's file descriptor, for waiting on it.
int ForeignConnection(const ForeignWindow* w);
