// The trail filter's pass shared with a helper thread (see trail_filter.h).
//
// A frame, with split row S and B bound rows:
// - The filtering thread posts the frame and filters rows 1 to S - B. It
//   then takes the frame back if the helper has not claimed it, or has
//   claimed it but given no verdict within a grace time.
// - The helper claims the frame, copies rows S - B + 1 to S + 1, and from
//   the copy filters rows S - B + 1 to S twice into scratch rows, from the
//   darkest and from the brightest possible row above. The filter is
//   monotone in every input byte, so the true row S lies between the two
//   results; when they are equal it is known exactly. The helper then
//   either declines (they differ; it has written nothing) or goes on to
//   filter rows S + 1 to 716 into the canvas and the output from that row.
// - On a verdict to go on, the filtering thread filters rows S - B + 1 to S,
//   taking row S + 1 from the copy (the helper rewrites it early), and
//   waits for the helper; otherwise it filters rows S - B + 1 to 716 itself.
// After each shared frame S moves towards the row at which both threads
// finish together; the helper starts late (it sleeps between frames) and
// filters the bound rows on top of its own.
// The two threads never touch the same rows at the same time: the helper
// reads rows S - B + 1 to S + 1 of the canvas only while it copies them
// (the frame cannot be taken back then), and writes nothing but rows S + 1
// to 716 after a verdict to go on, and those the filtering thread then
// leaves alone.
#include <atomic>
#include <chrono>
#include <cstring>
#include <new>

#include "engine/trail_filter.h"
#include "engine/trail_filter_chunks.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#define STARVANE_SPIN_PAUSE() _mm_pause()
#else
#define STARVANE_SPIN_PAUSE() ((void)0)
#endif

namespace {

// Runs from the two extremes agree after 11 to 18 rows on show-like and
// dense random canvases.
constexpr int32_t kBoundRows = kTrailFilterSplitFirst - 1;
// The split moves by at most this many rows a frame.
constexpr int32_t kSplitStep = 16;

// How long the filtering thread waits for a verdict once it is due, and
// spins before it sleeps while the helper finishes.
constexpr auto kVerdictGrace = std::chrono::microseconds(25);
constexpr auto kSpinBeforeSleep = std::chrono::microseconds(200);

// The phase of a frame, kept with the frame's number in one word.
enum Phase : uint32_t {
    kPending = 1,   // posted, not yet claimed
    kClaimed = 2,   // the helper copies the bound rows
    kCopied = 3,    // the helper runs the bounds on its copy
    kRunning = 4,   // the bounds agreed: the helper filters the lower rows
    kDeclined = 5,  // the bounds differ: the filtering thread goes on alone
    kDone = 6,      // the helper has finished its rows
    kTaken = 7,     // the filtering thread has taken the frame back
};

constexpr uint32_t Tag(uint32_t frame, Phase phase) { return frame << 3 | phase; }
constexpr Phase PhaseOf(uint32_t tag) { return Phase(tag & 7); }

}  // namespace

struct TrailFilterCrew {
#if defined(_WIN32)
    HANDLE thread = nullptr;
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE wake = CONDITION_VARIABLE_INIT;  // the helper waits for a frame or the end
    CONDITION_VARIABLE done = CONDITION_VARIABLE_INIT;  // the filtering thread waits for the helper
#else
    std::thread thread;
    std::mutex lock;
    std::condition_variable wake;
    std::condition_variable done;
#endif
    std::atomic<uint32_t> posted{0};  // number of the last frame posted
    std::atomic<uint32_t> state{0};   // Tag(frame, phase) of that frame
    std::atomic<bool> quit{false};
    std::atomic<bool> helperSleeping{false};
    std::atomic<bool> ownerWaiting{false};
    // The frame's job: written before `posted`, read by the helper only
    // after it has claimed the frame.
    int32_t path = 0;
    uint32_t* pixels = nullptr;
    uint32_t* output = nullptr;
    int32_t outputPitch = 0;
    int32_t split = 0;  // the split row S
    // When the helper finished its rows, written before kDone.
    std::chrono::steady_clock::time_point finished;
    // Rows S - B + 1 to S + 1 as they were; row S from the darkest and from
    // the brightest start.
    uint32_t copy[kBoundRows + 1][kCanvasRowPixels];
    uint32_t low[kCanvasRowPixels];
    uint32_t high[kCanvasRowPixels];
    uint32_t dark[kCanvasRowPixels];
    uint32_t bright[kCanvasRowPixels];
};

