// The in-memory core for backends that show the 1024 x 768 picture scaled
// into pixels of their own (a window surface, an X image, a shared-memory
// buffer): the picture as large as fits with its aspect kept, black around
// it, and only what changed scaled and sent. The backend gives the pixels
// (AcquireTarget) and sends rectangles of them to the screen (PushRects).
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

protected:
    // The pixels to draw into, taken again after a size change; false when
    // there are none.
    virtual bool AcquireTarget(TargetPixels& target) = 0;
    // Sends rectangles of the target (target coordinates) to the screen.
    virtual void PushRects(const std::vector<PixelRect>& rects) = 0;

    const char* AttachDisplay() override;
    void DetachDisplay() override;
    void ShowRows(RowSpan rows) override;

    // The target is to be taken again before anything more is drawn.
    void InvalidateTarget() { targetValid_ = false; }
    // Takes the target again, black around the picture, then all of it.
    void RedrawAll();
    // The whole target to the screen again, as it is.
    void RepushAll();
    // Posts a click at a point of the target, mapped to the picture.
    void PostClick(bool left, int32_t x, int32_t y);
    bool TargetValid() const { return targetValid_; }

private:
    void ShowChangedRows();
    void ScaleChangedRows();

    bool targetValid_ = false;
    TargetPixels target_;
    PictureRect fit_ = {0, 0, kScreenWidth, kScreenHeight};
    PictureScaler scaler_;
    std::vector<ColumnSpan> changed_;  // per visible row, what is not yet scaled
    std::vector<PixelRect> rects_;     // target pixels written, to be sent
};
