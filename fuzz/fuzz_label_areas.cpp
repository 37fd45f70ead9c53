// Arbitrary bytes as a drawn page, through the search for printed areas and cut frames:
// the first four bytes give the picture's width, the label's size in pixels, the white
// band and how many words of text lie on the page; five bytes a word give its box (any
// box, also off the picture) and whether it runs up the page; the rest are the picture's
// gray pixels, row after row. Only crashes and undefined behaviour count, and an area or
// frame outside the picture or holding none of its parts.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "labelfit/labelfit.h"

namespace {

bool inside(const pixel_box_t &b, const gray_image_t &image) {
  return b.x0 >= 0 && b.y0 >= 0 && b.x0 < b.x1 && b.y0 < b.y1 && b.x1 <= image.width &&
         b.y1 <= image.height;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 5) return 0;
  const int width = 1 + data[0] % 128;
  const double label_w = 1 + data[1] % 64, label_h = 1 + data[2] % 64;
  const int band = 1 + data[3] % 8;
  const size_t count = (data[3] >> 3) % 8;
  if (size < 5 + 5 * count) return 0;
  std::vector<text_word_t> words;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t *w = data + 4 + 5 * i;
    const int x = w[0] - 16, y = w[1] - 16;
    words.push_back({{x, y, x + w[2] % 160, y + w[3] % 160}, (w[4] & 1) != 0});
  }
  const std::span<const uint8_t> pixels(data + 4 + 5 * count, size - 4 - 5 * count);
  const int height = int(pixels.size() / size_t(width));
  if (height < 1) return 0;
  const gray_image_t image{width, height, size_t(width), pixels};
  for (const area_t &area : find_areas(image, label_w, label_h, band, words)) {
    if (!inside(area.box, image) || area.parts < 1) __builtin_trap();
    if (const std::optional<frame_t> frame = find_frame(image, area.box)) {
      if (!inside(frame->frame, image) || !inside(frame->inside, image)) __builtin_trap();
    }
  }
  return 0;
}
