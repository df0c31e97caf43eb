#include "platform/wayland/wayland_platform.h"

#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fractional-scale-v1-client-protocol.h"
#include "platform/sdl/stop_signals.h"
#include "platform/wayland/shm_buffers.h"
#include "platform/wayland/wayland_keys.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

namespace {

// A surface whose frame callback has not come for this long is not being
// shown (covered, or its output asleep): it is not drawn until it comes.
constexpr uint32_t kHiddenAfterMs = 500;

// What libwayland last logged: its messages become part of our one line.
char lastLog[256];

extern "C" void KeepLog(const char* format, va_list args) {
    char line[sizeof lastLog];
    vsnprintf(line, sizeof line, format, args);
    line[strcspn(line, "\n")] = '\0';
    const char* text = std::strncmp(line, "error: ", 7) == 0 ? line + 7 : line;
    std::memmove(lastLog, text, std::strlen(text) + 1);
}

}  // namespace

struct WaylandConnection {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    uint32_t compositorVersion = 0;
    wl_shm* shm = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    uint32_t layerShellVersion = 0;
    zxdg_output_manager_v1* xdgOutputs = nullptr;
    wp_viewporter* viewporter = nullptr;
    wp_fractional_scale_manager_v1* fractionalScales = nullptr;
    bool broken = false;  // the connection failed; nothing more is sent

    // Input, from the first seat.
    wl_seat* seat = nullptr;
    uint32_t seatVersion = 0;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    int32_t pointerView = -1;         // the view under the pointer, or -1
    double pointerX = 0, pointerY = 0;  // surface-local
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* keyState = nullptr;
    // A held key repeats at the compositor's rate, after its delay.
    int32_t repeatRate = 25, repeatDelay = 600;
    uint32_t repeatCode = 0, repeatKey = 0;  // Linux key code and virtual key; 0: none held
    uint32_t nextRepeat = 0;
};

struct WaylandPlatform::Output {
    WaylandPlatform* platform = nullptr;
    int32_t view = 0;
    uint32_t globalName = 0;
    wl_output* output = nullptr;
    uint32_t outputVersion = 0;
    zxdg_output_v1* xdgOutput = nullptr;
    std::string name;
    int32_t scale = 1, pendingScale = 1;  // wl_output.scale, applied at done
    bool ready = false;                    // its first done came
    bool closed = false;                   // the compositor closed its surface
    bool closing = false;                  // closed came; destroyed after the dispatch

    // The layer surface, while it has one.
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
    wp_viewport* viewport = nullptr;
    wp_fractional_scale_v1* fractional = nullptr;
    uint32_t scale120 = 0;          // preferred scale in 120ths; 0: none told
    int32_t width = 0, height = 0;  // surface-local size from configure; 0: none yet
    int32_t bufferScale = 1;
    std::vector<uint32_t> image;    // the scaled picture at the buffers' size
    ShmBuffers buffers;
    StaleRects damage;              // changed since the last commit
    wl_callback* frame = nullptr;
    uint32_t frameAsked = 0;        // tick count of the commit that asked for it
    bool hidden = false;
};

