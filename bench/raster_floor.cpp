// The floor the whole filter is measured against: reads a raster job from standard
// input with libcups exactly as the filter does (a header, then every row of the page
// with its own cupsRasterReadPixels call) and writes as many bytes as the filter would,
// one write and one flush per page, without converting anything.
//   raster_floor TOTAL_BYTES < job.ras > /dev/null
// Per page it writes the page's bitmap size (widthBytes x cupsHeight bytes); the rest of
// TOTAL_BYTES (the filter's command lines) goes out after the last page.

#include <cups/raster.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cupsutil/cups_handles.h"

int main(int argc, char *argv[]) {
  if (argc != 2) {
    fputs("usage: raster_floor TOTAL_BYTES < job.ras > out\n", stderr);
    return 2;
  }
  const unsigned long long total = strtoull(argv[1], nullptr, 10);

  RasterPtr raster{cupsRasterOpen(0, CUPS_RASTER_READ)};
  if (!raster) return 1;
  unsigned long long written = 0;
  cups_page_header2_t header;
  std::vector<unsigned char> row, out;
  while (cupsRasterReadHeader2(raster.get(), &header) && header.cupsHeight &&
         header.cupsBytesPerLine) {
    row.resize(header.cupsBytesPerLine);
    for (unsigned r = 0; r < header.cupsHeight; ++r)
      if (!cupsRasterReadPixels(raster.get(), row.data(), header.cupsBytesPerLine)) break;
    out.resize(size_t{(header.cupsBytesPerLine + 7) / 8} * header.cupsHeight);
    written += fwrite(out.data(), 1, out.size(), stdout);
    fflush(stdout);
  }
  std::vector<unsigned char> rest(total > written ? total - written : 0);
  written += fwrite(rest.data(), 1, rest.size(), stdout);
  fflush(stdout);
  return written == total ? 0 : 1;
}
