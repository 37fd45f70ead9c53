#include "core/label_writer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::span<const uint8_t> Give(label_page_t &page, const char *text, int length) {
  assert(length >= 0);
  page.bytes.assign(text, text + length);
  return page.bytes;
}

// Hundredths of a millimetre as inches with three decimals, rounded half away from zero
// (3 mm is "0.118", 3.05 mm "0.120", -1 mm "-0.039"); a length that rounds to nothing is
// "0.000", never "-0.000".
std::string Inches(int hundredths) {
  const int thousandths = (std::abs(hundredths) * 100 + 127) / 254;
  char text[16];
  snprintf(text, sizeof text, "%s%d.%03d", hundredths < 0 && thousandths ? "-" : "",
           thousandths / 1000, thousandths % 1000);
  return text;
}

// The sensor line: GAP for gap stock (and for a tracking that is none of the three),
// BLINE for black marks, and a gap of nothing for continuous stock.
std::string SensorLine(const label_doc_t &doc) {
  if (doc.mediaTracking == kTrackingContinuous) return "GAP 0.000,0.000";
  return std::string(doc.mediaTracking == kTrackingMark ? "BLINE " : "GAP ") +
         Inches(doc.gapHeight) + "," + Inches(doc.gapOffset);
}

const char *DirectionArgs(int16_t direction) {
  switch (direction) {
    case kDirectionUpsideDown: return "1,0";
    case kDirectionMirrored: return "0,1";
    default: return "0,0";
  }
}

// The SET CUTTER value: OFF unless the label mode cuts, then after every N labels (at
// least every label) or once at the end of the job.
std::string CutterArgs(const label_doc_t &doc) {
  if (doc.labelMode == kCutterDelayed) return "BATCH";
  if (doc.labelMode != kCutter) return "OFF";
  return std::to_string(std::max<int>(doc.cutInterval, 1));
}

// Tear-off is the mode of every label mode that is not one of the others.
bool TearsOff(const label_doc_t &doc) {
  return doc.labelMode != kPeelOff && doc.labelMode != kCutter && doc.labelMode != kCutterDelayed;
}

}  // namespace

bool label_page_fits(uint32_t width, uint32_t height) {
  const uint64_t widthBytes = (uint64_t{width} + 7) >> 3;
  return widthBytes * 8 <= UINT32_MAX && widthBytes * 8 * height <= UINT32_MAX;
}

std::span<const uint8_t> begin_label_page(label_page_t &page, const label_doc_t &doc,
                                          uint32_t width, uint32_t height, size_t maxPixels,
                                          Kernel kernel) {
  assert(width > 0 && height > 0 && maxPixels >= 16 && label_page_fits(width, height));
  page.thresholds = ThresholdsFor(doc.mode);
  page.kernel = kernel;
  page.width = width;
  page.widthBytes = (width + 7) >> 3;
  page.height = height;
  page.nextRow = 0;
  page.nextPixel = 0;
  page.bytesLeft = uint64_t{page.widthBytes} * height;
  page.maxPixels = maxPixels;
  // Room for the bytes of the most pixels a call takes (each row's last byte may be
  // partly padding), had now so that a page that can't be held fails before any of it is
  // written.
  page.bytes.reserve(std::max<size_t>(maxPixels / 8 + maxPixels / width + 2, 512));

  char text[512];
  const int length = snprintf(
      text, sizeof text,
      "SIZE %dmm,%dmm\r\n"
      "%s\r\n"
      "SPEED %d\r\n"
      "DENSITY %d\r\n"
      "DIRECTION %s\r\n"
      "REFERENCE %d,%d\r\n"
      "OFFSET %s\r\n"
      "SHIFT %d\r\n"
      "SET PEEL %s\r\n"
      "SET CUTTER %s\r\n"
      "SET PARTIAL_CUTTER OFF\r\n"
      "SET TEAR %s\r\n"
      "CLS\r\n"
      "BITMAP %d,%d,%d,%d,1,",
      doc.labelWidth, doc.labelHeight, SensorLine(doc).c_str(), doc.speed, doc.darkness,
      DirectionArgs(doc.direction), doc.referenceX, doc.referenceY,
      Inches(doc.tearOffset).c_str(), doc.shift, doc.labelMode == kPeelOff ? "ON" : "OFF",
      CutterArgs(doc).c_str(), TearsOff(doc) ? "ON" : "OFF", doc.horizontal,
      doc.vertical, static_cast<int>(page.widthBytes), static_cast<int>(height));
  return Give(page, text, length);
}

std::span<const uint8_t> label_page_rows(label_page_t &page, std::span<const uint8_t> gray) {
  assert(gray.size() <= page.maxPixels);
  page.bytes.clear();
  while (!gray.empty()) {
    assert(page.nextRow < page.height);
    const size_t pixels = std::min<size_t>(gray.size(), page.width - page.nextPixel);
    assert(pixels % 16 == 0 || page.nextPixel + pixels == page.width);
    const size_t at = page.bytes.size(), bytes = (pixels + 7) / 8;
    page.bytes.resize(at + bytes);
    PackStreamRow(gray.first(pixels), std::span(page.bytes).subspan(at, bytes),
                  page.thresholds[page.nextRow % 16], page.kernel);
    gray = gray.subspan(pixels);
    page.nextPixel += static_cast<uint32_t>(pixels);
    if (page.nextPixel == page.width) {
      page.nextPixel = 0;
      ++page.nextRow;
    }
  }
  assert(page.bytes.size() <= page.bytesLeft);
  page.bytesLeft -= page.bytes.size();
  return page.bytes;
}

std::span<const uint8_t> label_page_white(label_page_t &page) {
  static const std::array<uint8_t, 65536> white = [] {
    std::array<uint8_t, 65536> bytes;
    bytes.fill(0xFF);
    return bytes;
  }();
  const size_t piece = static_cast<size_t>(std::min<uint64_t>(white.size(), page.bytesLeft));
  page.bytesLeft -= piece;
  return std::span(white).first(piece);
}

std::span<const uint8_t> end_label_page(label_page_t &page, int copies) {
  assert(page.bytesLeft == 0);
  char text[32];
  return Give(page, text, snprintf(text, sizeof text, "\r\nPRINT 1,%d\r\n", copies));
}

std::span<const uint8_t> cancel_label_page(label_page_t &page) {
  assert(page.bytesLeft == 0);
  return Give(page, "\r\n", 2);
}
