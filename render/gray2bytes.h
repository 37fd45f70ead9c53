#pragma once
// Gray-to-bitmap conversion: one page of 8-bit gray (0 black, 255 white) into packed
// 1-bit rows (most significant bit leftmost, set bit = black).

#include <cstdint>

// gray holds `rows` rows of widthBytes * 8 pixels; bits holds `rows` rows of widthBytes
// bytes and must be zeroed by the caller: bits are only ever set.
//   mode 0: black below 128          mode 2: 8x8 dispersed-dot dither
//   mode 3: 8x8 clustered-dot dither mode 4: 16x16 dispersed-dot dither
//   mode 1, 5 and every other value, negative ones included: black below 161
void Gray2Bytes(const uint8_t *gray, uint8_t *bits, int widthBytes, int rows, int mode);
