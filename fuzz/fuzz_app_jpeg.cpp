// Arbitrary bytes as a JPEG document sent to the printer application, through the app's
// own decoding, as gray (the label printers' raster) or RGB as the first byte says. Only
// crashes, leaks, hangs and undefined behaviour count; a refusal is a fine answer.

#include <cstddef>
#include <cstdint>

#include "printer-app/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const image_limits_t limits{2048, 2048, 4u << 20};
  const bool gray = size == 0 || data[0] % 2 == 0;
  const decoded_image_t image = DecodeJpeg({data, size}, limits, [gray](int) { return gray; });
  if (image.error == image_error_t::none &&
      image.pixels.size() != size_t{image.width} * image.height * static_cast<size_t>(image.depth))
    __builtin_trap();
  return 0;
}
