// The recorder: options, virtual-clock frames, and outputs that appear whole or not at all.
#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "tools/record/frame_output.h"
#include "tools/record/recorder.h"

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

namespace {

RecordOptions Parsed(const Args& args) {
    RecordOptions options;
    std::string error;
    EXPECT_TRUE(ParseRecordOptions(args, options, error)) << error;
    return options;
}

// A fresh folder for one test's files, removed afterwards.
struct ScratchDir {
    std::string pattern = (fs::temp_directory_path() / "starvane-record-test-XXXXXX").string();
    fs::path path = mkdtemp(pattern.data());
    ~ScratchDir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    Args Names(const std::string& sub = "") const {  // hidden ones included, sorted
        Args names;
        for (const auto& e : fs::directory_iterator(path / sub)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(path / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

}  // namespace

TEST(RecordOptions, ParsesEveryOptionAndRejectsBadValuesInOneLine) {
    const RecordOptions o = Parsed({"--seconds", ".25", "--seed=4294967295", "--every", "3", "--keys", "1000:72,0:78",
                                    "--clicks", "500:left:100:200,600:right:1023:767", "--from", "0.228"});
    EXPECT_EQ(std::tuple(o.durationMs, o.seedGiven, o.seed, o.every, o.fromMs),
              std::tuple(250u, true, 4294967295u, 3u, 228u));
    // In the order given; clicks as the window system sends them.
    std::vector<std::tuple<uint32_t, uint32_t, uintptr_t, intptr_t>> inputs;
    for (const TimedInput& t : o.inputs)
        inputs.emplace_back(t.time, t.message.message, t.message.wParam, t.message.lParam);
    EXPECT_EQ(inputs, (decltype(inputs){{1000, MsgKeyDown, 72, 0}, {0, MsgKeyDown, 78, 0},
                                        {500, MsgLButtonDown, 1, 200 << 16 | 100},
                                        {600, MsgRButtonDown, 2, 767 << 16 | 1023}}));
    const Args bad[] = {{"--bogus"}, {"extra"}, {"--seconds"}, {"--seconds", "0.021"}, {"--seconds", "1.2345"},
                        {"--seconds", "-1"}, {"--seconds", "1e3"}, {"--seconds", "."}, {"--seconds", "2000001"},
                        {"--seed", "-1"}, {"--seed", "4294967296"}, {"--every", "0"}, {"--out", ""},
                        {"--keys", "1000"}, {"--keys", "x:72"}, {"--keys", "1000:0"}, {"--keys", "1000:72,"},
                        {"--clicks", "1:middle:1:1"}, {"--clicks", "1:left:1024:0"}, {"--clicks", "1:left:0:768"},
                        {"--clicks", "1:left:5"}, {"--help=yes"}, {"--from", "-1"}, {"--from", "x"},
                        {"--seconds", "1", "--from", "0.979"}, {"--from", "10"}};  // the end too near or before
    for (const Args& args : bad) {
        RecordOptions options;
        std::string error;  // one line of reason
        EXPECT_FALSE(ParseRecordOptions(args, options, error) || error.empty() || error.find('\n') != std::string::npos)
            << args.back();
    }
    using enum OutputKind;  // a path without a known extension, or an existing folder (below): frames
    const std::pair<std::string, OutputKind> kinds[] = {
        {"STILL.PNG", SinglePng}, {"show.webm", Video}, {"a.b/frames", FrameFolder}, {"odd.png/", FrameFolder}};
    for (const auto& [path, kind] : kinds) EXPECT_EQ(OutputKindOf(path), kind) << path;
    EXPECT_EQ(VideoFrameRate(3), "1000/63");  // every third frame of frames 21 ms apart
}

// Frames start every 21 ms of virtual time; the destroy message at the end
// time comes before a frame of that millisecond could start.
TEST(Recorder, FramesFollowThePacingAndShowTheStrip) {
    RecordOptions options = Parsed({"--seconds", "3", "--seed", "1"});
    std::vector<uint32_t> first;
    RecordStats stats;
    std::ostringstream err;
    const FrameHook hook = [&](const HeadlessPlatform& p, uint32_t n) {
        ASSERT_EQ(p.clock, 21 * n);
        if (n == 1) first = p.surfaces.visible;
    };
    ASSERT_EQ(RunRecording(options, err, false, &stats, hook), 0);
    EXPECT_EQ(std::tuple(stats.frames, stats.kept), std::tuple(142u, 0u));  // the next would start at 3003
    // The first frame's strip holds the banner, GDI 0xF8F862, on black.
    const int64_t banner = std::count(first.begin(), first.begin() + 25 * 1024, 0x0062F8F8u);
    EXPECT_GT(banner, 100);
    EXPECT_EQ(banner + std::count(first.begin(), first.begin() + 25 * 1024, 0u), 25 * 1024);
    options.durationMs = 84;  // on a frame's millisecond: that frame does not run
    ASSERT_EQ(RunRecording(options, err, false, &stats), 0);
    EXPECT_EQ(stats.frames, 3u);
    ASSERT_EQ(RunRecording(Parsed({"--seconds", "3", "--keys", "100:27"}), err, false, &stats), 0);
    EXPECT_EQ(stats.frames, 4u);  // Esc ends the show like the end time would
}

TEST(Recorder, OutputsAreDeterministicAndWhole) {
    ScratchDir dir;
    fs::create_directory(dir / "some.png");
    std::ostringstream err;
    std::vector<uint32_t> last;
    const FrameHook hook = [&](const HeadlessPlatform& p, uint32_t) { last = p.surfaces.visible; };
    const Args runs[] = {
        {"a", "42", "1", "0"},        {"b/", "42", "1", "0"},       {"c", "43", "1", "0"},
        {"some.png", "42", "4", "0"}, {"still.png", "42", "1", "0"}, {"late", "42", "2", "0.105"}};
    for (const Args& run : runs) {
        const Args args = {"--seconds", "0.2", "--out", dir / run[0], "--seed", run[1], "--every", run[2],
                           "--from", run[3]};
        ASSERT_EQ(RunRecording(Parsed(args), err, false, nullptr, hook), 0) << err.str();
    }
    EXPECT_EQ(dir.Names(), (Args{"a", "b", "c", "late", "some.png", "still.png"}));  // no temporaries left
    Args nine;  // frames at 21 .. 189 ms
    for (int n = 1; n <= 9; ++n) nine.push_back("frame-00000" + std::to_string(n) + ".png");
    ASSERT_EQ(dir.Names("a"), nine);
    for (const std::string& name : nine) EXPECT_EQ(dir.Read("a/" + name), dir.Read("b/" + name)) << name;
    EXPECT_NE(dir.Read("a/frame-000009.png"), dir.Read("c/frame-000009.png"));
    EXPECT_EQ(dir.Names("some.png"), (Args{nine[0], nine[1], nine[2]}));  // frames 1, 5 and 9, numbered on
    for (int k : {0, 1, 2}) EXPECT_EQ(dir.Read("some.png/" + nine[k]), dir.Read("a/" + nine[4 * k])) << k;
    EXPECT_EQ(dir.Names("late"), (Args{nine[0], nine[1], nine[2]}));  // frames 5 (at 105 ms), 7 and 9
    for (int k : {0, 1, 2}) EXPECT_EQ(dir.Read("late/" + nine[k]), dir.Read("a/" + nine[4 + 2 * k])) << k;
    png_image image{};  // the still: the last frame exactly
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (dir / "still.png").c_str()));
    ASSERT_EQ(std::tuple(image.width, image.height), std::tuple(1024u, 768u));
    image.format = PNG_FORMAT_BGRA;  // as little-endian words, 0xAARRGGBB
    std::vector<uint32_t> pixels(1024 * 768);
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    for (uint32_t& p : pixels) p &= 0xFFFFFF;
    EXPECT_TRUE(pixels == last);
    if (FindProgram("ffmpeg", getenv("PATH") ? getenv("PATH") : "").empty()) GTEST_SKIP() << "no ffmpeg";
    ASSERT_EQ(RunRecording(Parsed({"--seconds", "0.3", "--every", "2", "--out", dir / "show.gif"}), err, false), 0);
    EXPECT_EQ(dir.Read("show.gif").substr(0, 6), "GIF89a");
}

TEST(Recorder, FailedOrInterruptedOutputsLeaveNothing) {
    ScratchDir dir;
    { std::ofstream(dir / "plain") << "keep"; }
    fs::create_directory(dir / "kept");
    for (const char* out : {"missing/still.png", "missing/frames", "missing/show.gif", "plain"}) {
        std::ostringstream err;
        EXPECT_EQ(RunRecording(Parsed({"--seconds", "0.1", "--out", dir / out}), err, false), 2);
        EXPECT_NE(err.str().find(out[0] == 'p' ? "not a folder" : "missing"), std::string::npos) << err.str();
    }
    EXPECT_EQ(dir.Read("plain"), "keep");
    std::ostringstream err;
    for (const char* out : {"frames", "still.png", "kept"}) {  // interrupted after five frames
        volatile std::sig_atomic_t stop = 0;
        RecordStats stats;
        const FrameHook hook = [&](const HeadlessPlatform&, uint32_t n) { stop = n == 5; };
        EXPECT_EQ(RunRecording(Parsed({"--seconds", "5", "--out", dir / out}), err, false, &stats, hook, &stop), 130);
        EXPECT_EQ(stats.frames, 5u);
    }
    const std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (dir.path / "nowhere").c_str(), 1);  // a video without ffmpeg says what to install
    EXPECT_EQ(RunRecording(Parsed({"--seconds", "0.1", "--out", dir / "show.mp4"}), err, false), 2);
    setenv("PATH", path.c_str(), 1);
    EXPECT_NE(err.str().find("Debian package: ffmpeg"), std::string::npos);
    EXPECT_EQ(dir.Names(), (Args{"kept", "plain"}));
    EXPECT_TRUE(dir.Names("kept").empty());
}

namespace {

// A file size limit stands in for a full disk: writes past it fail (EFBIG)
// once SIGXFSZ is ignored, as the recorder's main does.
struct FileSizeLimit {
    rlimit saved{};
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
};

}  // namespace

TEST(Recorder, FullDiskFailsBeforeEncodingAndNamesThePathAskedFor) {
    ScratchDir dir;
    const bool ffmpeg = !FindProgram("ffmpeg", getenv("PATH") ? getenv("PATH") : "").empty();
    struct Case {
        const char* out;
        rlim_t limit;
        std::string named;  // the path the error names
        bool needsFfmpeg;
    };
    const Case cases[] = {
        {"show.gif", 256 << 10, "show.gif", true},
        {"show.mp4", 256 << 10, "show.mp4", true},
        {"still.png", 2 << 10, "still.png", false},
        {"frames", 2 << 10, "frames/frame-000001.png", false},
    };
    for (const Case& c : cases) {
        if (c.needsFfmpeg && !ffmpeg) continue;
        SCOPED_TRACE(c.out);
        std::ostringstream err;
        RecordStats stats;
        {
            FileSizeLimit limit(c.limit);
            EXPECT_EQ(RunRecording(Parsed({"--seconds", "2", "--out", dir / c.out}), err, false, &stats), 2);
        }
        EXPECT_EQ(err.str(), "starvane-record: cannot write '" + (dir / c.named) + "': File too large\n");
        // A video fails before the show runs; pictures at their first write.
        EXPECT_LE(stats.frames, c.needsFfmpeg ? 0u : 100u);
        EXPECT_TRUE(dir.Names().empty());
    }
}
