#pragma once
// A raster page as the app's raster callbacks print it through the core writer: the
// checks a page's header must pass, and the page's label commands a piece at a time.
// No PAPPL here, so the fuzzers drive the same steps with pages of any header.

#include <cups/raster.h>

#include <cstdint>
#include <span>
#include <string>

#include "core/label_doc.h"
#include "core/label_writer.h"

enum class page_refusal_t {
  none,
  format,       // not 8-bit gray: the printer takes nothing else
  unprintable,  // empty, or larger than the head
};

// Whether page `page` with `header` can be printed at `dpi`; `message` says why not.
page_refusal_t CheckRasterPage(const cups_page_header2_t &header, int dpi, unsigned page,
                               std::string &message);

// The setup commands and BITMAP header of a page that passed the checks.
std::span<const uint8_t> BeginRasterPage(label_page_t &label, const label_doc_t &doc,
                                         const cups_page_header2_t &header);

// One line of cupsBytesPerLine gray pixels; nothing for lines beyond the page's height.
std::span<const uint8_t> RasterPageLine(label_page_t &label, const uint8_t *line);

enum class page_end_t { printed, canceled, incomplete };

// Ends the page: the rows never given as white (the printer gets the whole bitmap it
// was promised), then PRINT with `copies` for a complete page, or no PRINT for a
// cancelled page or one cut short. Each piece goes to `write`.
template <typename Write>
page_end_t EndRasterPage(label_page_t &label, bool canceled, int copies, Write &&write) {
  const bool complete = label.nextRow == label.height;
  for (auto white = label_page_white(label); !white.empty(); white = label_page_white(label)) write(white);
  if (canceled || !complete) {
    write(cancel_label_page(label));
    return canceled ? page_end_t::canceled : page_end_t::incomplete;
  }
  write(end_label_page(label, copies));
  return page_end_t::printed;
}