namespace {

// ---- Sleeping and waking, on whatever threads the system has.

#if defined(_WIN32)
struct Locked {
    TrailFilterCrew& crew;
    explicit Locked(TrailFilterCrew& c) : crew(c) { AcquireSRWLockExclusive(&crew.lock); }
    ~Locked() { ReleaseSRWLockExclusive(&crew.lock); }
    template <typename Until>
    void Wait(CONDITION_VARIABLE& condition, Until until) {
        while (!until()) SleepConditionVariableSRW(&condition, &crew.lock, INFINITE, 0);
    }
};
void Notify(CONDITION_VARIABLE& condition) { WakeAllConditionVariable(&condition); }
#else
struct Locked {
    std::unique_lock<std::mutex> held;
    explicit Locked(TrailFilterCrew& c) : held(c.lock) {}
    template <typename Until>
    void Wait(std::condition_variable& condition, Until until) {
        condition.wait(held, until);
    }
};
void Notify(std::condition_variable& condition) { condition.notify_all(); }
#endif

// A waiter sets its flag and then, under the lock, checks what it waits
// for; a notifier changes that first and then reads the flag. One of the
// two sees the other's change, and the lock keeps the notice from falling
// between the waiter's check and its sleep.
template <typename Condition>
void NotifyIfWaiting(TrailFilterCrew& crew, std::atomic<bool>& waiting, Condition& condition) {
    if (!waiting.load()) return;
    { Locked hold(crew); }
    Notify(condition);
}

// Waits until the frame has left the given phase: spins for a while (the
// helper is at work on this frame), then sleeps.
uint32_t AwaitLeaving(TrailFilterCrew& crew, uint32_t frame, Phase phase) {
    const auto start = std::chrono::steady_clock::now();
    for (int32_t i = 1;; ++i) {
        const uint32_t now = crew.state.load(std::memory_order_acquire);
        if (now != Tag(frame, phase)) return now;
        STARVANE_SPIN_PAUSE();
        if (i % 64 == 0 && std::chrono::steady_clock::now() - start > kSpinBeforeSleep) break;
    }
    crew.ownerWaiting.store(true);
    {
        Locked hold(crew);
        hold.Wait(crew.done, [&] { return crew.state.load() != Tag(frame, phase); });
    }
    crew.ownerWaiting.store(false);
    return crew.state.load(std::memory_order_acquire);
}

// Sets the frame's phase if it is still `from`; false when the other thread
// changed it first.
bool Move(TrailFilterCrew& crew, uint32_t frame, Phase from, Phase to) {
    uint32_t expected = Tag(frame, from);
    return crew.state.compare_exchange_strong(expected, Tag(frame, to), std::memory_order_acq_rel);
}

// The helper's part of a claimed frame. The job is read at once: once the
// frame is taken back, the next one may be posted.
void HelpWithFrame(TrailFilterCrew& crew, uint32_t frame) {
    const int32_t path = crew.path;
    uint32_t* pixels = crew.pixels;
    uint32_t* output = crew.output;
    const int32_t outputPitch = crew.outputPitch;
    const int32_t split = crew.split;
    std::memcpy(crew.copy, pixels + (split - kBoundRows + 1) * kCanvasRowPixels, sizeof crew.copy);
    if (!Move(crew, frame, kClaimed, kCopied)) return;
    // The bound rows from the copy; only the last is kept.
    const uint32_t* old[kBoundRows + 1];
    uint32_t* toLow[kBoundRows] = {};
    uint32_t* toHigh[kBoundRows] = {};
    for (int32_t i = 0; i <= kBoundRows; ++i) old[i] = crew.copy[i];
    toLow[kBoundRows - 1] = crew.low;
    toHigh[kBoundRows - 1] = crew.high;
    RunTrailFilterPath(path, {crew.dark, 0, kBoundRows, old, toLow, nullptr});
    RunTrailFilterPath(path, {crew.bright, 0xFFFFFFFFu, kBoundRows, old, toHigh, nullptr});
    const bool exact = std::memcmp(crew.low, crew.high, sizeof crew.low) == 0;
    if (!Move(crew, frame, kCopied, exact ? kRunning : kDeclined)) return;  // taken back
    NotifyIfWaiting(crew, crew.ownerWaiting, crew.done);
    if (!exact) return;
    CanvasRows rows;
    FillCanvasRows(rows, pixels, output, outputPitch);
    RunTrailFilterPath(path,
                       CanvasRun(rows, split + 1, kFilteredRows - split, crew.low, crew.low[kCanvasRowPixels - 1]));
    crew.finished = std::chrono::steady_clock::now();
    crew.state.store(Tag(frame, kDone), std::memory_order_release);
    NotifyIfWaiting(crew, crew.ownerWaiting, crew.done);
}

void HelperLoop(TrailFilterCrew& crew) {
    uint32_t seen = 0;
    for (;;) {
        if (crew.posted.load(std::memory_order_acquire) == seen && !crew.quit.load()) {
            // Idle between frames: sleep, no spinning.
            crew.helperSleeping.store(true);
            {
                Locked hold(crew);
                hold.Wait(crew.wake, [&] { return crew.posted.load() != seen || crew.quit.load(); });
            }
            crew.helperSleeping.store(false);
        }
        if (crew.quit.load()) return;
        const uint32_t frame = crew.posted.load(std::memory_order_acquire);
        seen = frame;
        if (Move(crew, frame, kPending, kClaimed)) HelpWithFrame(crew, frame);
    }
}

#if defined(_WIN32)
DWORD WINAPI HelperThread(void* crew) {
    HelperLoop(*static_cast<TrailFilterCrew*>(crew));
    return 0;
}

int32_t ProcessorCount() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return int32_t(info.dwNumberOfProcessors);
}
#else
int32_t ProcessorCount() { return int32_t(std::thread::hardware_concurrency()); }
#endif

}  // namespace

