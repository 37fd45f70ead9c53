#include "render/gray2bytes.h"

#include <cstddef>

#include "filter/log.h"
#include "render/dither_matrices.h"

namespace {

// Packs one row by the rule `black(x, p)`; the rule sees the pixel's column and level.
template <typename Rule>
void PackRow(const uint8_t *gray, uint8_t *bits, int widthBytes, Rule black) {
  for (int b = 0; b < widthBytes; ++b) {
    unsigned byte = 0;
    for (int i = 0; i < 8; ++i) {
      int x = b * 8 + i;
      byte |= black(x, gray[x]) ? 0x80u >> i : 0u;
    }
    bits[b] |= static_cast<uint8_t>(byte);
  }
}

}  // namespace

void Gray2Bytes(const uint8_t *gray, uint8_t *bits, int widthBytes, int rows, int mode) {
  WriteLog("Gray2Bytes: Enter function\r\n");

  const size_t stride = static_cast<size_t>(widthBytes) * 8;
  for (int r = 0; r < rows && widthBytes > 0; ++r) {
    const uint8_t *in = gray + static_cast<size_t>(r) * stride;
    uint8_t *out = bits + static_cast<size_t>(r) * static_cast<size_t>(widthBytes);
    switch (static_cast<unsigned>(mode)) {
      case 0:
        PackRow(in, out, widthBytes, [](int, unsigned p) { return p < 128; });
        break;
      case 2: {
        const uint8_t *m = Dispersed8x8[r % 8];
        PackRow(in, out, widthBytes, [m](int x, unsigned p) { return (p >> 2) < m[x % 8]; });
        break;
      }
      case 3: {
        const uint8_t *m = Clustered8x8[r % 8];
        PackRow(in, out, widthBytes, [m](int x, unsigned p) { return (p >> 2) < m[x % 8]; });
        break;
      }
      case 4: {
        int column = r % 16;
        PackRow(in, out, widthBytes,
                [column](int x, unsigned p) { return p < Dispersed16x16[x % 16][column]; });
        break;
      }
      default:
        PackRow(in, out, widthBytes, [](int, unsigned p) { return p < 161; });
        break;
    }
  }

  WriteLog("Gray2Bytes: Exit function11\r\n");
}
