#include "tests/support/label_check.h"

#include <png.h>

#include <cstring>

#include "tests/support/label_stream.h"
#include "tests/support/reference_convert.h"

std::string LabelText(int widthMm, int heightMm, int x, int y, int widthBytes, int height,
                      const std::string &bits, int copies) {
  auto n = [](int v) { return std::to_string(v); };
  return SetupLines(widthMm, heightMm, 4, 7) + "BITMAP " + n(x) + "," + n(y) + "," +
         n(widthBytes) + "," + n(height) + ",1," + bits + "\r\nPRINT 1," + n(copies) + "\r\n";
}

TestPage NoisePage(uint32_t bytesPerLine, uint32_t height, uint32_t seed, uint32_t copies) {
  TestPage page{bytesPerLine, height, copies, std::vector<uint8_t>(size_t{bytesPerLine} * height)};
  uint32_t state = seed * 2654435761u + 1;
  for (uint8_t &p : page.pixels) {
    state = state * 1664525u + 1013904223u;
    p = static_cast<uint8_t>(state >> 24);
  }
  return page;
}

std::vector<uint8_t> ExpectedStreamBits(const TestPage &page, int mode) {
  if (page.bytesPerLine == 0) return {};
  const int widthBytes = static_cast<int>((page.bytesPerLine + 7) >> 3);
  const size_t stride = size_t(widthBytes) * 8;
  std::vector<uint8_t> gray(stride * page.height, 255);
  for (size_t i = 0; i < page.pixels.size() && i / page.bytesPerLine < page.height; ++i)
    gray[(i / page.bytesPerLine) * stride + i % page.bytesPerLine] = page.pixels[i];
  std::vector<uint8_t> bits =
      ReferenceGray2Bytes(gray.data(), widthBytes, static_cast<int>(page.height), mode);
  for (uint8_t &b : bits) b = static_cast<uint8_t>(~b);
  return bits;
}

GrayPicture ReadPng(const std::string &path) {
  GrayPicture picture;
  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    picture.error = image.message;
    return picture;
  }
  image.format = PNG_FORMAT_GRAY;
  picture.width = image.width;
  picture.height = image.height;
  picture.pixels.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr)) {
    picture.error = image.message;
  }
  png_image_free(&image);
  return picture;
}
