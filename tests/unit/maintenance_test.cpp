// Command files as the CUPS Maintenance menu and lp send them, and the printer's
// command for each.

#include "core/maintenance.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using M = maintenance_t;

TEST(Maintenance, ReadsCommandFiles) {
  struct Case {
    const char *name;
    std::string text;
    bool valid;
    std::vector<M> actions;
    std::vector<std::string> unknown;
  } cases[] = {
      {"one command", "#CUPS-COMMAND\nPrintSelfTestPage\n", true, {M::selfTest}, {}},
      {"CR LF, comments, blank lines, arguments, no last LF",
       "#CUPS-COMMAND\r\n# calibrate first\r\n\r\n  Calibrate now\r\nFeedLabel", true,
       {M::calibrate, M::feed}, {}},
      {"unknown words kept in order", "#CUPS-COMMAND\nClean\nCalibrate\nReportLevels\n", true,
       {M::calibrate}, {"Clean", "ReportLevels"}},
      {"names match exactly", "#CUPS-COMMAND\ncalibrate\nCalibrateX\n", true, {}, {"calibrate", "CalibrateX"}},
      {"nothing but the header", "#CUPS-COMMAND\n", true, {}, {}},
      {"no header", "Calibrate\n", false, {}, {}},
      {"header not first", "\n#CUPS-COMMAND\nCalibrate\n", false, {}, {}},
      {"empty", "", false, {}, {}},
      {"a NUL in a word", std::string("#CUPS-COMMAND\nFeed\0Label\n", 25), true, {},
       {std::string("Feed\0Label", 10)}},
  };
  for (const Case &c : cases) {
    const command_file_t file = ParseCommandFile(c.text);
    EXPECT_EQ(file.valid, c.valid) << c.name;
    EXPECT_EQ(file.actions, c.actions) << c.name;
    EXPECT_EQ(file.unknown, c.unknown) << c.name;
  }
}

TEST(Maintenance, CalibrationLooksForWhatTheStockHas) {
  struct Case {
    M action;
    int16_t tracking;
    const char *line;
  } cases[] = {
      {M::calibrate, 0, "GAPDETECT\r\n"},   {M::calibrate, 1, "BLINEDETECT\r\n"},
      {M::calibrate, 2, "AUTODETECT\r\n"},  {M::calibrate, -1, "AUTODETECT\r\n"},
      {M::selfTest, 1, "SELFTEST\r\n"},     {M::feed, 2, "FORMFEED\r\n"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(MaintenanceLine(c.action, c.tracking), c.line) << c.line << " " << c.tracking;
}

}  // namespace
