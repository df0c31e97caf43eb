#include "platform/scaled_platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/bitmap_font.h"

namespace {

// The rows the trail filter writes; the picture rows below them (741 and
// 742) are black in the back buffer, so anything else there is text.
constexpr int32_t kFilteredBottom = 741;

}  // namespace

uint32_t SteadyTicks() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

uint32_t ScaledPlatform::TickCount() { return SteadyTicks(); }

uint32_t ScaledPlatform::TimeSeconds() { return uint32_t(std::time(nullptr)); }

void ScaledPlatform::SetViewCount(int32_t count) {
    count = std::max(count, 0);
    // A view that goes takes the picture out of its pixels first.
    if (home_ >= count) PlacePicture(nullptr, 0, -1);
    views_.resize(size_t(count));
}

const uint32_t* ScaledPlatform::PictureRow(int32_t y) const {
    return picture_ ? picture_ + size_t(y) * size_t(pitch_) : nullptr;
}

const char* ScaledPlatform::OpenDisplay() {
    Log("OpenDisplay");
    return AttachDisplay();
}

const char* ScaledPlatform::AttachDisplay() {
    lit_.assign(kScreenHeight, ColumnSpan());
    changed_.assign(kScreenHeight, ColumnSpan());
    own_.assign(size_t(kScreenWidth) * kScreenHeight, 0u);
    picture_ = own_.data();
    pitch_ = kScreenWidth;
    home_ = -1;
    litKnown_ = true;
    // No view yet (outputs that have still to come) is not a failure.
    bool any = views_.empty();
    for (int32_t v = 0; v < ViewCount(); ++v) {
        views_[size_t(v)].valid = false;
        RedrawAll(v);
        any = any || views_[size_t(v)].valid || views_[size_t(v)].hidden;
    }
    if (!any) return "cannot draw into the window";
    if (verbose) std::fprintf(stderr, "starvane: present: %s\n", PresentDescription().c_str());
    return nullptr;
}

std::string ScaledPlatform::PresentDescription() const {
    std::string d = "cpu";
    for (int32_t v = 0; v < ViewCount(); ++v) {
        const PictureRect f = ViewFit(v);
        d += v == 0 ? ": " : ", ";
        d += std::to_string(f.width) + "x" + std::to_string(f.height);
        d += f.width == kScreenWidth && f.height == kScreenHeight ? " at 1:1" : " scaled";
    }
    if (DrawsInPlace()) d += ", drawn in place";
    return d;
}

void ScaledPlatform::ReleaseDisplay() {
    Log("ReleaseBackBuffer");
    Log("ReleasePrimarySurface");
    Log("ReleaseDisplayObject");
    DetachDisplay();
}

void ScaledPlatform::DetachDisplay() {
    for (View& v : views_) {
        v.target = TargetPixels();
        v.valid = false;
    }
    picture_ = nullptr;
    home_ = -1;
    own_ = {};
}

// Moves the picture into a view's pixels, or with home -1 into own memory,
// which is kept only while no view holds the picture.
void ScaledPlatform::PlacePicture(uint32_t* pixels, int32_t pitch, int32_t home) {
    if (home < 0) {
        if (home_ < 0) return;
        own_.assign(size_t(kScreenWidth) * kScreenHeight, 0u);
        pixels = own_.data();
        pitch = kScreenWidth;
    }
    for (int32_t y = 0; y < kScreenHeight; ++y)
        std::memcpy(pixels + size_t(y) * size_t(pitch), picture_ + size_t(y) * size_t(pitch_), kScreenWidth * 4);
    picture_ = pixels;
    pitch_ = pitch;
    home_ = home;
    if (home >= 0) own_ = {};
}

bool ScaledPlatform::InPlace(const View& v) const {
    return !v.target.takesPicture && v.fit.width == kScreenWidth && v.fit.height == kScreenHeight;
}

void ScaledPlatform::ClearSurfaces() {
    Log("ClearSurfaces");
    if (!picture_) return;
    for (int32_t y = 0; y < kScreenHeight; ++y) std::fill_n(picture_ + size_t(y) * size_t(pitch_), kScreenWidth, 0u);
    ShowRows({0, kScreenHeight});
    std::fill(lit_.begin(), lit_.end(), ColumnSpan());
}

