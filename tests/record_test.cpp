// The recorder: its options, the frames of a virtual-clock run, and outputs
// that appear whole under their final names or not at all.
#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/record/frame_output.h"
#include "tools/record/recorder.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kBannerPixel = 0x0062F8F8;  // GDI 0xF8F862 as 0x00RRGGBB
constexpr int32_t kBannerEnd = 1 + 22 * 8;     // first column right of the banner

RecordOptions Parsed(const std::vector<std::string>& args) {
    RecordOptions options;
    std::string error;
    EXPECT_TRUE(ParseRecordOptions(args, options, error)) << error;
    return options;
}

bool Rejected(const std::vector<std::string>& args) {
    RecordOptions options;
    std::string error;
    const bool ok = ParseRecordOptions(args, options, error);
    EXPECT_FALSE(error.empty() && !ok);
    EXPECT_EQ(error.find('\n'), std::string::npos);
    return !ok;
}

// A fresh folder for one test's files, removed afterwards.
struct ScratchDir {
    fs::path path;
    ScratchDir() {
        std::string name = (fs::temp_directory_path() / "starvane-record-test-XXXXXX").string();
        path = mkdtemp(name.data());
    }
    ~ScratchDir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Decodes an 8-bit RGB PNG into 0x00RRGGBB pixels.
std::vector<uint32_t> ReadPngPixels(const std::string& path, int32_t& width, int32_t& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    width = int32_t(image.width);
    height = int32_t(image.height);
    std::vector<uint32_t> pixels(rgb.size() / 3);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return pixels;
}

uint32_t Pixel(const std::vector<uint32_t>& image, int32_t x, int32_t y) { return image[size_t(y) * 1024 + size_t(x)]; }

int CountLit(const std::vector<uint32_t>& image, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    int lit = 0;
    for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x) lit += Pixel(image, x, y) != 0;
    return lit;
}

int Record(const std::vector<std::string>& args, std::string* errText = nullptr) {
    std::ostringstream out, err;
    const int status = RecordMain(args, out, err, false);
    if (errText) *errText = err.str();
    return status;
}

}  // namespace

TEST(RecordOptions, ParsesEveryOption) {
    const RecordOptions o = Parsed({"--seconds", "2.5", "--seed=7", "--every", "3", "--keys", "1000:72,0:78",
                                    "--clicks", "500:left:100:200,600:right:1023:767"});
    EXPECT_EQ(o.durationMs, 2500u);
    EXPECT_TRUE(o.seedGiven);
    EXPECT_EQ(o.seed, 7u);
    EXPECT_EQ(o.every, 3u);
    EXPECT_EQ(o.kind, OutputKind::None);
    ASSERT_EQ(o.inputs.size(), 4u);
    EXPECT_EQ(o.inputs[0].time, 1000u);
    EXPECT_EQ(o.inputs[0].message.message, uint32_t(MsgKeyDown));
    EXPECT_EQ(o.inputs[0].message.wParam, 72u);
    EXPECT_EQ(o.inputs[1].time, 0u);
    EXPECT_EQ(o.inputs[2].message.message, uint32_t(MsgLButtonDown));
    EXPECT_EQ(o.inputs[2].message.lParam, intptr_t(200 << 16 | 100));
    EXPECT_EQ(o.inputs[3].message.message, uint32_t(MsgRButtonDown));
    EXPECT_EQ(o.inputs[3].message.lParam, intptr_t(767 << 16 | 1023));

    EXPECT_EQ(Parsed({}).durationMs, 10000u);
    EXPECT_FALSE(Parsed({}).seedGiven);
    EXPECT_EQ(Parsed({"--seconds", ".5"}).durationMs, 500u);
    EXPECT_EQ(Parsed({"--seed", "4294967295"}).seed, 4294967295u);
    EXPECT_TRUE(Parsed({"--help"}).help);
}

