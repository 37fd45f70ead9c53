// Converts a synthetic label REPEATS times with one kernel and does nothing else, so that
// an instruction counter run with REPEATS and with 0 gives the conversion's own count
// (bench/kernel_instructions.sh).
//   kernel_instructions KERNEL MODE REPEATS WIDTH HEIGHT

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/label_page.h"
#include "core/gray2bytes.h"

int main(int argc, char **argv) {
  if (argc != 6) {
    fprintf(stderr, "usage: kernel_instructions KERNEL MODE REPEATS WIDTH HEIGHT\n");
    return 2;
  }
  const Kernel *kernel = nullptr;
  for (const Kernel &k : kAllKernels)
    if (strcmp(argv[1], KernelName(k)) == 0) kernel = &k;
  const int mode = atoi(argv[2]), repeats = atoi(argv[3]);
  const int width = atoi(argv[4]), height = atoi(argv[5]);
  if (!kernel || !KernelRuns(*kernel) || width < 100 || height < 100) {
    fprintf(stderr, "kernel_instructions: no kernel \"%s\" here, or a page under 100 x 100\n",
            argv[1]);
    return 2;
  }
  // Row by row, as the label writer converts them.
  const size_t widthBytes = (size_t(width) + 7) / 8;
  const std::vector<uint8_t> gray = LabelPage(width, height, width, 1);
  const Thresholds thresholds = ThresholdsFor(mode);
  std::vector<uint8_t> bits(widthBytes * height);
  for (int i = 0; i < repeats; ++i)
    for (int r = 0; r < height; ++r)
      PackStreamRow(std::span(gray).subspan(size_t(r) * width, width),
                    std::span(bits).subspan(r * widthBytes, widthBytes), thresholds[r % 16], *kernel);
  // The bitmap's first byte, so the conversion can't be left out.
  return bits[0] == 0x5A ? 1 : 0;
}
