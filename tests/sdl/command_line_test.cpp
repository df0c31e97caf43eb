#include <gtest/gtest.h>

#include "platform/sdl/command_line.h"

namespace {

struct Parsed {
    bool ok;
    LaunchOptions options;
    std::string error;
};

Parsed Parse(std::vector<std::string> args) {
    Parsed p;
    p.ok = ParseLaunchOptions(args, p.options, p.error);
    return p;
}

}  // namespace

TEST(CommandLine, TargetsAndTheirValues) {
    const struct {
        std::vector<std::string> args;
        ShowTarget target;
        int32_t width, height;
        uint32_t windowId;
        int32_t display;
    } cases[] = {
        {{}, ShowTarget::FullScreen, 1024, 768, 0, -1},
        {{"--display", "1"}, ShowTarget::FullScreen, 1024, 768, 0, 1},
        {{"--display=63"}, ShowTarget::FullScreen, 1024, 768, 0, 63},
        {{"--window"}, ShowTarget::Window, 1024, 768, 0, -1},
        {{"--window", "800x600"}, ShowTarget::Window, 800, 600, 0, -1},
        {{"--window=16X16"}, ShowTarget::Window, 16, 16, 0, -1},
        {{"--window", "--display", "0"}, ShowTarget::Window, 1024, 768, 0, 0},
        {{"--window-id", "0x1a00003"}, ShowTarget::ForeignWindow, 1024, 768, 0x1a00003, -1},
        {{"-window-id", "0XFFFFFFFF"}, ShowTarget::ForeignWindow, 1024, 768, 0xFFFFFFFF, -1},
        {{"--window-id=12345"}, ShowTarget::ForeignWindow, 1024, 768, 12345, -1},
        {{"--root"}, ShowTarget::RootWindow, 1024, 768, 0, -1},
        {{"-root", "-root"}, ShowTarget::RootWindow, 1024, 768, 0, -1},
        // What a screensaver daemon adds to every command line.
        {{"-root", "-window", "-install", "-noinstall", "-visual", "0x21", "-mono", "-fps", "-no-fps"},
         ShowTarget::RootWindow, 1024, 768, 0, -1},
        {{"-window", "-window-id", "77"}, ShowTarget::ForeignWindow, 1024, 768, 77, -1},
        // A window id beside --root wins, in either order.
        {{"--root", "-window-id", "0x5"}, ShowTarget::ForeignWindow, 1024, 768, 5, -1},
        {{"-window-id", "6", "-root"}, ShowTarget::ForeignWindow, 1024, 768, 6, -1},
    };
    for (const auto& c : cases) {
        const Parsed p = Parse(c.args);
        const std::string what = c.args.empty() ? "(none)" : c.args[0];
        ASSERT_TRUE(p.ok) << what << ": " << p.error;
        EXPECT_EQ(p.options.target, c.target) << what;
        EXPECT_EQ(p.options.width, c.width) << what;
        EXPECT_EQ(p.options.height, c.height) << what;
        EXPECT_EQ(p.options.windowId, c.windowId) << what;
        EXPECT_EQ(p.options.display, c.display) << what;
        EXPECT_FALSE(p.options.help || p.options.version) << what;
    }
    EXPECT_TRUE(Parse({"--help"}).options.help);
    EXPECT_TRUE(Parse({"--window", "--version"}).options.version);
}