// The listeners: plain functions that find their platform through the
// object they were given.
struct WaylandPlatform::Handlers {
    static void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
        auto* p = static_cast<WaylandPlatform*>(data);
        WaylandConnection& c = *p->c_;
        auto bind = [&](const wl_interface* i, uint32_t most) {
            return wl_registry_bind(registry, name, i, std::min(version, most));
        };
        if (!std::strcmp(interface, wl_compositor_interface.name)) {
            c.compositorVersion = std::min(version, 4u);
            c.compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
        } else if (!std::strcmp(interface, wl_shm_interface.name)) {
            c.shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
        } else if (!std::strcmp(interface, zwlr_layer_shell_v1_interface.name)) {
            c.layerShellVersion = std::min(version, 4u);
            c.layerShell = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 4));
        } else if (!std::strcmp(interface, zxdg_output_manager_v1_interface.name)) {
            c.xdgOutputs = static_cast<zxdg_output_manager_v1*>(bind(&zxdg_output_manager_v1_interface, 3));
        } else if (!std::strcmp(interface, wp_viewporter_interface.name)) {
            c.viewporter = static_cast<wp_viewporter*>(bind(&wp_viewporter_interface, 1));
        } else if (!std::strcmp(interface, wp_fractional_scale_manager_v1_interface.name)) {
            c.fractionalScales =
                static_cast<wp_fractional_scale_manager_v1*>(bind(&wp_fractional_scale_manager_v1_interface, 1));
        } else if (!std::strcmp(interface, wl_seat_interface.name) && !c.seat) {
            c.seatVersion = std::min(version, 5u);
            c.seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
            wl_seat_add_listener(c.seat, &kSeat, p);
        } else if (!std::strcmp(interface, wl_output_interface.name)) {
            auto o = std::make_unique<Output>();
            o->platform = p;
            o->globalName = name;
            o->outputVersion = std::min(version, 4u);
            o->output = static_cast<wl_output*>(bind(&wl_output_interface, 4));
            wl_output_add_listener(o->output, &kOutput, o.get());
            // A slot left by an output that went, else a new one.
            auto slot = std::find(p->outputs_.begin(), p->outputs_.end(), nullptr);
            if (slot == p->outputs_.end()) slot = p->outputs_.insert(slot, nullptr);
            o->view = int32_t(slot - p->outputs_.begin());
            *slot = std::move(o);
            p->SetViewCount(int32_t(p->outputs_.size()));
            p->InvalidateTarget((*slot)->view);
        }
    }

    static void GlobalRemove(void* data, wl_registry*, uint32_t name) {
        static_cast<WaylandPlatform*>(data)->RemoveOutput(name);
    }

    static void OutputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                               int32_t) {}
    static void OutputMode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {}
    static void OutputDone(void* data, wl_output*) {
        auto* o = static_cast<Output*>(data);
        const bool rescaled = o->scale != o->pendingScale;
        o->scale = o->pendingScale;
        o->ready = true;
        if (rescaled && o->surface) o->platform->Resize(*o);
    }
    static void OutputScale(void* data, wl_output*, int32_t factor) {
        static_cast<Output*>(data)->pendingScale = std::max(factor, 1);
    }
    static void OutputName(void* data, wl_output*, const char* name) { static_cast<Output*>(data)->name = name; }
    static void OutputDescription(void*, wl_output*, const char*) {}

    static void XdgPosition(void*, zxdg_output_v1*, int32_t, int32_t) {}
    static void XdgSize(void*, zxdg_output_v1*, int32_t, int32_t) {}
    static void XdgDone(void*, zxdg_output_v1*) {}
    static void XdgName(void* data, zxdg_output_v1*, const char* name) {
        // wl_output 4 names outputs itself; xdg-output does on older ones.
        auto* o = static_cast<Output*>(data);
        if (o->outputVersion < 4) o->name = name;
    }
    static void XdgDescription(void*, zxdg_output_v1*, const char*) {}

    static void LayerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
                               uint32_t height) {
        auto* o = static_cast<Output*>(data);
        zwlr_layer_surface_v1_ack_configure(layer, serial);
        o->width = int32_t(std::min<uint32_t>(width, INT16_MAX));
        o->height = int32_t(std::min<uint32_t>(height, INT16_MAX));
        o->platform->Resize(*o);
    }
    static void LayerClosed(void* data, zwlr_layer_surface_v1*) { static_cast<Output*>(data)->closing = true; }

    static void PreferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
        auto* o = static_cast<Output*>(data);
        if (o->scale120 == scale) return;
        o->scale120 = scale;
        o->platform->Resize(*o);
    }

    static void FrameDone(void* data, wl_callback* callback, uint32_t) {
        auto* o = static_cast<Output*>(data);
        wl_callback_destroy(callback);
        o->frame = nullptr;
        if (o->hidden) {
            // Seen again: drawn whole, which commits.
            o->hidden = false;
            o->platform->SetViewHidden(o->view, false);
        }
        o->platform->Commit(*o);
    }

    static void BufferRelease(void* data, wl_buffer* buffer) {
        auto* o = static_cast<Output*>(data);
        for (ShmBuffer& b : o->buffers.buffers) {
            if (b.buffer == buffer) b.busy = false;
        }
        o->platform->Commit(*o);
    }

    static void SeatCapabilities(void* data, wl_seat* seat, uint32_t caps) {
        auto* p = static_cast<WaylandPlatform*>(data);
        WaylandConnection& c = *p->c_;
        const bool pointer = caps & WL_SEAT_CAPABILITY_POINTER, keyboard = caps & WL_SEAT_CAPABILITY_KEYBOARD;
        if (pointer && !c.pointer) {
            c.pointer = wl_seat_get_pointer(seat);
            wl_pointer_add_listener(c.pointer, &kPointer, p);
        } else if (!pointer && c.pointer) {
            if (c.seatVersion >= 3) wl_pointer_release(c.pointer);
            else wl_pointer_destroy(c.pointer);
            c.pointer = nullptr;
            c.pointerView = -1;
        }
        if (keyboard && !c.keyboard) {
            c.keyboard = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(c.keyboard, &kKeyboard, p);
        } else if (!keyboard && c.keyboard) {
            if (c.seatVersion >= 3) wl_keyboard_release(c.keyboard);
            else wl_keyboard_destroy(c.keyboard);
            c.keyboard = nullptr;
            c.repeatKey = c.repeatCode = 0;
        }
    }
    static void SeatName(void*, wl_seat*, const char*) {}

    static void PointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t x,
                             wl_fixed_t y) {
        auto* p = static_cast<WaylandPlatform*>(data);
        WaylandConnection& c = *p->c_;
        c.pointerView = -1;
        for (const auto& o : p->outputs_) {
            if (o && o->surface == surface) c.pointerView = o->view;
        }
        c.pointerX = wl_fixed_to_double(x);
        c.pointerY = wl_fixed_to_double(y);
        // Over a screensaver the pointer is hidden, as in the full-screen
        // program; over a wallpaper it stays.
        if (c.pointerView >= 0 && p->options_.layer == DesktopLayer::Overlay)
            wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
    }
    static void PointerLeave(void* data, wl_pointer*, uint32_t, wl_surface*) {
        static_cast<WaylandPlatform*>(data)->c_->pointerView = -1;
    }
    static void PointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
        WaylandConnection& c = *static_cast<WaylandPlatform*>(data)->c_;
        c.pointerX = wl_fixed_to_double(x);
        c.pointerY = wl_fixed_to_double(y);
    }
    static void PointerButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state) {
        auto* p = static_cast<WaylandPlatform*>(data);
        const WaylandConnection& c = *p->c_;
        if (state != WL_POINTER_BUTTON_STATE_PRESSED || (button != BTN_LEFT && button != BTN_RIGHT)) return;
        if (c.pointerView < 0) return;
        const Output* o = p->outputs_[size_t(c.pointerView)].get();
        if (!o || o->width <= 0 || o->height <= 0 || !p->TargetValid(o->view)) return;
        // Surface-local units to the target's pixels.
        const int32_t x = int32_t(c.pointerX * o->buffers.width / o->width);
        const int32_t y = int32_t(c.pointerY * o->buffers.height / o->height);
        p->PostClick(o->view, button == BTN_LEFT, x, y);
    }
    static void PointerAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
    static void PointerFrame(void*, wl_pointer*) {}
    static void PointerAxisSource(void*, wl_pointer*, uint32_t) {}
    static void PointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
    static void PointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}

    static void KeyboardKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
        WaylandConnection& c = *static_cast<WaylandPlatform*>(data)->c_;
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 1) {
            void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (text != MAP_FAILED) {
                if (!c.xkb) c.xkb = xkb_context_new(XKB_CONTEXT_NO_DEFAULT_INCLUDES);
                xkb_keymap* keymap = c.xkb ? xkb_keymap_new_from_buffer(c.xkb, static_cast<const char*>(text),
                                                                        size - 1, XKB_KEYMAP_FORMAT_TEXT_V1,
                                                                        XKB_KEYMAP_COMPILE_NO_FLAGS)
                                           : nullptr;
                munmap(text, size);
                if (keymap) {
                    xkb_state_unref(c.keyState);
                    xkb_keymap_unref(c.keymap);
                    c.keymap = keymap;
                    c.keyState = xkb_state_new(keymap);
                }
            }
        }
        close(fd);
    }
    static void KeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
    static void KeyboardLeave(void* data, wl_keyboard*, uint32_t, wl_surface*) {
        WaylandConnection& c = *static_cast<WaylandPlatform*>(data)->c_;
        c.repeatKey = c.repeatCode = 0;
    }
    static void KeyboardKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t code, uint32_t state) {
        auto* p = static_cast<WaylandPlatform*>(data);
        WaylandConnection& c = *p->c_;
        if (state != WL_KEYBOARD_KEY_STATE_PRESSED) {
            if (code == c.repeatCode) c.repeatKey = c.repeatCode = 0;
            return;
        }
        if (!c.keyState) return;
        // xkb numbers keys 8 above the Linux key codes.
        const uint32_t vk = VirtualKeyFromWayland(code, xkb_state_key_get_one_sym(c.keyState, code + 8));
        c.repeatKey = c.repeatCode = 0;
        if (vk == 0) return;
        PostShowMessage(p->queue, {MsgKeyDown, vk, 1});
        if (c.repeatRate > 0 && xkb_keymap_key_repeats(c.keymap, code + 8)) {
            c.repeatCode = code;
            c.repeatKey = vk;
            c.nextRepeat = p->TickCount() + uint32_t(std::max(c.repeatDelay, 0));
        }
    }
    static void KeyboardModifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched,
                                  uint32_t locked, uint32_t group) {
        WaylandConnection& c = *static_cast<WaylandPlatform*>(data)->c_;
        if (c.keyState) xkb_state_update_mask(c.keyState, depressed, latched, locked, 0, 0, group);
    }
    static void KeyboardRepeatInfo(void* data, wl_keyboard*, int32_t rate, int32_t delay) {
        WaylandConnection& c = *static_cast<WaylandPlatform*>(data)->c_;
        c.repeatRate = rate;
        c.repeatDelay = delay;
    }

    static constexpr wl_registry_listener kRegistry = {Global, GlobalRemove};
    static constexpr wl_output_listener kOutput = {OutputGeometry, OutputMode, OutputDone,
                                                   OutputScale,    OutputName, OutputDescription};
    static constexpr zxdg_output_v1_listener kXdgOutput = {XdgPosition, XdgSize, XdgDone, XdgName, XdgDescription};
    static constexpr zwlr_layer_surface_v1_listener kLayer = {LayerConfigure, LayerClosed};
    static constexpr wp_fractional_scale_v1_listener kFractional = {PreferredScale};
    static constexpr wl_callback_listener kFrame = {FrameDone};
    static constexpr wl_buffer_listener kBuffer = {BufferRelease};
    static constexpr wl_seat_listener kSeat = {SeatCapabilities, SeatName};
    // Newer libwayland adds events past those of the version bound here:
    // left null, they are never sent.
    static wl_pointer_listener PointerListener() {
        wl_pointer_listener l = {};
        l.enter = PointerEnter;
        l.leave = PointerLeave;
        l.motion = PointerMotion;
        l.button = PointerButton;
        l.axis = PointerAxis;
        l.frame = PointerFrame;
        l.axis_source = PointerAxisSource;
        l.axis_stop = PointerAxisStop;
        l.axis_discrete = PointerAxisDiscrete;
        return l;
    }
    static inline const wl_pointer_listener kPointer = PointerListener();
    static constexpr wl_keyboard_listener kKeyboard = {KeyboardKeymap, KeyboardEnter,     KeyboardLeave,
                                                       KeyboardKey,    KeyboardModifiers, KeyboardRepeatInfo};
};

