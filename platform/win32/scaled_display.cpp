#include "platform/win32/scaled_display.h"

#include <algorithm>
#include <cstring>

#include "platform/win32/d3d11_presenter.h"

namespace {

constexpr size_t kRowWords = size_t(kScreenWidth);

void MarkDirty(ScaledDisplay& d, int32_t top, int32_t bottom) {
    if (d.dirtyTop >= d.dirtyBottom) {
        d.dirtyTop = top;
        d.dirtyBottom = bottom;
    } else {
        d.dirtyTop = std::min(d.dirtyTop, top);
        d.dirtyBottom = std::max(d.dirtyBottom, bottom);
    }
}

// Halftone averages the pixels each target pixel covers and blends between
// them when it enlarges, so the picture stays smooth at any scale.
void StretchFrame(const ScaledDisplay& d, const ScaledWindow& w, HDC target) {
    SetStretchBltMode(target, HALFTONE);
    SetBrushOrgEx(target, 0, 0, nullptr);
    const BITMAPINFO info = PictureBitmapInfo();
    const ScreenRect& r = w.picture;
    StretchDIBits(target, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, kScreenWidth, kScreenHeight,
                  d.frame, &info, DIB_RGB_COLORS, SRCCOPY);
}

void ShowDirtyRows(ScaledDisplay& d) {
    if (d.dirtyTop >= d.dirtyBottom) return;
    if (d.direct3d != nullptr &&
        !PresentD3D11(*d.direct3d, d.frame, kScreenWidth * 4, d.dirtyTop, d.dirtyBottom)) {
        // The device is gone (a driver update, a GPU reset): GDI from now on.
        DestroyD3D11Presenter(d.direct3d);
        d.direct3d = nullptr;
        for (const ScaledWindow& w : d.windows) InvalidateRect(w.window, nullptr, TRUE);
    }
    if (d.direct3d == nullptr) {
        for (const ScaledWindow& w : d.windows) {
            if (!w.showsPicture) continue;
            if (HDC target = GetDC(w.window)) {
                StretchFrame(d, w, target);
                ReleaseDC(w.window, target);
            }
        }
    }
    d.dirtyTop = d.dirtyBottom = 0;
}

}  // namespace

BITMAPINFO PictureBitmapInfo() {
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kScreenWidth;
    info.bmiHeader.biHeight = -kScreenHeight;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

bool OpenScaledFrame(ScaledDisplay& d) {
    HDC screen = GetDC(nullptr);
    d.frameDC = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (d.frameDC == nullptr) return false;
    const BITMAPINFO info = PictureBitmapInfo();
    void* bits = nullptr;
    d.frameBitmap = CreateDIBSection(d.frameDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (d.frameBitmap == nullptr || bits == nullptr) return false;
    d.frame = static_cast<uint32_t*>(bits);
    d.frameDCBitmap = SelectObject(d.frameDC, d.frameBitmap);
    d.back.assign(kRowWords * kScreenHeight, 0);
    return true;
}

void ChoosePresentPath(ScaledDisplay& d, PresentPath wanted, const char** why) {
    *why = nullptr;
    if (wanted == PresentPath::Gdi) {
        *why = "GDI was asked for";
        return;
    }
    d.direct3d = CreateD3D11Presenter(wanted == PresentPath::Automatic, why);
    if (d.direct3d == nullptr) return;
    // Black windows stay with GDI: their background brush paints them once.
    for (const ScaledWindow& w : d.windows) {
        if (w.showsPicture && !AddD3D11Window(*d.direct3d, w.window, w.width, w.height, w.picture)) {
            DestroyD3D11Presenter(d.direct3d);
            d.direct3d = nullptr;
            *why = "cannot create a flip-model swap chain";
            return;
        }
    }
}

void CloseScaledDisplay(ScaledDisplay& d) {
    DestroyD3D11Presenter(d.direct3d);
    d.direct3d = nullptr;
    d.windows.clear();
    d.back.clear();
    d.back.shrink_to_fit();
    if (d.frameDC != nullptr && d.frameDCBitmap != nullptr) SelectObject(d.frameDC, d.frameDCBitmap);
    if (d.frameBitmap != nullptr) DeleteObject(d.frameBitmap);
    if (d.frameDC != nullptr) DeleteDC(d.frameDC);
    d.frameDC = nullptr;
    d.frameBitmap = nullptr;
    d.frameDCBitmap = nullptr;
    d.frame = nullptr;
    d.dirtyTop = d.dirtyBottom = 0;
}

void ClearScaledFrame(ScaledDisplay& d) {
    if (d.frame == nullptr) return;
    GdiFlush();
    std::fill(d.back.begin(), d.back.end(), 0u);
    std::memset(d.frame, 0, kRowWords * kScreenHeight * 4);
    MarkDirty(d, 0, kScreenHeight);
}

void DrawScaledTexts(ScaledDisplay& d, uint32_t textColor, const TextRun* runs, int32_t count) {
    if (d.frameDC == nullptr) return;
    SetTextColor(d.frameDC, textColor);
    SetBkColor(d.frameDC, 0);
    for (int32_t i = 0; i < count; ++i) TextOutA(d.frameDC, runs[i].x, runs[i].y, runs[i].text, runs[i].length);
    // The text strip; the next present shows it.
    MarkDirty(d, 0, presentRect.top);
}

void PresentScaled(ScaledDisplay& d) {
    if (d.frame == nullptr) return;
    GdiFlush();  // text drawn into the frame has landed
    // Only rows that differ are copied and shown: once the sparks have
    // faded, a frame costs a comparison and nothing more.
    for (int32_t y = presentRect.top; y < presentRect.bottom; ++y) {
        uint32_t* to = d.frame + size_t(y) * kRowWords;
        const uint32_t* from = d.back.data() + size_t(y) * kRowWords;
        if (std::memcmp(to, from, kRowWords * 4) == 0) continue;
        std::memcpy(to, from, kRowWords * 4);
        MarkDirty(d, y, y + 1);
    }
    ShowDirtyRows(d);
}

void RepaintScaled(ScaledDisplay& d) {
    if (d.frame == nullptr) return;
    GdiFlush();
    MarkDirty(d, 0, kScreenHeight);
    ShowDirtyRows(d);
}

const ScaledWindow* FindScaledWindow(const ScaledDisplay& d, HWND window) {
    for (const ScaledWindow& w : d.windows) {
        if (w.window == window) return &w;
    }
    return nullptr;
}

void PaintScaledWindow(ScaledDisplay& d, HWND window) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    const ScaledWindow* w = FindScaledWindow(d, window);
    if (target != nullptr && w != nullptr) {
        // The bars, and the whole window while it shows no picture.
        HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        const ScreenRect& p = w->picture;
        if (!w->showsPicture || d.frame == nullptr) {
            RECT all = {0, 0, w->width, w->height};
            FillRect(target, &all, black);
        } else {
            const RECT bars[] = {{0, 0, w->width, p.top}, {0, p.bottom, w->width, w->height},
                                 {0, p.top, p.left, p.bottom}, {p.right, p.top, w->width, p.bottom}};
            for (const RECT& bar : bars) {
                if (bar.left < bar.right && bar.top < bar.bottom) FillRect(target, &bar, black);
            }
            if (d.direct3d == nullptr) {
                GdiFlush();
                StretchFrame(d, *w, target);
            } else {
                MarkDirty(d, 0, kScreenHeight);  // the next present draws it all
            }
        }
    }
    EndPaint(window, &paint);
}
