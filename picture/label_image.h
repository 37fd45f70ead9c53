#pragma once
// A label of the command stream as a picture: the label's area in printer dots with the
// bitmap placed at its origin, and that picture written as a PNG.

#include <cstdint>
#include <span>
#include <string>

#include "core/label_stream.h"

// The largest picture side the preview draws: 2 m of label at 203 dpi, a few kilobytes
// of memory per row, and a PNG whose size is bounded by the stream's own bitmap bytes.
inline constexpr int64_t kMaxLabelDots = 16384;

// Dots across `mm` millimetres at `dpi`, rounded to the nearest dot.
int64_t MmToDots(int64_t mm, int64_t dpi);

// How a label's bitmap falls on a label area of width x height dots.
struct BitmapFit {
  bool left = false, top = false, right = false, bottom = false;  // edges it runs past
  uint64_t dotsCutOff = 0;  // printed dots of the bitmap that fall outside the area
};
BitmapFit FitBitmap(const StreamLabel &label, int64_t width, int64_t height);

// Row y of the picture of `label` on an area `width` dots wide: one bit per dot, the
// leftmost dot in the top bit, 0 where a dot prints (as in the stream and in a 1-bit gray
// PNG). `row` holds at least (width + 7) / 8 bytes.
void LabelRow(const StreamLabel &label, int64_t y, int64_t width, std::span<uint8_t> row);

// Writes the picture of `label` on a width x height dot area (each 1 to kMaxLabelDots) as a
// 1-bit gray PNG that says it is `dpi` dots per inch. It is written beside `path` and renamed
// into place only when whole. Returns "" or what went wrong, in a user's words.
std::string WriteLabelPng(const std::string &path, const StreamLabel &label, int64_t width,
                          int64_t height, int dpi);
