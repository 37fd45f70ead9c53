#include "printer-app/image_decode.h"

// jpeglib.h needs FILE and size_t declared first.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>

// Both libraries report a fatal error by calling back and never returning: the callbacks
// here jump back to a setjmp in the function that started the decoding. Between the two
// there are only the libraries' C frames, and everything the decoding fills in lives in
// the caller's record, not in the frame that is jumped back into.

namespace {

decoded_image_t Failed(image_error_t error, std::string message) {
  decoded_image_t image;
  image.error = error;
  image.message = std::move(message);
  return image;
}

// Whether width x height x depth bytes are within the limits (and within memory's reach).
bool WithinLimits(uint64_t width, uint64_t height, int depth, const image_limits_t &limits) {
  if (width < 1 || height < 1 || width > limits.maxWidth || height > limits.maxHeight) return false;
  const uint64_t bytes = width * height * static_cast<uint64_t>(depth);
  return limits.maxBytes == 0 || bytes <= limits.maxBytes;
}

std::string SizeMessage(const char *type, uint64_t width, uint64_t height) {
  return std::string("The ") + type + " image is too large to print (" + std::to_string(width) + " x " +
         std::to_string(height) + " pixels)";
}

// ---- PNG ----

struct png_source_t {
  std::span<const uint8_t> file;
  size_t offset = 0;
  char message[200] = "";
};

void PngRead(png_structp png, png_bytep out, png_size_t length) {
  auto *source = static_cast<png_source_t *>(png_get_io_ptr(png));
  if (length > source->file.size() - source->offset) png_error(png, "the file ends early");
  memcpy(out, source->file.data() + source->offset, length);
  source->offset += length;
}

void PngError(png_structp png, png_const_charp message) {
  auto *source = static_cast<png_source_t *>(png_get_error_ptr(png));
  snprintf(source->message, sizeof source->message, "%s", message ? message : "unknown error");
  png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// One decoding: the library's handles, the rows it writes into, and the result.
struct png_decoding_t {
  png_source_t source;
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<png_bytep> rows;
  decoded_image_t image;
  ~png_decoding_t() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

void ReadPng(png_decoding_t &d, const image_limits_t &limits) {
  png_structp png = d.png;
  png_infop info = d.info;
  if (setjmp(png_jmpbuf(png))) {
    d.image = Failed(image_error_t::format, std::string("The PNG image can't be read: ") + d.source.message);
    return;
  }
  png_set_read_fn(png, &d.source, PngRead);
#if defined(PNG_SKIP_sRGB_CHECK_PROFILE) && defined(PNG_SET_OPTION_SUPPORTED)
  // sRGB profiles that some drawing programs write are not "valid": not worth a refusal.
  png_set_option(png, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
#endif
  png_read_info(png, info);

  const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  const int colorType = png_get_color_type(png, info);
  const int depth = (colorType & PNG_COLOR_MASK_COLOR) ? 3 : 1;
  if (!WithinLimits(width, height, depth, limits)) {
    d.image = Failed(image_error_t::unprintable, SizeMessage("PNG", width, height));
    return;
  }
  const png_uint_32 xdpi = png_get_x_pixels_per_inch(png, info), ydpi = png_get_y_pixels_per_inch(png, info);
  if (xdpi != ydpi) {
    d.image = Failed(image_error_t::unprintable, "The PNG image's pixels are not square, which the printer can't print");
    return;
  }

  // The transformations PAPPL's own PNG printing applies, in its order, but for gray of
  // fewer than 8 bits: packing alone left white a 1 of 255 (a 1-bit PNG printed all black),
  // so those samples are scaled to 8 bits.
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (png_get_bit_depth(png, info) > 8) png_set_scale_16(png);
  if (png_get_bit_depth(png, info) < 8) {
    if (colorType & PNG_COLOR_MASK_PALETTE) png_set_packing(png);
    else png_set_expand_gray_1_2_4_to_8(png);
  }
  if (colorType & PNG_COLOR_MASK_PALETTE) png_set_palette_to_rgb(png);
  png_color_16 white{};
  white.red = white.green = white.blue = 65535;
  png_set_background(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  // Each row must be exactly the pixels asked for: libpng writes rowbytes into each row.
  const size_t rowBytes = size_t{width} * static_cast<size_t>(depth);
  if (png_get_rowbytes(png, info) != rowBytes) {
    d.image = Failed(image_error_t::unprintable, "The PNG image's kind of pixels can't be printed");
    return;
  }

  d.image.pixels.assign(rowBytes * height, 0);
  d.rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) d.rows[y] = d.image.pixels.data() + rowBytes * y;
  for (int pass = 0; pass < passes; ++pass) png_read_rows(png, d.rows.data(), nullptr, height);
  png_read_end(png, nullptr);

  d.image.width = width;
  d.image.height = height;
  d.image.depth = depth;
  d.image.dpi = static_cast<int>(xdpi);
}

}  // namespace

decoded_image_t DecodePng(std::span<const uint8_t> file, const image_limits_t &limits) {
  png_decoding_t d;
  d.source.file = file;
  d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d.source, PngError, PngWarning);
  if (d.png) d.info = png_create_info_struct(d.png);
  if (!d.png || !d.info) return Failed(image_error_t::unprintable, "Unable to allocate memory");
  ReadPng(d, limits);
  return std::move(d.image);
}

// ---- JPEG ----

namespace {

struct jpeg_failure_t {
  jpeg_error_mgr manager;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX] = "";
};

void JpegError(j_common_ptr info) {
  auto *failure = reinterpret_cast<jpeg_failure_t *>(info->err);
  (*info->err->format_message)(info, failure->message);
  longjmp(failure->jump, 1);
}

// A warning (level -1: the data ends early, a damaged segment) ends the decoding as an
// error; trace messages (0 and up) are dropped.
void JpegMessage(j_common_ptr info, int level) {
  if (level < 0) JpegError(info);
}

struct jpeg_decoding_t {
  jpeg_failure_t failure;
  jpeg_decompress_struct info{};
  bool created = false;
  decoded_image_t image;
  ~jpeg_decoding_t() {
    if (created) jpeg_destroy_decompress(&info);
  }
};

void ReadJpeg(jpeg_decoding_t &d, std::span<const uint8_t> file, const image_limits_t &limits,
              const std::function<bool(int)> &wantGray) {
  jpeg_decompress_struct &info = d.info;
  if (setjmp(d.failure.jump)) {
    d.image = Failed(image_error_t::format, std::string("The JPEG image can't be read: ") + d.failure.message);
    return;
  }
  jpeg_create_decompress(&info);
  d.created = true;
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&info, TRUE);
  const bool gray = wantGray(info.num_components);
  info.quantize_colors = FALSE;
  info.out_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_calc_output_dimensions(&info);
  const int depth = gray ? 1 : 3;
  if (info.output_components != depth) {
    d.image = Failed(image_error_t::unprintable, "The JPEG image's kind of pixels can't be printed");
    return;
  }
  if (!WithinLimits(info.output_width, info.output_height, depth, limits)) {
    d.image = Failed(image_error_t::unprintable, SizeMessage("JPEG", info.output_width, info.output_height));
    return;
  }
  int xdpi = 0, ydpi = 0;
  if (info.density_unit == 1) {
    xdpi = info.X_density;
    ydpi = info.Y_density;
  } else if (info.density_unit == 2) {
    xdpi = info.X_density * 254 / 100;
    ydpi = info.Y_density * 254 / 100;
  }
  if (xdpi != ydpi) {
    d.image = Failed(image_error_t::unprintable, "The JPEG image's pixels are not square, which the printer can't print");
    return;
  }

  const size_t rowBytes = size_t{info.output_width} * static_cast<size_t>(depth);
  d.image.pixels.assign(rowBytes * info.output_height, 0);
  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = d.image.pixels.data() + rowBytes * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  d.image.width = info.output_width;
  d.image.height = info.output_height;
  d.image.depth = depth;
  d.image.dpi = xdpi;
}

}  // namespace

decoded_image_t DecodeJpeg(std::span<const uint8_t> file, const image_limits_t &limits,
                           const std::function<bool(int)> &gray) {
  if (file.empty()) return Failed(image_error_t::format, "The JPEG image can't be read: the file is empty");
  jpeg_decoding_t d;
  d.info.err = jpeg_std_error(&d.failure.manager);
  d.failure.manager.error_exit = JpegError;
  d.failure.manager.emit_message = JpegMessage;
  ReadJpeg(d, file, limits, gray);
  return std::move(d.image);
}
