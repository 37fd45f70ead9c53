// The three settings layers as a job meets them: built-in defaults, the queue's PPD named
// by PPD, and the options of argv[5] as cupsParseOptions hands them over.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/label_stream.h"
#include "tests/support/raster.h"
#include "tests/support/run_filter.h"

namespace {

// One 8 x 1 page of gray 140: black in the default mode 5, white in mode 0.
std::string SmallPage() { return WriteRaster({UniformPage(8, 1, 140)}); }

TEST(Settings, TypicalJobByteForByte) {
  // A 4 x 2 inch label at 203 dpi: the top half gray 160 (black below 161), the bottom
  // half gray 161 (white). Each row has 812 pixels, 101.5 bytes: the last byte's four
  // padding pixels are white.
  TestPage page = UniformPage(812, 406, 161);
  std::fill(page.pixels.begin(), page.pixels.begin() + 812 * 203, 160);
  RunResult r = RunFilter("PrintSpeed=60 PageSize=w288h144", WriteRaster({page}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "PAGE: 1 1\n");

  std::string bitmap;
  for (int row = 0; row < 203; ++row) bitmap += std::string(101, '\0') + "\x0F";
  bitmap += std::string(203 * 102, '\xFF');
  EXPECT_EQ(r.out, SetupLines(102, 51, 6, 7) + "BITMAP 0,0,102,406,1," + bitmap +
                       "\r\nPRINT 1,1\r\n");
}

TEST(Settings, JobOptionsThroughTheCommandLine) {
  struct Case {
    const char *options;
    int width, height, speed, density;
  } cases[] = {
      {"PageSize=Custom.288x432", 102, 152, 4, 7},
      {"PageSize=Custom.169.8x113.2", 60, 39, 4, 7},
      {"PageSize=Custom.20x20", 11, 11, 4, 7},
      {"PageSize=Custom.4x6in", 101, 152, 4, 7},  // the unit counts: 101.6 x 152.4 mm
      {"PageSize=w90h18 PrintSpeed=-15", 32, 6, -1, 7},
      // cupsParseOptions keeps one option per name: the last value, the first spelling.
      {"Darkness=3 Darkness=9", 60, 40, 4, 9},
      {"darkness=1 Darkness=3", 60, 40, 4, 7},
  };
  for (const Case &c : cases) {
    RunResult r = RunFilter(c.options, SmallPage());
    EXPECT_EQ(r.status, 0) << c.options;
    EXPECT_EQ(r.out, SetupLines(c.width, c.height, c.speed, c.density) +
                         "BITMAP 0,0,1,1,1," + std::string(1, '\0') + "\r\nPRINT 1,1\r\n")
        << c.options;
  }
}

TEST(Settings, CustomSizeLogLines) {
  RunResult r = RunFilter("PageSize=Custom.288x288", SmallPage());
  const std::vector<std::string> expected = {
      "PPD=(unset)",           "can't param ppdfile",
      "996_PageSize=PageSize", "997_page_size=Custom.288x288",
      "(wxh)|288.000000|288.000000|", "(wxh)|101.766784|101.766784|",
      "(wxh)|102|101|",        "cups_file is not null"};
  ASSERT_GE(r.log.size(), 8 + expected.size());
  EXPECT_EQ(std::vector<std::string>(r.log.begin() + 8, r.log.begin() + 8 + expected.size()),
            expected);
}

TEST(Settings, JobOptionOverPpdDefaultOverBuiltInDefault) {
  TempDir dir;
  const std::string ppd = dir.path + "/queue.ppd";
  WriteFile(ppd,
            "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
            "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n"
            "*PCFileName: \"QUEUE.PPD\"\n*Manufacturer: \"Test\"\n*Product: \"(Queue)\"\n"
            "*ModelName: \"Queue\"\n*ShortNickName: \"Queue\"\n*NickName: \"Queue, test\"\n"
            "*cupsModelNumber: 7\n"
            "*DefaultPageSize: Custom.62.9x40.5mm\n*DefaultDarkness: 12\n"
            "*DefaultPrintSpeed: 30\n*DefaultHorizontal: 8\n*DefaultPrintMode: 0\n");
  RunResult r = RunFilter("Darkness=3 Vertical=2 MediaTracking=1", SmallPage(), {"PPD=" + ppd});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "PAGE: 1 1\n");
  // Size, speed, origin x and mode from the PPD (gray 140 is white in mode 0); darkness,
  // origin y and the black-mark sensor from the options.
  std::string setup = SetupLines(62, 40, 3, 3);
  setup.replace(setup.find("GAP 0.120"), 3, "BLINE");
  EXPECT_EQ(r.out, setup + "BITMAP 8,2,1,1,1,\xFF\r\nPRINT 1,1\r\n");

  // argv[0] is left out: a checking tool that runs the filter (scripts/valgrind.sh) puts
  // the filter's path there.
  std::vector<std::string> log = r.log;
  if (log.size() > 1 && log[1].starts_with("argv[0]:")) log.erase(log.begin() + 1);
  const std::vector<std::string> expected = {
      "Enter main",
      "argv[1]:17",
      "argv[2]:user",
      "argv[3]:title",
      "argv[4]:1",
      "argv[5]:Darkness=3 Vertical=2 MediaTracking=1",
      "Begin main",
      "PPD=" + ppd,
      "module_number:7",
      "ppdfile DefaultPageSize:Custom.62.9x40.5mm",
      "(src:wxh)|62.900002|40.500000|",
      "(mm:wxh)|62.900002|40.500000|",
      "ppdfile DefaultDarkness:12",
      "ppdfile DefaultPrintSpeed:30",
      "ppdfile DefaultHorizontal:8",
      "ppdfile DefaultPrintMode:0",
      "ppdfile PageSize:62x40",
      "ppdfile Speed:3",
      "ppdfile Darkness:12",
      "ppdfile MediaTracking:0",
      "ppdfile Mode:0",
      "doc->mediaTracking = 1",
      "cups_file is not null",
      "Gray2Bytes: Enter function",
      "",
      "Gray2Bytes: Exit function11",
      "",
      "Exit main",
  };
  EXPECT_EQ(log, expected);
}

}  // namespace
