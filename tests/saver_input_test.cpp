// The screen saver's command line and the pointer movement that ends it.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <vector>

#include "platform/win32/pointer_watch.h"
#include "platform/win32/saver_command.h"

TEST(SaverCommand, EveryFormAndMalformedOnes) {
    const SaverMode S = SaverMode::Show, P = SaverMode::Preview, C = SaverMode::Configure, X = SaverMode::Invalid;
    const struct {
        const char* line;
        SaverMode mode;
        uint64_t window;
    } cases[] = {
        // Full screen, either prefix, either case, spaces around.
        {"/s", S, 0}, {"/S", S, 0}, {"-s", S, 0}, {"-S", S, 0}, {"  /s  ", S, 0}, {"\t/S\r\n", S, 0},
        // Preview: the handle after spaces or a colon.
        {"/p 1234", P, 1234}, {"/P:1234", P, 1234}, {"-p\t1234", P, 1234}, {"/p    7 ", P, 7},
        {"/p: 42", P, 42}, {"/p 18446744073709551615", P, UINT64_MAX}, {"/p 000123", P, 123},
        // Settings: with or without an owner; no option at all.
        {"/c", C, 0}, {"/C", C, 0}, {"/c:5678", C, 5678}, {"-c 5678", C, 5678}, {"/c:0", C, 0},
        {"", C, 0}, {"   ", C, 0}, {nullptr, C, 0},
        // The password option and unknown ones.
        {"/a", X, 0}, {"/a 1234", X, 0}, {"/x", X, 0}, {"/", X, 0}, {"-", X, 0}, {"s", X, 0},
        {"/?", X, 0}, {"--s", X, 0}, {"/save", X, 0}, {"/sp", X, 0},
        // Malformed arguments.
        {"/s 1", X, 0}, {"/s:", X, 0}, {"/p", X, 0}, {"/p:", X, 0}, {"/p   ", X, 0},
        {"/p:abc", X, 0}, {"/p 12ab", X, 0}, {"/p -5", X, 0}, {"/p +5", X, 0}, {"/p 0x1A", X, 0},
        {"/p 0", X, 0}, {"/p1234", X, 0}, {"/p 12 34", X, 0}, {"/p 1234 /s", X, 0},
        {"/p 18446744073709551616", X, 0}, {"/p 99999999999999999999999", X, 0},
        {"/c:", X, 0}, {"/c:abc", X, 0}, {"/c 18446744073709551616", X, 0}, {"/c5678", X, 0},
    };
    for (const auto& c : cases) {
        const SaverCommand got = ParseSaverCommand(c.line);
        EXPECT_EQ(got.mode, c.mode) << (c.line ? c.line : "(null)");
        EXPECT_EQ(got.window, c.window) << (c.line ? c.line : "(null)");
    }
}

// Each row: the reports in order, and after which one (0-based) the show
// ends, -1 for never.
TEST(PointerWatch, EndsOnlyAfterMovingAwayFromTheFirstReport) {
    struct Report {
        int32_t x, y;
    };
    const struct {
        std::vector<Report> reports;
        int endsAt;
    } cases[] = {
        {{{500, 400}}, -1},                                 // the first report alone, wherever it is
        {{{0, 0}, {50, 0}}, 1},                             // a long jump after it
        {{{500, 400}, {504, 396}, {496, 404}, {500, 400}}, -1},  // jitter within the tolerance
        {{{500, 400}, {505, 400}}, 1},                      // one pixel past it, either axis, either way
        {{{500, 400}, {500, 395}}, 1},
        {{{500, 400}, {503, 402}, {504, 405}}, 2},          // measured from the first place, not the last
        {{{-1900, -10}, {-1896, -14}, {-1895, -10}}, 2},    // monitors left of and above the primary
        {{{INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}}, 1},  // no overflow
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        PointerWatch watch;
        int endedAt = -1;
        for (size_t r = 0; r < cases[i].reports.size() && endedAt < 0; ++r) {
            if (PointerMovedAway(watch, cases[i].reports[r].x, cases[i].reports[r].y)) endedAt = int(r);
        }
        EXPECT_EQ(endedAt, cases[i].endsAt) << "case " << i;
    }
}