WaylandPlatform::WaylandPlatform(const LaunchOptions& options) : options_(options) { SetViewCount(0); }

WaylandPlatform::~WaylandPlatform() {
    ReleaseDisplay();
    if (!c_) return;
    WaylandConnection& c = *c_;
    for (const auto& o : outputs_) {
        if (o) DestroyObjects(*o);
    }
    outputs_.clear();
    if (c.seatVersion >= 3) {
        if (c.pointer) wl_pointer_release(c.pointer);
        if (c.keyboard) wl_keyboard_release(c.keyboard);
    } else {
        if (c.pointer) wl_pointer_destroy(c.pointer);
        if (c.keyboard) wl_keyboard_destroy(c.keyboard);
    }
    if (c.seat) {
        if (c.seatVersion >= 5) wl_seat_release(c.seat);
        else wl_seat_destroy(c.seat);
    }
    xkb_state_unref(c.keyState);
    xkb_keymap_unref(c.keymap);
    xkb_context_unref(c.xkb);
    if (c.fractionalScales) wp_fractional_scale_manager_v1_destroy(c.fractionalScales);
    if (c.viewporter) wp_viewporter_destroy(c.viewporter);
    if (c.xdgOutputs) zxdg_output_manager_v1_destroy(c.xdgOutputs);
    if (c.layerShell) {
        if (c.layerShellVersion >= 3) zwlr_layer_shell_v1_destroy(c.layerShell);
        else wl_proxy_destroy(reinterpret_cast<wl_proxy*>(c.layerShell));
    }
    if (c.shm) wl_shm_destroy(c.shm);
    if (c.compositor) wl_compositor_destroy(c.compositor);
    if (c.registry) wl_registry_destroy(c.registry);
    if (c.display) {
        wl_display_flush(c.display);
        wl_display_disconnect(c.display);
    }
}

