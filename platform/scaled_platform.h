// The in-memory core for backends that show the 1024 x 768 picture scaled
// into pixels of their own (a window surface, an X image, a shared-memory
// buffer): the picture as large as fits with its aspect kept, black around
// it, and only what changed scaled and sent. The backend gives the pixels
// (AcquireTarget) and sends rectangles of them to the screen (PushRects).
// The picture can be shown on several views at once (a view per monitor),
// each scaled to its own size; a view nobody can see is not drawn.
#pragma once
#include <cstdint>
#include <vector>
#include "platform/memory_platform.h"
#include "platform/picture_fit.h"
#include "platform/picture_scaler.h"

// Pixels to draw into: 0x00RRGGBB words, pitch in words.
struct TargetPixels {
    uint32_t* pixels = nullptr;
    int32_t pitch = 0;
    int32_t width = 0, height = 0;
};

class ScaledPlatform : public MemoryPlatform {
public:
    // Copies only the columns of each row that differ from what is shown,
    // then scales and sends them.
    void Present() override;
    uint32_t TickCount() override;
    uint32_t TimeSeconds() override;

    int32_t ViewCount() const { return int32_t(views_.size()); }

protected:
    // Views to show the picture on, numbered from 0; 1 unless set. New views
    // are drawn whole before they are shown.
    void SetViewCount(int32_t count);
    // A view's pixels to draw into, taken again after a size change; false
    // when there are none.
    virtual bool AcquireTarget(int32_t view, TargetPixels& target) = 0;
    // Sends rectangles of a view's target (target coordinates) to the screen.
    virtual void PushRects(int32_t view, const std::vector<PixelRect>& rects) = 0;

    const char* AttachDisplay() override;
    void DetachDisplay() override;
    void ShowRows(RowSpan rows) override;

    // The view's target is to be taken again before anything more is drawn.
    void InvalidateTarget(int32_t view);
    // Takes the target again, black around the picture, then all of it.
    void RedrawAll(int32_t view);
    // The whole target to the screen again, as it is.
    void RepushAll(int32_t view);
    // A hidden view (covered, unmapped) is neither drawn nor sent; it is
    // drawn whole when it is shown again.
    void SetViewHidden(int32_t view, bool hidden);
    // Posts a click at a point of a view's target, mapped to the picture.
    void PostClick(int32_t view, bool left, int32_t x, int32_t y);
    bool TargetValid(int32_t view) const { return views_[size_t(view)].valid; }

private:
    struct View {
        TargetPixels target;
        PictureRect fit = {0, 0, kScreenWidth, kScreenHeight};
        PictureScaler scaler;
        bool valid = false;  // target taken, black around the picture
        bool hidden = false;
    };

    void ShowChangedRows();
    void ScaleInto(View& view, const ColumnSpan* rows);

    std::vector<View> views_ = std::vector<View>(1);
    std::vector<ColumnSpan> changed_;  // per visible row, what is not yet scaled
    std::vector<ColumnSpan> whole_;    // per visible row, all of it
    std::vector<PixelRect> rects_;     // target pixels written, to be sent
};
