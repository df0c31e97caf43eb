// The in-memory core for backends that show the 1024 x 768 picture scaled
// into pixels of their own (a window surface, an X image, a shared-memory
// buffer) or hand it to a GPU: the picture as large as fits with its aspect
// kept, black around it, on one or more views (a view per monitor).
//
// The show draws into one picture: the strip's texts into rows 0 to 24,
// the trail filter straight into rows 25 to 740 (the back buffer and the
// visible surface are the same memory, so the present copies nothing).
// Where a view shows the picture at 1:1, the picture is that view's own
// pixels. A present sends only the columns that can have changed: those
// from the first to the last lit pixel of each row, now or at the last
// present; black rows that stayed black cost nothing, and a frame that
// changed nothing sends nothing. A view nobody can see is not drawn.
//
// The backend gives each view's pixels (AcquireTarget) and sends rectangles
// of them to the screen (PushRects); a view that scales the picture itself
// (a GPU texture) takes rectangles of the picture instead (PushPictureRects).
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "platform/memory_platform.h"
#include "platform/picture_fit.h"
#include "platform/picture_rows.h"
#include "platform/picture_scaler.h"

// Pixels to draw into: 0x00RRGGBB words, pitch in words. A view that takes
// the picture itself leaves pixels null and sets takesPicture; width and
// height are then its output's size.
struct TargetPixels {
    uint32_t* pixels = nullptr;
    int32_t pitch = 0;
    int32_t width = 0, height = 0;
    bool takesPicture = false;
};

// What the presents did, from the show's own frames.
struct PresentCounts {
    int64_t frames = 0;     // presents the show asked for
    int64_t sent = 0;       // presents that sent pixels to a screen
    int64_t unchanged = 0;  // presents with nothing changed: nothing sent
    int64_t hidden = 0;     // presents while no view could be seen: nothing done
    int64_t pixels = 0;     // pixels sent, all views
    uint32_t firstTick = 0, lastTick = 0;  // tick counts of the first and last present
    bool lit = false;           // lit pixels were sent
    uint32_t firstLitTick = 0;  // tick count when lit pixels were first sent
};

// Milliseconds of the steady clock: the scaled backends' TickCount.
uint32_t SteadyTicks();

class ScaledPlatform : public MemoryPlatform {
public:
    PresentCounts counts;
    // Reports on stderr how the picture reaches the screen, once it does.
    bool verbose = false;

    const char* OpenDisplay() override;
    void ClearSurfaces() override;
    void DrawTexts(uint32_t textColor, const TextRun* runs, int32_t count) override;
    uint32_t* LockBackBuffer(int32_t& pitch) override;
    void Present() override;
    void ReleaseDisplay() override;
    uint32_t TickCount() override;
    uint32_t TimeSeconds() override;

    // The picture as the show has drawn it, row y (0 to 767); null while the
    // display is closed.
    const uint32_t* PictureRow(int32_t y) const;
    // Whether the picture is a view's own pixels (shown at 1:1).
    bool DrawsInPlace() const { return home_ >= 0; }
    int32_t ViewCount() const { return int32_t(views_.size()); }
    PictureRect ViewFit(int32_t view) const { return views_[size_t(view)].fit; }
    // How the picture reaches the screen, in a few words.
    virtual std::string PresentDescription() const;

protected:
    // Views to show the picture on (1 unless set; 0 until a first output
    // comes); views that stay keep their state.
    void SetViewCount(int32_t count);
    // A view's pixels, taken again after a size change; false when there
    // are none.
    virtual bool AcquireTarget(int32_t view, TargetPixels& target) = 0;
    // Sends rectangles of a view's target (target coordinates) to the screen.
    virtual void PushRects(int32_t view, const std::vector<PixelRect>& rects) = 0;
    // For a view that takes the picture: rectangles of the picture that
    // changed (picture coordinates); an empty list shows it again as it is.
    virtual void PushPictureRects(int32_t, const uint32_t*, int32_t, const std::vector<PixelRect>&) {}

    const char* AttachDisplay() override;
    void DetachDisplay() override;
    void ShowRows(RowSpan rows) override;

    // The view's pixels are about to go (a size change): the picture is
    // taken out of them first, and they are taken again before anything
    // more is drawn.
    void InvalidateTarget(int32_t view);
    // Takes the target again, black around the picture, then all of it.
    void RedrawAll(int32_t view);
    // The whole target to the screen again, as it is.
    void RepushAll(int32_t view);
    // A covered, unmapped or minimised view is neither drawn nor sent; it
    // is drawn whole when it can be seen again.
    void SetViewHidden(int32_t view, bool hidden);
    // Posts a click at a point of a view's target, mapped to the picture.
    void PostClick(int32_t view, bool left, int32_t x, int32_t y);
    bool TargetValid(int32_t view) const { return views_[size_t(view)].valid; }

private:
    struct View {
        TargetPixels target;
        PictureRect fit = {0, 0, kScreenWidth, kScreenHeight};
        PictureScaler scaler;
        bool valid = false;   // target taken and black around the picture
        bool hidden = false;
        bool stale = true;    // to be drawn whole before it is shown
    };

    void PlacePicture(uint32_t* pixels, int32_t pitch, int32_t home);
    // Marks the first lit pixels sent, when a view can be seen.
    void NoteLit();
    void ShowChanged(const ColumnSpan* changed);
    void DrawView(int32_t view, const ColumnSpan* changed);
    bool InPlace(const View& v) const;

    std::vector<View> views_ = std::vector<View>(1);
    std::vector<uint32_t> own_;  // the picture when no view holds it
    uint32_t* picture_ = nullptr;
    int32_t pitch_ = 0;          // in words
    int32_t home_ = -1;          // the view whose pixels hold the picture, or -1
    std::vector<ColumnSpan> lit_;      // per row: lit columns at the last present
    std::vector<ColumnSpan> changed_;  // per row: what a present sends
    std::vector<PixelRect> rects_;
    bool litKnown_ = false;  // lit_ holds what the views show
};