bool StartTrailFilterWorkers(TrailFilterWorkers& workers) {
    if (workers.crew != nullptr) return true;
    if (ProcessorCount() < 2) return false;
    TrailFilterCrew* crew = new (std::nothrow) TrailFilterCrew;
    if (crew == nullptr) return false;
    std::memset(crew->dark, 0, sizeof crew->dark);
    std::memset(crew->bright, 0xFF, sizeof crew->bright);
#if defined(_WIN32)
    crew->thread = CreateThread(nullptr, 0, HelperThread, crew, 0, nullptr);
    if (crew->thread == nullptr) {
        delete crew;
        return false;
    }
#else
    try {
        crew->thread = std::thread(HelperLoop, std::ref(*crew));
    } catch (...) {
        delete crew;
        return false;
    }
#endif
    workers.crew = crew;
    return true;
}

void StopTrailFilterWorkers(TrailFilterWorkers& workers) {
    TrailFilterCrew* crew = workers.crew;
    if (crew == nullptr) return;
    crew->quit.store(true);
    { Locked hold(*crew); }
    Notify(crew->wake);
#if defined(_WIN32)
    WaitForSingleObject(crew->thread, INFINITE);
    CloseHandle(crew->thread);
#else
    crew->thread.join();
#endif
    delete crew;
    workers.crew = nullptr;
}

