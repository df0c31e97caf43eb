// The show without a display mode of its own: the visible frame and the
// back buffer are memory, the text goes onto the frame through GDI, and each
// present copies the picture rows that changed and shows the frame scaled,
// with its aspect kept and centred on black, on borderless windows, one per
// monitor. Direct3D 11 draws it where a device can be had, else GDI
// stretches it in halftone mode.
#pragma once
#include <windows.h>
#include <cstdint>
#include <vector>
#include "platform/platform.h"

struct D3D11Presenter;

enum class PresentPath {
    Automatic,   // Direct3D 11 on a hardware adapter, else GDI
    Direct3D11,  // Direct3D 11 on whatever adapter there is, else GDI
    Gdi,
};

// One window that shows the frame (or stays black).
struct ScaledWindow {
    HWND window;
    int32_t width, height;  // its client area
    ScreenRect picture;     // where the frame goes, client pixels
    bool showsPicture;
};

struct ScaledDisplay {
    // The visible frame: a 1024 x 768 top-down 32-bit DIB section, selected
    // into its own memory device context for the text.
    HDC frameDC = nullptr;
    HBITMAP frameBitmap = nullptr;
    HGDIOBJ frameDCBitmap = nullptr;  // what frameDC held before
    uint32_t* frame = nullptr;
    std::vector<uint32_t> back;  // the back buffer, pitch kScreenWidth * 4
    std::vector<ScaledWindow> windows;
    D3D11Presenter* direct3d = nullptr;  // null: GDI presents
    // Rows of the frame changed since the windows last showed it.
    int32_t dirtyTop = 0, dirtyBottom = 0;
};

// The frame and back buffer, black. False when GDI cannot give them.
// The 1024 x 768 picture as a top-down 32-bit DIB.
BITMAPINFO PictureBitmapInfo();
bool OpenScaledFrame(ScaledDisplay& display);
// Chooses how to present to the windows listed so far; GDI when Direct3D
// is not wanted or cannot serve them all. `why` gets the reason Direct3D
// was not taken (null when it was).
void ChoosePresentPath(ScaledDisplay& display, PresentPath wanted, const char** why);
void CloseScaledDisplay(ScaledDisplay& display);

void ClearScaledFrame(ScaledDisplay& display);
void DrawScaledTexts(ScaledDisplay& display, uint32_t textColor, const TextRun* runs, int32_t count);
// Copies presentRect of the back buffer onto the frame, keeping track of the
// rows that changed, and shows whatever changed.
void PresentScaled(ScaledDisplay& display);
// Shows the whole frame again, as after a window was uncovered.
void RepaintScaled(ScaledDisplay& display);
// WM_PAINT of one of the windows: black bars, and the frame when GDI
// presents.
void PaintScaledWindow(ScaledDisplay& display, HWND window);
const ScaledWindow* FindScaledWindow(const ScaledDisplay& display, HWND window);
