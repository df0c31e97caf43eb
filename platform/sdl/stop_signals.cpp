#include "platform/sdl/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace {

// A signal handler reaches only process-wide state.
volatile std::sig_atomic_t stopRequested = 0;
int wakePipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
    stopRequested = 1;
    if (wakePipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = write(wakePipe[1], &byte, 1);
    }
}

}  // namespace

int WatchStopSignals() {
    if (wakePipe[0] < 0 && pipe(wakePipe) == 0) {
        for (int fd : wakePipe) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return wakePipe[0];
}

bool StopRequested() { return stopRequested != 0; }
