#include "tests/support/raster.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

TestPage UniformPage(uint32_t bytesPerLine, uint32_t height, uint8_t level, uint32_t copies) {
  return TestPage{bytesPerLine, height, copies,
                  std::vector<uint8_t>(size_t{bytesPerLine} * height, level)};
}

std::string WriteRaster(const std::vector<TestPage> &pages, cups_mode_t mode) {
  FILE *tmp = tmpfile();
  if (!tmp) throw std::runtime_error("tmpfile");
  cups_raster_t *raster = cupsRasterOpen(fileno(tmp), mode);
  if (!raster) throw std::runtime_error("cupsRasterOpen");
  for (const TestPage &page : pages) {
    cups_page_header2_t header;
    memset(&header, 0, sizeof header);
    header.cupsWidth = page.width ? page.width : page.bytesPerLine;
    header.cupsHeight = page.height;
    header.cupsBytesPerLine = page.bytesPerLine;
    header.cupsBitsPerColor = page.bitsPerColor;
    header.cupsBitsPerPixel = page.bitsPerPixel;
    header.cupsColorSpace = page.colorSpace;
    header.cupsColorOrder = CUPS_ORDER_CHUNKED;
    header.HWResolution[0] = header.HWResolution[1] = page.dpi;
    header.PageSize[0] = header.cupsWidth * 72 / page.dpi;
    header.PageSize[1] = page.height * 72 / page.dpi;
    header.NumCopies = page.copies;
    cupsRasterWriteHeader2(raster, &header);
    const size_t rows = page.bytesPerLine ? page.pixels.size() / page.bytesPerLine : 0;
    for (size_t r = 0; r < rows && r < page.height; ++r) {
      cupsRasterWritePixels(raster, const_cast<unsigned char *>(&page.pixels[r * page.bytesPerLine]),
                            page.bytesPerLine);
    }
  }
  cupsRasterClose(raster);
  std::string bytes;
  rewind(tmp);
  char chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, tmp)) > 0) bytes.append(chunk, n);
  fclose(tmp);
  return bytes;
}
