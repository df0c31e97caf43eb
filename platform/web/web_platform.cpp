#include "platform/web/web_platform.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>

#include "platform/web/web_input.h"

namespace {

// The canvas's 2D context, kept on the module; false when the page has no
// such canvas or it gives no 2D context.
EM_JS(int, AttachCanvas, (const char* selector, int width, int height), {
    var canvas = document.querySelector(UTF8ToString(selector));
    var context = canvas ? canvas.getContext("2d", {alpha : false}) : null;
    if (!context) return 0;
    canvas.width = width;
    canvas.height = height;
    Module.showContext = context;
    return 1;
});

// Rows [top, bottom) of a width x height RGBA image in the module's memory.
EM_JS(void, PutCanvasRows, (const uint8_t* rgba, int width, int height, int top, int bottom), {
    var data = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    Module.showContext.putImageData(new ImageData(data, width, height), 0, 0, 0, top, width, bottom - top);
});

EM_JS(void, SetShowStats, (int frames, double stepMs, double firstFrameAt, int ended), {
    Module.showStats = {frames : frames, stepMs : stepMs, firstFrameAt : firstFrameAt, ended : !!ended};
});

EM_BOOL OnKeyDown(int, const EmscriptenKeyboardEvent* event, void* data) {
    // With Ctrl, Alt or Meta the key is the browser's (reload, close, ...).
    if (event->ctrlKey || event->altKey || event->metaKey) return EM_FALSE;
    const uint32_t vk = VirtualKeyFromDom(event->key, event->code);
    if (vk == 0) return EM_FALSE;
    // A held key repeats as separate presses.
    const intptr_t flags = 1 | (event->repeat ? intptr_t(1) << 30 : 0);
    static_cast<WebPlatform*>(data)->PostInput({MsgKeyDown, vk, flags});
    return EM_TRUE;  // taken: no scrolling, no reload on F5
}

EM_BOOL OnMouseDown(int, const EmscriptenMouseEvent* event, void* data) {
    const uint32_t message = event->button == 0 ? uint32_t(MsgLButtonDown)
                             : event->button == 2 ? uint32_t(MsgRButtonDown)
                                                  : 0;
    if (message == 0) return EM_FALSE;
    WebPlatform& platform = *static_cast<WebPlatform*>(data);
    double width = 0, height = 0;
    emscripten_get_element_css_size(platform.CanvasSelector(), &width, &height);
    const ScreenPoint at = ScreenPointFromPage(double(event->targetX), double(event->targetY), width, height);
    platform.PostInput({message, 0, PackPoint(at.x, at.y)});
    return EM_TRUE;
}

}  // namespace

WebPlatform::WebPlatform(const char* canvasSelector)
    : canvas_(canvasSelector), clock_(uint32_t(uint64_t(emscripten_get_now()))) {}

WebPlatform::~WebPlatform() {
    if (!inputAttached_) return;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, nullptr);
    emscripten_set_mousedown_callback(canvas_, nullptr, EM_FALSE, nullptr);
}

bool WebPlatform::OpenWindow() {
    if (!AttachCanvas(canvas_, kScreenWidth, kScreenHeight)) return false;
    // Keys from the whole page, clicks from the picture.
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_FALSE, OnKeyDown);
    emscripten_set_mousedown_callback(canvas_, this, EM_FALSE, OnMouseDown);
    inputAttached_ = true;
    return true;
}

const char* WebPlatform::AttachDisplay() {
    rgba_.assign(surfaces.visible.size(), 0u);
    return nullptr;
}

// The page keeps the last picture.
void WebPlatform::DetachDisplay() {
    rgba_ = {};
    dirtyTop_ = dirtyBottom_ = 0;
}

void WebPlatform::ShowRows(RowSpan rows) {
    if (rows.top >= rows.bottom) return;
    if (dirtyTop_ >= dirtyBottom_) {
        dirtyTop_ = rows.top;
        dirtyBottom_ = rows.bottom;
        return;
    }
    dirtyTop_ = std::min(dirtyTop_, rows.top);
    dirtyBottom_ = std::max(dirtyBottom_, rows.bottom);
}

void WebPlatform::ShowOnPage() {
    const std::vector<uint32_t>& visible = surfaces.visible;
    if (visible.empty() || dirtyTop_ >= dirtyBottom_) return;
    // 0x00RRGGBB words to the canvas's bytes R, G, B, A (opaque).
    const size_t begin = size_t(dirtyTop_) * kScreenWidth, end = size_t(dirtyBottom_) * kScreenWidth;
    for (size_t i = begin; i < end; ++i) {
        const uint32_t p = visible[i];
        rgba_[i] = 0xFF000000u | (p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF);
    }
    PutCanvasRows(reinterpret_cast<const uint8_t*>(rgba_.data()), kScreenWidth, kScreenHeight, dirtyTop_,
                  dirtyBottom_);
    dirtyTop_ = dirtyBottom_ = 0;
}

void WebPlatform::CountFrame(double stepMs) {
    ++stats_.frames;
    stats_.stepMs += stepMs;
    if (stats_.frames == 1) stats_.firstFrameAt = emscripten_get_now();
}

void WebPlatform::PublishStats(bool ended) const {
    SetShowStats(stats_.frames, stats_.stepMs, stats_.firstFrameAt, ended ? 1 : 0);
}

uint32_t WebPlatform::TimeSeconds() { return uint32_t(uint64_t(emscripten_date_now() / 1000)); }

void WebPlatform::PostInput(const ShowMessage& message) { PostShowMessage(queue, message); }
