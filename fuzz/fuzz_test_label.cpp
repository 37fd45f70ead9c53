// A printer name of arbitrary bytes (an administrator or a client of the web interface
// names the printer) and any label the printer can have loaded, drawn as the app's test
// label: the PNG is whole and of the label's size, whatever the name.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "printer-app/test_label.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 5) return 0;
  // The first bytes choose the head and the label (the app's range: 11 mm to 101.6 mm
  // wide, 11 mm to 300 mm long here, to keep each run short); the rest is the name.
  test_label_t label;
  label.dpi = data[0] & 1 ? 300 : 203;
  label.width = 1129 + (data[1] | data[2] << 8) % (10160 - 1129 + 1);
  label.length = 1129 + (data[3] | data[4] << 8) % (30000 - 1129 + 1);
  label.name.assign(reinterpret_cast<const char *>(data + 5), size - 5);
  label.darkness = 7;
  label.speed = 4;
  label.tracking = "GAP";
  const std::string png = TestLabelPng(label);
  if (png.size() < 24 || memcmp(png.data(), "\x89PNG", 4) != 0) __builtin_trap();
  const auto at = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<unsigned char>(png[i])) << 24 |
           static_cast<uint32_t>(static_cast<unsigned char>(png[i + 1])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(png[i + 2])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(png[i + 3]));
  };
  const auto dots = [&](int hundredths) { return static_cast<uint32_t>((hundredths * label.dpi + 1270) / 2540); };
  if (at(16) != dots(label.width) || at(20) != dots(label.length)) __builtin_trap();
  return 0;
}