void ScaledPlatform::DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) {
    Log("DrawTexts");
    if (!picture_) return;
    RowSpan rows = {kScreenHeight, 0};
    for (int32_t i = 0; i < count; ++i) {
        const TextRun& run = runs[i];
        DrawTextRun(picture_, pitch_ * 4, kScreenWidth, kScreenHeight, run.x, run.y, run.text, run.length, textColor);
        rows.top = std::min(rows.top, int32_t(std::clamp<int64_t>(run.y, 0, kScreenHeight)));
        rows.bottom = std::max(rows.bottom, int32_t(std::clamp<int64_t>(int64_t(run.y) + kGlyphHeight, 0, kScreenHeight)));
    }
    for (int32_t y = rows.top; y < rows.bottom && !counts.lit; ++y)
        if (LitColumns(picture_ + size_t(y) * size_t(pitch_), kScreenWidth).right > 0) NoteLit();
    ShowRows(rows);
}

uint32_t* ScaledPlatform::LockBackBuffer(int32_t& pitch) {
    Log("LockBackBuffer");
    pitch = pitch_ * 4;
    return picture_;
}

void ScaledPlatform::ShowRows(RowSpan rows) {
    if (!picture_ || rows.top >= rows.bottom) return;
    std::fill(changed_.begin(), changed_.end(), ColumnSpan());
    for (int32_t y = rows.top; y < rows.bottom; ++y) {
        changed_[size_t(y)] = {0, kScreenWidth};
        // Text over the picture rows is gone at the next present: it counts
        // as lit until then.
        if (y >= presentRect.top && y < presentRect.bottom) lit_[size_t(y)] = {0, kScreenWidth};
    }
    ShowChanged(changed_.data());
}

void ScaledPlatform::Present() {
    Log("Present");
    const uint32_t now = TickCount();
    if (counts.frames++ == 0) counts.firstTick = now;
    counts.lastTick = now;
    if (!picture_) return;
    bool seen = false;
    for (const View& v : views_) seen = seen || !v.hidden;
    if (!seen) {
        // Nothing is looked at: the lit columns are found again, and every
        // view drawn whole, once one can be seen.
        ++counts.hidden;
        litKnown_ = false;
        return;
    }
    const ScreenRect r = presentRect;
    // The back buffer's rows below the filtered ones are black.
    for (int32_t y = kFilteredBottom; y < r.bottom; ++y)
        if (lit_[size_t(y)].left < lit_[size_t(y)].right)
            std::fill_n(picture_ + size_t(y) * size_t(pitch_), kScreenWidth, 0u);
    bool any = false;
    std::fill(changed_.begin(), changed_.end(), ColumnSpan());
    for (int32_t y = r.top; y < r.bottom; ++y) {
        const ColumnSpan found = LitColumns(picture_ + size_t(y) * size_t(pitch_) + r.left, r.right - r.left);
        ColumnSpan now;
        if (found.left < found.right) now = {r.left + found.left, r.left + found.right};
        if (found.left < found.right && !counts.lit) NoteLit();
        ColumnSpan& c = changed_[size_t(y)];
        c = lit_[size_t(y)];
        AddColumns(c, now.left, now.right);
        lit_[size_t(y)] = now;
        any = any || c.left < c.right;
    }
    if (!litKnown_) {
        litKnown_ = true;
        for (View& v : views_) v.stale = true;
    }
    const int64_t sentBefore = counts.pixels;
    bool stale = false;
    for (const View& v : views_) stale = stale || (v.stale && !v.hidden);
    if (!any && !stale) {
        ++counts.unchanged;
        return;
    }
    ShowChanged(changed_.data());
    if (counts.pixels != sentBefore) ++counts.sent;
}

void ScaledPlatform::NoteLit() {
    for (const View& v : views_)
        if (!v.hidden) {
            counts.lit = true;
            counts.firstLitTick = TickCount();
            return;
        }
}

void ScaledPlatform::ShowChanged(const ColumnSpan* changed) {
    for (int32_t v = 0; v < ViewCount(); ++v) {
        View& view = views_[size_t(v)];
        if (view.hidden) continue;
        if (!view.valid || view.stale) {
            RedrawAll(v);
            continue;
        }
        DrawView(v, changed);
    }
}