void TrailFilterWith(TrailFilterPath path, Canvas& canvas, uint32_t* output, int32_t outputPitch,
                     TrailFilterWorkers& workers) {
    TrailFilterCrew* crew = workers.crew;
    if (crew == nullptr) {
        TrailFilterWith(path, canvas, output, outputPitch);
        return;
    }
    if (!CanvasFitsTrailFilter(canvas)) return;
    if (!TrailFilterPathAvailable(path)) path = TrailFilterPortable;
    CanvasRows rows;
    FillCanvasRows(rows, canvas.pixels, output, outputPitch);
    int32_t split = workers.splitRow;
    if (split < kTrailFilterSplitFirst) split = kTrailFilterSplitFirst;
    if (split > kTrailFilterSplitLast) split = kTrailFilterSplitLast;
    const int32_t gateRow = split - kBoundRows;  // the last row filtered before the verdict

    const uint32_t frame = crew->posted.load(std::memory_order_relaxed) + 1;
    crew->path = path;
    crew->pixels = canvas.pixels;
    crew->output = output;
    crew->outputPitch = outputPitch;
    crew->split = split;
    crew->state.store(Tag(frame, kPending), std::memory_order_relaxed);
    crew->posted.store(frame);  // publishes the job
    NotifyIfWaiting(*crew, crew->helperSleeping, crew->wake);

    const auto started = std::chrono::steady_clock::now();
    RunTrailFilterPath(path, CanvasRun(rows, 1, gateRow, rows.old[0], 0));
    const auto rowTime = (std::chrono::steady_clock::now() - started) / gateRow;
    const uint32_t* gateLine = rows.old[gateRow];
    const uint32_t gateLeft = gateLine[kCanvasRowPixels - 1];
    // Going on alone; when the helper was late, the split moves down so
    // that it has more time next frame.
    auto alone = [&](bool late) {
        RunTrailFilterPath(path, CanvasRun(rows, gateRow + 1, kFilteredRows - gateRow, gateLine, gateLeft));
        if (late) {
            ++workers.alone;
            if (!workers.fixedSplit) workers.splitRow = split + kSplitStep;
        } else {
            ++workers.declined;
        }
    };

    // The verdict. The frame is taken back at once if the helper has not
    // claimed it, and after a grace time if it is still on the bounds.
    Phase phase = PhaseOf(crew->state.load(std::memory_order_acquire));
    if (phase == kPending && !workers.patient && Move(*crew, frame, kPending, kTaken)) {
        alone(true);
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    for (int32_t i = 1; phase <= kCopied; ++i) {
        STARVANE_SPIN_PAUSE();
        phase = PhaseOf(crew->state.load(std::memory_order_acquire));
        if (phase > kCopied || i % 64 != 0) continue;
        const auto waited = std::chrono::steady_clock::now() - start;
        if (!workers.patient && phase == kCopied && waited > kVerdictGrace && Move(*crew, frame, kCopied, kTaken)) {
            alone(true);
            return;
        }
        // Copying (or, waiting patiently, anything before the verdict) for
        // long: the helper has lost its processor; sleep until it moves on.
        if (waited > kSpinBeforeSleep && (phase == kClaimed || workers.patient))
            phase = PhaseOf(AwaitLeaving(*crew, frame, phase));
    }
    if (phase == kDeclined) {
        alone(false);
        return;
    }
    // The helper goes on from the split row: rows up to it are ours, with
    // the row below it as the helper found it.
    rows.old[split + 1] = crew->copy[kBoundRows];
    RunTrailFilterPath(path, CanvasRun(rows, gateRow + 1, split - gateRow, gateLine, gateLeft));
    const auto ours = std::chrono::steady_clock::now();
    if (phase == kRunning) AwaitLeaving(*crew, frame, kRunning);
    ++workers.shared;
    // A row moved across the split changes the difference of the finishing
    // times by two rows' time: move half the way towards balance.
    if (!workers.fixedSplit && rowTime.count() > 0) {
        int64_t move = (crew->finished - ours) / (4 * rowTime);
        if (move > kSplitStep) move = kSplitStep;
        if (move < -kSplitStep) move = -kSplitStep;
        workers.splitRow = split + int32_t(move);
    }
}

void TrailFilter(Canvas& canvas, uint32_t* output, int32_t outputPitch, TrailFilterWorkers& workers) {
    TrailFilterWith(TrailFilterBestPath(), canvas, output, outputPitch, workers);
}
