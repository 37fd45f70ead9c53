#include "core/label_writer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdio>

namespace {

std::span<const uint8_t> Give(label_page_t &page, const char *text, int length) {
  assert(length >= 0);
  page.bytes.assign(text, text + length);
  return page.bytes;
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
      "CLS\r\n"
      "BITMAP %d,%d,%d,%d,1,",
      doc.labelWidth, doc.labelHeight, doc.speed, doc.darkness, doc.referenceX,
      doc.referenceY, doc.horizontal, doc.vertical, static_cast<int>(page.widthBytes),
      static_cast<int>(height));
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
