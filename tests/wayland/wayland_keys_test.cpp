#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include "platform/platform.h"
#include "platform/wayland/wayland_keys.h"

TEST(WaylandKeys, KeysymsOfTheLayout) {
    const struct {
        uint32_t code, keysym, vk;
    } cases[] = {
        {KEY_ESC, XKB_KEY_Escape, VkEscape},
        {KEY_H, XKB_KEY_h, 'H'},
        {KEY_H, XKB_KEY_H, 'H'},  // with Shift
        // A French layout: the key in the place of Q gives A.
        {KEY_Q, XKB_KEY_a, 'A'},
        {KEY_F1, XKB_KEY_F1, VkF1},
        {KEY_F12, XKB_KEY_F12, VkF12},
        {KEY_PAGEUP, XKB_KEY_Prior, VkPrior},
        {KEY_RIGHT, XKB_KEY_Right, VkRight},
        {KEY_KPASTERISK, XKB_KEY_KP_Multiply, VkMultiply},
        {KEY_KPPLUS, XKB_KEY_KP_Add, VkAdd},
        {KEY_KPMINUS, XKB_KEY_KP_Subtract, VkSubtract},
        {KEY_KPSLASH, XKB_KEY_KP_Divide, VkDivide},
        // The keypad follows NumLock through the keysym.
        {KEY_KP5, XKB_KEY_KP_5, 101},
        {KEY_KP5, XKB_KEY_KP_Begin, VkClear},
        {KEY_KP9, XKB_KEY_KP_Prior, VkPrior},
        {KEY_KP9, XKB_KEY_KP_9, 105},
        {KEY_KPDOT, XKB_KEY_KP_Delete, 46},
        // Stand-ins for the keypad on the main keyboard.
        {KEY_D, XKB_KEY_d, VkClear},
        {KEY_EQUAL, XKB_KEY_equal, VkAdd},
        {KEY_MINUS, XKB_KEY_minus, VkSubtract},
        {KEY_RIGHTBRACE, XKB_KEY_bracketright, VkMultiply},
        {KEY_SLASH, XKB_KEY_slash, VkDivide},
        // Keys the show has no use for.
        {KEY_LEFTSHIFT, XKB_KEY_Shift_L, 0},
        {KEY_CAPSLOCK, XKB_KEY_Caps_Lock, 0},
        {KEY_SEMICOLON, XKB_KEY_semicolon, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VirtualKeyFromWayland(c.code, c.keysym), c.vk) << "code " << c.code << " keysym " << c.keysym;
}

TEST(WaylandKeys, PositionsWhereTheLayoutHasNoLatinKey) {
    // Cyrillic letters: the letter printed beside them on a US keyboard.
    EXPECT_EQ(VirtualKeyFromWayland(KEY_H, XKB_KEY_Cyrillic_er), 'H');
    EXPECT_EQ(VirtualKeyFromWayland(KEY_N, XKB_KEY_Cyrillic_te), 'N');
    EXPECT_EQ(VirtualKeyFromWayland(KEY_Z, XKB_KEY_Cyrillic_ya), 'Z');
    EXPECT_EQ(VirtualKeyFromWayland(KEY_P, XKB_KEY_Cyrillic_ze), 'P');
    EXPECT_EQ(VirtualKeyFromWayland(KEY_L, XKB_KEY_Cyrillic_de), 'L');
    EXPECT_EQ(VirtualKeyFromWayland(KEY_M, XKB_KEY_Cyrillic_softsign), 'M');
    // A non-Latin keysym on a key that is no letter key maps to nothing.
    EXPECT_EQ(VirtualKeyFromWayland(KEY_LEFTBRACE, XKB_KEY_Cyrillic_ha), 0u);
    // The digit row by position, whatever it prints (French: & é " ...).
    EXPECT_EQ(VirtualKeyFromWayland(KEY_1, XKB_KEY_ampersand), '1');
    EXPECT_EQ(VirtualKeyFromWayland(KEY_2, XKB_KEY_eacute), '2');
    EXPECT_EQ(VirtualKeyFromWayland(KEY_8, XKB_KEY_underscore), '8');
    EXPECT_EQ(VirtualKeyFromWayland(KEY_0, XKB_KEY_agrave), '0');
    // A digit from a key elsewhere (a virtual keyboard's own keymap).
    EXPECT_EQ(VirtualKeyFromWayland(200, XKB_KEY_5), '5');
}
