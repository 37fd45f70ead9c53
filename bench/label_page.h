#pragma once
// A synthetic shipping label in 8-bit gray, for benchmarks: white ground, lines of
// text-like glyphs, a barcode, a small gray logo. Not a random page: like a real label
// it has long white runs and solid black, so a per-pixel loop's branches are about as
// predictable, and the raster compresses about as well, as they would in use.

#include <cstdint>
#include <vector>

// `width` x `height` pixels, both at least 100, rows back to back at the given stride
// (>= width; the bytes past width are 255). `seed` varies the glyphs and the bars from
// page to page.
std::vector<uint8_t> LabelPage(int width, int height, int stride, uint32_t seed);
