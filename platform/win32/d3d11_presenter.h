// Shows the 1024 x 768 picture on windows through Direct3D 11: the picture
// lives in one texture, changed rows are uploaded, and for every window a
// flip-model swap chain draws it scaled with linear filtering into the
// picture's rectangle on black. Direct3D, DXGI and the shader compiler are
// loaded when a presenter is made, so programs that never make one never
// load them.
#pragma once
#include <windows.h>
#include <cstdint>
#include "platform/platform.h"

struct D3D11Presenter;

// A device on the first adapter. With `hardwareOnly`, an adapter that
// renders in software (WARP, the basic render driver) is refused, since the
// GDI path costs less there. Null on failure, with a short reason.
D3D11Presenter* CreateD3D11Presenter(bool hardwareOnly, const char** reason);
void DestroyD3D11Presenter(D3D11Presenter* presenter);

// Adds a window whose client area is width x height, showing the picture
// inside `picture` (client pixels). False when no swap chain can be made.
bool AddD3D11Window(D3D11Presenter& presenter, HWND window, int32_t width, int32_t height, const ScreenRect& picture);

// Uploads rows [top, bottom) of the picture (row 0 at `pixels`, `pitch`
// bytes apart; nothing when top >= bottom), then draws and presents every
// window. False when the device is gone and the caller should present
// another way.
bool PresentD3D11(D3D11Presenter& presenter, const uint32_t* pixels, int32_t pitch, int32_t top, int32_t bottom);
