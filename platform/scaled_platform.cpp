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
    whole_.assign(kScreenHeight, ColumnSpan{0, kScreenWidth});
    bool any = views_.empty();
    for (int32_t i = 0; i < ViewCount(); ++i) {
        views_[size_t(i)].valid = false;
        RedrawAll(i);
        any = any || views_[size_t(i)].valid || views_[size_t(i)].hidden;
    }
    return any ? nullptr : "cannot draw into the window";
}

void ScaledPlatform::DetachDisplay() {
    for (View& v : views_) {
        v.target = TargetPixels();
        v.valid = false;
    }
}

void ScaledPlatform::SetViewCount(int32_t count) { views_.resize(size_t(std::max(count, 0))); }

void ScaledPlatform::InvalidateTarget(int32_t view) { views_[size_t(view)].valid = false; }

void ScaledPlatform::SetViewHidden(int32_t view, bool hidden) {
    View& v = views_[size_t(view)];
    if (v.hidden == hidden) return;
    v.hidden = hidden;
    v.valid = false;
    if (!hidden) RedrawAll(view);
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
    for (int32_t i = 0; i < ViewCount(); ++i) {
        View& v = views_[size_t(i)];
        if (v.hidden) continue;
        if (!v.valid) {
            RedrawAll(i);
            continue;
        }
        ScaleInto(v, changed_.data());
        for (PixelRect& r : rects_) r = {v.fit.x + r.left, v.fit.y + r.top, v.fit.x + r.right, v.fit.y + r.bottom};
        if (!rects_.empty()) PushRects(i, rects_);
    }
    std::fill(changed_.begin(), changed_.end(), ColumnSpan());
}

void ScaledPlatform::RedrawAll(int32_t view) {
    View& v = views_[size_t(view)];
    if (surfaces.visible.empty() || v.hidden || !AcquireTarget(view, v.target)) return;
    const TargetPixels& t = v.target;
    for (int32_t y = 0; y < t.height; ++y) std::fill_n(t.pixels + size_t(y) * size_t(t.pitch), t.width, 0u);
    v.fit = FitPicture(t.width, t.height);
    if (v.scaler.width != v.fit.width || v.scaler.height != v.fit.height)
        SetScaledSize(v.scaler, v.fit.width, v.fit.height);
    v.valid = true;
    ScaleInto(v, whole_.data());
    RepushAll(view);
}

void ScaledPlatform::ScaleInto(View& v, const ColumnSpan* rows) {
    uint32_t* corner = v.target.pixels + size_t(v.fit.y) * size_t(v.target.pitch) + size_t(v.fit.x);
    ScaleRows(v.scaler, surfaces.visible.data(), rows, corner, v.target.pitch, rects_);
}

void ScaledPlatform::RepushAll(int32_t view) {
    const View& v = views_[size_t(view)];
    if (!v.valid || v.hidden) return;
    rects_.assign(1, {0, 0, v.target.width, v.target.height});
    PushRects(view, rects_);
}

void ScaledPlatform::PostClick(int32_t view, bool left, int32_t x, int32_t y) {
    int32_t px = 0, py = 0;
    WindowToPicture(views_[size_t(view)].fit, x, y, px, py);
    PostShowMessage(queue, {left ? uint32_t(MsgLButtonDown) : uint32_t(MsgRButtonDown), 0, PackPoint(px, py)});
}
