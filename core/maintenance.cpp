#include "core/maintenance.h"

#include <algorithm>
#include <array>

#include "core/label_doc.h"

namespace {

struct command_word_t {
  std::string_view word;
  maintenance_t action;
  const char *message;
};
constexpr std::array<command_word_t, 3> kCommandWords = {{
    {"Calibrate", maintenance_t::calibrate, "Calibrating the media sensor"},
    {"PrintSelfTestPage", maintenance_t::selfTest, "Printing the self-test page"},
    {"FeedLabel", maintenance_t::feed, "Feeding one label"},
}};

// The line that begins at `at` (without its LF or CR LF); `at` moves past it.
std::string_view NextLine(std::string_view text, size_t &at) {
  const size_t end = std::min(text.find('\n', at), text.size());
  std::string_view line = text.substr(at, end - at);
  at = end + 1;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace

command_file_t ParseCommandFile(std::string_view text) {
  command_file_t file;
  size_t at = 0;
  if (NextLine(text, at) != "#CUPS-COMMAND") return file;
  file.valid = true;
  while (at < text.size()) {
    std::string_view line = NextLine(text, at);
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos || line[start] == '#') continue;
    line = line.substr(start);
    const std::string_view word = line.substr(0, line.find_first_of(" \t"));
    bool known = false;
    for (const command_word_t &command : kCommandWords) {
      if (word != command.word) continue;
      file.actions.push_back(command.action);
      known = true;
    }
    if (!known) file.unknown.emplace_back(word);
  }
  return file;
}

std::string MaintenanceLine(maintenance_t action, int16_t mediaTracking) {
  int command = 0;  // in kPrinterCommands
  switch (action) {
    case maintenance_t::calibrate:
      command = mediaTracking == kTrackingGap ? 0 : mediaTracking == kTrackingMark ? 1 : 2;
      break;
    case maintenance_t::selfTest: command = 3; break;
    case maintenance_t::feed: command = 4; break;
  }
  return std::string(kPrinterCommands[command].name) + "\r\n";
}

const char *MaintenanceMessage(maintenance_t action) {
  for (const command_word_t &command : kCommandWords) {
    if (command.action == action) return command.message;
  }
  return "";
}
