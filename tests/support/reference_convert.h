#pragma once
// The straightforward per-pixel conversion, one pixel at a time, written the obvious way.
// Tests compare the filter's conversion and its output stream against it.

#include <cstdint>
#include <vector>

// True when gray level p at row r, column x is a black dot in `mode`.
bool ReferenceBlack(int mode, int r, int x, uint8_t p);

// The page bitmap (set bit = black, not yet inverted) of `rows` gray rows of
// widthBytes * 8 pixels.
std::vector<uint8_t> ReferenceGray2Bytes(const uint8_t *gray, int widthBytes, int rows, int mode);
