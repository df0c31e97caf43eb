#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/sdl/sdl_keys.h"

namespace {

uint32_t Key(SDL_Keycode sym, SDL_Scancode scancode, uint16_t mod = KMOD_NONE) {
    SDL_Keysym key{};
    key.sym = sym;
    key.scancode = scancode;
    key.mod = mod;
    return VirtualKeyFromSdl(key);
}

uint32_t Sym(SDL_Keycode sym) { return Key(sym, SDL_GetScancodeFromKey(sym)); }

}  // namespace

TEST(SdlKeys, TheShowsKeysGetTheirCodes) {
    EXPECT_EQ(Sym(SDLK_ESCAPE), 27u);
    EXPECT_EQ(Sym(SDLK_CLEAR), 12u);
    EXPECT_EQ(Sym(SDLK_LEFT), 37u);
    EXPECT_EQ(Sym(SDLK_UP), 38u);
    EXPECT_EQ(Sym(SDLK_RIGHT), 39u);
    EXPECT_EQ(Sym(SDLK_DOWN), 40u);
    EXPECT_EQ(Sym(SDLK_PAGEUP), 33u);
    EXPECT_EQ(Sym(SDLK_PAGEDOWN), 34u);
    EXPECT_EQ(Sym(SDLK_KP_MULTIPLY), 106u);
    EXPECT_EQ(Sym(SDLK_KP_DIVIDE), 111u);
    EXPECT_EQ(Sym(SDLK_KP_PLUS), 107u);
    EXPECT_EQ(Sym(SDLK_KP_MINUS), 109u);
    for (int d = 1; d <= 8; d++)
        EXPECT_EQ(Key(SDLK_0 + d, SDL_Scancode(SDL_SCANCODE_1 + d - 1)), uint32_t('0' + d)) << d;
    EXPECT_EQ(Key(SDLK_0, SDL_SCANCODE_0), uint32_t('0'));
    for (char c : {'H', 'L', 'M', 'N', 'R', 'A', 'Z'})
        EXPECT_EQ(Key(SDLK_a + (c - 'A'), SDL_Scancode(SDL_SCANCODE_A + (c - 'A'))), uint32_t(c)) << c;
    // Shift is not examined: the same code either way.
    EXPECT_EQ(Key(SDLK_h, SDL_SCANCODE_H, KMOD_LSHIFT), uint32_t('H'));
    for (int f = 0; f < 12; f++) EXPECT_EQ(Sym(SDLK_F1 + f), 112u + f) << f;
}

TEST(SdlKeys, KeypadFollowsNumLock) {
    EXPECT_EQ(Key(SDLK_KP_5, SDL_SCANCODE_KP_5), 12u);  // Clear
    EXPECT_EQ(Key(SDLK_KP_5, SDL_SCANCODE_KP_5, KMOD_NUM), 101u);
    EXPECT_EQ(Key(SDLK_KP_8, SDL_SCANCODE_KP_8), 38u);
    EXPECT_EQ(Key(SDLK_KP_6, SDL_SCANCODE_KP_6), 39u);
    EXPECT_EQ(Key(SDLK_KP_9, SDL_SCANCODE_KP_9), 33u);
    EXPECT_EQ(Key(SDLK_KP_3, SDL_SCANCODE_KP_3), 34u);
    EXPECT_EQ(Key(SDLK_KP_2, SDL_SCANCODE_KP_2, KMOD_NUM), 98u);
    // The operators do not depend on NumLock.
    EXPECT_EQ(Key(SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS, KMOD_NUM), 107u);
    EXPECT_EQ(Key(SDLK_KP_MULTIPLY, SDL_SCANCODE_KP_MULTIPLY), 106u);
}

TEST(SdlKeys, LayoutsAndUnknownKeys) {
    // On a French layout the key at the Q position types 'a': letters follow
    // the symbol; the digit row follows position whatever it types.
    EXPECT_EQ(Key(SDLK_a, SDL_SCANCODE_Q), uint32_t('A'));
    EXPECT_EQ(Key(SDLK_AMPERSAND, SDL_SCANCODE_1), uint32_t('1'));
    // A non-Latin layout: the letter of the key's position.
    EXPECT_EQ(Key(0x0440, SDL_SCANCODE_H), uint32_t('H'));
    EXPECT_EQ(Key(SDLK_COMMA, SDL_SCANCODE_M), 0u);  // a comma is no M
    EXPECT_EQ(Sym(SDLK_LSHIFT), 0u);
    EXPECT_EQ(Sym(SDLK_F13), 0u);
    EXPECT_EQ(Sym(SDLK_MINUS), 0u);  // the main-keyboard minus is not keypad -
}
