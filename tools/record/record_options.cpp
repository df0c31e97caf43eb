#include "tools/record/record_options.h"

#include <sys/stat.h>

#include <cctype>

#include "platform/parse_number.h"

const char kRecordHelp[] =
    "usage: starvane-record [options]\n"
    "\n"
    "Plays the show without a screen, on a virtual clock, and records what the\n"
    "screen would show: the text strip and the picture rows of the visible\n"
    "surface, 1024 x 768.\n"
    "\n"
    "  --seconds S     virtual run time in seconds, up to three decimals (default 10)\n"
    "  --seed N        seed of the show's generator, 0 to 4294967295\n"
    "                  (default: the current time in seconds, as the show does)\n"
    "  --out PATH      where the frames go:\n"
    "                    FOLDER      numbered PNG frames FOLDER/frame-000001.png, ...\n"
    "                    NAME.png    the last frame as one PNG\n"
    "                    NAME.mp4, NAME.webm, NAME.gif\n"
    "                                a video made by piping raw rgb24 frames into ffmpeg\n"
    "                  without --out the show runs without writing anything\n"
    "  --from S        keep only the frames from S seconds of virtual time on,\n"
    "                  at least 0.022 s before the end (default 0)\n"
    "  --every K       keep frames 1, 1+K, 1+2K, ... of those (default 1: every\n"
    "                  frame); kept frames are numbered 1, 2, 3, ... in the folder\n"
    "  --keys LIST     key presses T:KEY,... at virtual time T ms, KEY a\n"
    "                  virtual-key code (72 is H, 78 N, 112 F1, 27 Esc)\n"
    "  --clicks LIST   mouse clicks T:left|right:X:Y,... at virtual time T ms,\n"
    "                  client coordinates 0 <= X < 1024, 0 <= Y < 768\n"
    "  --help          this text\n"
    "\n"
    "Virtual time. The clock starts at 0 ms when the show starts and advances\n"
    "only while the show waits: a wait ends at the next due timer, the next\n"
    "scheduled key or click, or the end of the wait, whichever comes first.\n"
    "Handlers and frames take no virtual time. So frames begin 21 ms apart, at\n"
    "21, 42, 63, ... ms, the first style comes at 220 ms, a style every 28 s\n"
    "and the grand burst timer every 18 s, exactly as on a screen, only as\n"
    "fast as the machine allows. Timers fire on their grid (armed at t with\n"
    "period p: t+p, t+2p, ...); re-arming restarts the period; an overdue timer\n"
    "has one pending message at most. Messages due at the same millisecond\n"
    "are delivered before a frame of that millisecond: keys and clicks first,\n"
    "in the order given, then timers, earliest due first and, on equal due\n"
    "times, lowest id first. The run ends at S seconds with the window's\n"
    "destroy message, after the keys and clicks of that millisecond and before\n"
    "its timers and any frame of it: a run of T ms shows floor((T - 1) / 21)\n"
    "frames (142 for 3 s).\n"
    "\n"
    "Exit status: 0 done, 1 the show could not start, 2 a bad option or an\n"
    "output that cannot be written, 130 interrupted (Ctrl-C). Output is written\n"
    "under a temporary name beside the final one and renamed when complete;\n"
    "a failed or interrupted run removes it and leaves nothing.\n";

