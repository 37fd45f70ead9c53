// The driver's PPDs against the filter that reads them: the stock sizes of the driver
// information file (ppd/vantel.drv, the PPDs' source) are the filter's own, with the same
// dimensions, and every PPD offers them all; the queue defaults reach the settings record
// as they are named; and every choice of the filter's options is a number it reads whole.

#include <cups/ppd.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "cupsutil/cups_handles.h"
#include "filter/options.h"
#include "core/page_list.h"
#include "tests/support/label_doc_compare.h"

namespace {

const char *const kPpds[] = {SOURCE_DIR "/ppd/vantel-203.ppd", SOURCE_DIR "/ppd/vantel-300.ppd"};

struct DrvSize {
  std::string name, text;
  int width, length;  // points
};

// The sizes the .drv defines (#media "name/text" width length), in its order.
std::vector<DrvSize> DrvSizes() {
  std::ifstream drv(SOURCE_DIR "/ppd/vantel.drv");
  const std::regex media(R"re(^#media\s+"([^/"]+)/([^"]*)"\s+(\d+)\s+(\d+)\s*$)re");
  std::vector<DrvSize> sizes;
  std::smatch m;
  for (std::string line; std::getline(drv, line);) {
    if (std::regex_match(line, m, media))
      sizes.push_back({m[1], m[2], std::stoi(m[3]), std::stoi(m[4])});
  }
  return sizes;
}

TEST(DriverPpd, StockSizesAreTheFilters) {
  const std::vector<DrvSize> drv = DrvSizes();
  ASSERT_EQ(drv.size(), g_page_list.size());
  for (size_t i = 0; i < drv.size(); ++i) {
    const page_size_t &size = g_page_list[i];
    EXPECT_EQ(drv[i].name, size.name);
    // The page CUPS renders is the size the name says, and the text the user picks it by
    // gives the millimetres the filter sends to the printer.
    EXPECT_EQ("w" + std::to_string(drv[i].width) + "h" + std::to_string(drv[i].length), size.name);
    const std::string mm =
        "(" + std::to_string(size.width) + " x " + std::to_string(size.height) + " mm)";
    EXPECT_NE(drv[i].text.find(mm), std::string::npos) << size.name << ": " << drv[i].text;
  }

  // Every PPD offers each of them, printable edge to edge, and no other.
  for (const char *path : kPpds) {
    PpdPtr ppd{ppdOpenFile(path)};
    ASSERT_TRUE(ppd) << path;
    std::vector<std::string> names;
    for (int i = 0; i < ppd->num_sizes; ++i) {
      if (std::string(ppd->sizes[i].name) != "Custom") names.push_back(ppd->sizes[i].name);
    }
    ASSERT_EQ(names.size(), drv.size()) << path;
    for (const DrvSize &size : drv) {
      ppd_size_t *dims = ppdPageSize(ppd.get(), size.name.c_str());
      ASSERT_TRUE(dims) << path << " " << size.name;
      EXPECT_EQ(dims->width, size.width) << size.name;
      EXPECT_EQ(dims->length, size.length) << size.name;
      EXPECT_EQ(dims->right - dims->left, size.width) << size.name;
      EXPECT_EQ(dims->top - dims->bottom, size.length) << size.name;
    }
  }
}

TEST(DriverPpd, QueueDefaultsReachTheSettingsRecord) {
  // 4 x 2 in (102 x 51 mm), speed 40 / 10, darkness 7, media tracking 0, the bitmap at
  // 0,0, print mode 5.
  const label_doc_t expected{4, 7, 0, 102, 51, 0, 0, 0, 0, 5};
  for (const char *path : kPpds) {
    setenv("PPD", path, 1);
    label_doc_t doc{};
    set_pstops_options(doc, 0, nullptr);
    EXPECT_EQ(doc, expected) << path;
  }
  unsetenv("PPD");
}

TEST(DriverPpd, ChoicesAreNumbersTheFilterReadsWhole) {
  for (const char *path : kPpds) {
    PpdPtr ppd{ppdOpenFile(path)};
    ASSERT_TRUE(ppd) << path;
    for (const char *name : {"Darkness", "PrintSpeed", "PrintMode", "Horizontal", "Vertical",
                             "MediaTracking", "GapHeight", "GapOffset", "LabelMode",
                             "CutInterval", "TearOffset", "PrintShift", "PrintDirection"}) {
      ppd_option_t *option = ppdFindOption(ppd.get(), name);
      ASSERT_TRUE(option) << path << " " << name;
      for (int i = 0; i < option->num_choices; ++i) {
        const std::string choice = option->choices[i].choice;
        char *end = nullptr;
        const long value = strtol(choice.c_str(), &end, 10);
        EXPECT_TRUE(!choice.empty() && *end == '\0') << name << " " << choice;
        // The filter divides the speed by 10: any other choice would print at a speed
        // its text does not say.
        if (std::string(name) == "PrintSpeed") {
          EXPECT_EQ(value % 10, 0) << choice;
        }
      }
    }
  }
}

}  // namespace