TEST(RecordOptions, OutputKindFollowsThePath) {
    EXPECT_EQ(OutputKindOf("a/still.png"), OutputKind::SinglePng);
    EXPECT_EQ(OutputKindOf("STILL.PNG"), OutputKind::SinglePng);
    EXPECT_EQ(OutputKindOf("show.mp4"), OutputKind::Video);
    EXPECT_EQ(OutputKindOf("show.webm"), OutputKind::Video);
    EXPECT_EQ(OutputKindOf("show.gif"), OutputKind::Video);
    EXPECT_EQ(OutputKindOf("frames"), OutputKind::FrameFolder);
    EXPECT_EQ(OutputKindOf("a.b/frames"), OutputKind::FrameFolder);
    EXPECT_EQ(OutputKindOf("odd.png/"), OutputKind::FrameFolder);
    ScratchDir dir;
    fs::create_directory(dir / "looks.png");
    EXPECT_EQ(OutputKindOf(dir / "looks.png"), OutputKind::FrameFolder);
    EXPECT_EQ(VideoFrameRate(1), "1000/21");
    EXPECT_EQ(VideoFrameRate(3), "1000/63");
}

TEST(RecordOptions, RejectsBadValues) {
    EXPECT_TRUE(Rejected({"--bogus"}));
    EXPECT_TRUE(Rejected({"extra"}));
    EXPECT_TRUE(Rejected({"--seconds"}));
    EXPECT_TRUE(Rejected({"--seconds", "0.021"}));  // no frame would ever start
    EXPECT_TRUE(Rejected({"--seconds", "1.2345"}));
    EXPECT_TRUE(Rejected({"--seconds", "-1"}));
    EXPECT_TRUE(Rejected({"--seconds", "1e3"}));
    EXPECT_TRUE(Rejected({"--seconds", "."}));
    EXPECT_TRUE(Rejected({"--seconds", "2000001"}));
    EXPECT_TRUE(Rejected({"--seed", "-1"}));
    EXPECT_TRUE(Rejected({"--seed", "4294967296"}));
    EXPECT_TRUE(Rejected({"--every", "0"}));
    EXPECT_TRUE(Rejected({"--out", ""}));
    EXPECT_TRUE(Rejected({"--keys", "1000"}));
    EXPECT_TRUE(Rejected({"--keys", "x:72"}));
    EXPECT_TRUE(Rejected({"--keys", "1000:0"}));
    EXPECT_TRUE(Rejected({"--keys", "1000:72,"}));
    EXPECT_TRUE(Rejected({"--clicks", "1:middle:1:1"}));
    EXPECT_TRUE(Rejected({"--clicks", "1:left:1024:0"}));
    EXPECT_TRUE(Rejected({"--clicks", "1:left:0:768"}));
    EXPECT_TRUE(Rejected({"--clicks", "1:left:5"}));
    EXPECT_TRUE(Rejected({"--help=yes"}));

    std::string err;
    EXPECT_EQ(Record({"--every", "zero"}, &err), 2);
    EXPECT_EQ(err.rfind("starvane-record: ", 0), 0u);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
}

// Frames start every 21 ms of virtual time; the destroy message at the end
// time comes before a frame of that millisecond could start.
TEST(Recorder, FrameCountFollowsThePacing) {
    RecordOptions options = Parsed({"--seconds", "3", "--seed", "1"});
    std::vector<uint32_t> starts;
    RecordStats stats;
    std::ostringstream err;
    ASSERT_EQ(RunRecording(options, err, false, &stats,
                           [&](const HeadlessPlatform& p, uint32_t) { starts.push_back(p.clock); }),
              0);
    EXPECT_EQ(stats.frames, 142u);  // 21, 42, ..., 2982; the next would be 3003
    EXPECT_EQ(stats.kept, 0u);
    ASSERT_EQ(starts.size(), 142u);
    for (size_t i = 0; i < starts.size(); ++i) ASSERT_EQ(starts[i], 21 * (i + 1));
    EXPECT_TRUE(err.str().empty());

    // An end time on a frame's millisecond: that frame does not run.
    options.durationMs = 84;
    ASSERT_EQ(RunRecording(options, err, false, &stats), 0);
    EXPECT_EQ(stats.frames, 3u);

    // Esc ends the show early, like the end time would.
    options = Parsed({"--seconds", "3", "--seed", "1", "--keys", "100:27"});
    ASSERT_EQ(RunRecording(options, err, false, &stats), 0);
    EXPECT_EQ(stats.frames, 4u);
}

