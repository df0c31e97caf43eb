// The replay harness's exits: every path shuts the show down, read and write
// failures are reported, and error messages quote only a short prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/headless/headless_platform.h"
#include "tools/replay_script.h"

namespace {

struct ReplayRun {
    int status;
    std::string out, err;
};

ReplayRun Replay(const std::string& script, const ReplayOptions& options = {}) {
    std::istringstream in(script);
    std::ostringstream out, err;
    const int status = RunReplay(in, out, err, options);
    return {status, out.str(), err.str()};
}

int64_t Calls(const HeadlessPlatform& platform, const std::string& name) {
    return std::count(platform.calls.begin(), platform.calls.end(), name);
}

TEST(ReplayScript, ShutsTheShowDownOnEveryExit) {
    struct Case {
        const char* script;
        int64_t frameLimit;
        int status;
        const char* err;
    };
    const Case cases[] = {
        {"start 1\nframe\n", -1, 0, ""},
        {"start 1\nkey 27\nframe\n", -1, 0, ""},
        {"start 1\nfrobnicate\n", -1, 2, "line 2: unknown command 'frobnicate'\n"},
        {"start 1\nstart 2\n", -1, 2, "line 2: 'start' appears once\n"},
        {"start 1\nframes 2 x\n", -1, 2, "line 2: not a valid number: 'x'\n"},
        {"start 1\nstate 1\n", -1, 2, "line 2: wrong number of words for 'state'\n"},
        {"start 1\nframes 2\nframe\n", 2, 3, "line 3: the frame limit is reached\n"},
        {"start 1\nframes 2147483647\n", 10, 3, "line 2: the frame limit is reached\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        HeadlessPlatform platform;
        ReplayOptions options;
        options.platform = &platform;
        options.frameLimit = c.frameLimit;
        const ReplayRun run = Replay(c.script, options);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(Calls(platform, "RestoreDisplay"), 1);
        EXPECT_EQ(Calls(platform, "ReleaseDisplayObject"), 1);
        EXPECT_EQ(platform.calls.back(), "ReleaseDisplayObject");
    }
}

TEST(ReplayScript, StartThatFailsIsGivenBackOnce) {
    HeadlessPlatform platform;
    platform.failDisplay = "no display";
    ReplayOptions options;
    options.platform = &platform;
    const ReplayRun run = Replay("start 1\nframe\n", options);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "line 1: the show cannot start: no display\n");
    EXPECT_EQ(Calls(platform, "ReleaseDisplayObject"), 1);
}

// A stream buffer that gives `text`, then fails as a read error does.
struct FailingInput : std::streambuf {
    std::string text;
    bool given = false;
    explicit FailingInput(std::string t) : text(std::move(t)) {}
    int_type underflow() override {
        if (given) throw std::runtime_error("read error");
        given = true;
        setg(text.data(), text.data(), text.data() + text.size());
        return traits_type::to_int_type(text[0]);
    }
};

TEST(ReplayScript, ReadErrorIsNotTheEnd) {
    HeadlessPlatform platform;
    FailingInput buffer("start 1\nframe\n");
    std::istream in(&buffer);
    std::ostringstream out, err;
    ReplayOptions options;
    options.platform = &platform;
    EXPECT_EQ(RunReplay(in, out, err, options), 2);
    EXPECT_EQ(err.str().rfind("line 3: cannot read the script", 0), 0u) << err.str();
    EXPECT_EQ(Calls(platform, "ReleaseDisplayObject"), 1);
}

// A stream buffer that takes `room` bytes, then refuses every write.
struct FullOutput : std::streambuf {
    size_t room;
    explicit FullOutput(size_t r) : room(r) {}
    int_type overflow(int_type c) override {
        if (room == 0) return traits_type::eof();
        --room;
        return traits_type::not_eof(c);
    }
};

TEST(ReplayScript, OutputThatCannotBeWrittenFails) {
    const struct {
        const char* script;
        size_t room;
    } cases[] = {
        {"start 1\nstate\nframes 3\n", 0}, {"start 1\nstate\nframes 3\n", 100},
        {"start 1\nframe\nstate\n", 100},  {"start 1\nkey 27\n", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        std::istringstream in(c.script);
        FullOutput buffer(c.room);
        std::ostream out(&buffer);
        std::ostringstream err;
        EXPECT_EQ(RunReplay(in, out, err), 1);
        const std::string e = err.str();
        EXPECT_EQ(e.rfind("starvane-replay: cannot write the output", 0), 0u) << e;
        EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1) << e;
    }
}

TEST(ReplayScript, QuotesAShortEscapedPrefix) {
    const struct {
        std::string word;
        const char* quoted;
    } cases[] = {
        {"frobnicate", "'frobnicate'"},
        {"it's\\", "'it\\'s\\\\'"},
        {std::string("a\0b\x7f\xff", 5), "'a\\x00b\\x7F\\xFF'"},
        {std::string(32, 'w'), "'wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww'"},
        {std::string(33, 'w'), "'wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww'..."},
    };
    for (const auto& c : cases) EXPECT_EQ(QuoteWord(c.word), c.quoted);

    // A 10 MB word with NULs in it, as a command and as a number.
    std::string huge(10 << 20, 'z');
    huge[5] = '\0';
    for (const std::string& script : {huge + "\n", "start 1\nkey " + huge + "\n"}) {
        const ReplayRun run = Replay(script);
        EXPECT_EQ(run.status, 2);
        EXPECT_LT(run.err.size(), 100u);
        EXPECT_EQ(run.err.find('\0'), std::string::npos);
    }
}

}  // namespace
