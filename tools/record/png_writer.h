// PNG encoding of 24-bit RGB images through libpng.
#pragma once
#include <cstdint>
#include <cstdio>

// Writes width x height pixels of packed R, G, B bytes, row 0 first, as an
// 8-bit RGB PNG. False when libpng or the file reports an error.
bool WritePng(std::FILE* file, const uint8_t* rgb, int32_t width, int32_t height);
