#include "tools/replay_script.h"

#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "control/show.h"
#include "platform/headless/headless_platform.h"
#include "platform/parse_number.h"
#include "shell/run_show.h"

namespace {

struct Replay {
    HeadlessPlatform* platform = nullptr;
    std::unique_ptr<Show> show;  // set once the show has started
    int64_t framesLeft = -1;     // negative: no limit
    size_t stripShown = 0;  // texts already printed by `strip`
};

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    size_t i = 0;
    const size_t end = text.find('#') == std::string::npos ? text.size() : text.find('#');
    while (i < end) {
        while (i < end && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
        size_t j = i;
        while (j < end && text[j] != ' ' && text[j] != '\t' && text[j] != '\r') ++j;
        if (j > i) words.push_back(text.substr(i, j - i));
        i = j;
    }
    return words;
}


void Print(std::ostream& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Print(std::ostream& out, const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    out << buffer;
}

uint64_t Fnv1a(const uint32_t* words, size_t count) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < count; ++i) {
        for (int b = 0; b < 4; ++b) {
            hash ^= (words[i] >> (8 * b)) & 0xFF;
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

}  // namespace

void PrintPool(const Show& show, std::ostream& out) {
    const ParticlePool& pool = show.world.pool;
    int32_t live = 0;
    for (int32_t i = 0; i < pool.particleCount; ++i) {
        const Particle& p = pool.particles[i];
        if (p.life == 0) continue;
        ++live;
        Print(out, "slot %d %d %.9g %.9g %.9g %.9g 0x%06X %d\n", i, p.life, double(p.x), double(p.y), double(p.vx),
              double(p.vy), p.color & 0xFFFFFFu, p.phase);
    }
    Print(out, "live %d of %d\n", live, pool.particleCount);
}

void PrintState(const Show& show, const HeadlessPlatform& platform, std::ostream& out) {
    const ShowParams& params = show.world.params;
    const EffectState& effects = show.world.effects;
    Print(out, "particleCount %d\n", show.world.pool.particleCount);
    Print(out, "gravity %.9g\n", double(params.gravity));
    Print(out, "damping %.9g\n", double(params.damping));
    Print(out, "motionMode %d\n", params.motionMode);
    Print(out, "fanRepeats %d\n", params.fanRepeats);
    Print(out, "fanSpokes %d\n", params.fanSpokes);
    Print(out, "turnSin %.9g\n", double(params.turnSin));
    Print(out, "turnCos %.9g\n", double(params.turnCos));
    Print(out, "windStrength %.9g\n", double(params.windStrength));
    Print(out, "effectAngle %d\n", effects.effectAngle);
    Print(out, "mirrorToggle %d\n", effects.mirrorToggle ? 1 : 0);
    Print(out, "windTicks %d\n", effects.windTicks);
    Print(out, "windStep %d\n", effects.windStep);
    Print(out, "bannerTicks %d\n", show.bannerTicks);
    Print(out, "frameRate %d\n", show.frameRate);
    Print(out, "random %u\n", show.world.random.state);
    std::string armed;
    for (const auto& [id, timer] : platform.queue.timers) {
        armed += (armed.empty() ? "" : ",") + std::to_string(id) + ":" + std::to_string(timer.period);
    }
    out << "armed " << (armed.empty() ? "none" : armed) << "\n";
    std::string stopped;
    for (uint32_t id = 0; id < kTimerIdLimit; ++id) {
        if (show.timerStopped[id]) stopped += (stopped.empty() ? "" : ",") + std::to_string(id);
    }
    out << "stopped " << (stopped.empty() ? "none" : stopped) << "\n";
}

namespace {

void PrintImage(const Replay& replay, std::ostream& out) {
    const Canvas& canvas = replay.show->canvas;
    const uint64_t canvasHash = Fnv1a(canvas.pixels, size_t(canvas.width) * size_t(canvas.height));
    const uint64_t outputHash = Fnv1a(replay.platform->surfaces.back.data(), replay.platform->surfaces.back.size());
    Print(out, "canvas %016" PRIx64 "\n", canvasHash);
    Print(out, "output %016" PRIx64 "\n", outputHash);
}

void PrintStrip(Replay& replay, std::ostream& out) {
    const auto& texts = replay.platform->texts;
    for (; replay.stripShown < texts.size(); ++replay.stripShown) {
        const HeadlessPlatform::DrawnText& t = texts[replay.stripShown];
        Print(out, "text %d %d %u \"", t.x, t.y, t.color);
        out << t.text << "\"\n";
    }
}

}  // namespace

std::string QuoteWord(const std::string& word, size_t limit) {
    std::string quoted = "'";
    for (size_t i = 0; i < word.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        if (c == '\'' || c == '\\') {
            quoted += '\\';
            quoted += char(c);
        } else if (c >= 0x20 && c < 0x7F) {
            quoted += char(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            quoted += escape;
        }
    }
    quoted += "'";
    if (word.size() > limit) quoted += "...";
    return quoted;
}

namespace {

// Runs the script's lines until its end, a quit, a bad line or an output
// failure; returns the status. The caller shuts the show down.
int RunLines(Replay& replay, std::istream& script, std::ostream& out, std::ostream& err) {
    std::string text;
    int lineNumber = 0;
    auto fail = [&](const std::string& why) {
        out.flush();
        err << "line " << lineNumber << ": " << why << "\n";
        return 2;
    };
    // Output is checked after every command: a lost line is a failed run.
    auto outputFailed = [&]() {
        const int reason = errno;
        err << "starvane-replay: cannot write the output"
            << (reason != 0 ? std::string(": ") + std::strerror(reason) : std::string()) << "\n";
        return 1;
    };
    // A frame limit that the next `count` frames would pass ends the run.
    auto overLimit = [&](int64_t count) {
        if (replay.framesLeft < 0) return false;
        if (count > replay.framesLeft) return true;
        replay.framesLeft -= count;
        return false;
    };
    auto limitReached = [&]() {
        out.flush();
        err << "line " << lineNumber << ": the frame limit is reached\n";
        return 3;
    };
    for (;;) {
        errno = 0;
        if (!std::getline(script, text)) break;
        ++lineNumber;
        const std::vector<std::string> words = SplitWords(text);
        if (words.empty()) continue;
        const std::string& command = words[0];
        const size_t args = words.size() - 1;
        int64_t a = 0, b = 0;

        auto want = [&](size_t lo, size_t hi) { return args >= lo && args <= hi; };
        auto bad_count = [&]() { return fail("wrong number of words for " + QuoteWord(command)); };
        auto bad_number = [&](const std::string& word) { return fail("not a valid number: " + QuoteWord(word)); };

        if (command == "start") {
            if (!want(1, 1)) return bad_count();
            if (!ParseInteger(words[1], 0, UINT32_MAX, a)) return bad_number(words[1]);
            if (replay.show) return fail("'start' appears once");
            auto show = std::make_unique<Show>();
            const char* reason = nullptr;
            // A start that fails has given back what it took.
            if (!StartShow(*show, *replay.platform, uint32_t(a), &reason)) {
                return fail(std::string("the show cannot start: ") + reason);
            }
            replay.show = std::move(show);
            continue;
        }

        const bool known = command == "frame" || command == "frames" || command == "timer" || command == "key" ||
                           command == "lclick" || command == "rclick" || command == "pool" || command == "state" ||
                           command == "image" || command == "strip";
        if (!known) return fail("unknown command " + QuoteWord(command));

        // Check the words before anything runs.
        if (command == "frame") {
            if (!want(0, 1)) return bad_count();
            a = 47;
            if (args == 1 && !ParseInteger(words[1], INT32_MIN, INT32_MAX, a)) return bad_number(words[1]);
        } else if (command == "frames") {
            if (!want(1, 2)) return bad_count();
            if (!ParseInteger(words[1], 0, INT32_MAX, a)) return bad_number(words[1]);
            b = 47;
            if (args == 2 && !ParseInteger(words[2], INT32_MIN, INT32_MAX, b)) return bad_number(words[2]);
        } else if (command == "timer" || command == "key") {
            if (!want(1, 1)) return bad_count();
            if (!ParseInteger(words[1], 0, UINT32_MAX, a)) return bad_number(words[1]);
        } else if (command == "lclick" || command == "rclick") {
            if (!want(2, 2)) return bad_count();
            if (!ParseInteger(words[1], -32768, 65535, a)) return bad_number(words[1]);
            if (!ParseInteger(words[2], -32768, 65535, b)) return bad_number(words[2]);
        } else if (!want(0, 0)) {
            return bad_count();
        }
        if (!replay.show) return fail("the script must begin with 'start SEED'");

        Show& show = *replay.show;
        if (command == "frame") {
            if (overLimit(1)) return limitReached();
            RunFrame(show, int32_t(a));
        } else if (command == "frames") {
            if (overLimit(a)) return limitReached();
            for (int64_t i = 0; i < a; ++i) RunFrame(show, int32_t(b));
        } else if (command == "timer") {
            WindowProc(&show, MsgTimer, uintptr_t(a), 0);
        } else if (command == "key") {
            WindowProc(&show, MsgKeyDown, uintptr_t(a), 0);
        } else if (command == "lclick") {
            WindowProc(&show, MsgLButtonDown, 0, PackPoint(int32_t(a), int32_t(b)));
        } else if (command == "rclick") {
            WindowProc(&show, MsgRButtonDown, 0, PackPoint(int32_t(a), int32_t(b)));
        } else if (command == "pool") {
            PrintPool(show, out);
        } else if (command == "state") {
            PrintState(*replay.show, *replay.platform, out);
        } else if (command == "image") {
            PrintImage(replay, out);
        } else if (command == "strip") {
            PrintStrip(replay, out);
        }
        if (replay.platform->queue.quitPosted) {
            out << "quit " << replay.platform->queue.quitCode << "\n";
            break;
        }
        if (!out) return outputFailed();
    }
    // getline stops at the end and on a read error alike; only the latter
    // leaves the stream bad.
    if (script.bad()) {
        const int reason = errno;
        ++lineNumber;
        return fail(std::string("cannot read the script") + (reason != 0 ? std::string(": ") + std::strerror(reason) : ""));
    }
    errno = 0;
    if (!out.flush()) return outputFailed();
    return 0;
}

}  // namespace

int RunReplay(std::istream& script, std::ostream& out, std::ostream& err, const ReplayOptions& options) {
    // The replay platform starts at tick 0; time itself never moves. Its
    // call log would grow with every frame, so a private one keeps none.
    std::unique_ptr<HeadlessPlatform> own;
    if (!options.platform) {
        own = std::make_unique<HeadlessPlatform>();
        own->logCalls = false;
    }
    Replay replay;
    replay.platform = options.platform ? options.platform : own.get();
    replay.framesLeft = options.frameLimit;
    const int status = RunLines(replay, script, out, err);
    if (replay.show) StopShow(*replay.show);
    return status;
}
