// The web page's input: DOM keys as virtual-key codes, clicks on the scaled
// picture as screen points, and the seed from the address.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/web/web_input.h"

TEST(WebInput, DomKeysGiveTheShowsCodes) {
    struct Case {
        const char* key;
        const char* code;
        uint32_t vk;
    };
    const Case cases[] = {
        {"Escape", "Escape", VkEscape},
        // The keypad: digits with NumLock, navigation keys and Clear without.
        {"5", "Numpad5", 101},
        {"0", "Numpad0", 96},
        {"Clear", "Numpad5", VkClear},
        {"ArrowDown", "Numpad2", VkDown},
        {"PageUp", "Numpad9", VkPrior},
        {"PageDown", "Numpad3", VkNext},
        {"Delete", "NumpadDecimal", 46},
        {".", "NumpadDecimal", 110},
        {"Enter", "NumpadEnter", 13},
        {"*", "NumpadMultiply", VkMultiply},
        {"/", "NumpadDivide", VkDivide},
        {"+", "NumpadAdd", VkAdd},
        {"-", "NumpadSubtract", VkSubtract},
        {"ArrowUp", "ArrowUp", VkUp},
        {"ArrowRight", "ArrowRight", VkRight},
        {"ArrowLeft", "ArrowLeft", VkLeft},
        // Letters by the layout, in either case; by position without Latin letters.
        {"h", "KeyH", 'H'},
        {"H", "KeyH", 'H'},
        {"q", "KeyA", 'Q'},
        {"\xD0\xB9", "KeyQ", 'Q'},
        {",", "KeyM", 0},
        // The digit row by position, whatever it prints.
        {"1", "Digit1", '1'},
        {"&", "Digit1", '1'},
        {"8", "Digit8", '8'},
        {"F1", "F1", VkF1},
        {"F10", "F10", 121},
        {"F12", "F12", VkF12},
        {"F13", "F13", 0},
        {"F", "KeyF", 'F'},
        // Main-keyboard stand-ins for the keypad, by the symbol the key
        // gives; D by its letter, wherever the layout has it.
        {"=", "Equal", VkAdd},
        {"+", "Equal", VkAdd},
        {"+", "Minus", VkAdd},
        {"-", "Minus", VkSubtract},
        {"-", "Digit6", '6'},
        {"]", "BracketRight", VkMultiply},
        {"*", "Backslash", VkMultiply},
        {"*", "Digit8", '8'},
        {"/", "Slash", VkDivide},
        {"d", "KeyD", VkClear},
        {"D", "KeyD", VkClear},
        {"\xD0\xB2", "KeyD", VkClear},
        {"[", "BracketLeft", 0},
        {"Shift", "ShiftLeft", 0},
        {"Dead", "BracketLeft", 0},
        {"", "", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(VirtualKeyFromDom(c.key, c.code), c.vk) << c.key << " " << c.code;
    EXPECT_EQ(VirtualKeyFromDom(nullptr, nullptr), 0u);
}

TEST(WebInput, PagePointsMapToTheScreenAndClampToIt) {
    struct Case {
        double x, y, width, height;
        int32_t sx, sy;
    };
    const Case cases[] = {
        {0, 0, 960, 720, 0, 0},
        {480, 360, 960, 720, 512, 384},
        {959.9, 719.9, 960, 720, 1023, 767},
        {960, 720, 960, 720, 1023, 767},   // the far edge
        {-3, 800, 960, 720, 0, 767},       // outside the picture
        {100, 100, 2048, 1536, 50, 50},    // larger than the screen
        {100, 100, 0, 720, 0, 0},          // no picture yet
        {1e300, -1e300, 960, 720, 1023, 0},
    };
    for (const Case& c : cases) {
        const ScreenPoint p = ScreenPointFromPage(c.x, c.y, c.width, c.height);
        EXPECT_EQ(p.x, c.sx) << c.x << "," << c.y;
        EXPECT_EQ(p.y, c.sy) << c.x << "," << c.y;
    }
}

TEST(WebInput, SeedFromTheAddressOrNoneWithBadOnesFlagged) {
    struct Case {
        const char* query;
        int64_t seed;  // -1: none
        bool bad;
    };
    const Case cases[] = {
        {"", -1, false},
        {"?", -1, false},
        {"?seed=42", 42, false},
        {"seed=42", 42, false},
        {"?seed=0", 0, false},
        {"?seed=4294967295", 4294967295, false},
        {"?x=1&seed=9&y", 9, false},
        {"?seeds=3&myseed=4", -1, false},
        {"?seed=4294967296", -1, true},
        {"?seed=99999999999", -1, true},
        {"?seed=abc", -1, true},
        {"?seed=12abc", -1, true},
        {"?seed=", -1, true},
        {"?seed", -1, true},
        {"?seed=-1", -1, true},
        {"?seed=+5", -1, true},
        {"?seed=1e3", -1, true},
    };
    for (const Case& c : cases) {
        const PageSeed s = SeedFromQuery(c.query);
        EXPECT_EQ(s.seed ? int64_t(*s.seed) : -1, c.seed) << c.query;
        EXPECT_EQ(s.bad, c.bad) << c.query;
    }
    EXPECT_FALSE(SeedFromQuery(nullptr).seed);
}