namespace {

// Seconds with up to three decimals, as whole milliseconds.
bool ParseSeconds(const std::string& word, uint64_t& ms) {
    const size_t dot = word.find('.');
    const std::string whole = word.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "" : word.substr(dot + 1);
    if (fraction.size() > 3 || (whole.empty() && fraction.empty())) return false;
    uint64_t w = 0, f = 0;
    if (!whole.empty() && !ParseUnsigned(whole, kMaxDurationMs / 1000, w)) return false;
    if (dot != std::string::npos && !fraction.empty()) {
        if (!ParseUnsigned(fraction, 999, f)) return false;
        while (fraction.size() < 3) {
            fraction += '0';
            f *= 10;
        }
    }
    ms = w * 1000 + f;
    return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

bool ParseKeys(const std::string& list, std::vector<TimedInput>& inputs, std::string& error) {
    for (const std::string& item : Split(list, ',')) {
        const std::vector<std::string> f = Split(item, ':');
        uint64_t time = 0, key = 0;
        if (f.size() != 2 || !ParseUnsigned(f[0], kMaxDurationMs, time) || !ParseUnsigned(f[1], 254, key) ||
            key == 0) {
            error = "--keys: '" + item + "' is not TIME_MS:KEY with a virtual-key code 1 to 254";
            return false;
        }
        inputs.push_back({uint32_t(time), {MsgKeyDown, uintptr_t(key), 0}});
    }
    return true;
}

bool ParseClicks(const std::string& list, std::vector<TimedInput>& inputs, std::string& error) {
    for (const std::string& item : Split(list, ',')) {
        const std::vector<std::string> f = Split(item, ':');
        uint64_t time = 0, x = 0, y = 0;
        const bool ok = f.size() == 4 && ParseUnsigned(f[0], kMaxDurationMs, time) &&
                        (f[1] == "left" || f[1] == "right") && ParseUnsigned(f[2], kScreenWidth - 1, x) &&
                        ParseUnsigned(f[3], kScreenHeight - 1, y);
        if (!ok) {
            error = "--clicks: '" + item + "' is not TIME_MS:left|right:X:Y within 1024 x 768";
            return false;
        }
        // As the window system sends them: the button in wParam, client
        // x in the low and y in the high 16 bits of lParam.
        const bool left = f[1] == "left";
        inputs.push_back({uint32_t(time),
                          {left ? uint32_t(MsgLButtonDown) : uint32_t(MsgRButtonDown), left ? 1u : 2u,
                           intptr_t(y << 16 | x)}});
    }
    return true;
}

}  // namespace

std::string PathExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    if (dot == (slash == std::string::npos ? 0 : slash + 1)) return "";  // a hidden name, no extension
    std::string ext = path.substr(dot);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

OutputKind OutputKindOf(const std::string& path) {
    struct stat st;
    if (!path.empty() && path.back() == '/') return OutputKind::FrameFolder;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return OutputKind::FrameFolder;
    const std::string ext = PathExtension(path);
    if (ext == ".png") return OutputKind::SinglePng;
    if (ext == ".mp4" || ext == ".webm" || ext == ".gif") return OutputKind::Video;
    return OutputKind::FrameFolder;
}

bool ParseRecordOptions(const std::vector<std::string>& args, RecordOptions& options, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        if (name == "--help" || name == "-h") {
            if (hasValue) {
                error = "--help takes no value";
                return false;
            }
            options.help = true;
            continue;
        }
        const bool known = name == "--seconds" || name == "--seed" || name == "--out" || name == "--every" ||
                           name == "--keys" || name == "--clicks" || name == "--from";
        if (!known) {
            error = "unknown option '" + args[i] + "' (see --help)";
            return false;
        }
        if (!hasValue) {
            if (i + 1 == args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        uint64_t n = 0;
        if (name == "--seconds") {
            if (!ParseSeconds(value, n) || n < kMinDurationMs) {
                error = "--seconds: '" + value + "' is not a time of 0.022 to 2000000 seconds with up to three decimals";
                return false;
            }
            options.durationMs = uint32_t(n);
        } else if (name == "--from") {
            if (!ParseSeconds(value, n)) {
                error = "--from: '" + value + "' is not a time in seconds with up to three decimals";
                return false;
            }
            options.fromMs = uint32_t(n);
        } else if (name == "--seed") {
            if (!ParseUnsigned(value, UINT32_MAX, n)) {
                error = "--seed: '" + value + "' is not a whole number from 0 to 4294967295";
                return false;
            }
            options.seed = uint32_t(n);
            options.seedGiven = true;
        } else if (name == "--out") {
            if (value.empty()) {
                error = "--out needs a path";
                return false;
            }
            options.out = value;
            options.kind = OutputKindOf(value);
        } else if (name == "--every") {
            if (!ParseUnsigned(value, 1000000, n) || n == 0) {
                error = "--every: '" + value + "' is not a whole number from 1 to 1000000";
                return false;
            }
            options.every = uint32_t(n);
        } else if (name == "--keys") {
            if (!ParseKeys(value, options.inputs, error)) return false;
        } else if (!ParseClicks(value, options.inputs, error)) {
            return false;
        }
    }
    // Frames start 21 ms apart, so the last 22 ms of a run hold at least one.
    if (options.fromMs > options.durationMs - kMinDurationMs) {
        error = "--from must be at least 0.022 seconds before the end (--seconds)";
        return false;
    }
    return true;
}