TEST(Recorder, FirstFrameShowsBannerAndGrandBurst) {
    std::vector<uint32_t> first;
    RecordStats stats;
    std::ostringstream err;
    ASSERT_EQ(RunRecording(Parsed({"--seconds", "0.05", "--seed", "99"}), err, false, &stats,
                           [&](const HeadlessPlatform& p, uint32_t n) {
                               if (n == 1) first = p.primary;
                           }),
              0);
    ASSERT_EQ(first.size(), 1024u * 768u);
    int banner = 0, other = 0;
    for (int32_t y = 0; y < 25; ++y)
        for (int32_t x = 0; x < 1024; ++x) {
            const uint32_t p = Pixel(first, x, y);
            banner += p == kBannerPixel;
            other += p != 0 && p != kBannerPixel;
        }
    EXPECT_GT(banner, 100);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(CountLit(first, kBannerEnd, 0, 1024, 25), 0);
    // Canvas (512, 384) is screen (512, 408).
    EXPECT_GT(CountLit(first, 512 - 40, 408 - 40, 512 + 40, 408 + 40), 50);
    EXPECT_EQ(CountLit(first, 0, 25, 200, 200), 0);
    EXPECT_EQ(CountLit(first, 824, 568, 1024, 768), 0);
}

TEST(Recorder, KeyHShowsTheStatusLineASecondLater) {
    const auto statusLit = [](const RecordOptions& options) {
        std::vector<std::pair<uint32_t, int>> lit;  // frame time, lit strip pixels past the banner
        std::ostringstream err;
        RunRecording(options, err, false, nullptr, [&](const HeadlessPlatform& p, uint32_t) {
            lit.push_back({p.clock, CountLit(p.primary, kBannerEnd, 0, 1024, 25)});
        });
        return lit;
    };
    for (const auto& [at, lit] : statusLit(Parsed({"--seconds", "2.2", "--seed", "5", "--keys", "1000:72"}))) {
        if (at < 2000) {
            EXPECT_EQ(lit, 0) << "at " << at;
        } else if (at > 2000) {
            EXPECT_GT(lit, 200) << "at " << at;
        }
    }
    for (const auto& [at, lit] : statusLit(Parsed({"--seconds", "2.2", "--seed", "5"}))) EXPECT_EQ(lit, 0);
}

TEST(Recorder, SameSeedGivesIdenticalFrameFiles) {
    ScratchDir dir;
    ASSERT_EQ(Record({"--seconds", "0.2", "--seed", "42", "--out", dir / "a"}), 0);
    ASSERT_EQ(Record({"--seconds", "0.2", "--seed", "42", "--out", dir / "b/"}), 0);
    ASSERT_EQ(Record({"--seconds", "0.2", "--seed", "43", "--out", dir / "c"}), 0);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a", "b", "c"}));  // no temporaries left
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path / "a")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 9u);  // frames at 21 .. 189 ms
    EXPECT_EQ(names.front(), "frame-000001.png");
    EXPECT_EQ(names.back(), "frame-000009.png");
    for (const std::string& name : names) {
        const std::string a = ReadFile(dir.path / "a" / name);
        EXPECT_FALSE(a.empty());
        EXPECT_EQ(a, ReadFile(dir.path / "b" / name)) << name;
    }
    EXPECT_NE(ReadFile(dir.path / "a" / names.back()), ReadFile(dir.path / "c" / names.back()));
}

