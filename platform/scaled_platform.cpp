#include "platform/scaled_platform.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

uint32_t ScaledPlatform::TickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

uint32_t ScaledPlatform::TimeSeconds() { return uint32_t(std::time(nullptr)); }

const char* ScaledPlatform::AttachDisplay() {
    changed_.assign(kScreenHeight, ColumnSpan());
    targetValid_ = false;
    RedrawAll();
    return targetValid_ ? nullptr : "cannot draw into the window";
}

void ScaledPlatform::DetachDisplay() {
    target_ = TargetPixels();
    targetValid_ = false;
}

void ScaledPlatform::Present() {
    Log("Present");
    std::vector<uint32_t>& visible = surfaces.visible;
    const std::vector<uint32_t>& back = surfaces.back;
    if (visible.empty()) return;
    // Most of a row of the night sky stays black from one frame to the next.
    const ScreenRect r = presentRect;
    for (int32_t row = r.top; row < r.bottom; ++row) {
        const size_t at = size_t(row) * kScreenWidth;
        const ColumnSpan d = DifferingColumns(&visible[at], &back[at], r.left, r.right);
        if (d.left >= d.right) continue;
        std::memcpy(&visible[at + size_t(d.left)], &back[at + size_t(d.left)], size_t(d.right - d.left) * 4);
        AddColumns(changed_[size_t(row)], d.left, d.right);
    }
    ShowChangedRows();
}

void ScaledPlatform::ShowRows(RowSpan rows) {
    if (surfaces.visible.empty() || rows.top >= rows.bottom) return;
    for (int32_t row = rows.top; row < rows.bottom; ++row) AddColumns(changed_[size_t(row)], 0, kScreenWidth);
    ShowChangedRows();
}

void ScaledPlatform::ShowChangedRows() {
    if (!targetValid_) {
        RedrawAll();
        return;
    }
    ScaleChangedRows();
    for (PixelRect& r : rects_) r = {fit_.x + r.left, fit_.y + r.top, fit_.x + r.right, fit_.y + r.bottom};
    if (!rects_.empty()) PushRects(rects_);
}

void ScaledPlatform::RedrawAll() {
    if (surfaces.visible.empty() || !AcquireTarget(target_)) return;
    TargetPixels& t = target_;
    for (int32_t y = 0; y < t.height; ++y) std::fill_n(t.pixels + size_t(y) * size_t(t.pitch), t.width, 0u);
    fit_ = FitPicture(t.width, t.height);
    if (scaler_.width != fit_.width || scaler_.height != fit_.height) SetScaledSize(scaler_, fit_.width, fit_.height);
    targetValid_ = true;
    std::fill(changed_.begin(), changed_.end(), ColumnSpan{0, kScreenWidth});
    ScaleChangedRows();
    RepushAll();
}

void ScaledPlatform::ScaleChangedRows() {
    uint32_t* corner = target_.pixels + size_t(fit_.y) * size_t(target_.pitch) + size_t(fit_.x);
    ScaleRows(scaler_, surfaces.visible.data(), changed_.data(), corner, target_.pitch, rects_);
    std::fill(changed_.begin(), changed_.end(), ColumnSpan());
}

void ScaledPlatform::RepushAll() {
    if (!targetValid_) return;
    rects_.assign(1, {0, 0, target_.width, target_.height});
    PushRects(rects_);
}

void ScaledPlatform::PostClick(bool left, int32_t x, int32_t y) {
    int32_t px = 0, py = 0;
    WindowToPicture(fit_, x, y, px, py);
    PostShowMessage(queue, {left ? uint32_t(MsgLButtonDown) : uint32_t(MsgRButtonDown), 0, PackPoint(px, py)});
}
