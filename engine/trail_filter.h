// The trail filter: every pixel of canvas rows 1 to 716 becomes, per byte,
// the floor of the mean of its four neighbours in memory order (left and up
// already replaced, right and down not yet), and is written three times
// brighter, saturating, into rows 25 to 740 of a 1024 x 768 output image.
#pragma once
#include <cstdint>
#include "engine/canvas.h"

constexpr int32_t kOutputWidth = 1024;
constexpr int32_t kOutputHeight = 768;

// output: row 0 of the 1024 x 768 image, rows outputPitch bytes apart; null
// filters the canvas alone. The canvas must be 1024 x 719 with pitch 4096 and
// 32 bits per pixel; any other canvas (a freed one included) is left alone.
void TrailFilter(Canvas& canvas, uint32_t* output, int32_t outputPitch);

// The plain per-byte rule, one byte at a time: the definition the fast paths
// are checked against.
void TrailFilterReference(Canvas& canvas, uint32_t* output, int32_t outputPitch);

// The code paths behind TrailFilter. All give the same result; TrailFilter
// takes the fastest this processor has, chosen once.
enum TrailFilterPath : int32_t {
    TrailFilterPortable = 0,  // plain C++, any processor
    TrailFilterSse2 = 1,      // x86-64
    TrailFilterAvx2 = 2,      // x86-64 with AVX2
    TrailFilterAvx512 = 3,    // x86-64 with AVX-512 F and BW
};
constexpr int32_t kTrailFilterPathCount = 4;

bool TrailFilterPathAvailable(TrailFilterPath path);
TrailFilterPath TrailFilterBestPath();
const char* TrailFilterPathName(TrailFilterPath path);  // "portable", "sse2", "avx2", "avx512"
// Runs the given path; an unavailable one falls back to the portable path.
void TrailFilterWith(TrailFilterPath path, Canvas& canvas, uint32_t* output,
                     int32_t outputPitch);

// ---- Sharing the pass with a second core.
//
// Rows depend on the rows above them, but only faintly after a dozen rows:
// a helper thread filters the lower part of the canvas, starting a few
// dozen rows higher from both the darkest and the brightest possible row
// above. When the two runs agree at the split row they have the exact row
// there, and the helper goes on exactly from it while this thread filters
// the rows above the split. When they do not agree, or the helper has not
// started in time, this thread filters the rest itself: the result is
// always that of the plain pass.

struct TrailFilterCrew;  // the helper thread and what the two threads share

// The owner record of the helper thread. As first made it has none, and the
// filter calls below work single-threaded; with one it must not be copied.
struct TrailFilterWorkers {
    TrailFilterCrew* crew = nullptr;
    // The last row this thread filters when the frame is shared; after each
    // shared frame it moves towards the row at which both threads finish
    // together, within kTrailFilterSplitFirst to kTrailFilterSplitLast.
    int32_t splitRow = 400;
    bool fixedSplit = false;  // keeps splitRow as set (for tests)
    // Waits for the helper's verdict instead of going on alone (for tests).
    bool patient = false;
    // Frames shared with the helper, filtered alone because its runs did
    // not agree, and filtered alone because it had not started in time.
    int64_t shared = 0;
    int64_t declined = 0;
    int64_t alone = 0;
};
constexpr int32_t kTrailFilterSplitFirst = 25;  // the helper's runs start 24 rows above the split
constexpr int32_t kTrailFilterSplitLast = 715;

// Starts the helper thread; false when the processor has a single core or
// no thread can be started (the record then stays without one).
bool StartTrailFilterWorkers(TrailFilterWorkers& workers);
// Stops and joins the helper thread; a record without one is left as it is.
void StopTrailFilterWorkers(TrailFilterWorkers& workers);

// TrailFilter and TrailFilterWith, sharing the rows with the helper thread
// when the record has one.
void TrailFilter(Canvas& canvas, uint32_t* output, int32_t outputPitch, TrailFilterWorkers& workers);
void TrailFilterWith(TrailFilterPath path, Canvas& canvas, uint32_t* output, int32_t outputPitch,
                     TrailFilterWorkers& workers);
