// An 8x16 bitmap font of printable ASCII, compiled into the program, and the
// text output the backends draw the text strip with.
#pragma once
#include <cstdint>

constexpr int32_t kGlyphWidth = 8;
constexpr int32_t kGlyphHeight = 16;

// The 16 rows of a character's glyph, top first, bit 7 the leftmost pixel.
// Characters outside 0x20..0x7E have an empty glyph.
const uint8_t* GlyphRows(char c);

// Converts a GDI colour reference (0x00BBGGRR) to the pixel layout 0x00RRGGBB.
uint32_t PixelFromColorRef(uint32_t colorRef);

// Draws text as an opaque run: every 8x16 cell at (x + 8*i, y) is filled
// black and its glyph pixels take the text colour (a GDI colour reference).
// Everything is clipped to the width x height image; pitchBytes is the byte
// distance between rows.
void DrawTextRun(uint32_t* image, int32_t pitchBytes, int32_t width, int32_t height, int32_t x,
                 int32_t y, const char* text, int32_t length, uint32_t textColorRef);
