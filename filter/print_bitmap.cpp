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
#include "cupsutil/raster_header.h"
#include "filter/log.h"
#include "filter/printer_status.h"

volatile sig_atomic_t g_job_cancelled = 0;

namespace {

// The most gray bytes read and converted at a time: up to 16 rows, or a piece of a row
// wider than that. A page never holds more gray than this, however large it claims to be.
constexpr size_t kStripBytes = 65536;

// The gray bytes one strip of a page holds: 16 narrow rows, fewer wider ones, or a piece
// of a row too wide for the strip. A multiple of 16 pixels unless it is whole rows.
size_t StripBytes(uint32_t bytesPerLine) {
  if (bytesPerLine > kStripBytes) return kStripBytes;
  return std::clamp<size_t>(kStripBytes / bytesPerLine, 1, 16) * bytesPerLine;
}

bool Write(std::span<const uint8_t> bytes) {
  return fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

// Fills `gray` from the raster: whole rows, or a piece of one. The part that can't be
// read stays white, and false says that the raster has no more.
bool ReadGray(cups_raster_t *raster, std::span<uint8_t> gray) {
  memset(gray.data(), 255, gray.size());
  return cupsRasterReadPixels(raster, gray.data(), static_cast<unsigned>(gray.size())) != 0;
}

// The bitmap of a begun page: its rows as the raster gives them, until it has them all,
// a row can't be read (the part of it that came is kept) or the job is cancelled; then
// white for the rows that never came. False when the output could not be written.
bool WriteBitmap(cups_raster_t *raster, label_page_t &label, std::vector<uint8_t> &strip,
                 uint32_t bytesPerLine) {
  bool reading = true;
  while (reading && !g_job_cancelled && label.nextRow < label.height) {
    size_t filled = 0;
    if (bytesPerLine > strip.size()) {
      filled = std::min<size_t>(strip.size(), bytesPerLine - label.nextPixel);
      reading = ReadGray(raster, std::span(strip).first(filled));
    } else {
      const size_t rows = std::min<size_t>(strip.size() / bytesPerLine, label.height - label.nextRow);
      while (reading && filled < rows * bytesPerLine) {
        reading = ReadGray(raster, std::span(strip).subspan(filled, bytesPerLine));
        filled += bytesPerLine;
      }
    }
    if (!Write(label_page_rows(label, std::span(strip).first(filled)))) return false;
  }
  for (auto white = label_page_white(label); !white.empty(); white = label_page_white(label)) {
    if (!Write(white)) return false;
  }
  return true;
}

// The output could not be written: the backend, and with it the printer, is gone.
int WriteFailed(printer_follow_t *follow, int page) {
  if (follow && follow->answers) {
    lost_while_sending(*follow, page);
    return 1;
  }
  fputs("ERROR: Unable to write print data\n", stderr);
  return 1;
}

// Reads the rest of a page that is not sent.
void SkipPage(cups_raster_t *raster, std::vector<uint8_t> &strip, uint32_t bytesPerLine,
              uint32_t height) {
  strip.resize(StripBytes(bytesPerLine));
  const uint64_t total = uint64_t{bytesPerLine} * height;
  for (uint64_t done = 0; done < total;) {
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(strip.size(), total - done));
    if (!ReadGray(raster, std::span(strip).first(piece))) return;
    done += piece;
  }
}

}  // namespace

double label_print_seconds(const label_doc_t &doc, int copies) {
  return doc.labelHeight / (std::max<int>(doc.speed, 1) * 25.4) * std::max(copies, 1);
}

int print_bitmap(const label_doc_t &doc, cups_file_t *file, printer_follow_t *follow) {
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
    const int copies = static_cast<int>(header.NumCopies);
    if (follow && page <= follow->skip) {
      // Printed by an earlier attempt of the job: read and not sent.
      if (IsGray8(header) && label_page_fits(bytesPerLine, height))
        SkipPage(raster.get(), strip, bytesPerLine, height);
      continue;
    }
    // A label followed to the paper is counted once it is out.
    const bool countNow = !follow || !follow->answers;
    if (countNow) fprintf(stderr, "PAGE: %d %d\n", page, copies);

    if (!IsGray8(header)) {
      fprintf(stderr,
              "ERROR: Page %d has an unsupported raster format (%u bits per pixel, color "
              "space %u)\n",
              page, header.cupsBitsPerPixel, ColorSpace(header));
      return 1;
    }
    // A header whose sizes overflow 32 bits is refused before anything is allocated,
    // rather than wrapping round to a small, wrong page.
    if (!label_page_fits(bytesPerLine, height)) {
      fprintf(stderr, "ERROR: Page %d is too large to print (%u bytes per line, %u lines)\n",
              page, bytesPerLine, height);
      return 1;
    }

    // The strip and the bitmap bytes are had before anything of the page is written, so a
    // page that can't be held in memory leaves no half-written label behind.
    std::span<const uint8_t> setup;
    try {
      strip.resize(StripBytes(bytesPerLine));
      setup = begin_label_page(label, doc, bytesPerLine, height, strip.size());
    } catch (const std::bad_alloc &) {
      fputs("ERROR: Unable to allocate memory\n", stderr);
      return 1;
    }

    WriteLog("Gray2Bytes: Enter function\r\n");
    const bool written = Write(setup) && WriteBitmap(raster.get(), label, strip, bytesPerLine);
    WriteLog("Gray2Bytes: Exit function11\r\n");
    if (!written) return WriteFailed(follow, page);

    if (g_job_cancelled) {
      // The printer gets the whole BITMAP it was promised, and no PRINT.
      if (!Write(cancel_label_page(label)) || fflush(stdout) != 0) return WriteFailed(follow, page);
      fprintf(stderr, "DEBUG: Job canceled; page %d was ended without printing it\n", page);
      return 0;
    }
    if (!Write(end_label_page(label, copies)) || fflush(stdout) != 0 || ferror(stdout))
      return WriteFailed(follow, page);
    if (follow && !follow_label(*follow, page, copies, label_print_seconds(doc, copies)))
      return 1;
  }
  return 0;
}
