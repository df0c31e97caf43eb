// What a web page hands the show: DOM key events as virtual-key codes, clicks
// on the scaled picture as screen points, and the seed from the address.
#pragma once
#include <cstdint>
#include <optional>

// The virtual-key code of a DOM key event, from its `key` and `code` values,
// or 0 for keys the show has no code for. Letters follow the keyboard layout
// (the key's value), falling back to their position on layouts without Latin
// letters; the digit row goes by position. The keypad gives its digits with
// NumLock and the navigation keys printed beside them without, its 5 the
// Clear key. Keyboards without a keypad have its + - * / and 5 on = (or +),
// -, ] (or *), / and D.
uint32_t VirtualKeyFromDom(const char* key, const char* code);

struct ScreenPoint {
    int32_t x, y;
};
// A point on the picture as the page shows it, in CSS pixels from its
// top-left corner, with the picture shown width x height CSS pixels large:
// the point of the 1024 x 768 screen under it, clamped to the screen.
ScreenPoint ScreenPointFromPage(double x, double y, double width, double height);

// The seed named in the address's query string ("?seed=N", N a decimal from
// 0 to 4294967295). `bad` is set when a seed is named but is no such number.
struct PageSeed {
    std::optional<uint32_t> seed;
    bool bad;
};
PageSeed SeedFromQuery(const char* query);
