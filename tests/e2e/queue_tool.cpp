// Helper for the CUPS queue test (cups_queue_test.sh).
//
//   queue_tool dump FILE [X0,Y0,X1,Y1 ...]
//     Reads the label command stream in FILE with the preview's reader and writes it as
//     text: each label's command lines as they are in the stream, except that the BITMAP
//     bytes are replaced by what they show: the number of printed dots and the box around
//     them, then for each rectangle given (inclusive dot coordinates) how many of its dots
//     are printed. Exits 1, saying where, when the stream is not whole labels only.
//   queue_tool raster oversized|rgb|k|1bit
//     Writes to standard output a one-page raster the filter must refuse: a header that
//     claims 100000 x 100000 pixels, or a small page in 24-bit RGB, 8-bit black (K) or
//     1-bit gray.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/raster.h"
#include "tests/support/run_filter.h"
#include "core/label_stream.h"

namespace {

struct Box {
  int x0, y0, x1, y1;  // inclusive
};

bool Printed(const StreamLabel &label, int x, int y) {
  return (label.bits[size_t(y) * label.widthBytes + x / 8] & (0x80 >> (x % 8))) == 0;
}

void DescribeBitmap(const StreamLabel &label, const std::vector<Box> &regions) {
  const int width = label.widthBytes * 8;
  long printed = 0;
  Box box{width, label.height, -1, -1};
  for (int y = 0; y < label.height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!Printed(label, x, y)) continue;
      ++printed;
      box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x), std::max(box.y1, y)};
    }
  }
  if (printed == 0) {
    printf("  printed dots: 0\n");
  } else {
    printf("  printed dots: %ld, box %d,%d-%d,%d\n", printed, box.x0, box.y0, box.x1, box.y1);
  }
  for (const Box &r : regions) {
    long inside = 0, all = 0;
    for (int y = std::max(r.y0, 0); y <= r.y1 && y < label.height; ++y) {
      for (int x = std::max(r.x0, 0); x <= r.x1 && x < width; ++x) {
        ++all;
        inside += Printed(label, x, y);
      }
    }
    printf("  region %d,%d-%d,%d: %ld of %ld printed\n", r.x0, r.y0, r.x1, r.y1, inside, all);
  }
}

// The label's lines from SIZE to the BITMAP header, CR LF written as a line end.
void PrintCommandText(const std::string &stream, const StreamLabel &label) {
  const size_t bitmap = stream.find("BITMAP ", label.offset);
  const size_t header = stream.find(",1,", bitmap) + 3;
  for (size_t at = label.offset; at < header; ++at) {
    if (stream[at] != '\r' || stream[at + 1] != '\n') putchar(stream[at]);
  }
  putchar('\n');
}

int Dump(const std::string &stream, const std::vector<Box> &regions) {
  const StreamParse parse = ParseLabelStream(
      {reinterpret_cast<const uint8_t *>(stream.data()), stream.size()});
  for (const StreamLabel &label : parse.labels) {
    PrintCommandText(stream, label);
    DescribeBitmap(label, regions);
    printf("PRINT %d,%d\n", label.sets, label.copies);
  }
  if (!parse.error.empty()) {
    printf("malformed stream at byte %zu: %s\n", parse.errorOffset, parse.error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char *argv[]) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "dump" && argc >= 3) {
    std::vector<Box> regions;
    for (int i = 3; i < argc; ++i) {
      Box r;
      if (sscanf(argv[i], "%d,%d,%d,%d", &r.x0, &r.y0, &r.x1, &r.y1) != 4) {
        fprintf(stderr, "queue_tool: bad region %s\n", argv[i]);
        return 2;
      }
      regions.push_back(r);
    }
    return Dump(ReadFile(argv[2]), regions);
  }
  struct Refused { const char *name; TestPage page; } refused[] = {
      {"oversized", TestPage{100000, 100000, 1, {}}},
      {"rgb", TestPage{24, 8, 1, std::vector<uint8_t>(24 * 8, 0), CUPS_CSPACE_RGB, 8, 24}},
      {"k", TestPage{8, 8, 1, std::vector<uint8_t>(8 * 8, 0), CUPS_CSPACE_K, 8, 8}},
      {"1bit", TestPage{1, 8, 1, std::vector<uint8_t>(8, 0), CUPS_CSPACE_W, 1, 1}},
  };
  for (const Refused &r : refused) {
    if (command != "raster" || argc != 3 || argv[2] != std::string(r.name)) continue;
    const std::string raster = WriteRaster({r.page});
    return fwrite(raster.data(), 1, raster.size(), stdout) == raster.size() ? 0 : 1;
  }
  fprintf(stderr, "usage: queue_tool dump FILE [X0,Y0,X1,Y1 ...] | "
                  "queue_tool raster oversized|rgb|k|1bit\n");
  return 2;
}
