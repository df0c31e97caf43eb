// The recorder's command line: how long to run, the seed, where the frames
// go, which frames to keep and the input to play at given virtual times.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// Where the frames go, told by the --out path.
enum class OutputKind {
    None,        // no --out: run without writing
    FrameFolder, // numbered PNG files in a folder
    SinglePng,   // the last frame as one PNG
    Video,       // .mp4, .webm or .gif through ffmpeg
};

// One input message delivered when the virtual clock reaches `time` ms.
struct TimedInput {
    uint32_t time;
    ShowMessage message;
};

struct RecordOptions {
    uint32_t durationMs = 10000;
    bool seedGiven = false;
    uint32_t seed = 0;
    std::string out;
    OutputKind kind = OutputKind::None;
    uint32_t fromMs = 0;  // frames that start before this virtual time are not kept
    uint32_t every = 1;   // of those from fromMs on, keep the 1st, 1 + every-th, ...
    std::vector<TimedInput> inputs;  // in the order given
    bool help = false;
};

// The shortest run that shows a frame: the first one starts at 21 ms.
constexpr uint32_t kMinDurationMs = 22;
// Keeps the 32-bit millisecond clock far from wrapping (about 23 days).
constexpr uint32_t kMaxDurationMs = 2000000000u;

// Parses the arguments after the program name. False with `error` set to a
// one-line reason on the first bad option.
bool ParseRecordOptions(const std::vector<std::string>& args, RecordOptions& options, std::string& error);

// The output kind a path asks for: an existing folder, or a path without one
// of the known extensions, is a frame folder.
OutputKind OutputKindOf(const std::string& path);

// Lowercase extension including the dot (".png"), or "" when none.
std::string PathExtension(const std::string& path);

extern const char kRecordHelp[];
