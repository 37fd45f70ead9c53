#include "filter/print_bitmap.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <span>
#include <vector>

#include "core/label_writer.h"
#include "cupsutil/cups_handles.h"
#include "filter/log.h"

volatile sig_atomic_t g_job_cancelled = 0;

namespace {

// Rows read and converted at a time: enough to keep the cost of a call out of the
// profile, few enough that a page never holds much more than 64 KiB of gray, however
// tall it claims to be.
uint32_t StripRows(uint32_t bytesPerLine) {
  return std::clamp<uint32_t>(65536 / bytesPerLine, 1, 16);
}

bool Write(std::span<const uint8_t> bytes) {
  return fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

// The pages this filter can print: one gray byte per pixel, 0 black.
bool IsGray8(const cups_page_header2_t &header) {
  return header.cupsBitsPerColor == 8 && header.cupsBitsPerPixel == 8 &&
         (header.cupsColorSpace == CUPS_CSPACE_W || header.cupsColorSpace == CUPS_CSPACE_SW);
}

// The bitmap of a begun page: its rows as the raster gives them, until it has them all,
// a row can't be read (the part of it that came is kept) or the job is cancelled; then
// white for the rows that never came. False when the output could not be written.
bool WriteBitmap(cups_raster_t *raster, label_page_t &label, std::vector<uint8_t> &strip,
                 uint32_t bytesPerLine) {
  bool reading = true;
  while (reading && !g_job_cancelled && label.nextRow < label.height) {
    const uint32_t rows = std::min(label.maxRows, label.height - label.nextRow);
    memset(strip.data(), 255, size_t{rows} * bytesPerLine);
    uint32_t got = 0;
    while (got < rows) {
      const bool read = cupsRasterReadPixels(raster, strip.data() + size_t{got} * bytesPerLine,
                                             bytesPerLine) != 0;
      ++got;
      if (!read) {
        reading = false;
        break;
      }
    }
    if (!Write(label_page_rows(label, std::span(strip).first(size_t{got} * bytesPerLine))))
      return false;
  }
  for (auto white = label_page_white(label); !white.empty(); white = label_page_white(label)) {
    if (!Write(white)) return false;
  }
  return true;
}

int WriteFailed() {
  fputs("ERROR: Unable to write print data\n", stderr);
  return 1;
}

}  // namespace

int print_bitmap(const label_doc_t &doc, cups_file_t *file) {
  RasterPtr raster{cupsRasterOpen(cupsFileNumber(file), CUPS_RASTER_READ)};
  if (!raster) return 0;

  int page = 0;
  cups_page_header2_t header;
  label_page_t label;
  std::vector<uint8_t> strip;
  while (!g_job_cancelled && cupsRasterReadHeader2(raster.get(), &header)) {
    const uint32_t bytesPerLine = header.cupsBytesPerLine;
    const uint32_t height = header.cupsHeight;
    if (height == 0 || bytesPerLine == 0 || g_job_cancelled) break;

    ++page;
    fprintf(stderr, "PAGE: %d %d\n", page, static_cast<int>(header.NumCopies));

    if (!IsGray8(header)) {
      fprintf(stderr,
              "ERROR: Page %d has an unsupported raster format (%u bits per pixel, color "
              "space %u)\n",
              page, header.cupsBitsPerPixel, static_cast<unsigned>(header.cupsColorSpace));
      return 1;
    }
    // A header whose sizes overflow 32 bits is refused before anything is allocated,
    // rather than wrapping round to a small, wrong page.
    if (!label_page_fits(bytesPerLine, height)) {
      fprintf(stderr, "ERROR: Page %d is too large to print (%u bytes per line, %u lines)\n",
              page, bytesPerLine, height);
      return 1;
    }

    // The row buffers are had before anything of the page is written, so a page that
    // can't be held in memory leaves no half-written label behind.
    std::span<const uint8_t> setup;
    try {
      const uint32_t stripRows = StripRows(bytesPerLine);
      strip.resize(size_t{stripRows} * bytesPerLine);
      setup = begin_label_page(label, doc, bytesPerLine, height, stripRows);
    } catch (const std::bad_alloc &) {
      fputs("ERROR: Unable to allocate memory\n", stderr);
      return 1;
    }

    WriteLog("Gray2Bytes: Enter function\r\n");
    const bool written = Write(setup) && WriteBitmap(raster.get(), label, strip, bytesPerLine);
    WriteLog("Gray2Bytes: Exit function11\r\n");
    if (!written) return WriteFailed();

    if (g_job_cancelled) {
      // The printer gets the whole BITMAP it was promised, and no PRINT.
      if (!Write(cancel_label_page(label)) || fflush(stdout) != 0) return WriteFailed();
      fprintf(stderr, "DEBUG: Job canceled; page %d was ended without printing it\n", page);
      return 0;
    }
    if (!Write(end_label_page(label, static_cast<int>(header.NumCopies))) ||
        fflush(stdout) != 0 || ferror(stdout))
      return WriteFailed();
  }
  return 0;
}