TEST(CommandLine, MonitorsPresentSeedAndVerbose) {
    const Parsed plain = Parse({});
    EXPECT_EQ(plain.options.monitors, MonitorChoice::One);
    EXPECT_EQ(plain.options.present, PresentPath::Auto);
    EXPECT_FALSE(plain.options.seeded || plain.options.verbose);
    const Parsed p = Parse({"--monitors", "all", "--present=gpu", "--seed", "4294967295", "--verbose"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.monitors, MonitorChoice::All);
    EXPECT_EQ(p.options.present, PresentPath::Gpu);
    EXPECT_TRUE(p.options.seeded);
    EXPECT_EQ(p.options.seed, 4294967295u);
    EXPECT_TRUE(p.options.verbose);
    const Parsed root = Parse({"--root", "--present", "cpu", "--seed=0", "--monitors", "one"});
    ASSERT_TRUE(root.ok) << root.error;
    EXPECT_EQ(root.options.present, PresentPath::Cpu);
    EXPECT_TRUE(root.options.seeded);
    EXPECT_EQ(root.options.seed, 0u);
}

// Every mistake is one line that names the word at fault.
TEST(CommandLine, MistakesNameTheOption) {
    const struct {
        std::vector<std::string> args;
        const char* named;
    } cases[] = {
        {{"--bogus"}, "'--bogus'"},
        {{"-help"}, "'-help'"},
        {{"---root"}, "'---root'"},
        {{"root"}, "'root'"},
        {{""}, "''"},
        {{"--help=yes"}, "'--help=yes'"},
        {{"-display", "1"}, "'-display'"},
        {{"--window", "800"}, "'800'"},
        {{"--window", "800x"}, "'800x'"},
        {{"--window", "15x600"}, "'15x600'"},
        {{"--window", "800x16385"}, "'800x16385'"},
        {{"--window=-800x600"}, "'-800x600'"},
        {{"--window-id"}, "--window-id needs a value"},
        {{"--window-id", "0"}, "'0'"},
        {{"--window-id", "0x"}, "'0x'"},
        {{"--window-id", "0x100000000"}, "'0x100000000'"},
        {{"--window-id", "4294967296"}, "'4294967296'"},
        {{"--window-id", "12ab"}, "'12ab'"},
        {{"--window-id", "-5"}, "'-5'"},
        {{"--display", "64"}, "'64'"},
        {{"--display", "x"}, "'x'"},
        {{"--display"}, "--display needs a value"},
        {{"-visual"}, "-visual needs a value"},
        {{"--root", "--window"}, "'--window' and --root"},
        {{"--window", "--window-id", "5"}, "'--window-id' and --window"},
        {{"--window-id", "5", "--window"}, "'--window' and --window-id"},
        {{"--root", "--display", "1"}, "--display cannot be used with --root"},
        {{"--monitors", "two"}, "'two'"},
        {{"--monitors"}, "--monitors needs a value"},
        {{"--monitors", "all", "--display", "1"}, "--monitors all cannot be used with --display"},
        {{"--window", "--monitors=all"}, "--monitors all cannot be used with --window"},
        {{"--present", "vulkan"}, "'vulkan'"},
        {{"--root", "--present", "gpu"}, "--present gpu cannot be used with --root"},
        {{"--seed", "4294967296"}, "'4294967296'"},
        {{"--seed", "-1"}, "'-1'"},
        {{"--verbose=1"}, "'--verbose=1'"},
        {{"--layer", "middle"}, "'middle'"},
        {{"--layer=Overlay"}, "'Overlay'"},
        {{"--layer", "--root"}, "'--root' and --layer"},
        {{"--window", "--layer"}, "'--layer' and --window"},
        {{"--layer", "--display", "0"}, "--display cannot be used with --layer"},
        {{"--output", "DP-1"}, "--output works only with --layer"},
        {{"--layer", "--output"}, "--output needs a value"},
        {{"--layer", "--output="}, "--output needs an output name"},
        {{"--layer", "--monitors", "two"}, "'two'"},
    };
    for (const auto& c : cases) {
        const Parsed p = Parse(c.args);
        const std::string what = c.args.empty() ? "" : c.args[0];
        EXPECT_FALSE(p.ok) << what;
        EXPECT_NE(p.error.find(c.named), std::string::npos) << what << ": " << p.error;
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << what;
    }
}

TEST(CommandLine, WindowIdsInBothBases) {
    const struct {
        const char* text;
        bool ok;
        uint32_t id;
    } cases[] = {
        {"0x1", true, 1},         {"0x00a00001", true, 0xa00001}, {"10485761", true, 10485761},
        {"0Xabcdef", true, 0xabcdef}, {"4294967295", true, 0xFFFFFFFF}, {"", false, 0},
        {"0x0", false, 0},        {"x12", false, 0},              {"0x12g", false, 0},
        {" 12", false, 0},        {"+12", false, 0},
    };
    for (const auto& c : cases) {
        uint32_t id = 0;
        EXPECT_EQ(ParseWindowId(c.text, id), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(id, c.id) << c.text;
        }
    }
}

// --layer: the layer (background unless named), one output or all of them.
TEST(CommandLine, LayerSurfaces) {
    const struct {
        std::vector<std::string> args;
        DesktopLayer layer;
        const char* output;
        MonitorChoice monitors;
    } cases[] = {
        {{"--layer"}, DesktopLayer::Background, "", MonitorChoice::All},
        {{"--layer", "bottom"}, DesktopLayer::Bottom, "", MonitorChoice::All},
        {{"--layer=top"}, DesktopLayer::Top, "", MonitorChoice::All},
        {{"--layer", "overlay", "--output", "HEADLESS-2"}, DesktopLayer::Overlay, "HEADLESS-2", MonitorChoice::All},
        {{"--output=eDP-1", "--layer"}, DesktopLayer::Background, "eDP-1", MonitorChoice::All},
        {{"--layer", "--monitors", "one"}, DesktopLayer::Background, "", MonitorChoice::One},
        {{"--monitors=all", "--layer", "background"}, DesktopLayer::Background, "", MonitorChoice::All},
    };
    for (const auto& c : cases) {
        const Parsed p = Parse(c.args);
        ASSERT_TRUE(p.ok) << c.args[0] << ": " << p.error;
        EXPECT_EQ(p.options.target, ShowTarget::Layer) << c.args[0];
        EXPECT_EQ(p.options.layer, c.layer) << c.args[0];
        EXPECT_EQ(p.options.output, c.output) << c.args[0];
        EXPECT_EQ(p.options.monitors, c.monitors) << c.args[0];
    }
}
