#include "filter/options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/label_doc_compare.h"
#include "tests/support/log_capture.h"

namespace {

struct Option {
  const char *name;
  const char *value;
};

// What one call of set_pstops_options leaves: the record, and the log lines it wrote
// after the two of the PPD layer (PPD is unset throughout).
struct Applied {
  label_doc_t doc;
  std::vector<std::string> log;
};

// Options as a hand-built array, as cupsParseOptions could never give them (it merges
// names), so that first-option-wins and exact names show.
Applied Apply(const std::vector<Option> &list, label_doc_t doc = {}) {
  unsetenv("PPD");
  std::vector<cups_option_t> options;
  for (const Option &o : list)
    options.push_back({const_cast<char *>(o.name), const_cast<char *>(o.value)});
  LogToTemp log;
  set_pstops_options(doc, static_cast<int>(options.size()), options.data());
  std::vector<std::string> lines = log.messages();
  EXPECT_GE(lines.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 2),
            (std::vector<std::string>{"PPD=(unset)", "can't param ppdfile"}));
  lines.erase(lines.begin(), lines.begin() + 2);
  return {doc, lines};
}

label_doc_t WithSize(int16_t width, int16_t height) {
  return label_doc_t{4, 7, 0, width, height, 0, 0, 0, 0, 5};
}

const label_doc_t kDefaults = WithSize(60, 40);

TEST(SetPstopsOptions, DefaultsStepTouchesOnlyItsSixFields) {
  const label_doc_t handedOver{99, 99, 99, 99, 99, 98, 97, 96, 95, 99};
  const label_doc_t expected{4, 7, 0, 60, 40, 98, 97, 96, 95, 5};
  Applied none = Apply({}, handedOver);
  EXPECT_EQ(none.doc, expected) << "no options";
  EXPECT_TRUE(none.log.empty());

  // A count of zero or less applies nothing, whatever the array holds.
  unsetenv("PPD");
  cups_option_t darkness{const_cast<char *>("Darkness"), const_cast<char *>("3")};
  for (int count : {0, -1}) {
    label_doc_t doc = handedOver;
    set_pstops_options(doc, count, &darkness);
    EXPECT_EQ(doc, expected) << "count " + std::to_string(count);
  }
}

TEST(SetPstopsOptions, IntegerOptions) {
  struct Case {
    Option option;
    int16_t label_doc_t::*field;
    int16_t expected;
    std::vector<std::string> log;
  } cases[] = {
      {{"Darkness", "12"}, &label_doc_t::darkness, 12, {}},
      {{"Darkness", "12abc"}, &label_doc_t::darkness, 12, {}},
      {{"Darkness", "7.9"}, &label_doc_t::darkness, 7, {}},
      {{"Darkness", ""}, &label_doc_t::darkness, 0, {}},
      {{"Darkness", "abc"}, &label_doc_t::darkness, 0, {}},
      {{"Darkness", "-15"}, &label_doc_t::darkness, -15, {}},
      {{"Darkness", "40000"}, &label_doc_t::darkness, -25536, {}},       // low 16 bits
      {{"Darkness", "99999999999"}, &label_doc_t::darkness, -1, {}},     // INT32_MAX
      {{"PrintSpeed", "60"}, &label_doc_t::speed, 6, {"doc->speed = 6"}},
      {{"PrintSpeed", "45"}, &label_doc_t::speed, 4, {"doc->speed = 4"}},
      {{"PrintSpeed", "9"}, &label_doc_t::speed, 0, {"doc->speed = 0"}},
      {{"PrintSpeed", "-15"}, &label_doc_t::speed, -1, {"doc->speed = -1"}},
      {{"PrintSpeed", "99999999999"}, &label_doc_t::speed, -13108, {"doc->speed = -13108"}},
      {{"Horizontal", "-8"}, &label_doc_t::horizontal, -8, {}},
      {{"Vertical", "16mm"}, &label_doc_t::vertical, 16, {}},
      {{"MediaTracking", "3"}, &label_doc_t::mediaTracking, 3, {"doc->mediaTracking = 3"}},
      {{"PrintMode", "2"}, &label_doc_t::mode, 2, {"doc->mode = 2"}},
      {{"PrintMode", "70000"}, &label_doc_t::mode, 4464, {"doc->mode = 4464"}},
  };
  for (const Case &c : cases) {
    const std::string what = std::string(c.option.name) + "=" + c.option.value;
    Applied applied = Apply({c.option});
    label_doc_t expected = kDefaults;
    expected.*c.field = c.expected;
    EXPECT_EQ(applied.doc, expected) << what;
    EXPECT_EQ(applied.log, c.log) << what;
  }
}

