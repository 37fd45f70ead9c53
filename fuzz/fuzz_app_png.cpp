// Arbitrary bytes as a PNG document sent to the printer application, through the app's
// own decoding. Only crashes, leaks, hangs and undefined behaviour count; a refusal is a
// fine answer.

#include <cstddef>
#include <cstdint>

#include "printer-app/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Small limits keep each run quick; the checks are the same at any size.
  const image_limits_t limits{2048, 2048, 4u << 20};
  const decoded_image_t image = DecodePng({data, size}, limits);
  if (image.error == image_error_t::none &&
      image.pixels.size() != size_t{image.width} * image.height * static_cast<size_t>(image.depth))
    __builtin_trap();
  return 0;
}
