// Every conversion kernel, row by row as the label stream carries it, against the
// per-pixel reference: random pages of every shape that changes which kernel covers which
// pixels, and pages at every threshold boundary.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "core/gray2bytes.h"
#include "tests/support/reference_convert.h"

namespace {

const int kModes[] = {0, 1, 2, 3, 4, 5, 6, 1000, -1, -32768, INT_MIN};

std::vector<Kernel> KernelsHere() {
  std::vector<Kernel> kernels;
  for (Kernel k : kAllKernels)
    if (KernelRuns(k)) kernels.push_back(k);
  return kernels;
}

const char *Name(Kernel k) { return KernelName(k); }

// Converts `gray` a row at a time: the stream's bytes must be the reference's, inverted
// (a 0 bit is a printed dot).
void ExpectMatchesReference(Kernel kernel, const std::vector<uint8_t> &gray, int widthBytes,
                            int rows, int mode) {
  std::vector<uint8_t> expected = ReferenceGray2Bytes(gray.data(), widthBytes, rows, mode);
  for (uint8_t &b : expected) b = uint8_t(~b);
  const Thresholds thresholds = ThresholdsFor(mode);
  const size_t width = size_t(widthBytes) * 8;
  std::vector<uint8_t> stream(size_t(widthBytes) * rows, 0x5A);
  for (int r = 0; r < rows; ++r)
    PackStreamRow(std::span(gray).subspan(r * width, width),
                  std::span(stream).subspan(size_t(r) * widthBytes, widthBytes),
                  thresholds[r % 16], kernel);
  ASSERT_EQ(stream, expected) << Name(kernel) << " mode " << mode << ", " << widthBytes
                              << " bytes wide, " << rows << " rows";
}

TEST(ConversionKernels, TheWidestOneOfTheProcessorIsChosen) {
  // A build that leaves its processor's kernel out would pass the other tests on the
  // portable one alone.
#if defined(__x86_64__)
  EXPECT_TRUE(FastestKernel() == Kernel::Avx2 || FastestKernel() == Kernel::Sse2);
#elif defined(__aarch64__)
  EXPECT_EQ(FastestKernel(), Kernel::Neon);
#endif
  EXPECT_TRUE(KernelRuns(FastestKernel()));
  EXPECT_TRUE(KernelRuns(Kernel::Portable));
}

TEST(ConversionKernels, AKernelTheProcessorLacksGivesTheSameBitmap) {
  // Asked for any kernel, the processor's own or not, the conversion runs one it has.
  const int widthBytes = 9, rows = 18;
  std::vector<uint8_t> gray(size_t(widthBytes) * 8 * rows);
  std::mt19937 random(5);
  for (uint8_t &p : gray) p = uint8_t(random());
  for (Kernel kernel : kAllKernels)
    for (int mode : kModes) ExpectMatchesReference(kernel, gray, widthBytes, rows, mode);
}

TEST(ConversionKernels, MatchTheReferenceOnRandomPagesOfEveryShape) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int mode : kModes) {
    // Rows: every count mod 16 and then some. Widths: every count of bitmap bytes mod 32,
    // past 32, so each kernel's full steps and every tail length meet every row.
    for (int rows = 0; rows <= 17; ++rows) {
      for (int widthBytes = 0; widthBytes <= 34; ++widthBytes) {
        std::vector<uint8_t> gray(size_t(widthBytes) * 8 * rows);
        for (uint8_t &p : gray) p = uint8_t(byte(random));
        for (Kernel kernel : KernelsHere())
          ExpectMatchesReference(kernel, gray, widthBytes, rows, mode);
      }
    }
  }
}

// The lowest level the reference calls white at (r, x), found by asking it about every
// level: 0 where nothing is black, 256 where everything is.
int WhiteFrom(int mode, int r, int x) {
  int level = 0;
  while (level < 256 && ReferenceBlack(mode, r, x, uint8_t(level))) ++level;
  return level;
}

TEST(ConversionKernels, MatchTheReferenceAtEveryThresholdBoundary) {
  // 32 rows of 56 pixels: two full 16-row periods of every column, reached by every
  // kernel's steps and tails.
  const int widthBytes = 7, rows = 32, width = widthBytes * 8;
  for (int mode : kModes) {
    // Each pixel at its own threshold, then one level below it: 127/128, 160/161,
    // 4e - 1/4e for the 8x8 entries e, t - 1/t for every 16x16 entry t.
    for (int below : {0, 1}) {
      std::vector<uint8_t> gray(size_t(width) * rows);
      int blackExpected = 0;
      for (int r = 0; r < rows; ++r) {
        for (int x = 0; x < width; ++x) {
          int level = WhiteFrom(mode, r, x) - below;
          level = level < 0 ? 0 : level > 255 ? 255 : level;
          gray[size_t(r) * width + x] = uint8_t(level);
          blackExpected += ReferenceBlack(mode, r, x, uint8_t(level));
        }
      }
      // At the threshold nothing is black; one level below, nearly all is (not the
      // pixels whose threshold is 0).
      if (below) EXPECT_GT(blackExpected, width * rows * 15 / 16) << "mode " << mode;
      else EXPECT_EQ(blackExpected, 0) << "mode " << mode;
      for (Kernel kernel : KernelsHere())
        ExpectMatchesReference(kernel, gray, widthBytes, rows, mode);
    }
  }
}

TEST(ConversionKernels, StreamRowsMatchTheReferenceInverted) {
  // Rows of every length up to 300 pixels: whole bytes and a last byte partly padding,
  // every kernel's steps and tails; the padding must come out white (1 bits).
  std::mt19937 random(7);
  for (int mode : kModes) {
    const Thresholds thresholds = ThresholdsFor(mode);
    for (int width = 1; width <= 300; width += 1 + width / 16) {
      const int widthBytes = (width + 7) / 8, r = width % 16;
      std::vector<uint8_t> padded(size_t(widthBytes) * 8, 255);
      for (int x = 0; x < width; ++x) padded[x] = uint8_t(random());
      // The reference at row r: a page of r + 1 rows whose last row is this one.
      std::vector<uint8_t> page(padded.size() * (r + 1), 255);
      std::copy(padded.begin(), padded.end(), page.end() - padded.size());
      std::vector<uint8_t> expected = ReferenceGray2Bytes(page.data(), widthBytes, r + 1, mode);
      expected.erase(expected.begin(), expected.end() - widthBytes);
      for (uint8_t &b : expected) b = uint8_t(~b);
      for (Kernel kernel : KernelsHere()) {
        std::vector<uint8_t> stream(widthBytes, 0x5A);
        PackStreamRow(std::span(padded).first(width), stream, thresholds[r], kernel);
        ASSERT_EQ(stream, expected) << Name(kernel) << " mode " << mode << ", width " << width;
      }
    }
  }
}

}  // namespace
