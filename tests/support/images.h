#pragma once
// PNG and JPEG files for the printer application's tests, written with libpng and
// libjpeg as a phone or a drawing program writes them.

#include <cstdint>
#include <string>
#include <vector>

struct TestImage {
  uint32_t width = 0, height = 0;
  int channels = 1;  // 1 gray, 2 gray+alpha, 3 RGB, 4 RGBA (JPEG: 1 or 3)
  std::vector<uint8_t> pixels;  // 8-bit samples, rows top first
};

// A label-like picture: bars down the left third, a ramp across the rest, and for
// alpha a transparent band along the bottom.
TestImage PatternImage(uint32_t width, uint32_t height, int channels);

// PNG of `image` with samples of `bitDepth` bits (1, 8 or 16 for gray; 8 or 16 otherwise),
// as a palette image when `palette`, Adam7-interlaced when `interlaced`, and `dpi`
// stored in its pHYs chunk when not 0.
std::string EncodePng(const TestImage &image, int bitDepth = 8, bool palette = false,
                      bool interlaced = false, int dpi = 0);

// Baseline JPEG of `image` (1 or 3 channels) at `quality`, `dpi` in its JFIF header.
std::string EncodeJpeg(const TestImage &image, int quality = 90, int dpi = 0);
