// The printer application's settings rules where PAPPL's own numbers meet the label.

#include <gtest/gtest.h>

#include "printer-app/label_settings.h"

namespace {

// PAPPL 1.3.1's web interface offers darkness level i as 100 * i / 15 truncated (6 %
// for level 1); truncating back would give level 0. Every offered value gives back its
// own level, and a job's relative print-darkness is held to the range.
TEST(AppSettings, DarknessRoundsToTheNearestLevel) {
  for (int level = 0; level < kDarknessLevels; ++level) {
    EXPECT_EQ(DarknessLevel(DarknessPercent(level), 0), level) << DarknessPercent(level) << " %";
  }
  struct Case { int configured, job, level; } cases[] = {
      {46, 100, 15}, {46, -100, 0}, {0, 0, 0}, {100, 0, 15}, {46, 7, 8}};
  for (const Case &c : cases) EXPECT_EQ(DarknessLevel(c.configured, c.job), c.level);
}

// The PWG names carry the PPD's dimensions: quarter inches in inches, the rest in
// millimetres. A job's size in hundredths of a millimetre gets the SIZE the filter writes:
// a stock size's millimetres, and the filter's custom-size rule for the hundredths a CUPS
// client sends for "Custom.WxH" (points) and "Custom.WxHmm", the minimum included.
TEST(AppSettings, SizesGiveTheFiltersMillimetres) {
  struct Case { const char *stock, *pwg; int width, length, mmWidth, mmHeight; } cases[] = {
      {"w288h144", "oe_w288h144_4x2in", 10160, 5080, 102, 51},
      {"w283h283", "om_w283h283_99.84x99.84mm", 9984, 9984, 100, 100},
      {"w90h18", "oe_w90h18_1.25x0.25in", 3175, 635, 32, 6},
      {"Custom.170x113", nullptr, 5997, 3986, 60, 39},
      {"Custom.29x26", nullptr, 1023, 917, 11, 11},
      {"Custom.60x40mm", nullptr, 6000, 4000, 60, 40},
      {"Custom.10x10mm", nullptr, 1000, 1000, 11, 11},
  };
  for (const Case &c : cases) {
    for (const page_size_t &size : g_page_list) {
      if (c.pwg && std::string(size.name) == c.stock) {
        EXPECT_EQ(StockMediaName(size), c.pwg);
      }
    }
    label_doc_t doc{};
    SetLabelSize(doc, c.width, c.length);
    EXPECT_EQ(doc.labelWidth, c.mmWidth) << c.stock;
    EXPECT_EQ(doc.labelHeight, c.mmHeight) << c.stock;
  }
}

}  // namespace
