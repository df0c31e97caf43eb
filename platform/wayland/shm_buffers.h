// The pixels a Wayland surface shows: two wl_shm buffers of one size in one
// memory file, 0x00RRGGBB words (XRGB8888), used in turn. The compositor
// reads a buffer from its attach until it releases it, so only a released
// one is written. Each buffer keeps what it lacks of the picture last drawn,
// so a buffer taken up again is brought up to date by copying just that.
#pragma once
#include <cstdint>
#include <vector>
#include "platform/scaled_platform.h"

struct wl_buffer;
struct wl_shm;

// Rectangles that a buffer lacks; a long list becomes its bounding box.
struct StaleRects {
    std::vector<PixelRect> rects;
};
void AddStale(StaleRects& stale, const PixelRect& r);

struct ShmBuffer {
    wl_buffer* buffer = nullptr;
    uint32_t* pixels = nullptr;
    bool busy = false;  // attached, not yet released
    StaleRects stale;
};

struct ShmBuffers {
    int32_t width = 0, height = 0;  // pixels; the pitch is the width
    ShmBuffer buffers[2];
    void* mapping = nullptr;
    size_t mappingSize = 0;
};

// Makes both buffers, width x height; their release events go to `listener`
// with `data`. False when the memory or the pool cannot be had.
bool CreateShmBuffers(ShmBuffers& b, wl_shm* shm, int32_t width, int32_t height, const void* listener, void* data);
void DestroyShmBuffers(ShmBuffers& b);

// A released buffer, brought up to date from `image` (width x height,
// packed), with nothing stale left; null when both are busy.
ShmBuffer* TakeFreeBuffer(ShmBuffers& b, const uint32_t* image);

// The image changed in `r`: every buffer lacks it.
void MarkStale(ShmBuffers& b, const PixelRect& r);
