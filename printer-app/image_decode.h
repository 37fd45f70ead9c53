#pragma once
// PNG and JPEG documents decoded into 8-bit pixels for PAPPL's image scaling, with every
// decoder error (a file cut short, random bytes, a damaged chunk, an image larger than
// the limits) turned into a message instead of a retry, a log flood or a crash. The
// pixels are the ones PAPPL's own image code makes of a good file, so a good image gives
// the label it always gave. Nothing here calls PAPPL: the fuzzers run it on its own.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

// The largest image a job may hold, as the system sets them: pixels across and down,
// and bytes of decoded pixels.
struct image_limits_t {
  uint32_t maxWidth = 16384;
  uint32_t maxHeight = 16384;
  size_t maxBytes = 0;  // 0: no limit beyond width x height
};

enum class image_error_t {
  none,
  format,       // not a readable image of its type: the document is broken
  unprintable,  // a readable image this printer can't print (too large, uneven pixels)
};

struct decoded_image_t {
  image_error_t error = image_error_t::none;
  std::string message;          // what went wrong, for job-state-message
  std::vector<uint8_t> pixels;  // rows top first, `depth` bytes a pixel
  uint32_t width = 0;
  uint32_t height = 0;
  int depth = 0;  // 1 (gray) or 3 (RGB)
  int dpi = 0;    // the image's own resolution, 0 when it names none
};

// A PNG file: gray stays gray, color and palettes become RGB, 16-bit samples are scaled
// to 8 and transparency is laid over white.
decoded_image_t DecodePng(std::span<const uint8_t> file, const image_limits_t &limits);

// A JPEG file: gray when `gray(components)` says so for the file's number of color
// components (the job's raster then has one color), else RGB. A file that
// libjpeg would only warn about (cut short, damaged data) is an error: it would print a
// label with a gray band where the picture ends.
decoded_image_t DecodeJpeg(std::span<const uint8_t> file, const image_limits_t &limits,
                           const std::function<bool(int components)> &gray);
