#include "platform/sdl/x11_desktop.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <climits>

namespace {

Display* X11DisplayOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
    return info.info.x11.display;
}

// The window a manager names in `property` of `on`, or 0.
Window NamedWindow(Display* display, Window on, Atom property) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window named = 0;
    if (XGetWindowProperty(display, on, property, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) ==
            Success &&
        type == XA_WINDOW && format == 32 && count == 1)
        named = *reinterpret_cast<Window*>(data);
    if (data) XFree(data);
    return named;
}

}  // namespace

bool WindowManagerRuns(SDL_Window* window) {
    Display* display = X11DisplayOf(window);
    if (!display) return true;
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    // A compliant manager names a child window that names itself; a stale
    // property left by a manager that ended names nothing alive.
    const Window child = NamedWindow(display, DefaultRootWindow(display), check);
    return child != 0 && NamedWindow(display, child, check) == child;
}

bool WaitForX11Events(SDL_Window* window, uint32_t timeoutMs) {
    Display* display = X11DisplayOf(window);
    if (!display) return false;
    // Events already read from the connection are not waited for.
    if (XPending(display)) return true;
    pollfd fd = {ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, int(timeoutMs > INT_MAX ? INT_MAX : timeoutMs));
    return true;
}

void WatchX11Visibility(SDL_Window* window) {
    Display* display = X11DisplayOf(window);
    if (!display) return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    SDL_GetWindowWMInfo(window, &info);
    XWindowAttributes a;
    if (!XGetWindowAttributes(display, info.info.x11.window, &a)) return;
    XSelectInput(display, info.info.x11.window, a.your_event_mask | VisibilityChangeMask);
}

int32_t X11VisibilityChange(const SDL_SysWMmsg* message, SDL_Window* window) {
    if (!message || message->subsystem != SDL_SYSWM_X11) return -1;
    const XEvent& e = message->msg.x11.event;
    if (e.type != VisibilityNotify) return -1;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11 ||
        e.xvisibility.window != info.info.x11.window)
        return -1;
    return e.xvisibility.state == VisibilityFullyObscured ? 0 : 1;
}
