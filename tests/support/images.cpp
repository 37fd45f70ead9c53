#include "tests/support/images.h"

#include <cstdio>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>

TestImage PatternImage(uint32_t width, uint32_t height, int channels) {
  TestImage image{width, height, channels, std::vector<uint8_t>(size_t{width} * height * channels)};
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t *p = image.pixels.data() + (size_t{y} * width + x) * channels;
      const uint8_t level = x < width / 3 ? ((x / 4) % 2 ? 0 : 255) : static_cast<uint8_t>(x * 255 / width);
      const int colors = channels >= 3 ? 3 : 1;
      for (int c = 0; c < colors; ++c) p[c] = static_cast<uint8_t>(level ^ (c * 40 * (y % 2)));
      if (channels == 2 || channels == 4) p[colors] = y > height * 3 / 4 ? 0 : 255;
    }
  }
  return image;
}

namespace {

void AppendPng(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string *>(png_get_io_ptr(png))->append(reinterpret_cast<const char *>(data), length);
}

}  // namespace

std::string EncodePng(const TestImage &image, int bitDepth, bool palette, bool interlaced, int dpi) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("png write");
  }
  png_set_write_fn(png, &out, AppendPng, nullptr);
  static const int types[] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                              PNG_COLOR_TYPE_RGB_ALPHA};
  std::vector<uint8_t> rows;
  size_t rowBytes = 0;
  if (palette) {
    // 16 grays, one index a pixel, from the first channel.
    png_color colors[16];
    for (int i = 0; i < 16; ++i) colors[i].red = colors[i].green = colors[i].blue = static_cast<png_byte>(i * 17);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_PALETTE,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, colors, 16);
    rowBytes = image.width;
    for (size_t i = 0; i < size_t{image.width} * image.height; ++i)
      rows.push_back(static_cast<uint8_t>(image.pixels[i * image.channels] / 17));
  } else {
    png_set_IHDR(png, info, image.width, image.height, bitDepth, types[image.channels],
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    rowBytes = (size_t{image.width} * image.channels * bitDepth + 7) / 8;
    rows.assign(rowBytes * image.height, 0);
    for (uint32_t y = 0; y < image.height; ++y) {
      for (size_t i = 0; i < size_t{image.width} * image.channels; ++i) {
        const uint8_t v = image.pixels[y * size_t{image.width} * image.channels + i];
        uint8_t *row = rows.data() + y * rowBytes;
        if (bitDepth == 16) {
          row[2 * i] = v;
          row[2 * i + 1] = static_cast<uint8_t>(v ^ 0x5a);
        } else if (bitDepth == 8) {
          row[i] = v;
        } else if (v >= 128) {
          row[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
        }
      }
    }
  }
  if (dpi) png_set_pHYs(png, info, static_cast<png_uint_32>(dpi * 10000 / 254), static_cast<png_uint_32>(dpi * 10000 / 254), PNG_RESOLUTION_METER);
  png_write_info(png, info);
  std::vector<png_bytep> pointers(image.height);
  for (uint32_t y = 0; y < image.height; ++y) pointers[y] = rows.data() + y * rowBytes;
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::string EncodeJpeg(const TestImage &image, int quality, int dpi) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char *buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = image.width;
  info.image_height = image.height;
  info.input_components = image.channels;
  info.in_color_space = image.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  if (dpi) {
    info.density_unit = 1;
    info.X_density = info.Y_density = static_cast<UINT16>(dpi);
  }
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<uint8_t *>(image.pixels.data()) + size_t{info.next_scanline} * image.width * image.channels;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::string out(reinterpret_cast<const char *>(buffer), size);
  jpeg_destroy_compress(&info);
  free(buffer);
  return out;
}
