#include "render/gray2bytes.h"

#include <cstddef>

#include "filter/log.h"

namespace {

// Thresholds on the gray level brought to 64 levels (p >> 2). Row r % 8, column x % 8.
// The 1 at [0][0] (not 0) keeps levels 0-3 black everywhere.
constexpr uint8_t Dispersed8x8[8][8] = {
    {1, 48, 12, 60, 3, 51, 15, 63},  {32, 16, 44, 28, 35, 19, 47, 31},
    {8, 56, 4, 52, 11, 59, 7, 55},   {40, 24, 36, 20, 43, 27, 39, 23},
    {2, 50, 14, 62, 1, 49, 13, 61},  {34, 18, 46, 30, 33, 17, 45, 29},
    {10, 58, 6, 54, 9, 57, 5, 53},   {42, 26, 38, 22, 41, 25, 37, 21},
};

constexpr uint8_t Clustered8x8[8][8] = {
    {24, 10, 12, 26, 35, 47, 49, 37}, {8, 0, 2, 14, 45, 59, 61, 51},
    {22, 6, 4, 16, 43, 57, 63, 53},   {30, 20, 18, 28, 33, 41, 55, 39},
    {34, 46, 48, 36, 25, 11, 13, 27}, {44, 58, 60, 50, 9, 1, 3, 15},
    {42, 56, 62, 52, 23, 7, 5, 17},   {32, 40, 54, 38, 31, 21, 19, 29},
};

// Thresholds on the full gray level. Indexed [x % 16][r % 16]: the pixel's column picks
// the row of this table, so it lies transposed compared with the two 8x8 tables.
// 254 stands twice and 255 never, so level 254 is never black.
constexpr uint8_t Dispersed16x16[16][16] = {
    {0, 128, 32, 160, 8, 136, 40, 168, 2, 130, 34, 162, 10, 138, 42, 170},
    {192, 64, 224, 96, 200, 72, 232, 104, 194, 66, 226, 98, 202, 74, 234, 106},
    {48, 176, 16, 144, 56, 184, 24, 152, 50, 178, 18, 146, 58, 186, 26, 154},
    {240, 112, 208, 80, 248, 120, 216, 88, 242, 114, 210, 82, 250, 122, 218, 90},
    {12, 140, 44, 172, 4, 132, 36, 164, 14, 142, 46, 174, 6, 134, 38, 166},
    {204, 76, 236, 108, 196, 68, 228, 100, 206, 78, 238, 110, 198, 70, 230, 102},
    {60, 188, 28, 156, 52, 180, 20, 148, 62, 190, 30, 158, 54, 182, 22, 150},
    {252, 124, 220, 92, 244, 116, 212, 84, 254, 126, 222, 94, 246, 118, 214, 86},
    {3, 131, 35, 163, 11, 139, 43, 171, 1, 129, 33, 161, 9, 137, 41, 169},
    {195, 67, 227, 99, 203, 75, 235, 107, 193, 65, 225, 97, 201, 73, 233, 105},
    {51, 179, 19, 147, 59, 187, 27, 155, 49, 177, 17, 145, 57, 185, 25, 153},
    {243, 115, 211, 83, 251, 123, 219, 91, 241, 113, 209, 81, 249, 121, 217, 89},
    {15, 143, 47, 175, 7, 135, 39, 167, 13, 141, 45, 173, 5, 133, 37, 165},
    {207, 79, 239, 111, 199, 71, 231, 103, 205, 77, 237, 109, 197, 69, 229, 101},
    {63, 191, 31, 159, 55, 183, 23, 151, 61, 189, 29, 157, 53, 181, 21, 149},
    {254, 127, 223, 95, 247, 119, 215, 87, 253, 125, 221, 93, 245, 117, 213, 85},
};

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