void ScaledPlatform::DrawView(int32_t v, const ColumnSpan* changed) {
    View& view = views_[size_t(v)];
    const TargetPixels& t = view.target;
    const PictureRect& fit = view.fit;
    if (t.takesPicture) {
        GatherRects(changed, 0, kScreenHeight, rects_);
        if (rects_.empty()) return;
        for (const PixelRect& r : rects_) counts.pixels += int64_t(r.right - r.left) * (r.bottom - r.top);
        PushPictureRects(v, picture_, pitch_, rects_);
        return;
    }
    uint32_t* corner = t.pixels + size_t(fit.y) * size_t(t.pitch) + size_t(fit.x);
    if (InPlace(view)) {
        // At 1:1 the changed columns are copied, unless they are already
        // there: the picture is this view's own pixels.
        if (v != home_)
            for (int32_t y = 0; y < kScreenHeight; ++y) {
                const ColumnSpan c = changed[y];
                if (c.left < c.right)
                    std::memcpy(corner + size_t(y) * size_t(t.pitch) + size_t(c.left),
                                picture_ + size_t(y) * size_t(pitch_) + size_t(c.left), size_t(c.right - c.left) * 4);
            }
        GatherRects(changed, 0, kScreenHeight, rects_);
    } else {
        ScaleRows(view.scaler, picture_, pitch_, changed, corner, t.pitch, rects_);
    }
    if (rects_.empty()) return;
    for (PixelRect& r : rects_) {
        r = {fit.x + r.left, fit.y + r.top, fit.x + r.right, fit.y + r.bottom};
        counts.pixels += int64_t(r.right - r.left) * (r.bottom - r.top);
    }
    PushRects(v, rects_);
}

void ScaledPlatform::RedrawAll(int32_t v) {
    View& view = views_[size_t(v)];
    if (!picture_) return;
    if (!view.valid) {
        if (home_ == v) PlacePicture(nullptr, 0, -1);
        if (!AcquireTarget(v, view.target)) return;
        TargetPixels& t = view.target;
        view.fit = FitPicture(t.width, t.height);
        if (!t.takesPicture) {
            for (int32_t y = 0; y < t.height; ++y) {
                uint32_t* row = t.pixels + size_t(y) * size_t(t.pitch);
                // The picture's own rows keep it while it moves in.
                if (y >= view.fit.y && y < view.fit.y + view.fit.height) {
                    std::fill_n(row, view.fit.x, 0u);
                    std::fill(row + view.fit.x + view.fit.width, row + t.width, 0u);
                } else {
                    std::fill_n(row, t.width, 0u);
                }
            }
            if (view.scaler.width != view.fit.width || view.scaler.height != view.fit.height)
                SetScaledSize(view.scaler, view.fit.width, view.fit.height);
        }
        view.valid = true;
        // The picture moves into the first view that shows it at 1:1.
        if (home_ < 0 && InPlace(view))
            PlacePicture(t.pixels + size_t(view.fit.y) * size_t(t.pitch) + size_t(view.fit.x), t.pitch, v);
    }
    view.stale = false;
    std::vector<ColumnSpan> all(kScreenHeight, ColumnSpan{0, kScreenWidth});
    if (view.target.takesPicture) {
        rects_.assign(1, {0, 0, kScreenWidth, kScreenHeight});
        counts.pixels += int64_t(kScreenWidth) * kScreenHeight;
        PushPictureRects(v, picture_, pitch_, rects_);
        return;
    }
    if (home_ != v) {
        DrawView(v, all.data());
        RepushAll(v);
        return;
    }
    RepushAll(v);
}

void ScaledPlatform::InvalidateTarget(int32_t v) {
    View& view = views_[size_t(v)];
    if (home_ == v) PlacePicture(nullptr, 0, -1);
    view.valid = false;
    view.target = TargetPixels();
}

void ScaledPlatform::RepushAll(int32_t v) {
    View& view = views_[size_t(v)];
    if (view.hidden) return;
    if (!view.valid || view.stale) {
        RedrawAll(v);
        return;
    }
    if (view.target.takesPicture) {
        rects_.clear();
        PushPictureRects(v, picture_, pitch_, rects_);
        return;
    }
    rects_.assign(1, {0, 0, view.target.width, view.target.height});
    counts.pixels += int64_t(view.target.width) * view.target.height;
    PushRects(v, rects_);
}

void ScaledPlatform::SetViewHidden(int32_t v, bool hidden) {
    View& view = views_[size_t(v)];
    if (view.hidden == hidden) return;
    view.hidden = hidden;
    // What it showed may be gone; the lit columns are behind if nothing
    // was seen meanwhile.
    if (hidden) view.stale = true;
}

void ScaledPlatform::PostClick(int32_t v, bool left, int32_t x, int32_t y) {
    int32_t px = 0, py = 0;
    WindowToPicture(views_[size_t(v)].fit, x, y, px, py);
    PostShowMessage(queue, {left ? uint32_t(MsgLButtonDown) : uint32_t(MsgRButtonDown), 0, PackPoint(px, py)});
}
