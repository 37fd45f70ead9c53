#pragma once
// The label command stream, one page at a time and row by row: a page is begun with the
// job's settings and the bitmap's size (the setup commands and the BITMAP header), fed
// its gray rows in order, completed with white for the rows it never got, and ended with
// PRINT (or, when the job was cancelled, without). Knows nothing of CUPS or of where the
// bytes go: every call gives back the bytes to write next, valid until the next call.

#include <cstdint>
#include <span>
#include <vector>

#include "core/gray2bytes.h"
#include "core/label_doc.h"

struct label_page_t {
  Thresholds thresholds;        // the job's conversion rule
  Kernel kernel;
  uint32_t width;               // gray pixels per row
  uint32_t widthBytes;          // bytes per bitmap row: (width + 7) / 8
  uint32_t height;              // rows announced in the BITMAP header
  uint32_t nextRow;             // the row of the next pixel given: its dither position
  uint32_t nextPixel;           // the column of the next pixel given
  uint64_t bytesLeft;           // bitmap bytes still owed
  size_t maxPixels;             // pixels one call of label_page_rows takes at most
  std::vector<uint8_t> bytes;   // what the last call gave back
};

// Whether a page of `width` gray pixels by `height` rows can be announced: its bitmap row
// (width + 7) / 8 bytes and its gray size with rows padded to whole bytes must fit in
// 32 bits. A page that does not is refused before anything of it is written.
bool label_page_fits(uint32_t width, uint32_t height);

// Begins a page of `width` x `height` (both > 0, label_page_fits) for pixels given up to
// `maxPixels` at a time (at least 16). Gives back the label's setup commands with `doc`'s
// values and the BITMAP header, which the bitmap bytes follow directly. Throws
// std::bad_alloc when the memory for the pixels can't be had; nothing of the page is given
// back then.
std::span<const uint8_t> begin_label_page(label_page_t &page, const label_doc_t &doc,
                                          uint32_t width, uint32_t height, size_t maxPixels,
                                          Kernel kernel = FastestKernel());

// The next gray pixels of the page (0 black, 255 white), row after row from where the
// last call ended, and their bitmap bytes: whole rows, or a row too wide to hold at once
// in pieces that end at a multiple of 16 pixels or at the row's end. At most maxPixels,
// and no more than the page still owes. Every pixel is converted at its own row and
// column, so the dither runs on across calls.
std::span<const uint8_t> label_page_rows(label_page_t &page, std::span<const uint8_t> gray);

// The bitmap bytes of the rows never given, white, a piece at a time: empty once the
// bitmap is complete. Needs no memory of its own, however many rows are owed.
std::span<const uint8_t> label_page_white(label_page_t &page);

// Ends a page whose bitmap is complete: the CR LF after the bitmap and "PRINT 1,copies".
std::span<const uint8_t> end_label_page(label_page_t &page, int copies);

// Ends a page of a cancelled job whose bitmap is complete: the CR LF after the bitmap and
// no PRINT, so the printer reads a whole command and prints nothing of the page.
std::span<const uint8_t> cancel_label_page(label_page_t &page);
