#include "tests/support/reference_convert.h"

#include <cstddef>

#include "core/dither_matrices.h"

bool ReferenceBlack(int mode, int r, int x, uint8_t p) {
  switch (static_cast<unsigned>(mode)) {
    case 0: return p < 128;
    case 2: return (p >> 2) < Dispersed8x8[r % 8][x % 8];
    case 3: return (p >> 2) < Clustered8x8[r % 8][x % 8];
    case 4: return p < Dispersed16x16[x % 16][r % 16];
    default: return p < 161;
  }
}

std::vector<uint8_t> ReferenceGray2Bytes(const uint8_t *gray, int widthBytes, int rows, int mode) {
  std::vector<uint8_t> bits(size_t(widthBytes) * rows, 0);
  for (int r = 0; r < rows; ++r)
    for (int x = 0; x < widthBytes * 8; ++x)
      if (ReferenceBlack(mode, r, x, gray[size_t(r) * widthBytes * 8 + x]))
        bits[size_t(r) * widthBytes + x / 8] |= uint8_t(0x80 >> (x % 8));
  return bits;
}