int WaylandPlatform::Open(std::string& error) {
    wl_log_set_handler_client(KeepLog);
    outputName_ = options_.output;
    const bool nameFromOption = !outputName_.empty();
    if (!nameFromOption) {
        if (const char* name = std::getenv("SWAYLOCK_PLUGIN_OUTPUT_NAME")) outputName_ = name;
    }
    c_ = std::make_unique<WaylandConnection>();
    WaylandConnection& c = *c_;
    const char* socket = std::getenv("WAYLAND_SOCKET");
    const std::string where = socket ? std::string("WAYLAND_SOCKET ") + socket
                                     : std::string(std::getenv("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY")
                                                                                   : "wayland-0");
    lastLog[0] = '\0';
    errno = 0;
    c.display = wl_display_connect(nullptr);
    if (!c.display) {
        error = "no Wayland compositor at " + where + " (" +
                (lastLog[0] ? std::string(lastLog) : std::string(errno ? std::strerror(errno) : "cannot connect")) +
                ")";
        return 1;
    }
    c.registry = wl_display_get_registry(c.display);
    wl_registry_add_listener(c.registry, &Handlers::kRegistry, this);
    if (wl_display_roundtrip(c.display) < 0) {
        error = "the Wayland compositor at " + where + " does not answer";
        return 1;
    }
    if (!c.compositor || !c.shm) {
        error = "the Wayland compositor offers no shared-memory surfaces";
        return 1;
    }
    if (!c.layerShell) {
        error = "the Wayland compositor has no layer surfaces (wlr-layer-shell); "
                "without --layer the show runs full screen";
        return 1;
    }
    // Names and scales of the outputs, then the surfaces and their first
    // configure.
    UpdateSurfaces();
    wl_display_roundtrip(c.display);
    if (!outputName_.empty() &&
        std::none_of(outputs_.begin(), outputs_.end(), [&](const auto& o) { return o && o->name == outputName_; })) {
        std::string names;
        for (const auto& o : outputs_) {
            if (o) names += (names.empty() ? "" : ", ") + o->name;
        }
        error = (nameFromOption ? "--output " : "SWAYLOCK_PLUGIN_OUTPUT_NAME ") + outputName_ +
                ": no such output (" + (names.empty() ? "there are none" : "the outputs are " + names) + ")";
        return nameFromOption ? 2 : 1;
    }
    stopFd_ = WatchStopSignals();
    started_ = true;
    UpdateSurfaces();
    if (wl_display_roundtrip(c.display) < 0) {
        error = std::string("the Wayland compositor refused the layer surfaces") +
                (lastLog[0] ? std::string(": ") + lastLog : std::string());
        return 1;
    }
    return 0;
}

