// The driver's PPDs against the filter that reads them: the stock sizes a user picks are
// the filter's own, with the same dimensions; the queue defaults reach the settings record
// as they are named; and every choice of the filter's options is a number it reads whole.

#include <cups/ppd.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cupsutil/cups_handles.h"
#include "filter/options.h"
#include "core/page_list.h"
#include "tests/support/label_doc_compare.h"

namespace {

const char *const kPpds[] = {SOURCE_DIR "/ppd/vantel-203.ppd", SOURCE_DIR "/ppd/vantel-300.ppd"};

TEST(DriverPpd, StockSizesAreTheFilters) {
  for (const char *path : kPpds) {
    PpdPtr ppd{ppdOpenFile(path)};
    ASSERT_TRUE(ppd) << path;
    std::vector<std::string> names;
    for (int i = 0; i < ppd->num_sizes; ++i) {
      if (std::string(ppd->sizes[i].name) != "Custom") names.push_back(ppd->sizes[i].name);
    }
    std::vector<std::string> filterNames;
    for (const page_size_t &size : g_page_list) filterNames.push_back(size.name);
    EXPECT_EQ(names, filterNames) << path;

    // The page CUPS renders is the size the name says, and the text the user picks it by
    // gives the millimetres the filter sends to the printer.
    ppd_option_t *pageSize = ppdFindOption(ppd.get(), "PageSize");
    ASSERT_TRUE(pageSize) << path;
    for (const page_size_t &size : g_page_list) {
      int widthPt = 0, heightPt = 0;
      ASSERT_EQ(sscanf(size.name, "w%dh%d", &widthPt, &heightPt), 2);
      ppd_size_t *dims = ppdPageSize(ppd.get(), size.name);
      ppd_choice_t *choice = ppdFindChoice(pageSize, size.name);
      ASSERT_TRUE(dims && choice) << path << " " << size.name;
      EXPECT_EQ(dims->width, widthPt) << size.name;
      EXPECT_EQ(dims->length, heightPt) << size.name;
      EXPECT_EQ(dims->right - dims->left, widthPt) << size.name;  // printable edge to edge
      EXPECT_EQ(dims->top - dims->bottom, heightPt) << size.name;
      const std::string mm =
          "(" + std::to_string(size.width) + " x " + std::to_string(size.height) + " mm)";
      EXPECT_NE(std::string(choice->text).find(mm), std::string::npos)
          << size.name << ": " << choice->text;
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
    for (const char *name : {"Darkness", "PrintSpeed", "PrintMode", "Horizontal", "Vertical"}) {
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
