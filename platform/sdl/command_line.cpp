#include "platform/sdl/command_line.h"

#include "platform/parse_number.h"

const char kLaunchHelp[] =
    "usage: starvane [options]\n"
    "\n"
    "A fireworks show. Without options it takes the whole screen: the show on\n"
    "the monitor under the pointer, the other monitors black.\n"
    "\n"
    "  --window [WxH]    an ordinary resizable window (default 1024x768)\n"
    "  --display N       full screen on monitor N (0 is the first)\n"
    "  --monitors one|all  in full screen, the show on one monitor and the\n"
    "                    others black (one, the default), or on every monitor\n"
    "                    at its own size (all)\n"
    "  --present cpu|gpu the picture scaled by the processor, or drawn by the\n"
    "                    GPU; by default the GPU only where it is hardware\n"
    "  --seed N          the show's random numbers from N (0 to 4294967295),\n"
    "                    not from the time: every run shows the same\n"
    "  --verbose         the present path on stderr, and at the end the frames\n"
    "                    shown, their mean rate and when the first lit one\n"
    "                    was sent\n"
    "  --window-id ID    draw into the X window ID (0x... hex or decimal)\n"
    "  --root            draw into the window XSCREENSAVER_WINDOW names, else\n"
    "                    into the root window (for screensaver daemons)\n"
    "  --layer [LAYER]   on Wayland, a layer surface on every output: background\n"
    "                    (the default: a wallpaper), bottom, top, or overlay\n"
    "                    (takes the keyboard: a screensaver or lock screen)\n"
    "  --output NAME     with --layer, the output NAME alone (as does\n"
    "                    SWAYLOCK_PLUGIN_OUTPUT_NAME)\n"
    "  --monitors one|all  with --layer, the first output alone, or every\n"
    "                    output (the default)\n"
    "  --help            this text\n"
    "  --version         the version\n"
    "\n"
    "-window-id and -root work with one dash too; a window id given with\n"
    "--root wins. -window, -install, -noinstall, -visual ID, -mono, -fps\n"
    "and -no-fps, which screensaver daemons pass to every program, are\n"
    "accepted and ignored.\n"
    "\n"
    "Keys (second column: the same on the main keyboard)\n"
    "  Esc                     end the show\n"
    "  H                       status line on or off\n"
    "  N / L / R               new random style / lock or unlock the style / reset\n"
    "  M                       next motion model\n"
    "  Right / Page Up         gravity up / down\n"
    "  Up / keypad 5   D       damping up / down\n"
    "  keypad *        ] or *  more fan repeats (Page Down: fewer)\n"
    "  keypad /        /       more fan spokes (Down: fewer)\n"
    "  keypad +        = or +  200 particles more\n"
    "  keypad -        -       200 particles fewer\n"
    "  1 to 8                  spiral, spiral preset, spiral-or-fan, sparkle pair,\n"
    "                          fixed fan, rainbow ring, wind, grand burst\n"
    "  F1 to F9, F11, F12      single emitters and effects on or off\n"
    "  left / right click      a fan burst / a scatter burst at the pointer\n"
    "\n"
    "Exit status: 0 after a normal end (Esc, closing the window, SIGTERM or\n"
    "SIGINT), 1 when the show cannot start, 2 for a bad option.\n";

namespace {

bool ParseHex(const std::string& text, uint64_t hi, uint64_t& value) {
    if (text.empty() || text.size() > 16) return false;
    uint64_t v = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return false;
        v = v * 16 + uint64_t(digit);
        if (v > hi) return false;
    }
    value = v;
    return true;
}

// The option's name without its dashes, when it has one or two of them.
std::string BareName(const std::string& word, int& dashes) {
    dashes = 0;
    while (dashes < 2 && dashes < int(word.size()) && word[size_t(dashes)] == '-') ++dashes;
    return word.substr(size_t(dashes));
}

const char* TargetOption(ShowTarget target) {
    switch (target) {
    case ShowTarget::Window: return "--window";
    case ShowTarget::ForeignWindow: return "--window-id";
    case ShowTarget::RootWindow: return "--root";
    case ShowTarget::Layer: return "--layer";
    default: return "";
    }
}

}  // namespace

bool ParseWindowId(const std::string& text, uint32_t& id) {
    uint64_t v = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (!(hex ? ParseHex(text.substr(2), UINT32_MAX, v) : ParseUnsigned(text, UINT32_MAX, v)) || v == 0)
        return false;
    id = uint32_t(v);
    return true;
}

bool ParseDesktopLayer(const std::string& text, DesktopLayer& layer) {
    static const char* const kNames[] = {"background", "bottom", "top", "overlay"};
    for (int32_t i = 0; i < 4; ++i) {
        if (text == kNames[i]) {
            layer = DesktopLayer(i);
            return true;
        }
    }
    return false;
}

bool ParseWindowSize(const std::string& text, int32_t& width, int32_t& height) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    uint64_t w = 0, h = 0;
    if (!ParseUnsigned(text.substr(0, x), kMaxWindowSide, w) || !ParseUnsigned(text.substr(x + 1), kMaxWindowSide, h))
        return false;
    if (w < uint64_t(kMinWindowSide) || h < uint64_t(kMinWindowSide)) return false;
    width = int32_t(w);
    height = int32_t(h);
    return true;
}

