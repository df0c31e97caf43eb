// The recorder: the whole show on the headless platform with a virtual
// clock, its frames kept as pictures or video.
#pragma once
#include <csignal>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/headless/headless_platform.h"
#include "tools/record/record_options.h"

struct RecordStats {
    uint32_t frames = 0;  // frames the show ran
    uint32_t kept = 0;    // frames handed to the output
    uint32_t seed = 0;
    double wallSeconds = 0;
};

// Called after every frame with the platform (its visible surface is the
// frame) and the frame's number, from 1.
using FrameHook = std::function<void(const HeadlessPlatform&, uint32_t frame)>;

// Runs one recording. Exit status: 0 done, 1 the show could not start, 2 the
// output could not be written (one line on `err` says why), 130 stopped by
// `*interrupted` turning non-zero (nothing is written then). With `progress`
// a progress bar and a closing summary go to `err`.
int RunRecording(const RecordOptions& options, std::ostream& err, bool progress, RecordStats* stats = nullptr,
                 const FrameHook& hook = {}, const volatile std::sig_atomic_t* interrupted = nullptr);

// The command line: parses `args` (without the program name), prints the
// help on `out` or an error on `err`, and runs. Bad options give status 2.
int RecordMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress,
               const volatile std::sig_atomic_t* interrupted = nullptr);
