#include "platform/wayland/shm_buffers.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>

namespace {

// Past this many rectangles a buffer's list is merged into one.
constexpr size_t kMaxStaleRects = 32;

bool Overlap(const PixelRect& a, const PixelRect& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

PixelRect Bounds(const PixelRect& a, const PixelRect& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

}  // namespace

void AddStale(StaleRects& stale, const PixelRect& r) {
    if (r.left >= r.right || r.top >= r.bottom) return;
    std::vector<PixelRect>& rects = stale.rects;
    // A rectangle inside or touching the last one (the scaler's rows come
    // top to bottom) widens it.
    if (!rects.empty() && Overlap(rects.back(), r)) {
        rects.back() = Bounds(rects.back(), r);
        return;
    }
    if (rects.size() >= kMaxStaleRects) {
        PixelRect all = r;
        for (const PixelRect& q : rects) all = Bounds(all, q);
        rects.assign(1, all);
        return;
    }
    rects.push_back(r);
}

bool CreateShmBuffers(ShmBuffers& b, wl_shm* shm, int32_t width, int32_t height, const void* listener, void* data) {
    DestroyShmBuffers(b);
    const size_t bytes = size_t(width) * size_t(height) * 4;
    const int fd = memfd_create("starvane-shm", MFD_CLOEXEC);
    if (fd < 0) return false;
    if (ftruncate(fd, off_t(bytes * 2)) != 0) {
        close(fd);
        return false;
    }
    void* mapping = mmap(nullptr, bytes * 2, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapping == MAP_FAILED) {
        close(fd);
        return false;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(bytes * 2));
    close(fd);
    b.mapping = mapping;
    b.mappingSize = bytes * 2;
    b.width = width;
    b.height = height;
    for (int32_t i = 0; i < 2; ++i) {
        ShmBuffer& s = b.buffers[i];
        s.buffer = wl_shm_pool_create_buffer(pool, int32_t(bytes) * i, width, height, width * 4,
                                             WL_SHM_FORMAT_XRGB8888);
        wl_buffer_add_listener(s.buffer, static_cast<const wl_buffer_listener*>(listener), data);
        s.pixels = reinterpret_cast<uint32_t*>(static_cast<char*>(mapping) + bytes * size_t(i));
        s.busy = false;
        // New memory is black, as a target is before its first drawing; the
        // first drawing covers all of it anyway.
        s.stale.rects.assign(1, {0, 0, width, height});
    }
    wl_shm_pool_destroy(pool);
    return true;
}

void DestroyShmBuffers(ShmBuffers& b) {
    for (ShmBuffer& s : b.buffers) {
        if (s.buffer) wl_buffer_destroy(s.buffer);
        s = ShmBuffer();
    }
    if (b.mapping) munmap(b.mapping, b.mappingSize);
    b.mapping = nullptr;
    b.mappingSize = 0;
    b.width = b.height = 0;
}

ShmBuffer* TakeFreeBuffer(ShmBuffers& b, const uint32_t* image) {
    for (ShmBuffer& s : b.buffers) {
        if (!s.buffer || s.busy) continue;
        for (const PixelRect& r : s.stale.rects) {
            const size_t width = size_t(r.right - r.left) * 4;
            for (int32_t y = r.top; y < r.bottom; ++y) {
                const size_t at = size_t(y) * size_t(b.width) + size_t(r.left);
                std::memcpy(s.pixels + at, image + at, width);
            }
        }
        s.stale.rects.clear();
        return &s;
    }
    return nullptr;
}

void MarkStale(ShmBuffers& b, const PixelRect& r) {
    for (ShmBuffer& s : b.buffers) AddStale(s.stale, r);
}