bool WaylandPlatform::OpenWindow() { return started_; }

bool WaylandPlatform::Wanted(const Output& o) const {
    if (!outputName_.empty()) return o.name == outputName_;
    if (options_.monitors != MonitorChoice::One) return true;
    // One output: the one that has the surface, else the first that can.
    for (const auto& p : outputs_) {
        if (p && p->surface) return p.get() == &o;
    }
    for (const auto& p : outputs_) {
        if (p && p->ready && !p->closed) return p.get() == &o;
    }
    return false;
}

void WaylandPlatform::UpdateSurfaces() {
    WaylandConnection& c = *c_;
    bool anyClosed = false, anyShown = false;
    for (const auto& o : outputs_) {
        if (!o) continue;
        if (o->closing) {
            DestroySurface(*o);
            o->closing = false;
            o->closed = true;
        }
        if (!o->xdgOutput && c.xdgOutputs && o->outputVersion < 4) {
            o->xdgOutput = zxdg_output_manager_v1_get_xdg_output(c.xdgOutputs, o->output);
            zxdg_output_v1_add_listener(o->xdgOutput, &Handlers::kXdgOutput, o.get());
        }
    }
    for (const auto& o : outputs_) {
        if (o && started_ && o->ready && !o->surface && !o->closed && Wanted(*o)) CreateSurface(*o);
        if (o) anyClosed = anyClosed || o->closed;
        if (o) anyShown = anyShown || o->surface;
    }
    // The compositor took every surface away (a lock screen that ends, a
    // wallpaper replaced): the show ends. Outputs that merely went do not
    // count; the show waits for outputs to come.
    if (anyClosed && !anyShown) End();
}

