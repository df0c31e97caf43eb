// SDL key events as the virtual-key codes the show reads.
#pragma once
#include <SDL.h>
#include <cstdint>

// The virtual-key code of a key, or 0 for keys the show has no code for.
// Letters follow the keyboard layout (the key's symbol), digits and the
// keypad their position; the keypad without NumLock gives the navigation
// keys, its 5 the Clear key. Keyboards without a keypad have its + - * /
// and 5 on = (or +), -, ] (or *), / and D.
uint32_t VirtualKeyFromSdl(const SDL_Keysym& key);
