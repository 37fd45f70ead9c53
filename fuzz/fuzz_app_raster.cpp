// Arbitrary bytes as a PWG raster job sent to the printer application: each page header
// through the app's page checks, its lines read as PAPPL reads a client's stream and
// written through the core writer, the page ended as the app's raster callbacks end it.
// Only crashes, leaks, hangs and undefined behaviour count.

#include <cups/raster.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "printer-app/raster_page.h"

namespace {

struct source_t {
  const uint8_t *data;
  size_t size, offset = 0;
};

ssize_t ReadSource(void *context, unsigned char *buffer, size_t bytes) {
  auto *source = static_cast<source_t *>(context);
  const size_t n = std::min(bytes, source->size - source->offset);
  memcpy(buffer, source->data + source->offset, n);
  source->offset += n;
  return static_cast<ssize_t>(n);
}

struct RasterCloser {
  void operator()(cups_raster_t *raster) const { cupsRasterClose(raster); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  source_t source{data, size};
  std::unique_ptr<cups_raster_t, RasterCloser> raster{cupsRasterOpenIO(ReadSource, &source, CUPS_RASTER_READ)};
  if (!raster) return 0;
  // The printer's settings; the conversion rule from the first byte, so every rule gets
  // its share.
  label_doc_t doc{};
  doc.labelWidth = 50;
  doc.labelHeight = 25;
  doc.mode = static_cast<int16_t>(size ? data[0] % 6 : 5);
  const int dpi = size > 1 && data[1] % 2 ? 300 : 203;
  size_t written = 0;
  const auto write = [&](std::span<const uint8_t> bytes) { written += bytes.size(); };
  cups_page_header2_t header;
  for (unsigned page = 1; page <= 8 && cupsRasterReadHeader2(raster.get(), &header); ++page) {
    std::string message;
    if (CheckRasterPage(header, dpi, page, message) != page_refusal_t::none) break;
    label_page_t label;
    write(BeginRasterPage(label, doc, header));
    std::vector<uint8_t> line(header.cupsBytesPerLine);
    for (unsigned y = 0; y < header.cupsHeight; ++y) {
      if (!cupsRasterReadPixels(raster.get(), line.data(), header.cupsBytesPerLine)) break;
      write(RasterPageLine(label, line.data()));
    }
    if (EndRasterPage(label, false, static_cast<int>(std::max(header.NumCopies, 1u)), write) != page_end_t::printed) break;
  }
  if (written == 1) __builtin_trap();  // keeps `written` alive
  return 0;
}