void WaylandPlatform::CreateSurface(Output& o) {
    WaylandConnection& c = *c_;
    o.surface = wl_compositor_create_surface(c.compositor);
    // Fractional scales need both; without them the output's integer scale.
    if (c.viewporter && c.fractionalScales) {
        o.viewport = wp_viewporter_get_viewport(c.viewporter, o.surface);
        o.fractional = wp_fractional_scale_manager_v1_get_fractional_scale(c.fractionalScales, o.surface);
        wp_fractional_scale_v1_add_listener(o.fractional, &Handlers::kFractional, &o);
    }
    o.layer = zwlr_layer_shell_v1_get_layer_surface(c.layerShell, o.surface, o.output, uint32_t(options_.layer),
                                                   "starvane");
    zwlr_layer_surface_v1_add_listener(o.layer, &Handlers::kLayer, &o);
    zwlr_layer_surface_v1_set_size(o.layer, 0, 0);
    zwlr_layer_surface_v1_set_anchor(o.layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                  ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                  ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(o.layer, -1);
    // The keyboard: all of it on the overlay (a screensaver), on request on
    // top, never below the windows.
    uint32_t keys = ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE;
    if (options_.layer == DesktopLayer::Overlay) keys = ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE;
    if (options_.layer == DesktopLayer::Top && c.layerShellVersion >= 4)
        keys = ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_ON_DEMAND;
    zwlr_layer_surface_v1_set_keyboard_interactivity(o.layer, keys);
    o.width = o.height = 0;
    o.bufferScale = 1;
    o.scale120 = 0;
    wl_surface_commit(o.surface);
}

void WaylandPlatform::DestroySurface(Output& o) {
    InvalidateTarget(o.view);
    if (c_->pointerView == o.view) c_->pointerView = -1;
    DestroySurfaceObjects(o);
    if (o.hidden) SetViewHidden(o.view, false);
    o.hidden = false;
}

void WaylandPlatform::DestroySurfaceObjects(Output& o) {
    if (o.frame) wl_callback_destroy(o.frame);
    o.frame = nullptr;
    DestroyShmBuffers(o.buffers);
    if (o.fractional) wp_fractional_scale_v1_destroy(o.fractional);
    if (o.viewport) wp_viewport_destroy(o.viewport);
    if (o.layer) zwlr_layer_surface_v1_destroy(o.layer);
    if (o.surface) wl_surface_destroy(o.surface);
    o.fractional = nullptr;
    o.viewport = nullptr;
    o.layer = nullptr;
    o.surface = nullptr;
    o.image = std::vector<uint32_t>();
    o.damage.rects.clear();
    o.width = o.height = 0;
}

void WaylandPlatform::DestroyObjects(Output& o) {
    DestroySurfaceObjects(o);
    if (o.xdgOutput) zxdg_output_v1_destroy(o.xdgOutput);
    if (o.outputVersion >= 3) wl_output_release(o.output);
    else wl_output_destroy(o.output);
    o.xdgOutput = nullptr;
    o.output = nullptr;
}

void WaylandPlatform::RemoveOutput(uint32_t globalName) {
    for (auto& slot : outputs_) {
        if (!slot || slot->globalName != globalName) continue;
        DestroySurface(*slot);
        DestroyObjects(*slot);
        slot.reset();
        break;
    }
    // With --monitors one the show moves to another output.
    if (started_ && !c_->broken) UpdateSurfaces();
}

void WaylandPlatform::Resize(Output& o) {
    if (!o.surface || o.width <= 0 || o.height <= 0) return;
    int32_t width, height, scale = 1;
    if (o.fractional && o.scale120 > 0) {
        // The viewport shows the buffer at the surface's size.
        width = int32_t((int64_t(o.width) * o.scale120 + 60) / 120);
        height = int32_t((int64_t(o.height) * o.scale120 + 60) / 120);
        wp_viewport_set_destination(o.viewport, o.width, o.height);
    } else {
        scale = o.scale;
        width = o.width * scale;
        height = o.height * scale;
        if (o.viewport) wp_viewport_set_destination(o.viewport, -1, -1);
    }
    if (scale != o.bufferScale) {
        wl_surface_set_buffer_scale(o.surface, scale);
        o.bufferScale = scale;
    }
    if (width == o.buffers.width && height == o.buffers.height) {
        // The same pixels: the acknowledged configure still wants a commit.
        o.damage.rects.assign(1, {0, 0, width, height});
        Commit(o);
        return;
    }
    // The target's pixels go: the picture is told before they do.
    InvalidateTarget(o.view);
    o.image.assign(size_t(width) * size_t(height), 0u);
    if (!CreateShmBuffers(o.buffers, c_->shm, width, height, &Handlers::kBuffer, &o)) {
        o.image = std::vector<uint32_t>();
        return;
    }
    // A new size is shown at once, even while a frame is still awaited.
    if (o.frame) wl_callback_destroy(o.frame);
    o.frame = nullptr;
    RedrawAll(o.view);
}

bool WaylandPlatform::AcquireTarget(int32_t view, TargetPixels& t) {
    const Output* o = view < int32_t(outputs_.size()) ? outputs_[size_t(view)].get() : nullptr;
    if (!o || !o->surface || o->image.empty()) return false;
    t.pixels = const_cast<uint32_t*>(o->image.data());
    t.width = t.pitch = o->buffers.width;
    t.height = o->buffers.height;
    return true;
}

void WaylandPlatform::PushRects(int32_t view, const std::vector<PixelRect>& rects) {
    Output& o = *outputs_[size_t(view)];
    for (const PixelRect& r : rects) {
        AddStale(o.damage, r);
        MarkStale(o.buffers, r);
    }
    Commit(o);
}

void WaylandPlatform::Commit(Output& o) {
    // One commit per frame callback, into a buffer the compositor let go.
    if (!o.surface || o.damage.rects.empty() || o.frame || c_->broken) return;
    ShmBuffer* b = TakeFreeBuffer(o.buffers, o.image.data());
    if (!b) return;
    wl_surface_attach(o.surface, b->buffer, 0, 0);
    b->busy = true;
    for (const PixelRect& r : o.damage.rects) {
        if (c_->compositorVersion >= 4) {
            wl_surface_damage_buffer(o.surface, r.left, r.top, r.right - r.left, r.bottom - r.top);
        } else {
            wl_surface_damage(o.surface, 0, 0, INT32_MAX, INT32_MAX);
        }
    }
    o.damage.rects.clear();
    o.frame = wl_surface_frame(o.surface);
    wl_callback_add_listener(o.frame, &Handlers::kFrame, &o);
    o.frameAsked = TickCount();
    wl_surface_commit(o.surface);
}

void WaylandPlatform::CheckHidden() {
    const uint32_t now = TickCount();
    for (const auto& o : outputs_) {
        if (!o || !o->frame || o->hidden || now - o->frameAsked < kHiddenAfterMs) continue;
        o->hidden = true;
        SetViewHidden(o->view, true);
    }
}

void WaylandPlatform::KeyRepeat() {
    WaylandConnection& c = *c_;
    if (c.repeatKey == 0) return;
    const uint32_t now = TickCount();
    if (int32_t(now - c.nextRepeat) < 0) return;
    // A held key repeats as separate presses, flagged as repeats.
    PostShowMessage(queue, {MsgKeyDown, c.repeatKey, 1 | intptr_t(1) << 30});
    const uint32_t period = uint32_t(1000 / std::max(c.repeatRate, 1));
    c.nextRepeat += period;
    if (int32_t(now - c.nextRepeat) >= 0) c.nextRepeat = now + period;
}

void WaylandPlatform::End() {
    if (ended_) return;
    ended_ = true;
    PostShowMessage(queue, {MsgDestroy, 0, 0});
}

void WaylandPlatform::Dispatch(bool wait, uint32_t timeoutMs) {
    WaylandConnection& c = *c_;
    if (StopRequested()) End();
    if (c.broken) {
        if (wait && !ended_) poll(nullptr, 0, int(std::min<uint32_t>(timeoutMs, INT_MAX)));
        return;
    }
    wl_display* d = c.display;
    while (wl_display_prepare_read(d) != 0) {
        if (wl_display_dispatch_pending(d) < 0) break;
        wait = false;  // events came: the loop looks at them first
    }
    wl_display_flush(d);
    if (c.repeatKey != 0) timeoutMs = std::min(timeoutMs, uint32_t(std::max(int32_t(c.nextRepeat - TickCount()), 0)));
    pollfd fds[2] = {{wl_display_get_fd(d), POLLIN, 0}, {stopFd_, POLLIN, 0}};
    const int n = poll(fds, stopFd_ >= 0 ? 2 : 1, wait ? int(std::min<uint32_t>(timeoutMs, INT_MAX)) : 0);
    if (n > 0 && fds[0].revents) {
        wl_display_read_events(d);
    } else {
        wl_display_cancel_read(d);
    }
    wl_display_dispatch_pending(d);
    if (wl_display_get_error(d) != 0) {
        // The compositor went away or ended the connection.
        c.broken = true;
        std::fprintf(stderr, "starvane: the Wayland connection ended%s%s\n", lastLog[0] ? ": " : "", lastLog);
        End();
        return;
    }
    UpdateSurfaces();
    CheckHidden();
    KeyRepeat();
    if (StopRequested()) End();
}

void WaylandPlatform::PumpEvents() {
    if (c_) Dispatch(false, 0);
}

void WaylandPlatform::WaitForEvent(uint32_t timeoutMs) {
    if (c_) Dispatch(true, timeoutMs);
}

void WaylandPlatform::RestoreDisplay() {
    ScaledPlatform::RestoreDisplay();
    // The desktop comes back at once.
    if (!c_ || c_->broken) return;
    for (const auto& o : outputs_) {
        if (o) DestroySurface(*o);
    }
    wl_display_flush(c_->display);
}
