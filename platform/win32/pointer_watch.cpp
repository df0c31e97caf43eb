#include "platform/win32/pointer_watch.h"

bool PointerMovedAway(PointerWatch& watch, int32_t x, int32_t y) {
    if (!watch.anchored) {
        watch = {true, x, y};
        return false;
    }
    const int64_t dx = int64_t(x) - watch.x;
    const int64_t dy = int64_t(y) - watch.y;
    return dx > kPointerTolerance || dx < -kPointerTolerance || dy > kPointerTolerance || dy < -kPointerTolerance;
}
