// starvane-record [options]: the show as pictures and video, without a screen.
#include <unistd.h>

#include <iostream>

#include "tools/record/recorder.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RecordMain(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
