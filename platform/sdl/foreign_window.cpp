#include "platform/sdl/foreign_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sdl/command_line.h"

struct ForeignWindow {
    Display* display = nullptr;
    Window window = 0;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    int32_t width = 0, height = 0;
    XImage* image = nullptr;
    XShmSegmentInfo shm = {};
    bool shared = false;  // the image lives in shared memory
    bool gone = false;    // the window was destroyed
    bool viewable = true; // mapped, with every ancestor mapped, when taken
};

namespace {

// Xlib reports protocol errors through one process-wide handler; the last
// error code is kept for the call that caused it.
int lastXError = 0;
int RecordXError(Display*, XErrorEvent* e) {
    lastXError = e->error_code;
    return 0;
}

// Runs a request and tells whether the server refused it.
template <typename F>
bool Refused(Display* d, F request) {
    XSync(d, False);
    lastXError = 0;
    request();
    XSync(d, False);
    return lastXError != 0;
}

void DropImage(ForeignWindow* w) {
    if (!w->image) return;
    if (w->shared) {
        XShmDetach(w->display, &w->shm);
        XSync(w->display, False);
        XDestroyImage(w->image);
        shmdt(w->shm.shmaddr);
    } else {
        XDestroyImage(w->image);  // frees the pixels too
    }
    w->image = nullptr;
    w->shared = false;
}

// Shared memory where the server offers it (a local display), else a plain
// image sent over the connection.
bool MakeImage(ForeignWindow* w) {
    DropImage(w);
    const unsigned width = unsigned(w->width), height = unsigned(w->height);
    if (XShmQueryExtension(w->display)) {
        XImage* image = XShmCreateImage(w->display, w->visual, unsigned(w->depth), ZPixmap, nullptr, &w->shm, width,
                                        height);
        if (image) {
            w->shm.shmid = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * height, IPC_CREAT | 0600);
            if (w->shm.shmid >= 0) {
                w->shm.shmaddr = image->data = static_cast<char*>(shmat(w->shm.shmid, nullptr, 0));
                w->shm.readOnly = False;
                const bool attached = w->shm.shmaddr != reinterpret_cast<char*>(-1) &&
                                      !Refused(w->display, [&] { XShmAttach(w->display, &w->shm); });
                shmctl(w->shm.shmid, IPC_RMID, nullptr);  // gone once both sides detach
                if (attached) {
                    std::memset(image->data, 0, size_t(image->bytes_per_line) * height);
                    w->image = image;
                    w->shared = true;
                    return true;
                }
                if (w->shm.shmaddr != reinterpret_cast<char*>(-1)) shmdt(w->shm.shmaddr);
            }
            image->data = nullptr;
            XDestroyImage(image);
        }
    }
    const size_t pitch = size_t(width) * 4;
    char* pixels = static_cast<char*>(std::calloc(height, pitch));
    if (!pixels) return false;
    w->image = XCreateImage(w->display, w->visual, unsigned(w->depth), ZPixmap, 0, pixels, width, height, 32,
                            int(pitch));
    if (!w->image) std::free(pixels);
    return w->image != nullptr;
}

}  // namespace

ForeignWindow* OpenForeignWindow(bool useRoot, uint32_t id, std::string& error, int& status) {
    status = 1;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        error = "cannot open the X display";
        return nullptr;
    }
    XSetErrorHandler(RecordXError);
    auto fail = [&](const std::string& why, int code) -> ForeignWindow* {
        error = why;
        status = code;
        XCloseDisplay(display);
        return nullptr;
    };
    const char* option = useRoot ? "--root" : "--window-id";
    Window window = id;
    if (useRoot) {
        window = DefaultRootWindow(display);
        const char* named = std::getenv("XSCREENSAVER_WINDOW");
        if (named && *named) {
            uint32_t given = 0;
            if (!ParseWindowId(named, given))
                return fail(std::string("XSCREENSAVER_WINDOW: '") + named + "' is not an X window id", 2);
            window = given;
        }
    }
    XWindowAttributes a;
    Status got = 0;
    if (Refused(display, [&] { got = XGetWindowAttributes(display, window, &a); }) || !got) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%lx", static_cast<unsigned long>(window));
        return fail(std::string(option) + ": there is no window " + hex + " on this display", 2);
    }
    // The picture is written as 0x00RRGGBB words.
    const Visual* v = a.visual;
    if (v->c_class != TrueColor || v->red_mask != 0xFF0000 || v->green_mask != 0xFF00 || v->blue_mask != 0xFF ||
        (a.depth != 24 && a.depth != 32))
        return fail(std::string(option) + ": the window is not 24-bit true colour", 1);
    if (a.c_class == InputOnly) return fail(std::string(option) + ": the window is input-only", 2);

    auto* w = new ForeignWindow;
    w->display = display;
    w->window = window;
    w->visual = a.visual;
    w->depth = a.depth;
    w->width = a.width;
    w->height = a.height;
    w->gc = XCreateGC(display, window, 0, nullptr);
    // Only one client may take button presses on a window: ask for them
    // only where nobody has.
    const long watch = ExposureMask | StructureNotifyMask | VisibilityChangeMask;
    long mask = watch;
    if (!(a.all_event_masks & ButtonPressMask)) mask |= ButtonPressMask;
    if (Refused(display, [&] { XSelectInput(display, window, mask); })) XSelectInput(display, window, watch);
    w->viewable = a.map_state == IsViewable;
    return w;
}

