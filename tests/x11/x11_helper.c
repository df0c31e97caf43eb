/* A small X client for the end-to-end tests and measurements.
 *   x11_helper window W H   makes a W x H window that takes button presses,
 *                           prints its id (0x...), then obeys "resize W H"
 *                           lines on stdin (answering "ok") until EOF
 *   x11_helper lit MS       prints the wall-clock time (s.ns) at which the
 *                           screen first differs from what it showed when
 *                           the helper started; status 1 if not within MS
 */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static int run_window(Display* d, int w, int h) {
    Window win = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, (unsigned)w, (unsigned)h, 0, 0, 0);
    XSelectInput(d, win, ExposureMask | ButtonPressMask | StructureNotifyMask);
    XStoreName(d, win, "x11_helper");
    XMapWindow(d, win);
    XSync(d, False);
    printf("0x%lx\n", (unsigned long)win);
    fflush(stdout);
    char line[128];
    struct pollfd fds[2] = {{0, POLLIN, 0}, {ConnectionNumber(d), POLLIN, 0}};
    for (;;) {
        while (XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
        }
        if (poll(fds, 2, 1000) < 0) return 1;
        if (fds[0].revents) {
            if (!fgets(line, sizeof line, stdin)) return 0;
            if (sscanf(line, "resize %d %d", &w, &h) == 2) {
                XResizeWindow(d, win, (unsigned)w, (unsigned)h);
                XSync(d, False);
                printf("ok\n");
                fflush(stdout);
            }
        }
    }
}

static int run_lit(Display* d, long timeout_ms) {
    Window root = DefaultRootWindow(d);
    XWindowAttributes a;
    XGetWindowAttributes(d, root, &a);
    XImage* first = XGetImage(d, root, 0, 0, (unsigned)a.width, (unsigned)a.height, AllPlanes, ZPixmap);
    if (!first) return 1;
    struct timespec start, now;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        XImage* img = XGetImage(d, root, 0, 0, (unsigned)a.width, (unsigned)a.height, AllPlanes, ZPixmap);
        clock_gettime(CLOCK_REALTIME, &now);
        if (img) {
            const size_t bytes = (size_t)img->bytes_per_line * (size_t)img->height;
            const int changed = memcmp(img->data, first->data, bytes) != 0;
            XDestroyImage(img);
            if (changed) {
                printf("%ld.%09ld\n", (long)now.tv_sec, now.tv_nsec);
                return 0;
            }
        }
        struct timespec mono;
        clock_gettime(CLOCK_MONOTONIC, &mono);
        if ((mono.tv_sec - start.tv_sec) * 1000 + (mono.tv_nsec - start.tv_nsec) / 1000000 > timeout_ms) return 1;
        nanosleep(&(struct timespec){0, 5000000}, NULL);
    }
}

int main(int argc, char** argv) {
    Display* d = XOpenDisplay(NULL);
    if (!d) {
        fprintf(stderr, "x11_helper: no X display\n");
        return 2;
    }
    if (argc == 4 && !strcmp(argv[1], "window")) return run_window(d, atoi(argv[2]), atoi(argv[3]));
    if (argc == 3 && !strcmp(argv[1], "lit")) return run_lit(d, atol(argv[2]));
    fprintf(stderr, "usage: x11_helper window W H | lit MS\n");
    return 2;
}
