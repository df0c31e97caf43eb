#include <gtest/gtest.h>

#include "platform/sdl/sdl_keys.h"

TEST(SdlKeys, KeysGetTheShowsVirtualKeyCodes) {
    const struct { SDL_Keycode sym; SDL_Scancode scancode; uint16_t mod; uint32_t code; } cases[] = {
        {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 0, 27},      {SDLK_CLEAR, SDL_SCANCODE_CLEAR, 0, 12},
        {SDLK_LEFT, SDL_SCANCODE_LEFT, 0, 37},          {SDLK_UP, SDL_SCANCODE_UP, 0, 38},
        {SDLK_RIGHT, SDL_SCANCODE_RIGHT, 0, 39},        {SDLK_DOWN, SDL_SCANCODE_DOWN, 0, 40},
        {SDLK_PAGEUP, SDL_SCANCODE_PAGEUP, 0, 33},      {SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN, 0, 34},
        {SDLK_KP_DIVIDE, SDL_SCANCODE_KP_DIVIDE, 0, 111}, {SDLK_KP_MINUS, SDL_SCANCODE_KP_MINUS, 0, 109},
        // Operators ignore NumLock; the keypad digits follow it (5 is Clear).
        {SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS, KMOD_NUM, 107}, {SDLK_KP_MULTIPLY, SDL_SCANCODE_KP_MULTIPLY, 0, 106},
        {SDLK_KP_5, SDL_SCANCODE_KP_5, 0, 12},          {SDLK_KP_5, SDL_SCANCODE_KP_5, KMOD_NUM, 101},
        {SDLK_KP_8, SDL_SCANCODE_KP_8, 0, 38},          {SDLK_KP_3, SDL_SCANCODE_KP_3, 0, 34},
        {SDLK_KP_2, SDL_SCANCODE_KP_2, KMOD_NUM, 98},   {SDLK_h, SDL_SCANCODE_H, KMOD_LSHIFT, 'H'},
        // Letters follow the symbol (a French Q key types a), digits the
        // position; a non-Latin letter key gives its position's letter.
        {SDLK_a, SDL_SCANCODE_Q, 0, 'A'},               {SDLK_AMPERSAND, SDL_SCANCODE_1, 0, '1'},
        {0x0440, SDL_SCANCODE_H, 0, 'H'},               {SDLK_COMMA, SDL_SCANCODE_M, 0, 0},
        {SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, 0, 0},       {SDLK_F13, SDL_SCANCODE_F13, 0, 0},
        // Main-keyboard stand-ins for the keypad: by symbol, so a layout
        // with + or * on a key of its own has them there; D by its letter.
        {SDLK_EQUALS, SDL_SCANCODE_EQUALS, 0, 107},     {SDLK_PLUS, SDL_SCANCODE_MINUS, 0, 107},
        {SDLK_MINUS, SDL_SCANCODE_MINUS, 0, 109},       {SDLK_MINUS, SDL_SCANCODE_6, 0, '6'},
        {SDLK_RIGHTBRACKET, SDL_SCANCODE_RIGHTBRACKET, 0, 106}, {SDLK_ASTERISK, SDL_SCANCODE_BACKSLASH, 0, 106},
        {SDLK_SLASH, SDL_SCANCODE_SLASH, KMOD_SHIFT, 111}, {SDLK_d, SDL_SCANCODE_D, 0, 12},
        {0x0432, SDL_SCANCODE_D, 0, 12},                {SDLK_LEFTBRACKET, SDL_SCANCODE_LEFTBRACKET, 0, 0},
        {SDLK_8, SDL_SCANCODE_8, KMOD_SHIFT, '8'},  // shifted 8 stays 8, not *
    };
    const auto key = [](SDL_Keycode sym, int scancode, uint16_t mod = KMOD_NONE) {
        return VirtualKeyFromSdl(SDL_Keysym{SDL_Scancode(scancode), sym, mod, 0});
    };
    for (const auto& c : cases) EXPECT_EQ(key(c.sym, c.scancode, c.mod), c.code) << "sym " << c.sym;
    for (int d = 1; d <= 9; d++) EXPECT_EQ(key(SDLK_0 + d, SDL_SCANCODE_1 + d - 1), uint32_t('0' + d)) << d;
    EXPECT_EQ(key(SDLK_0, SDL_SCANCODE_0), uint32_t('0'));
    for (int c = 0; c < 26; c++) {
        if (c == 'D' - 'A') continue;  // the keypad's 5
        EXPECT_EQ(key(SDLK_a + c, SDL_SCANCODE_A + c), uint32_t('A' + c)) << c;
    }
    for (int f = 0; f < 12; f++) EXPECT_EQ(key(SDLK_F1 + f, SDL_SCANCODE_F1 + f), 112u + f) << f;
}
