// starvane-record [options]: the show as pictures and video, without a screen.
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "tools/record/recorder.h"

namespace {

// Set by Ctrl-C or a termination request; the run stops at its next frame
// and removes what it had written.
volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    // A file size limit then fails a write (EFBIG), reported like a full
    // disk, instead of killing the recorder or ffmpeg (which inherits this).
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RecordMain(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0, &interrupted);
}
