#pragma once
// Real CUPS raster streams for tests, written by libcups itself.

#include <cups/raster.h>

#include <cstdint>
#include <string>
#include <vector>

struct TestPage {
  uint32_t bytesPerLine;
  uint32_t height;
  uint32_t copies = 1;
  std::vector<uint8_t> pixels;  // bytesPerLine * height gray levels; may be shorter
  cups_cspace_t colorSpace = CUPS_CSPACE_W;
  uint32_t bitsPerColor = 8, bitsPerPixel = 8;
  uint32_t width = 0;  // pixels a row; 0: bytesPerLine (8-bit pages)
  unsigned dpi = 203;
};

// A page of one gray level everywhere.
TestPage UniformPage(uint32_t bytesPerLine, uint32_t height, uint8_t level, uint32_t copies = 1);

// The raster stream of `pages`, as cupsRasterWriteHeader2/WritePixels produce it. A page
// whose pixels run short gets only the rows it has (a stream cut off mid-page when last).
std::string WriteRaster(const std::vector<TestPage> &pages,
                        cups_mode_t mode = CUPS_RASTER_WRITE);
