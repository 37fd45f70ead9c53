#include "filter/setting_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "core/page_list.h"

namespace {

TEST(LeadingInt, ReadsAsAtoiAndHoldsAtThe32BitLimits) {
  struct Case { const char *text; int32_t expected; } cases[] = {
      {"12abc", 12}, {"7.9", 7}, {"", 0}, {"-15", -15}, {"\n\t +8", 8}, {"+-8", 0},
      {"x12", 0}, {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX},
      {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN},
      {"99999999999999999999999999", INT32_MAX}, {nullptr, 0},
  };
  for (const Case &c : cases) EXPECT_EQ(leading_int(c.text), c.expected) << (c.text ? c.text : "null");
}

TEST(TruncateToInt, TowardZeroAndZeroOutsideThe32BitRange) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case { double value; int32_t expected; } cases[] = {
      {39.999999, 39}, {-34.8, -34}, {2147483647.9, INT32_MAX}, {2147483648.0, 0},
      {-2147483648.9, INT32_MIN}, {-2147483649.0, 0}, {inf, 0}, {-inf, 0}, {std::nan(""), 0},
  };
  for (const Case &c : cases) EXPECT_EQ(truncate_to_int(c.value), c.expected) << c.value;
}

TEST(ParseCustomSize, ReadsWhatSscanfReads) {
  // Where sscanf's %f is well defined (every number fits a float) it is the reference.
  for (const char *text :
       {"Custom.62.9x40.5mm", "Custom.100", "Custom.100ex50", "Custom.0x10x20", "Custom. 5x 6",
        "Custom.+5x-6", "Custom.-x5", "Custom.0x", "Custom.5e+x3", "Custom..5x.5",
        "Custom.infinityx3", "Custom.nan(1)x3", "Custom.4X6", "custom.4x6", "MyCustom.4x6",
        "Custom", "Custom.", ""}) {
    float width = 0, height = 0;
    sscanf(text, "Custom.%fx%f", &width, &height);
    const custom_size_t size = parse_custom_size(text);
    EXPECT_EQ(std::isnan(size.width), std::isnan(width)) << text;
    if (!std::isnan(width)) {
      EXPECT_EQ(size.width, width) << text;
    }
    EXPECT_EQ(size.height, height) << text;
  }
}

TEST(ParseCustomSize, NumbersTooLargeForAFloatAreInfinite) {
  const custom_size_t size = parse_custom_size("Custom.1e40x-1e999mm");
  EXPECT_EQ(size.width, std::numeric_limits<float>::infinity());
  EXPECT_EQ(size.height, -std::numeric_limits<float>::infinity());
  EXPECT_EQ(parse_custom_size(nullptr).width, 0.0f);
}

TEST(StockPageSize, UnknownOrNullNameChangesNothing) {
  label_doc_t doc{4, 7, 0, 60, 40, 0, 0, 0, 0, 5};
  EXPECT_TRUE(set_stock_page_size(doc, "w90h162"));
  for (const char *name : {"w90h1620", (const char *)nullptr}) {
    EXPECT_FALSE(set_stock_page_size(doc, name));
    EXPECT_EQ(doc.labelWidth, 32);
    EXPECT_EQ(doc.labelHeight, 57);
  }
}

}  // namespace
