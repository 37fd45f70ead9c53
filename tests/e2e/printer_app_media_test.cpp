// The printer application's stock and finishing as an IPP client sets them: the media's
// tracking in media-col, the printer's label-mode, and the vendor settings IPP has no
// attribute for give the bytes the filter writes for the same PPD choices, and they are
// still set after a restart. (PAPPL 1.3.1 refuses label-tear-offset-configured in
// Set-Printer-Attributes: it lists the attribute as settable under another name.)

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "filter/options.h"
#include "tests/support/capture.h"
#include "tests/support/filter_output.h"
#include "tests/support/printer_app.h"
#include "tests/support/raster.h"
#include "tests/support/test_ports.h"

namespace {

enum : int { kMediaPort = kPrinterAppPorts + 4 };

// A 4 x 2 in label with media-tracking `tracking` (none when empty).
std::string MediaCol(const std::string &tracking) {
  return JobMediaCol(10160, 5080, tracking.empty() ? "" : "    MEMBER keyword media-tracking " + tracking + "\n");
}

const std::string kSetFinishing = IppTest(
    "Set-Printer-Attributes",
    "  GROUP printer-attributes-tag\n  ATTR keyword label-mode-configured $mode\n"
    "  ATTR integer vantel-gap-height-default $gap\n"
    "  ATTR keyword vantel-print-direction-default $direction\n");

const std::string kGetAll = IppTest("Get-Printer-Attributes", "");

TEST(PrinterAppMedia, WritesTheFiltersStockAndFinishing) {
  SKIP_WITHOUT_IPPTOOL();
  struct Case {
    const char *name;
    const char *labelMode;  // the printer's label-mode-configured
    const char *tracking;   // the job's media-tracking
    std::string jobAttributes;
    const char *filterOptions;
    const char *lines;      // what the label must say
  } cases[] = {
      {"defaults", "tear-off", "", "", "", "GAP 0.120,0.000\r\n"},
      {"black mark", "tear-off", "mark", "", "MediaTracking=1", "BLINE 0.120,0.000\r\n"},
      {"continuous", "tear-off", "continuous", "", "MediaTracking=2", "GAP 0.000,0.000\r\n"},
      {"peel-off", "peel-off", "gap", "", "LabelMode=1", "SET PEEL ON\r\n"},
      {"cut every 3", "cutter", "", "  ATTR integer vantel-cut-interval 3\n",
       "LabelMode=2 CutInterval=3", "SET CUTTER 3\r\n"},
      {"cut after the job", "cutter-delayed", "", "", "LabelMode=3", "SET CUTTER BATCH\r\n"},
      {"gap, shift, direction", "tear-off", "gap",
       "  ATTR integer vantel-gap-height 300\n  ATTR integer vantel-gap-offset 100\n"
       "  ATTR integer vantel-print-shift -8\n  ATTR keyword vantel-print-direction upside-down\n",
       "GapHeight=300 GapOffset=100 PrintShift=-8 PrintDirection=1", "GAP 0.118,0.039\r\n"},
  };

  AppServer server(TestPort(kMediaPort));
  server.Start();
  server.AddPrinter("stock", "vantel_203dpi");
  const std::string raster = WriteRaster({UniformPage(812, 40, 0)}, CUPS_RASTER_WRITE_PWG);
  int job = 0;
  for (const Case &c : cases) {
    server.Ipp(server.PrinterUri("stock"), kSetFinishing,
               {{"mode", c.labelMode}, {"gap", "305"}, {"direction", "normal"}});
    const std::string expected =
        FilterOutput("vantel-203.ppd", std::string("PageSize=w288h144 ") + c.filterOptions, raster);
    ASSERT_NE(expected.find(c.lines), std::string::npos) << c.name << "\n" << expected.substr(0, 300);
    const std::string name = "media-" + std::to_string(++job);
    WriteFile(server.Path(name + ".pwg"), raster);
    const Attributes ended = server.Print("stock", name, "image/pwg-raster", server.Path(name + ".pwg"),
                                          MediaCol(c.tracking) + c.jobAttributes);
    ASSERT_EQ(ended.at("job-state"), "completed") << c.name;
    const std::string got = server.Output(name);
    EXPECT_TRUE(got == expected) << c.name << "\napp:    " << got.substr(0, 300)
                                 << "\nfilter: " << expected.substr(0, 300);
  }

  // The printer's own settings and vendor defaults come back after a restart and print.
  server.Ipp(server.PrinterUri("stock"), kSetFinishing,
             {{"mode", "cutter"}, {"gap", "500"}, {"direction", "mirrored"}});
  server.Stop();
  server.Start();
  const Attributes after = server.Ipp(server.PrinterUri("stock"), kGetAll);
  EXPECT_EQ(after.at("label-mode-configured"), "cutter");
  EXPECT_EQ(after.at("label-mode-supported"), "cutter,cutter-delayed,peel-off,tear-off");
  EXPECT_EQ(after.at("label-tear-offset-configured"), "0");
  EXPECT_EQ(after.at("media-tracking-supported"), "continuous,gap,mark");
  EXPECT_EQ(after.at("vantel-gap-height-default"), "500");
  EXPECT_EQ(after.at("vantel-print-direction-default"), "mirrored");
  WriteFile(server.Path("restart.pwg"), raster);
  const Attributes ended =
      server.Print("stock", "after-restart", "image/pwg-raster", server.Path("restart.pwg"), MediaCol("mark"));
  ASSERT_EQ(ended.at("job-state"), "completed");
  EXPECT_TRUE(server.Output("after-restart") ==
              FilterOutput("vantel-203.ppd", "PageSize=w288h144 MediaTracking=1 GapHeight=500 LabelMode=2 "
                          "PrintDirection=2",
                          raster));

  // Command files over IPP: the printer's own commands, calibration for the loaded gap
  // stock; a command it does not have fails its job and sends nothing.
  WriteFile(server.Path("maintenance.cmd"), "#CUPS-COMMAND\nCalibrate\nPrintSelfTestPage\nFeedLabel\n");
  EXPECT_EQ(server.Print("stock", "maintenance", "application/vnd.cups-command",
                         server.Path("maintenance.cmd")).at("job-state"), "completed");
  EXPECT_EQ(server.Output("maintenance"), "GAPDETECT\r\nSELFTEST\r\nFORMFEED\r\n");
  WriteFile(server.Path("clean.cmd"), "#CUPS-COMMAND\nClean\n");
  const Attributes clean =
      server.Print("stock", "clean", "application/vnd.cups-command", server.Path("clean.cmd"));
  EXPECT_EQ(clean.at("job-state"), "aborted");
  // ipptool shows the message's quotes escaped.
  EXPECT_EQ(clean.at("job-state-message"), "Unknown printer command \\\"Clean\\\"");
  EXPECT_EQ(server.Output("clean"), "");
}

}  // namespace