bool ParseLaunchOptions(const std::vector<std::string>& args, LaunchOptions& options, std::string& error) {
    bool targetGiven = false;
    bool monitorsGiven = false;
    // Sets where the show draws; two different places is a mistake, except
    // that a window id given with --root wins, as it does for other
    // screensaver programs (a daemon's preview adds one to the command).
    auto chooseTarget = [&](ShowTarget target, const std::string& word) {
        const bool rootAndId = (target == ShowTarget::RootWindow && options.target == ShowTarget::ForeignWindow) ||
                               (target == ShowTarget::ForeignWindow && options.target == ShowTarget::RootWindow);
        if (targetGiven && rootAndId) {
            options.target = ShowTarget::ForeignWindow;
            return true;
        }
        if (targetGiven && options.target != target) {
            error = "'" + word + "' and " + TargetOption(options.target) + " cannot be used together";
            return false;
        }
        targetGiven = true;
        options.target = target;
        return true;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        int dashes = 0;
        std::string name = BareName(word, dashes);
        std::string value;
        bool inlineValue = false;
        if (const size_t eq = name.find('='); dashes == 2 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inlineValue = true;
        }
        // The value of an option that needs one: inline or the next word.
        auto takeValue = [&]() {
            if (inlineValue) return true;
            if (i + 1 == args.size()) {
                error = word + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        const bool flag = !inlineValue;
        if (dashes == 2 && name == "help" && flag) {
            options.help = true;
        } else if (dashes == 2 && name == "version" && flag) {
            options.version = true;
        } else if (dashes == 2 && name == "window") {
            if (!chooseTarget(ShowTarget::Window, word)) return false;
            // The size is optional: a following word that is no option is it.
            if (!inlineValue && i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-') {
                value = args[++i];
                inlineValue = true;
            }
            if (inlineValue && !ParseWindowSize(value, options.width, options.height)) {
                error = "--window: '" + value + "' is not a size WxH from 16x16 to 16384x16384";
                return false;
            }
        } else if (dashes >= 1 && name == "window-id") {
            if (!takeValue()) return false;
            if (!ParseWindowId(value, options.windowId)) {
                error = word + ": '" + value + "' is not an X window id (0x... hex or decimal, not 0)";
                return false;
            }
            if (!chooseTarget(ShowTarget::ForeignWindow, word)) return false;
        } else if (dashes >= 1 && name == "root" && flag) {
            if (!chooseTarget(ShowTarget::RootWindow, word)) return false;
        } else if (dashes == 2 && name == "display") {
            if (!takeValue()) return false;
            uint64_t n = 0;
            if (!ParseUnsigned(value, kMaxDisplay, n)) {
                error = "--display: '" + value + "' is not a monitor number from 0 to 63";
                return false;
            }
            options.display = int32_t(n);
        } else if (dashes == 2 && name == "layer") {
            if (!chooseTarget(ShowTarget::Layer, word)) return false;
            // The layer is optional: a following word that is no option is it.
            if (!inlineValue && i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-') {
                value = args[++i];
                inlineValue = true;
            }
            if (inlineValue && !ParseDesktopLayer(value, options.layer)) {
                error = "--layer: '" + value + "' is not background, bottom, top or overlay";
                return false;
            }
        } else if (dashes == 2 && name == "output") {
            if (!takeValue()) return false;
            if (value.empty()) {
                error = "--output needs an output name";
                return false;
            }
            options.output = value;
        } else if (dashes == 2 && name == "monitors") {
            if (!takeValue()) return false;
            if (value != "one" && value != "all") {
                error = "--monitors: '" + value + "' is neither one nor all";
                return false;
            }
            options.monitors = value == "all" ? MonitorChoice::All : MonitorChoice::One;
            monitorsGiven = true;
        } else if (dashes == 2 && name == "present") {
            if (!takeValue()) return false;
            if (value != "cpu" && value != "gpu") {
                error = "--present: '" + value + "' is neither cpu nor gpu";
                return false;
            }
            options.present = value == "gpu" ? PresentPath::Gpu : PresentPath::Cpu;
        } else if (dashes == 2 && name == "seed") {
            if (!takeValue()) return false;
            uint64_t n = 0;
            if (!ParseUnsigned(value, UINT32_MAX, n)) {
                error = "--seed: '" + value + "' is not a whole number from 0 to 4294967295";
                return false;
            }
            options.seeded = true;
            options.seed = uint32_t(n);
        } else if (dashes == 2 && name == "verbose" && flag) {
            options.verbose = true;
        } else if (dashes == 1 && (name == "window" || name == "install" || name == "noinstall" || name == "mono" ||
                                   name == "fps" || name == "no-fps")) {
            // What a screensaver daemon passes to every program: nothing to do.
        } else if (dashes == 1 && name == "visual") {
            if (!takeValue()) return false;
        } else {
            error = "unknown option '" + word + "' (see --help)";
            return false;
        }
    }
    if (options.present == PresentPath::Gpu &&
        (options.target == ShowTarget::ForeignWindow || options.target == ShowTarget::RootWindow)) {
        error = std::string("--present gpu cannot be used with ") + TargetOption(options.target);
        return false;
    }
    if (options.monitors == MonitorChoice::All &&
        (options.display >= 0 || (options.target != ShowTarget::FullScreen && options.target != ShowTarget::Layer))) {
        error = options.display >= 0 ? "--monitors all cannot be used with --display"
                                     : std::string("--monitors all cannot be used with ") + TargetOption(options.target);
        return false;
    }
    if (!options.output.empty() && options.target != ShowTarget::Layer) {
        error = "--output works only with --layer";
        return false;
    }
    // A wallpaper belongs on every output.
    if (options.target == ShowTarget::Layer && !monitorsGiven) options.monitors = MonitorChoice::All;
    if (options.display >= 0 && targetGiven && options.target != ShowTarget::Window) {
        error = std::string("--display cannot be used with ") + TargetOption(options.target);
        return false;
    }
    return true;
}