TEST(Recorder, EveryKeepsFramesFromTheFirstIntoAnExistingFolder) {
    ScratchDir dir;
    ASSERT_EQ(Record({"--seconds", "0.2", "--seed", "42", "--out", dir / "all"}), 0);
    fs::create_directory(dir / "some");
    ASSERT_EQ(Record({"--seconds", "0.2", "--seed", "42", "--every", "4", "--out", dir / "some"}), 0);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path / "some")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    // Frames 1, 5 and 9 of 9, numbered on.
    EXPECT_EQ(names, (std::vector<std::string>{"frame-000001.png", "frame-000002.png", "frame-000003.png"}));
    EXPECT_EQ(ReadFile(dir.path / "some/frame-000002.png"), ReadFile(dir.path / "all/frame-000005.png"));
    EXPECT_EQ(ReadFile(dir.path / "some/frame-000003.png"), ReadFile(dir.path / "all/frame-000009.png"));
}

TEST(Recorder, SinglePngHoldsTheLastFrameExactly) {
    ScratchDir dir;
    std::vector<uint32_t> last;
    RecordStats stats;
    std::ostringstream err;
    const RecordOptions options = Parsed({"--seconds", "0.5", "--seed", "3", "--out", dir / "still.png"});
    ASSERT_EQ(RunRecording(options, err, false, &stats, [&](const HeadlessPlatform& p, uint32_t) { last = p.primary; }),
              0)
        << err.str();
    EXPECT_EQ(stats.kept, stats.frames);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"still.png"});
    int32_t width = 0, height = 0;
    const std::vector<uint32_t> pixels = ReadPngPixels(dir / "still.png", width, height);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);
    EXPECT_TRUE(pixels == last);  // colour order and rows as on the screen
}

TEST(Recorder, UnwritableOutputFailsAndLeavesNothing) {
    ScratchDir dir;
    std::string err;
    EXPECT_EQ(Record({"--seconds", "0.1", "--out", dir / "missing/still.png"}, &err), 2);
    EXPECT_NE(err.find("missing"), std::string::npos);
    EXPECT_EQ(Record({"--seconds", "0.1", "--out", dir / "missing/frames"}), 2);
    EXPECT_EQ(Record({"--seconds", "0.1", "--out", dir / "missing/show.gif"}), 2);
    { std::ofstream(dir / "plain") << "keep"; }
    EXPECT_EQ(Record({"--seconds", "0.1", "--out", dir / "plain"}, &err), 2);
    EXPECT_NE(err.find("not a folder"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "plain"), "keep");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"plain"});
}

TEST(Recorder, InterruptedRunRemovesWhatItWrote) {
    ScratchDir dir;
    for (const char* out : {"frames", "still.png"}) {
        volatile std::sig_atomic_t stop = 0;
        RecordStats stats;
        std::ostringstream err;
        const RecordOptions options = Parsed({"--seconds", "5", "--out", dir / out});
        EXPECT_EQ(RunRecording(options, err, false, &stats, [&](const HeadlessPlatform&, uint32_t n) { stop = n == 5; },
                               &stop),
                  130);
        EXPECT_EQ(stats.frames, 5u);
        EXPECT_TRUE(dir.Names().empty()) << out;
    }
}

TEST(Recorder, VideoWithoutFfmpegNamesThePackage) {
    ScratchDir dir;
    const char* saved = getenv("PATH");
    const std::string path = saved ? saved : "";
    setenv("PATH", (dir.path / "nowhere").c_str(), 1);
    std::string err;
    const int status = Record({"--seconds", "0.1", "--out", dir / "show.mp4"}, &err);
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(status, 2);
    EXPECT_NE(err.find("ffmpeg"), std::string::npos);
    EXPECT_NE(err.find("Debian package"), std::string::npos);
    EXPECT_TRUE(dir.Names().empty());
}

TEST(Recorder, GifThroughFfmpeg) {
    const char* path = getenv("PATH");
    if (FindProgram("ffmpeg", path ? path : "").empty()) GTEST_SKIP() << "ffmpeg is not installed";
    ScratchDir dir;
    std::string err;
    ASSERT_EQ(Record({"--seconds", "0.3", "--seed", "8", "--every", "2", "--out", dir / "show.gif"}, &err), 0) << err;
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"show.gif"});
    EXPECT_EQ(ReadFile(dir / "show.gif").substr(0, 6), "GIF89a");
}
