// Arbitrary bytes as a label command stream, through the preview's parser, then each
// label's bitmap placed on its label and drawn row by row, as the preview draws it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "picture/label_image.h"
#include "core/label_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const StreamParse parse = ParseLabelStream(std::span<const uint8_t>(data, size));
  for (const StreamLabel &label : parse.labels) {
    if (label.bits.size() != size_t(label.widthBytes) * size_t(label.height)) __builtin_trap();
    const int64_t width = MmToDots(label.widthMm, 203), height = MmToDots(label.heightMm, 203);
    if (width < 1 || height < 1 || width > kMaxLabelDots || height > kMaxLabelDots) continue;
    FitBitmap(label, width, height);
    std::vector<uint8_t> row(size_t((width + 7) / 8));
    // The rows around the bitmap's top edge, where clipping decides the most.
    const int64_t first = std::clamp<int64_t>(label.bitmapY - 2, 0, height - 1);
    for (int64_t y = first; y < std::min<int64_t>(height, first + 8); ++y)
      LabelRow(label, y, width, row);
  }
  return 0;
}
