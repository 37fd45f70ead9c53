#include "printer-app/raster_page.h"

#include <algorithm>
#include <cstdio>

#include "cupsutil/raster_header.h"
#include "printer-app/label_settings.h"

namespace {

// The largest page the head can print, in dots: the custom range's maximum, and a few
// dots for a client's rounding.
bool FitsHead(const cups_page_header2_t &header, int dpi) {
  const auto dots = [dpi](int points) { return static_cast<unsigned>(points * dpi / 72 + 8); };
  return header.cupsWidth <= dots(kCustomMaxPoints.width) &&
         header.cupsHeight <= dots(kCustomMaxPoints.height);
}

}  // namespace

page_refusal_t CheckRasterPage(const cups_page_header2_t &header, int dpi, unsigned page,
                               std::string &message) {
  char text[256];
  // One byte a pixel and nothing more: the label's width is the line's bytes.
  if (!IsGray8(header) || header.cupsBytesPerLine != header.cupsWidth) {
    snprintf(text, sizeof text, "Page %u is not 8-bit gray raster, which is all the printer takes", page);
    message = text;
    return page_refusal_t::format;
  }
  if (header.cupsWidth == 0 || header.cupsHeight == 0 ||
      !label_page_fits(header.cupsBytesPerLine, header.cupsHeight) || !FitsHead(header, dpi)) {
    snprintf(text, sizeof text, "Page %u is too large to print (%u x %u dots)", page, header.cupsWidth,
             header.cupsHeight);
    message = text;
    return page_refusal_t::unprintable;
  }
  return page_refusal_t::none;
}

std::span<const uint8_t> BeginRasterPage(label_page_t &label, const label_doc_t &doc,
                                         const cups_page_header2_t &header) {
  // PAPPL hands over one line at a time: the most pixels a call converts (the writer
  // takes pieces of at least 16).
  return begin_label_page(label, doc, header.cupsBytesPerLine, header.cupsHeight,
                          std::max<size_t>(header.cupsBytesPerLine, 16));
}

std::span<const uint8_t> RasterPageLine(label_page_t &label, const uint8_t *line) {
  if (label.nextRow >= label.height) return {};
  return label_page_rows(label, std::span(line, label.width));
}