TEST(SetPstopsOptions, MediaAndFinishingOptions) {
  struct Case {
    Option option;
    int16_t label_doc_t::*field;
    int16_t expected;
    const char *log;
  } cases[] = {
      {{"GapHeight", "300"}, &label_doc_t::gapHeight, 300, "doc->gapHeight = 300"},
      {{"GapHeight", "3.5"}, &label_doc_t::gapHeight, 3, "doc->gapHeight = 3"},  // hundredths
      {{"GapOffset", "-100"}, &label_doc_t::gapOffset, -100, "doc->gapOffset = -100"},
      {{"LabelMode", "1"}, &label_doc_t::labelMode, 1, "doc->labelMode = 1"},
      {{"LabelMode", "peel"}, &label_doc_t::labelMode, 0, "doc->labelMode = 0"},
      {{"CutInterval", "3"}, &label_doc_t::cutInterval, 3, "doc->cutInterval = 3"},
      {{"TearOffset", "-50"}, &label_doc_t::tearOffset, -50, "doc->tearOffset = -50"},
      {{"PrintShift", "70000"}, &label_doc_t::shift, 4464, "doc->shift = 4464"},  // low 16 bits
      {{"PrintDirection", "2"}, &label_doc_t::direction, 2, "doc->direction = 2"},
  };
  for (const Case &c : cases) {
    const std::string what = std::string(c.option.name) + "=" + c.option.value;
    Applied applied = Apply({c.option, {c.option.name, "77"}});  // the first one wins
    label_doc_t expected = kDefaults;
    expected.*c.field = c.expected;
    EXPECT_EQ(applied.doc, expected) << what;
    EXPECT_EQ(applied.log, std::vector<std::string>{c.log}) << what;
  }

  // Every call starts from the defaults, whatever the record held.
  label_doc_t handedOver = kDefaults;
  handedOver.labelMode = 2, handedOver.gapHeight = 1, handedOver.direction = 1;
  EXPECT_EQ(Apply({}, handedOver).doc, kDefaults);
  EXPECT_EQ(Apply({{"gapheight", "1"}, {"LabelMode ", "1"}}).doc, kDefaults);
}

TEST(SetPstopsOptions, FirstOptionOfANameWinsAndNamesMatchExactly) {
  struct Case {
    const char *what;
    std::vector<Option> options;
    label_doc_t expected;
    std::vector<std::string> log;
  } cases[] = {
      {"first of two", {{"Darkness", "3"}, {"Darkness", "9"}}, {4, 3, 0, 60, 40, 0, 0, 0, 0, 5}, {}},
      {"first empty still wins", {{"Darkness", ""}, {"Darkness", "9"}},
       {4, 0, 0, 60, 40, 0, 0, 0, 0, 5}, {}},
      {"later one not logged", {{"PrintSpeed", "45"}, {"PrintSpeed", "90"}},
       {4, 7, 0, 60, 40, 0, 0, 0, 0, 5}, {"doc->speed = 4"}},
      {"unknown size still decides",
       {{"PageSize", "W90H18"}, {"PageSize", "w90h18"}},
       kDefaults,
       {"996_PageSize=PageSize", "997_page_size=W90H18"}},
      {"names are exact",
       {{"darkness", "3"}, {"Darkness ", "3"}, {"Dark", "3"}, {"PrintModes", "0"}, {"", "1"}},
       kDefaults,
       {}},
      {"applied and logged in array order",
       {{"PrintMode", "0"}, {"Vertical", "4"}, {"MediaTracking", "2"}, {"PrintSpeed", "30"},
        {"Horizontal", "-3"}, {"PageSize", "w90h18"}, {"media", "A4"}},
       {3, 7, 2, 32, 6, 0, 0, -3, 4, 0},
       {"doc->mode = 0", "doc->mediaTracking = 2", "doc->speed = 3", "996_PageSize=PageSize",
        "997_page_size=w90h18"}},
  };
  for (const Case &c : cases) {
    Applied applied = Apply(c.options);
    EXPECT_EQ(applied.doc, c.expected) << c.what;
    EXPECT_EQ(applied.log, c.log) << c.what;
  }
}

