#pragma once
// The printer's maintenance commands, asked for in a CUPS command file
// (application/vnd.cups-command): calibrating the media sensor for the stock in use,
// printing the printer's self-test and feeding one label. Both front ends read command
// files through these, so a command sends the same bytes from a CUPS queue and from the
// printer application.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class maintenance_t {
  calibrate,  // "Calibrate": GAPDETECT, BLINEDETECT or AUTODETECT, by the media tracking
  selfTest,   // "PrintSelfTestPage": SELFTEST
  feed,       // "FeedLabel": FORMFEED
};

// The commands of a command file, in its order, and the words it names that are none of
// them.
struct command_file_t {
  bool valid = false;  // false: the text does not begin with the #CUPS-COMMAND line
  std::vector<maintenance_t> actions;
  std::vector<std::string> unknown;
};

// The printer's commands that stand alone between labels, one a line ended by CR LF: the
// ones MaintenanceLine writes, with what the printer does for each.
struct printer_command_t {
  const char *name;
  const char *does;
};
inline constexpr printer_command_t kPrinterCommands[] = {
    {"GAPDETECT", "calibrates its sensor for gaps"},
    {"BLINEDETECT", "calibrates its sensor for black marks"},
    {"AUTODETECT", "calibrates its sensor for the stock loaded"},
    {"SELFTEST", "prints its self-test label"},
    {"FORMFEED", "feeds one label"},
};

// The command-file words for the PPDs' *cupsCommands, in the order above.
inline constexpr const char *kMaintenanceCommands = "Calibrate PrintSelfTestPage FeedLabel";

// Reads a command file: a first line "#CUPS-COMMAND", then one command a line (its first
// word; what follows it is not read), with blank lines and lines that begin with "#"
// passed over. Lines may end in LF or CR LF.
command_file_t ParseCommandFile(std::string_view text);

// The printer's command line for `action`, ended by CR LF. Calibration looks for what
// the stock has: gaps (tracking 0), black marks (1); for continuous stock, or a tracking
// that is none of these, the printer finds out itself.
std::string MaintenanceLine(maintenance_t action, int16_t mediaTracking);

// What a user reads of `action` in the job's messages: "Calibrating the media sensor".
const char *MaintenanceMessage(maintenance_t action);
