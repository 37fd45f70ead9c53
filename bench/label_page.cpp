#include "bench/label_page.h"

#include <algorithm>
#include <cstddef>

namespace {

struct Random {
  uint32_t state;
  uint32_t next() { return state = state * 1664525u + 1013904223u; }
  int below(int n) { return static_cast<int>((next() >> 8) % static_cast<uint32_t>(n)); }
};

void Fill(std::vector<uint8_t> &page, int stride, int x0, int y0, int x1, int y1, uint8_t level) {
  for (int y = y0; y < y1; ++y)
    std::fill(page.begin() + static_cast<ptrdiff_t>(y) * stride + x0,
              page.begin() + static_cast<ptrdiff_t>(y) * stride + x1, level);
}

// Lines of words: glyphs of 5 x 7 random black cells, `cell` pixels each, with a space
// between words and a line's height between lines.
void Text(std::vector<uint8_t> &page, int stride, int x0, int y0, int x1, int y1, int cell,
          Random &random) {
  for (int y = y0; y + 8 * cell <= y1; y += 12 * cell) {
    for (int x = x0; x + 5 * cell <= x1; x += 6 * cell) {
      if (random.below(6) == 0) continue;  // between words
      for (int i = 0; i < 35; ++i) {
        if (random.below(3) != 0) continue;
        int cx = x + (i % 5) * cell, cy = y + (i / 5) * cell;
        Fill(page, stride, cx, cy, cx + cell, cy + cell, 0);
      }
    }
  }
}

}  // namespace

std::vector<uint8_t> LabelPage(int width, int height, int stride, uint32_t seed) {
  std::vector<uint8_t> page(static_cast<size_t>(stride) * height, 255);
  Random random{seed * 2654435761u + 1};
  const int unit = std::max(1, width / 400);  // about 1/100 inch at 300 dpi
  const int margin = 8 * unit;

  // Frame; address text; barcode; a gray logo (a shaded gradient) beside more text.
  Fill(page, stride, margin, margin, width - margin, margin + 2 * unit, 0);
  Fill(page, stride, margin, height - margin - 2 * unit, width - margin, height - margin, 0);
  const int textEnd = height * 35 / 100, barsEnd = height * 60 / 100, logoEnd = height * 75 / 100;
  const int left = 2 * margin, right = width - 2 * margin, logoRight = left + (right - left) / 3;
  Text(page, stride, left, 2 * margin, right, textEnd, 2 * unit, random);
  for (int x = left; x < right;) {
    int bar = std::min((1 + random.below(4)) * 2 * unit, right - x);
    Fill(page, stride, x, textEnd + margin, x + bar, barsEnd - margin, 0);
    x += bar + (1 + random.below(4)) * 2 * unit;
  }
  for (int y = barsEnd; y < logoEnd; ++y)
    for (int x = left; x < logoRight; ++x)
      page[static_cast<size_t>(y) * stride + x] = static_cast<uint8_t>(
          (x - left) * 200 / (logoRight - left) + (y - barsEnd) * 40 / (logoEnd - barsEnd) +
          random.below(8));
  Text(page, stride, logoRight + margin, barsEnd, right, logoEnd, unit, random);
  Text(page, stride, left, logoEnd + margin, right, height - 2 * margin, unit, random);
  return page;
}