void CloseForeignWindow(ForeignWindow* w) {
    if (!w) return;
    DropImage(w);
    if (w->gc) XFreeGC(w->display, w->gc);
    if (!w->gone) XSelectInput(w->display, w->window, NoEventMask);
    XCloseDisplay(w->display);
    delete w;
}

void ForeignSize(const ForeignWindow* w, int32_t& width, int32_t& height) {
    width = w->width;
    height = w->height;
}

bool CheckForeignSize(ForeignWindow* w) {
    if (w->gone) return false;
    XWindowAttributes a;
    Status got = 0;
    if (Refused(w->display, [&] { got = XGetWindowAttributes(w->display, w->window, &a); }) || !got) {
        w->gone = true;
        return false;
    }
    if (a.width == w->width && a.height == w->height) return false;
    w->width = a.width;
    w->height = a.height;
    return true;
}

bool ForeignViewable(const ForeignWindow* w) { return w->viewable; }

uint32_t* ForeignPixels(ForeignWindow* w, int32_t& pitch) {
    if (w->image && (w->image->width != w->width || w->image->height != w->height)) DropImage(w);
    if (!w->image && !MakeImage(w)) return nullptr;
    pitch = w->image->bytes_per_line / 4;
    return reinterpret_cast<uint32_t*>(w->image->data);
}

void PutForeignRows(ForeignWindow* w, int32_t x, int32_t width, int32_t top, int32_t bottom) {
    if (!w->image || w->gone || top >= bottom || width <= 0) return;
    if (bottom > w->image->height || x + width > w->image->width) return;
    const unsigned rows = unsigned(bottom - top);
    if (w->shared)
        XShmPutImage(w->display, w->window, w->gc, w->image, x, top, x, top, unsigned(width), rows, False);
    else
        XPutImage(w->display, w->window, w->gc, w->image, x, top, x, top, unsigned(width), rows);
    // The server must be done reading before the image is written again.
    lastXError = 0;
    XSync(w->display, False);
    if (lastXError == BadWindow || lastXError == BadDrawable) w->gone = true;
}

ForeignEvent NextForeignEvent(ForeignWindow* w) {
    ForeignEvent out;
    if (w->gone) {
        out.kind = ForeignEventKind::Gone;
        return out;
    }
    while (XPending(w->display)) {
        XEvent e;
        XNextEvent(w->display, &e);
        if (e.xany.window != w->window) continue;
        switch (e.type) {
        case Expose:
            if (e.xexpose.count == 0) out.kind = ForeignEventKind::Exposed;
            break;
        case ButtonPress:
            if (e.xbutton.button == Button1 || e.xbutton.button == Button3) {
                out.kind = e.xbutton.button == Button1 ? ForeignEventKind::LeftClick : ForeignEventKind::RightClick;
                out.x = e.xbutton.x;
                out.y = e.xbutton.y;
            }
            break;
        case VisibilityNotify:
            out.kind = e.xvisibility.state == VisibilityFullyObscured ? ForeignEventKind::Covered
                                                                      : ForeignEventKind::Uncovered;
            break;
        case UnmapNotify:
            out.kind = ForeignEventKind::Unmapped;
            break;
        case MapNotify:
            out.kind = ForeignEventKind::Mapped;
            break;
        case DestroyNotify:
            w->gone = true;
            out.kind = ForeignEventKind::Gone;
            break;
        default:
            break;
        }
        if (out.kind != ForeignEventKind::Nothing) return out;
    }
    return out;
}

int ForeignConnection(const ForeignWindow* w) { return ConnectionNumber(w->display); }
