#include "render/print_bitmap.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "filter/cups_handles.h"
#include "render/gray2bytes.h"

namespace {

using PageBuffer = std::unique_ptr<uint8_t[]>;

// Writes items 1 to 13 of a label block: the label's setup, ending with CLS.
void WriteSetup(const label_doc_t &doc) {
  printf("SIZE %dmm,%dmm\r\n"
         "GAP 0.120,0.000\r\n"
         "SPEED %d\r\n"
         "DENSITY %d\r\n"
         "DIRECTION 0,0\r\n"
         "REFERENCE %d,%d\r\n"
         "OFFSET 0.000\r\n"
         "SHIFT 0\r\n"
         "SET PEEL OFF\r\n"
         "SET CUTTER OFF\r\n"
         "SET PARTIAL_CUTTER OFF\r\n"
         "SET TEAR ON\r\n"
         "CLS\r\n",
         doc.labelWidth, doc.labelHeight, doc.speed, doc.darkness, doc.referenceX,
         doc.referenceY);
}

// Inverts every byte: in the stream a 0 bit prints a dot, the bitmap has black set. A
// word at a time, as a byte loop over a whole page shows up in the profile.
void Invert(uint8_t *bytes, size_t size) {
  size_t i = 0;
  for (; i + sizeof(uint64_t) <= size; i += sizeof(uint64_t)) {
    uint64_t word;
    memcpy(&word, bytes + i, sizeof word);
    word = ~word;
    memcpy(bytes + i, &word, sizeof word);
  }
  for (; i < size; ++i) bytes[i] = static_cast<uint8_t>(~bytes[i]);
}

}  // namespace

int print_bitmap(const label_doc_t &doc, cups_file_t *file) {
  RasterPtr raster{cupsRasterOpen(cupsFileNumber(file), CUPS_RASTER_READ)};
  if (!raster) return 0;

  int page = 0;
  cups_page_header2_t header;
  while (cupsRasterReadHeader2(raster.get(), &header)) {
    const uint32_t bytesPerLine = header.cupsBytesPerLine;
    const uint32_t height = header.cupsHeight;
    if (height == 0 || bytesPerLine == 0) break;

    ++page;
    fprintf(stderr, "PAGE: %d %d\n", page, static_cast<int>(header.NumCopies));

    // Every size below must fit 32 bits: a header that claims more is refused before
    // anything is allocated, rather than wrapping round to a small, wrong buffer.
    const uint64_t roundedWidth = uint64_t{bytesPerLine} + 7;
    const uint64_t widthBytes = roundedWidth >> 3;
    const uint64_t stride = widthBytes * 8;
    if (roundedWidth > UINT32_MAX || stride * height > UINT32_MAX) {
      fprintf(stderr, "ERROR: Page %d is too large to print (%u bytes per line, %u lines)\n",
              page, bytesPerLine, height);
      return 1;
    }

    // Both buffers are had before anything of the page is written, so a page that
    // can't be held in memory leaves no half-written label behind.
    PageBuffer gray{new (std::nothrow) uint8_t[stride * height]};
    PageBuffer bits{new (std::nothrow) uint8_t[widthBytes * height]};
    if (!gray || !bits) {
      fputs("ERROR: Unable to allocate memory\n", stderr);
      return 1;
    }
    memset(gray.get(), 255, stride * height);
    memset(bits.get(), 0, widthBytes * height);

    // A short raster ends the reading; the rows not read stay white.
    for (uint32_t r = 0; r < height; ++r) {
      if (!cupsRasterReadPixels(raster.get(), gray.get() + r * stride, bytesPerLine)) break;
    }

    WriteSetup(doc);
    Gray2Bytes(gray.get(), bits.get(), static_cast<int>(widthBytes), static_cast<int>(height),
               doc.mode);

    const size_t bitmapSize = widthBytes * height;
    Invert(bits.get(), bitmapSize);
    printf("BITMAP %d,%d,%d,%d,1,", doc.horizontal, doc.vertical, static_cast<int>(widthBytes),
           static_cast<int>(height));
    fwrite(bits.get(), 1, bitmapSize, stdout);
    printf("\r\nPRINT 1,%d\r\n", static_cast<int>(header.NumCopies));

    if (fflush(stdout) != 0 || ferror(stdout)) {
      fputs("ERROR: Unable to write print data\n", stderr);
      return 1;
    }
  }
  return 0;
}