TEST(SetPstopsOptions, CustomPageSizes) {
  struct Case {
    const char *value;
    int16_t width, height;
    const char *read, *quotient;  // the first two "(wxh)" lines
    const char *unit = nullptr;   // the unit's line, for a size in a unit other than points
  } cases[] = {
      {"Custom.288x288", 102, 101, "288.000000|288.000000", "101.766784|101.766784"},
      {"Custom.288x432", 102, 152, "288.000000|432.000000", "101.766784|152.650177"},
      {"Custom.169.8x113.2", 60, 39, "169.800003|113.199997", "60.000001|39.999999"},
      {"Custom.33x33", 12, 11, "33.000000|33.000000", "11.660777|11.660777"},
      {"Custom.20x20", 11, 11, "20.000000|20.000000", "7.067138|7.067138"},
      {"Custom.100", 35, 11, "100.000000|0.000000", "35.335689|0.000000"},
      {"Custom.-100x-100", 11, 11, "-100.000000|-100.000000", "-35.335689|-35.335689"},
      {"MyCustom.288x288", 11, 11, "0.000000|0.000000", "0.000000|0.000000"},
      // A unit other than points converts as in the PPD layer, truncated, then the minimum.
      {"Custom.4x6in", 101, 152, "4.000000|6.000000", "1.413428|2.120141",
       "(in:wxh)|101.600000|152.400000|"},
      {"Custom.60x40mm", 60, 40, "60.000000|40.000000", "21.201413|14.134276",
       "(mm:wxh)|60.000000|40.000000|"},
      {"Custom.0.7x0.7cm", 11, 11, "0.700000|0.700000", "0.247350|0.247350",
       "(cm:wxh)|7.000000|7.000000|"},
      {"Custom.1x0.5ft", 304, 152, "1.000000|0.500000", "0.353357|0.176678",
       "(ft:wxh)|304.800000|152.400000|"},
      {"Custom.100x50points", 2540, 1270, "100.000000|50.000000", "35.335689|17.667845",
       "(in:wxh)|2540.000000|1270.000000|"},
      // "pt" is found before "in": points, as without a unit.
      {"Custom.288x144ptin", 102, 50, "288.000000|144.000000", "101.766784|50.883392"},
      // Wider than 16 bits: the stored value wraps negative and the minimum raises it.
      {"Custom.100000x100000", 11, 11, "100000.000000|100000.000000",
       "35335.689046|35335.689046"},
      // Quotients beyond 32 bits, or not numbers at all, count as 0.
      {"Custom.1e10x1e10", 11, 11, "10000000000.000000|10000000000.000000",
       "3533568904.593639|3533568904.593639"},
      {"Custom.1e40x-1e40", 11, 11, "inf|-inf", "inf|-inf"},
      {"Custom.nanx288", 11, 101, "nan|288.000000", "nan|101.766784"},
  };
  for (const Case &c : cases) {
    Applied applied = Apply({{"PageSize", c.value}});
    EXPECT_EQ(applied.doc, WithSize(c.width, c.height)) << c.value;
    std::vector<std::string> log = {"996_PageSize=PageSize",
                                    std::string("997_page_size=") + c.value,
                                    std::string("(wxh)|") + c.read + "|",
                                    std::string("(wxh)|") + c.quotient + "|"};
    if (c.unit) log.push_back(c.unit);
    log.push_back("(wxh)|" + std::to_string(c.width) + "|" + std::to_string(c.height) + "|");
    EXPECT_EQ(applied.log, log) << c.value;
  }
}

TEST(SetPstopsOptions, StockPageSizes) {
  struct Case {
    const char *value;
    int16_t width, height;
  } cases[] = {
      {"w283h283", 100, 100}, {"w288h936", 102, 330}, {"w288h144", 102, 51},
      {"w90h18", 32, 6},  // stock sizes are not raised to the custom minimum
      {"W90H18", 60, 40}, {"w90h18 ", 60, 40}, {"A4", 60, 40}, {"", 60, 40},
  };
  for (const Case &c : cases) {
    Applied applied = Apply({{"PageSize", c.value}});
    EXPECT_EQ(applied.doc, WithSize(c.width, c.height)) << c.value;
    EXPECT_EQ(applied.log, (std::vector<std::string>{"996_PageSize=PageSize",
                                                     std::string("997_page_size=") + c.value}))
        << c.value;
  }
}

}  // namespace
