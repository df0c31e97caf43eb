#include "tools/record/recorder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "shell/run_show.h"
#include "tools/record/frame_output.h"

namespace {

using WallClock = std::chrono::steady_clock;

double SecondsSince(WallClock::time_point start) {
    return std::chrono::duration<double>(WallClock::now() - start).count();
}

// A one-line bar redrawn in place, at most ten times a second, once the run
// has taken a second of wall time.
struct ProgressBar {
    bool enabled = false;
    bool shown = false;
    WallClock::time_point start = WallClock::now();
    double lastDrawn = 0;
};

void DrawProgress(ProgressBar& bar, std::ostream& err, uint32_t clockMs, uint32_t durationMs, uint32_t frames,
                  bool final) {
    if (!bar.enabled) return;
    const double wall = SecondsSince(bar.start);
    if (!final && (wall < 1.0 || wall - bar.lastDrawn < 0.1)) return;
    if (final && !bar.shown) return;
    bar.lastDrawn = wall;
    bar.shown = true;
    constexpr int kWidth = 30;
    const int filled = int(std::min(1.0, double(clockMs) / durationMs) * kWidth);
    char line[160];
    std::snprintf(line, sizeof line, "\r[%-*.*s] %7.1f / %.1f s  %6u frames  %5.0f frames/s", kWidth, filled,
                  "##############################", clockMs / 1000.0, durationMs / 1000.0, frames,
                  wall > 0 ? frames / wall : 0.0);
    err << line << (final ? "\n" : "") << std::flush;
}

}  // namespace

int RunRecording(const RecordOptions& options, std::ostream& err, bool progress, RecordStats* stats,
                 const FrameHook& hook, const volatile std::sig_atomic_t* interrupted) {
    RecordStats local;
    RecordStats& s = stats ? *stats : local;
    s = RecordStats{};
    s.seed = options.seedGiven ? options.seed : uint32_t(std::time(nullptr));

    FrameOutput output;
    std::string error;
    if (!OpenFrameOutput(output, options, error)) {
        err << "starvane-record: " << error << "\n";
        return 2;
    }

    HeadlessPlatform platform;
    platform.logCalls = false;
    platform.seconds = s.seed;  // the show seeds its generator from the time in seconds
    for (const TimedInput& input : options.inputs) platform.PostAt(input.time, input.message);
    // Posted last, so the keys and clicks of the final millisecond come first.
    platform.PostAt(options.durationMs, {MsgDestroy, 0, 0});

    ProgressBar bar;
    bar.enabled = progress;
    bool writeFailed = false;
    uint32_t firstKept = 0;  // the first frame at or after --from
    platform.onPresent = [&](const HeadlessPlatform& p) {
        ++s.frames;
        if (hook) hook(p, s.frames);
        if (firstKept == 0 && p.clock >= options.fromMs) firstKept = s.frames;
        if (options.kind != OutputKind::None && !writeFailed && firstKept != 0 &&
            (s.frames - firstKept) % options.every == 0) {
            if (WriteFrame(output, p.surfaces.visible.data(), error)) {
                ++s.kept;
            } else {
                writeFailed = true;
                platform.queue.quitPosted = true;  // ends the loop at its next look at the queue
            }
        }
        // The destroy message ends every run at its time; a frame past it
        // means the show did not stop, so stop it here.
        if (int32_t(p.clock - options.durationMs) > 0) platform.queue.quitPosted = true;
        if (interrupted && *interrupted) platform.queue.quitPosted = true;
        DrawProgress(bar, err, p.clock, options.durationMs, s.frames, false);
    };

    const int status = RunShow(platform);
    s.wallSeconds = SecondsSince(bar.start);
    DrawProgress(bar, err, platform.clock, options.durationMs, s.frames, true);
    if (status != 0) {
        AbandonFrameOutput(output);
        return 1;
    }
    if (interrupted && *interrupted) {
        AbandonFrameOutput(output);
        err << "starvane-record: interrupted; nothing was written\n";
        return 130;
    }
    if (writeFailed || !FinishFrameOutput(output, error)) {
        AbandonFrameOutput(output);
        err << "starvane-record: " << error << "\n";
        return 2;
    }
    if (progress) {
        char line[160];
        std::snprintf(line, sizeof line, "starvane-record: %u frames (%u kept) in %.2f s, %.0f frames/s, seed %u\n",
                      s.frames, s.kept, s.wallSeconds, s.wallSeconds > 0 ? s.frames / s.wallSeconds : 0.0, s.seed);
        err << line;
    }
    return 0;
}

int RecordMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress,
               const volatile std::sig_atomic_t* interrupted) {
    RecordOptions options;
    std::string error;
    if (!ParseRecordOptions(args, options, error)) {
        err << "starvane-record: " << error << "\n";
        return 2;
    }
    if (options.help) {
        out << kRecordHelp;
        return 0;
    }
    return RunRecording(options, err, progress, nullptr, {}, interrupted);
}
