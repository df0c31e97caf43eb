#include "platform/sdl/sdl_keys.h"

#include "platform/keypad_stand_ins.h"
#include "platform/platform.h"

namespace {

// Keypad keys whose code depends on NumLock: with it, the digit; without,
// the navigation key printed beside it.
struct KeypadKey {
    SDL_Scancode scancode;
    uint32_t withNumLock, withoutNumLock;
};
constexpr KeypadKey kKeypadKeys[] = {
    {SDL_SCANCODE_KP_0, 96, 45},       {SDL_SCANCODE_KP_1, 97, 35},       // Insert, End
    {SDL_SCANCODE_KP_2, 98, VkDown},   {SDL_SCANCODE_KP_3, 99, VkNext},
    {SDL_SCANCODE_KP_4, 100, VkLeft},  {SDL_SCANCODE_KP_5, 101, VkClear},
    {SDL_SCANCODE_KP_6, 102, VkRight}, {SDL_SCANCODE_KP_7, 103, 36},      // Home
    {SDL_SCANCODE_KP_8, 104, VkUp},    {SDL_SCANCODE_KP_9, 105, VkPrior},
    {SDL_SCANCODE_KP_PERIOD, 110, 46},                                    // Delete
};

struct FixedKey {
    SDL_Keycode sym;
    uint32_t code;
};
constexpr FixedKey kFixedKeys[] = {
    {SDLK_ESCAPE, VkEscape},     {SDLK_CLEAR, VkClear},      {SDLK_LEFT, VkLeft},
    {SDLK_UP, VkUp},             {SDLK_RIGHT, VkRight},      {SDLK_DOWN, VkDown},
    {SDLK_PAGEUP, VkPrior},      {SDLK_PAGEDOWN, VkNext},    {SDLK_HOME, 36},
    {SDLK_END, 35},              {SDLK_INSERT, 45},          {SDLK_DELETE, 46},
    {SDLK_KP_MULTIPLY, VkMultiply}, {SDLK_KP_DIVIDE, VkDivide}, {SDLK_KP_PLUS, VkAdd},
    {SDLK_KP_MINUS, VkSubtract}, {SDLK_KP_ENTER, 13},        {SDLK_RETURN, 13},
    {SDLK_SPACE, 32},            {SDLK_TAB, 9},              {SDLK_BACKSPACE, 8},
};

uint32_t BaseVirtualKey(const SDL_Keysym& key);

}  // namespace

// A printable key's keycode is the character it gives.
uint32_t VirtualKeyFromSdl(const SDL_Keysym& key) { return WithKeypadStandIns(BaseVirtualKey(key), uint32_t(key.sym)); }

namespace {

uint32_t BaseVirtualKey(const SDL_Keysym& key) {
    for (const KeypadKey& k : kKeypadKeys) {
        if (key.scancode == k.scancode) return (key.mod & KMOD_NUM) ? k.withNumLock : k.withoutNumLock;
    }
    for (const FixedKey& k : kFixedKeys) {
        if (key.sym == k.sym) return k.code;
    }
    if (key.sym >= SDLK_a && key.sym <= SDLK_z) return uint32_t('A' + (key.sym - SDLK_a));
    // A layout without Latin letters: the letter keys by position.
    const bool nonAscii = key.sym >= 0x80 && !(key.sym & SDLK_SCANCODE_MASK);
    if (nonAscii && key.scancode >= SDL_SCANCODE_A && key.scancode <= SDL_SCANCODE_Z)
        return uint32_t('A' + (key.scancode - SDL_SCANCODE_A));
    // The main keyboard's digit row, by position: 1 to 9, then 0.
    if (key.scancode >= SDL_SCANCODE_1 && key.scancode <= SDL_SCANCODE_9)
        return uint32_t('1' + (key.scancode - SDL_SCANCODE_1));
    if (key.scancode == SDL_SCANCODE_0) return '0';
    if (key.sym >= SDLK_F1 && key.sym <= SDLK_F12) return VkF1 + uint32_t(key.sym - SDLK_F1);
    return 0;
}

}  // namespace
