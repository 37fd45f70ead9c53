// Arbitrary bytes as a command file, as a CUPS queue or an IPP client may send one: read
// as the command filter and the printer application read it, and every command it names
// turned into the printer's line for each media tracking.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/maintenance.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const command_file_t file =
      ParseCommandFile(std::string_view(reinterpret_cast<const char *>(data), size));
  if (!file.valid && (!file.actions.empty() || !file.unknown.empty())) __builtin_trap();
  for (maintenance_t action : file.actions) {
    for (int16_t tracking = -1; tracking <= 3; ++tracking) {
      const std::string line = MaintenanceLine(action, tracking);
      if (line.size() < 3 || line.substr(line.size() - 2) != "\r\n") __builtin_trap();
    }
  }
  return 0;
}
