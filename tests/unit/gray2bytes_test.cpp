// The five conversion rules as the filter and the printer application run them: row by row
// through PackStreamRow with the processor's own kernel. Gray2Bytes, the whole-page form,
// is checked at the end for what is its own: it only sets bits, most significant leftmost.

#include "core/gray2bytes.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "tests/support/reference_convert.h"

namespace {

// A converted page, with pixel access by row and column.
struct Bitmap {
  int widthBytes;
  int rows;
  std::vector<uint8_t> bits;
  bool black(int r, int x) const { return bits[r * widthBytes + x / 8] & (0x80 >> (x % 8)); }
  int total() const { return blackIn(0, 0, rows, widthBytes * 8); }
  int blackIn(int r0, int x0, int size) const { return blackIn(r0, x0, size, size); }
  int blackIn(int r0, int x0, int height, int width) const {
    int count = 0;
    for (int r = r0; r < r0 + height; ++r)
      for (int x = x0; x < x0 + width; ++x) count += black(r, x);
    return count;
  }
};

// A page of one gray level converted as the label stream carries it, its bits inverted
// back so that a set bit is a printed dot.
Bitmap Convert(int widthBytes, int rows, uint8_t level, int mode) {
  const std::vector<uint8_t> gray(size_t(widthBytes) * 8, level);
  const Thresholds thresholds = ThresholdsFor(mode);
  Bitmap out{widthBytes, rows, std::vector<uint8_t>(size_t(widthBytes) * rows)};
  for (int r = 0; r < rows; ++r) {
    const std::span<uint8_t> row = std::span(out.bits).subspan(size_t(r) * widthBytes, widthBytes);
    PackStreamRow(gray, row, thresholds[r % 16], FastestKernel());
    for (uint8_t &b : row) b = uint8_t(~b);
  }
  return out;
}

TEST(Conversion, FixedThresholdsAtTheirBoundaries) {
  struct Case { int mode; uint8_t level; bool black; } cases[] = {
      {0, 0, true},     {0, 127, true},    {0, 128, false},   {0, 255, false},
      {1, 160, true},   {1, 161, false},   {5, 160, true},    {5, 161, false},
      {-1, 160, true},  {-1, 161, false},  {99, 0, true},     {99, 255, false},
      {INT_MIN, 160, true}, {INT_MAX, 161, false}, {-32768, 160, true},
  };
  for (const Case &c : cases) {
    Bitmap b = Convert(2, 3, c.level, c.mode);
    EXPECT_EQ(b.total(), c.black ? 48 : 0) << "mode " << c.mode << " level " << int(c.level);
  }
}

TEST(Conversion, DitherBlackCountPerTile) {
  struct Case { int mode; int tile; int counts[5]; } cases[] = {
      {2, 8, {64, 47, 31, 15, 0}},
      {3, 8, {63, 47, 31, 15, 0}},
      {4, 16, {255, 191, 127, 63, 0}},
  };
  const uint8_t levels[5] = {0, 64, 128, 192, 255};
  for (const Case &c : cases) {
    for (int i = 0; i < 5; ++i) {
      Bitmap b = Convert(4, 32, levels[i], c.mode);
      // Every tile of the page, not just the first, must hold the same count.
      for (int r0 = 0; r0 < 32; r0 += c.tile)
        for (int x0 = 0; x0 < 32; x0 += c.tile)
          EXPECT_EQ(b.blackIn(r0, x0, c.tile), c.counts[i])
              << "mode " << c.mode << " level " << int(levels[i]) << " tile " << r0 << "," << x0;
    }
  }
}

// Where a uniform level leaves pixels white, as (r % tile, x % tile) positions.
TEST(Conversion, DitherWhitePositions) {
  struct Pos { int r, x; };
  struct Case { int mode; uint8_t level; int tile; std::vector<Pos> white; bool onlyThese; } cases[] = {
      {2, 0, 8, {}, true},
      {2, 3, 8, {}, true},
      {2, 4, 8, {{0, 0}, {4, 4}}, true},
      {2, 7, 8, {{0, 0}, {4, 4}}, true},
      {3, 0, 8, {{1, 1}}, true},
      {4, 0, 16, {{0, 0}}, true},
      // Mode 4 orientation: the column picks the table row, so (row 0, col 8) is black
      // and (row 8, col 0) is white at level 2.
      {4, 2, 16, {{8, 0}}, false},
  };
  for (const Case &c : cases) {
    Bitmap b = Convert(4, 32, c.level, c.mode);
    for (int r = 0; r < 32; ++r) {
      for (int x = 0; x < 32; ++x) {
        bool listed = false;
        for (const Pos &p : c.white) listed |= (r % c.tile == p.r && x % c.tile == p.x);
        if (listed || c.onlyThese) {
          EXPECT_EQ(b.black(r, x), !listed) << "mode " << c.mode << " at " << r << "," << x;
        }
      }
    }
  }
  EXPECT_TRUE(Convert(4, 16, 2, 4).black(0, 8));
}

TEST(Conversion, NearWhiteLevels) {
  for (int mode : {0, 1, 2, 3, 4, 5, -7}) {
    EXPECT_EQ(Convert(2, 16, 255, mode).blackIn(0, 0, 16), 0) << "mode " << mode;
  }
  for (int mode : {2, 3}) {
    for (int level = 252; level <= 255; ++level)
      EXPECT_EQ(Convert(2, 16, uint8_t(level), mode).blackIn(0, 0, 16), 0) << "mode " << mode;
  }
  EXPECT_EQ(Convert(4, 32, 254, 4).blackIn(0, 0, 32), 0);
  // Level 253 in mode 4: black only at (x%16, r%16) = (7, 8) and (15, 0).
  Bitmap b = Convert(4, 32, 253, 4);
  for (int r = 0; r < 32; ++r)
    for (int x = 0; x < 32; ++x)
      EXPECT_EQ(b.black(r, x), (x % 16 == 7 && r % 16 == 8) || (x % 16 == 15 && r % 16 == 0))
          << r << "," << x;
}

TEST(Gray2Bytes, OnlySetsBitsAndStaysInItsRows) {
  // White page over a bitmap that already has bits: nothing is cleared, nothing beyond
  // the given rows is touched.
  std::vector<uint8_t> gray(2 * 8 * 2, 255);
  std::vector<uint8_t> bits = {0xA5, 0x01, 0x80, 0x00, 0x5A};
  Gray2Bytes(gray.data(), bits.data(), 2, 2, 0);
  EXPECT_EQ(bits, (std::vector<uint8_t>{0xA5, 0x01, 0x80, 0x00, 0x5A}));

  std::vector<uint8_t> black(8, 0), none(1, 0);
  Gray2Bytes(black.data(), none.data(), 1, 0, 0);
  Gray2Bytes(black.data(), none.data(), 0, 1, 0);
  EXPECT_EQ(none[0], 0);
}

TEST(Gray2Bytes, MostSignificantBitIsLeftmost) {
  std::vector<uint8_t> gray(16, 255);
  gray[0] = 0;   // first pixel of byte 0
  gray[13] = 0;  // sixth pixel of byte 1
  std::vector<uint8_t> bits(2, 0);
  Gray2Bytes(gray.data(), bits.data(), 2, 1, 0);
  EXPECT_EQ(bits[0], 0x80);
  EXPECT_EQ(bits[1], 0x04);
}

}  // namespace

namespace {

TEST(Gray2Bytes, MatchesThePerPixelReferenceOnNoise) {
  uint32_t seed = 12345;
  std::vector<uint8_t> gray(5 * 8 * 37);
  for (uint8_t &p : gray) p = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
  for (int mode : {0, 1, 2, 3, 4, 5, -1, 17}) {
    std::vector<uint8_t> bits(5 * 37, 0);
    Gray2Bytes(gray.data(), bits.data(), 5, 37, mode);
    EXPECT_EQ(bits, ReferenceGray2Bytes(gray.data(), 5, 37, mode)) << "mode " << mode;
  }
}

}  // namespace
