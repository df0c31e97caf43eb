// The command line of the desktop program: where the show draws, plus help
// and version. Parsing touches no display, so every mistake is reported
// before anything starts.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class ShowTarget {
    FullScreen,  // every monitor covered, the show on one of them
    Window,      // an ordinary resizable window
    ForeignWindow,  // an X window another program made (--window-id)
    RootWindow,     // XSCREENSAVER_WINDOW, else the root window (--root)
    Layer,          // Wayland layer surfaces, one per output (--layer)
};

// The layers of a Wayland desktop a --layer surface can go in, lowest first.
enum class DesktopLayer { Background, Bottom, Top, Overlay };

// Which monitors show the picture: one (in full screen the others black) or
// every one, each scaled to its own size. With --layer the default is all.
enum class MonitorChoice { One, All };
// How the picture reaches the screen: scaled on the processor into the
// window's pixels, or drawn by the GPU from a texture; Auto takes the GPU
// only where it is real hardware.
enum class PresentPath { Auto, Cpu, Gpu };

struct LaunchOptions {
    ShowTarget target = ShowTarget::FullScreen;
    int32_t width = 1024, height = 768;  // --window size
    uint32_t windowId = 0;               // --window-id
    int32_t display = -1;                // --display N; -1: the one under the pointer
    MonitorChoice monitors = MonitorChoice::One;
    PresentPath present = PresentPath::Auto;
    bool verbose = false;  // the present path and the frame figures on stderr
    bool seeded = false;   // --seed N: the show's generator starts from seed
    uint32_t seed = 0;
    DesktopLayer layer = DesktopLayer::Background;  // --layer
    std::string output;                  // --output NAME; empty: as --monitors says
    bool help = false;
    bool version = false;
};

// Limits of a --window size; --display takes 0 to kMaxDisplay.
constexpr int32_t kMinWindowSide = 16;
constexpr int32_t kMaxWindowSide = 16384;
constexpr int32_t kMaxDisplay = 63;

// Parses the arguments after the program name. False with `error` set to a
// one-line reason naming the option on the first bad one.
bool ParseLaunchOptions(const std::vector<std::string>& args, LaunchOptions& options, std::string& error);

// An X window id: hexadecimal with 0x or 0X, or decimal; 1 to 0xFFFFFFFF.
bool ParseWindowId(const std::string& text, uint32_t& id);

// "background", "bottom", "top" or "overlay".
bool ParseDesktopLayer(const std::string& text, DesktopLayer& layer);

// "WxH" within the window limits.
bool ParseWindowSize(const std::string& text, int32_t& width, int32_t& height);

extern const char kLaunchHelp[];
