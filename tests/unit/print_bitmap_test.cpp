#include "filter/print_bitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "cupsutil/cups_handles.h"
#include "tests/support/capture.h"
#include "tests/support/label_check.h"
#include "tests/support/label_stream.h"
#include "tests/support/raster.h"

// While set, allocations of this many bytes or more fail, as on a machine out of memory.
static size_t g_failAllocationsFrom = SIZE_MAX;

void *operator new(size_t size) {
  if (size >= g_failAllocationsFrom) throw std::bad_alloc();
  if (void *p = malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void *p) noexcept { free(p); }
void operator delete(void *p, size_t) noexcept { free(p); }

namespace {

const std::string kSetup60x40 = SetupLines(60, 40, 4, 7);

label_doc_t Defaults(int16_t mode = 5) {
  return label_doc_t{4, 7, 0, 60, 40, 0, 0, 0, 0, mode};
}


std::string Block(const std::string &setup, const std::string &bitmapHeader,
                  const std::string &bytes, int copies) {
  return setup + bitmapHeader + bytes + "\r\nPRINT 1," + std::to_string(copies) + "\r\n";
}

TEST(PrintBitmap, WorkedExampleTenPixelsOneRow) {
  TestPage page = UniformPage(10, 1, 255);
  page.pixels[0] = 0;
  for (cups_mode_t mode : {CUPS_RASTER_WRITE, CUPS_RASTER_WRITE_COMPRESSED}) {
    Captured c = RenderRaster(Defaults(0), WriteRaster({page}, mode));
    EXPECT_EQ(c.out, Block(kSetup60x40, "BITMAP 0,0,2,1,1,", "\x7F\xFF", 1));
    EXPECT_EQ(c.err, "PAGE: 1 1\n");
    EXPECT_EQ(c.result, 0);
  }
}

TEST(PrintBitmap, RowPaddingAndPartialBytes) {
  struct Case { uint32_t bytesPerLine; uint8_t level; int16_t mode; std::string rowBytes; } cases[] = {
      {8, 0, 0, std::string(1, '\0')},           // whole byte, no padding
      {10, 0, 0, std::string("\x00\x3F", 2)},  // 6 padding pixels stay white
      {1, 0, 5, "\x7F"},
      {16, 255, 2, "\xFF\xFF"},                // white is white in every mode
      {12, 255, 4, "\xFF\xFF"},
  };
  for (const Case &c : cases) {
    std::string row(c.rowBytes);
    std::string widthBytes = std::to_string(row.size());
    Captured out = RenderRaster(Defaults(c.mode), WriteRaster({UniformPage(c.bytesPerLine, 3, c.level)}));
    EXPECT_EQ(out.out, Block(kSetup60x40, "BITMAP 0,0," + widthBytes + ",3,1,", row + row + row, 1))
        << "bytesPerLine " << c.bytesPerLine;
  }
}

TEST(PrintBitmap, EveryPageIsABlockWithItsOwnCopies) {
  Captured c = RenderRaster(Defaults(0), WriteRaster({UniformPage(8, 1, 0, 3), UniformPage(8, 2, 255, 2)}));
  EXPECT_EQ(c.out, Block(kSetup60x40, "BITMAP 0,0,1,1,1,", std::string(1, '\0'), 3) +
                       Block(kSetup60x40, "BITMAP 0,0,1,2,1,", "\xFF\xFF", 2));
  EXPECT_EQ(c.err, "PAGE: 1 3\nPAGE: 2 2\n");
}

TEST(PrintBitmap, RecordValuesReachTheStream) {
  label_doc_t doc{-3, 15, 2, 102, 330, 0, 0, -12, 32767, 0};  // media tracking 2: continuous
  Captured c = RenderRaster(doc, WriteRaster({UniformPage(8, 1, 0)}));
  const std::string setup =
      "SIZE 102mm,330mm\r\nGAP 0.000,0.000\r\nSPEED -3\r\nDENSITY 15\r\nDIRECTION 0,0\r\n"
      "REFERENCE 0,0\r\nOFFSET 0.000\r\nSHIFT 0\r\nSET PEEL OFF\r\nSET CUTTER OFF\r\n"
      "SET PARTIAL_CUTTER OFF\r\nSET TEAR ON\r\nCLS\r\n";
  EXPECT_EQ(c.out, Block(setup, "BITMAP -12,32767,1,1,1,", std::string(1, '\0'), 1));
}

TEST(PrintBitmap, LongBitmapHeaderIsWrittenWhole) {
  // 32 characters: a header cut at 31 would leave the printer reading garbage.
  label_doc_t doc = Defaults(5);
  doc.horizontal = -32768;
  doc.vertical = -32768;
  Captured c = RenderRaster(doc, WriteRaster({UniformPage(80000, 10, 255)}));
  const std::string header = "BITMAP -32768,-32768,10000,10,1,";
  ASSERT_EQ(c.out.size(), kSetup60x40.size() + header.size() + 100000 + 2 + 11);
  EXPECT_EQ(c.out.substr(kSetup60x40.size(), header.size()), header);
  EXPECT_EQ(c.out.substr(c.out.size() - 15), "\xFF\xFF\r\nPRINT 1,1\r\n");
}

TEST(PrintBitmap, StreamsThatEndThePageLoop) {
  const std::string one = WriteRaster({UniformPage(8, 1, 0)});
  const std::string cut = WriteRaster({UniformPage(8, 4, 0)});
  struct Case { const char *name; std::string raster; int pages; std::string lastBitmap; } cases[] = {
      {"empty input", "", 0, ""},
      {"not a raster", "%PDF-1.4 hello", 0, ""},
      {"sync word only", one.substr(0, 4), 0, ""},
      {"cut inside the header", one.substr(0, 100), 0, ""},
      // Rows that never came stay white, and the page still goes out whole.
      {"cut after two rows", cut.substr(0, cut.size() - 16), 1, std::string("\0\0\xFF\xFF", 4)},
      // The pixels of a row cut short are kept; the rest of it is white.
      {"cut inside a row", cut.substr(0, cut.size() - 12), 1, std::string("\0\0\x0F\xFF", 4)},
      {"zero height ends the job",
       WriteRaster({UniformPage(8, 1, 0), UniformPage(8, 0, 0), UniformPage(8, 1, 0)}), 1,
       std::string(1, '\0')},
      {"zero width ends the job", WriteRaster({UniformPage(0, 5, 0), UniformPage(8, 1, 0)}), 0, ""},
  };
  for (const Case &c : cases) {
    Captured out = RenderRaster(Defaults(0), c.raster);
    EXPECT_EQ(out.result, 0) << c.name;
    if (c.pages == 0) {
      EXPECT_EQ(out.out, "") << c.name;
      EXPECT_EQ(out.err, "") << c.name;
    } else {
      std::string rows = std::to_string(c.lastBitmap.size());
      EXPECT_EQ(out.out, Block(kSetup60x40, "BITMAP 0,0,1," + rows + ",1,", c.lastBitmap, 1)) << c.name;
      EXPECT_EQ(out.err, "PAGE: 1 1\n") << c.name;
    }
  }
}

TEST(PrintBitmap, PagesTooLargeForThirtyTwoBitsAreRefused) {
  struct Case { uint32_t bytesPerLine, height; } cases[] = {
      // (libcups itself rejects a header whose cupsBytesPerLine + 7 would wrap.)
      {0x1FFFFFFFu, 9},   // stride 2^29, 9 rows
      {65536, 65536},     // stride x height = 2^32
      {8, 0x20000000u},   // 8 x 2^29 = 2^32
  };
  const std::string first = WriteRaster({UniformPage(8, 1, 0)});
  for (const Case &c : cases) {
    // A header only: the refusal must come before any row is read or allocated.
    TestPage huge{c.bytesPerLine, c.height, 1, {}};
    std::string raster = first + WriteRaster({huge}).substr(4);
    Captured out = RenderRaster(Defaults(0), raster);
    EXPECT_EQ(out.result, 1) << c.bytesPerLine << "x" << c.height;
    EXPECT_EQ(out.out, Block(kSetup60x40, "BITMAP 0,0,1,1,1,", std::string(1, '\0'), 1));
    EXPECT_EQ(out.err.substr(0, 28), "PAGE: 1 1\nPAGE: 2 1\nERROR: P");
    EXPECT_NE(out.err.find("too large"), std::string::npos) << out.err;
  }
}

TEST(PrintBitmap, OnlyEightBitGrayPagesArePrinted) {
  struct Case { cups_cspace_t space; uint32_t bitsPerColor, bitsPerPixel, bytesPerLine; bool printed; } cases[] = {
      {CUPS_CSPACE_W, 8, 8, 8, true},
      {CUPS_CSPACE_SW, 8, 8, 8, true},
      {CUPS_CSPACE_RGB, 8, 24, 24, false},
      {CUPS_CSPACE_K, 8, 8, 8, false},  // 0 is white there: it would print inverted
      {CUPS_CSPACE_K, 1, 1, 1, false},
      {CUPS_CSPACE_W, 1, 1, 1, false},
      {CUPS_CSPACE_W, 16, 16, 16, false},
      {CUPS_CSPACE_CMYK, 8, 32, 32, false},
  };
  const std::string first = WriteRaster({UniformPage(8, 1, 0)});
  for (const Case &c : cases) {
    TestPage page = UniformPage(c.bytesPerLine, 2, 0);
    page.colorSpace = c.space;
    page.bitsPerColor = c.bitsPerColor;
    page.bitsPerPixel = c.bitsPerPixel;
    Captured out = RenderRaster(Defaults(0), first + WriteRaster({page}).substr(4));
    const std::string firstBlock = Block(kSetup60x40, "BITMAP 0,0,1,1,1,", std::string(1, '\0'), 1);
    if (c.printed) {
      EXPECT_EQ(out.result, 0) << c.space;
      EXPECT_EQ(out.out, firstBlock + Block(kSetup60x40, "BITMAP 0,0,1,2,1,", std::string(2, '\0'), 1));
      continue;
    }
    // Refused after its PAGE line, with nothing of it written; the page before stays.
    EXPECT_EQ(out.result, 1) << c.space;
    EXPECT_EQ(out.out, firstBlock) << c.space;
    EXPECT_EQ(out.err, "PAGE: 1 1\nPAGE: 2 1\nERROR: Page 2 has an unsupported raster format (" +
                           std::to_string(c.bitsPerPixel) + " bits per pixel, color space " +
                           std::to_string(c.space) + ")\n");
  }
}

TEST(PrintBitmap, PageThatCantBeHeldEndsTheJobWithAnError) {
  // The second page's strip (16 rows of 4000 gray bytes) can't be had: its PAGE line is
  // written, then the error, and nothing of it; the page before stays whole.
  const std::string raster = WriteRaster({UniformPage(8, 1, 0), UniformPage(4000, 20, 0)});
  Captured c = RenderRaster(Defaults(0), raster, [] { g_failAllocationsFrom = 32000; },
                            [] { g_failAllocationsFrom = SIZE_MAX; });
  EXPECT_EQ(c.result, 1);
  EXPECT_EQ(c.out, Block(kSetup60x40, "BITMAP 0,0,1,1,1,", std::string(1, '\0'), 1));
  EXPECT_EQ(c.err, "PAGE: 1 1\nPAGE: 2 1\nERROR: Unable to allocate memory\n");
}

TEST(PrintBitmap, RowsWiderThanAStripGoInPieces) {
  // 70001 pixels a row: pieces of 65536 and 4465, the last byte partly padding. Cut
  // inside the second row's second piece, the rest of that row and the third are white.
  const TestPage page = NoisePage(70001, 3, 11);
  const std::string raster = WriteRaster({page});
  for (size_t cut : {size_t{0}, size_t{70001 + 66000}}) {
    TestPage sent = page;
    if (cut) sent.pixels.resize(cut);
    Captured c = RenderRaster(Defaults(4), cut ? raster.substr(0, raster.size() - (3 * 70001 - cut)) : raster);
    std::vector<uint8_t> expected = ExpectedStreamBits(sent, 4);
    EXPECT_EQ(c.out, Block(kSetup60x40, "BITMAP 0,0,8751,3,1,",
                           std::string(expected.begin(), expected.end()), 1)) << cut;
  }
}

}  // namespace
