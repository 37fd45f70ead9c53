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
      {"PageSize=w90h18 PrintSpeed=59", 32, 6, 5, 7},
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

// Values the printer cannot take end the job before anything is sent, with the option,
// its value and the range; the edges of every range print as before.
TEST(Settings, ValuesThePrinterCannotTakeRefuseTheJob) {
  TempDir dir;
  std::string stock = ReadFile(SOURCE_DIR "/ppd/vantel-203.ppd");
  auto queue = [&](const std::string &name, const std::string &from, const std::string &to) {
    std::string ppd = stock;
    ppd.replace(ppd.find(from), from.size(), to);
    WriteFile(dir.path + "/" + name, ppd);
    return "PPD=" + dir.path + "/" + name;
  };
  const std::string dark = queue("dark.ppd", "*DefaultDarkness: 7", "*DefaultDarkness: 20");
  const std::string narrow = queue("narrow.ppd", "*MaxMediaWidth: \"288\"", "*MaxMediaWidth: \"144\"");
  const std::string fast = queue("fast.ppd", "*PrintSpeed 20/", "*PrintSpeed 90/");
  struct Case {
    const char *options;
    std::string env;
    std::string err;  // "": printed
  } cases[] = {
      {"Darkness=0 PrintSpeed=20 PageSize=Custom.288x2880", "", ""},
      {"Darkness=15 PrintSpeed=60 PageSize=w288h936", "", ""},
      {"Darkness=16", "", "Darkness=16 is out of range: the printer takes 0 to 15"},
      {"Darkness=-1", "", "Darkness=-1 is out of range: the printer takes 0 to 15"},
      {"Darkness=65545", "", "Darkness=65545 is out of range: the printer takes 0 to 15"},
      {"PrintSpeed=19", "", "PrintSpeed=19 is out of range: the printer takes 20 to 60"},
      {"PrintSpeed=999", "", "PrintSpeed=999 is out of range: the printer takes 20 to 60"},
      {"PageSize=Custom.2000x2000", "",
       "PageSize=Custom.2000x2000 asks for a label the printer cannot take (707 x 706 mm): it "
       "takes labels 1 to 102 mm wide and 1 to 1017 mm long"},
      {"PageSize=Custom.288x2883", "",
       "PageSize=Custom.288x2883 asks for a label the printer cannot take (102 x 1018 mm): it "
       "takes labels 1 to 102 mm wide and 1 to 1017 mm long"},
      {"PageSize=Custom.185500x100", "",  // 65548 mm would wrap to 12 in 16 bits
       "PageSize=Custom.185500x100 asks for a label the printer cannot take: it takes labels "
       "1 to 102 mm wide and 1 to 1017 mm long"},
      // The queue's own default, and the job's option over it.
      {"", dark, "The queue's default Darkness=20 is out of range: the printer takes 0 to 15"},
      {"Darkness=9", dark, ""},
      // The queue's PPD states its own limits.
      {"PageSize=w288h144", narrow,
       "PageSize=w288h144 asks for a label the printer cannot take (102 x 51 mm): it takes "
       "labels 1 to 51 mm wide and 1 to 1017 mm long"},
      {"PrintSpeed=90", fast, ""},
      {"PrintSpeed=20", fast, "PrintSpeed=20 is out of range: the printer takes 30 to 90"},
  };
  for (const Case &c : cases) {
    std::vector<std::string> env;
    if (!c.env.empty()) env.push_back(c.env);
    RunResult r = RunFilter(c.options, WriteRaster({UniformPage(8, 1, 0), UniformPage(8, 1, 0)}), env);
    if (c.err.empty()) {
      EXPECT_EQ(r.status, 0) << c.options;
      EXPECT_EQ(r.err, "PAGE: 1 1\nPAGE: 2 1\n") << c.options;
    } else {
      EXPECT_EQ(r.status, 1) << c.options;
      EXPECT_EQ(r.out, "") << c.options;
      EXPECT_EQ(r.err, "ERROR: " + c.err + "\n") << c.options;
    }
  }
}

}  // namespace
