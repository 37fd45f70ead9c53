#include "picture/label_image.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The rows of the bitmap that the stream actually holds.
int64_t BitmapRows(const StreamLabel &label) {
  if (label.widthBytes <= 0) return 0;
  return std::min<int64_t>(label.height, label.bits.size() / label.widthBytes);
}

bool Printed(const uint8_t *row, int64_t column) {
  return !(row[column >> 3] & (0x80 >> (column & 7)));
}

// Printed dots in columns [from, to) of one bitmap row.
uint64_t PrintedIn(const uint8_t *row, int64_t from, int64_t to) {
  uint64_t count = 0;
  for (int64_t column = from; column < to; ++column) count += Printed(row, column);
  return count;
}

// libpng reports a failure by calling this and never returning: the message is kept in
// the buffer given as the error pointer and control goes back to the setjmp in WritePng.
[[noreturn]] void KeepPngError(png_structp png, png_const_charp message) {
  char *kept = static_cast<char *>(png_get_error_ptr(png));
  snprintf(kept, 128, "%s", message);
  png_longjmp(png, 1);
}

void IgnorePngWarning(png_structp, png_const_charp) {}

// Writes the PNG to `file`. A libpng failure comes back here through longjmp, so nothing
// in this function needs a destructor: the caller owns the file and the row buffer.
bool WritePng(FILE *file, const StreamLabel &label, uint32_t width, uint32_t height, int dpi,
              uint8_t *row, size_t rowBytes, char *error) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, error, KeepPngError, IgnorePngWarning);
  if (!png) {
    snprintf(error, 128, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    snprintf(error, 128, "out of memory");
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  const auto perMetre = static_cast<png_uint_32>(std::lround(dpi / 0.0254));
  png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (uint32_t y = 0; y < height; ++y) {
    LabelRow(label, y, width, {row, rowBytes});
    png_write_row(png, row);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

int64_t MmToDots(int64_t mm, int64_t dpi) {
  const int64_t scaled = mm * dpi * 10;  // in tenths of a millimetre-inch: 254 per dot
  return scaled >= 0 ? (scaled + 127) / 254 : -((-scaled + 127) / 254);
}

BitmapFit FitBitmap(const StreamLabel &label, int64_t width, int64_t height) {
  BitmapFit fit;
  const int64_t columns = int64_t{label.widthBytes} * 8, rows = BitmapRows(label);
  if (columns == 0 || rows == 0) return fit;
  const int64_t x0 = label.bitmapX, y0 = label.bitmapY;
  fit.left = x0 < 0;
  fit.top = y0 < 0;
  fit.right = x0 + columns > width;
  fit.bottom = y0 + rows > height;
  // Columns of an on-label row that lie off the label: [0, leftEnd) and [rightStart, columns).
  const int64_t leftEnd = std::clamp<int64_t>(-x0, 0, columns);
  const int64_t rightStart = std::clamp<int64_t>(width - x0, leftEnd, columns);
  for (int64_t r = 0; r < rows; ++r) {
    const uint8_t *row = label.bits.data() + r * label.widthBytes;
    const int64_t y = y0 + r;
    if (y < 0 || y >= height) {
      for (int64_t b = 0; b < label.widthBytes; ++b) fit.dotsCutOff += 8 - std::popcount(row[b]);
    } else {
      fit.dotsCutOff += PrintedIn(row, 0, leftEnd) + PrintedIn(row, rightStart, columns);
    }
  }
  return fit;
}

void LabelRow(const StreamLabel &label, int64_t y, int64_t width, std::span<uint8_t> row) {
  std::fill(row.begin(), row.end(), 0xFF);
  const int64_t r = y - label.bitmapY;
  if (r < 0 || r >= BitmapRows(label)) return;
  const uint8_t *source = label.bits.data() + r * label.widthBytes;
  const int64_t from = std::max<int64_t>(0, label.bitmapX);
  const int64_t to = std::min<int64_t>(width, label.bitmapX + int64_t{label.widthBytes} * 8);
  for (int64_t x = from; x < to; ++x) {
    if (Printed(source, x - label.bitmapX)) row[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
  }
}

std::string WriteLabelPng(const std::string &path, const StreamLabel &label, int64_t width,
                          int64_t height, int dpi) {
  if (width < 1 || height < 1 || width > kMaxLabelDots || height > kMaxLabelDots)
    return "the picture would be " + std::to_string(width) + " x " + std::to_string(height) +
           " dots; it can be 1 to " + std::to_string(kMaxLabelDots) + " dots a side";

  const std::string partial = path + ".part";
  const int fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return "cannot create " + partial + ": " + strerror(errno);
  FILE *file = fdopen(fd, "wb");
  if (!file) {
    const std::string why = strerror(errno);
    close(fd);
    unlink(partial.c_str());
    return "cannot write " + partial + ": " + why;
  }

  std::vector<uint8_t> row(static_cast<size_t>((width + 7) / 8));
  char pngError[128] = "";
  errno = 0;
  bool written = WritePng(file, label, static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                          dpi, row.data(), row.size(), pngError);
  // A full disk shows first as a failed write inside libpng, or only at the flush or close.
  int why = written ? 0 : errno;
  if (written && (fflush(file) != 0 || ferror(file))) {
    written = false;
    why = errno ? errno : EIO;
  }
  if (fclose(file) != 0 && written) {
    written = false;
    why = errno;
  }
  if (!written) {
    unlink(partial.c_str());
    std::string message = "cannot write " + path + ": ";
    if (pngError[0]) message += std::string(pngError) + (why ? ": " : "");
    return message + (why ? strerror(why) : "");
  }
  if (rename(partial.c_str(), path.c_str()) != 0) {
    const std::string renameWhy = strerror(errno);
    unlink(partial.c_str());
    return "cannot write " + path + ": " + renameWhy;
  }
  return "";
}
