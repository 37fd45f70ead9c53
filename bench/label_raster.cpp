// Writes a job of synthetic labels as a compressed CUPS raster on standard output, the
// way CUPS's own raster filters write theirs (CUPS_RASTER_WRITE_COMPRESSED).
//   label_raster [--pwg] PAGES WIDTH HEIGHT [ROWS] > job.ras
// With ROWS, each page's header claims WIDTH x HEIGHT but only its first ROWS rows follow
// (ROWS 0: the header alone): a raster that lies about its page. With --pwg the stream is
// PWG raster, as driverless clients send it.

#include <cups/raster.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/label_page.h"
#include "cupsutil/cups_handles.h"

int main(int argc, char *argv[]) {
  const bool pwg = argc > 1 && strcmp(argv[1], "--pwg") == 0;
  if (pwg) {
    --argc;
    ++argv;
  }
  if (argc != 4 && argc != 5) {
    fputs("usage: label_raster [--pwg] PAGES WIDTH HEIGHT [ROWS] > job.ras\n", stderr);
    return 2;
  }
  const int pages = atoi(argv[1]), width = atoi(argv[2]), height = atoi(argv[3]);
  const int rows = argc == 5 ? std::clamp(atoi(argv[4]), 0, height) : height;
  if (pages <= 0 || width < 100 || height < 100) {
    fputs("label_raster: PAGES must be positive, WIDTH and HEIGHT at least 100\n", stderr);
    return 2;
  }

  RasterPtr raster{cupsRasterOpen(1, pwg ? CUPS_RASTER_WRITE_PWG : CUPS_RASTER_WRITE_COMPRESSED)};
  if (!raster) {
    fputs("label_raster: can't open the raster stream\n", stderr);
    return 1;
  }
  for (int n = 0; n < pages; ++n) {
    cups_page_header2_t header;
    memset(&header, 0, sizeof header);
    header.cupsWidth = header.cupsBytesPerLine = static_cast<unsigned>(width);
    header.cupsHeight = static_cast<unsigned>(height);
    header.cupsBitsPerColor = header.cupsBitsPerPixel = 8;
    header.cupsColorSpace = CUPS_CSPACE_W;
    header.cupsColorOrder = CUPS_ORDER_CHUNKED;
    header.HWResolution[0] = header.HWResolution[1] = 203;
    header.PageSize[0] = static_cast<unsigned>(width * 72 / 203);
    header.PageSize[1] = static_cast<unsigned>(height * 72 / 203);
    header.NumCopies = 1;
    std::vector<uint8_t> page = rows ? LabelPage(width, std::max(rows, 100), width,
                                                 static_cast<uint32_t>(n))
                                     : std::vector<uint8_t>();
    page.resize(size_t(width) * rows);
    if (!cupsRasterWriteHeader2(raster.get(), &header) ||
        (rows && !cupsRasterWritePixels(raster.get(), page.data(),
                                        static_cast<unsigned>(page.size())))) {
      fputs("label_raster: write failed\n", stderr);
      return 1;
    }
  }
  return 0;
}
