#include "filter/ppd_defaults.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/label_doc_compare.h"
#include "tests/support/log_capture.h"
#include "tests/support/run_filter.h"

namespace {

// The lines a small but proper PPD starts with; the attributes under test follow.
const std::string kPpdHeader =
    "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
    "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"TEST.PPD\"\n"
    "*Manufacturer: \"Test\"\n*Product: \"(Test Label)\"\n*ModelName: \"Test Label\"\n"
    "*ShortNickName: \"Test Label\"\n*NickName: \"Test Label, settings\"\n"
    "*cupsVersion: 2.4\n*cupsModelNumber: 3\n";

const label_doc_t kDefaults{4, 7, 0, 60, 40, 0, 0, 0, 0, 5};

struct Applied {
  label_doc_t doc;
  std::vector<std::string> log;
};

// Runs the PPD layer over `doc` with PPD naming `path` (unset for null).
Applied ApplyPpdAt(const char *path, label_doc_t doc = kDefaults) {
  if (path)
    setenv("PPD", path, 1);
  else
    unsetenv("PPD");
  LogToTemp log;
  set_pstops_with_ppd(doc);
  return {doc, log.messages()};
}

// Runs the PPD layer over the built-in defaults with a PPD made of the header and `body`.
Applied ApplyPpd(const std::string &body) {
  TempDir dir;
  const std::string path = dir.path + "/queue.ppd";
  WriteFile(path, kPpdHeader + body);
  Applied applied = ApplyPpdAt(path.c_str());
  EXPECT_GE(applied.log.size(), 2u);
  EXPECT_EQ(applied.log[0], "PPD=" + path);
  EXPECT_EQ(applied.log[1], "module_number:3");
  applied.log.erase(applied.log.begin(), applied.log.begin() + 2);
  return applied;
}

std::vector<std::string> Summary(const label_doc_t &doc) {
  return {"ppdfile PageSize:" + std::to_string(doc.labelWidth) + "x" +
              std::to_string(doc.labelHeight),
          "ppdfile Speed:" + std::to_string(doc.speed),
          "ppdfile Darkness:" + std::to_string(doc.darkness),
          "ppdfile MediaTracking:" + std::to_string(doc.mediaTracking),
          "ppdfile Mode:" + std::to_string(doc.mode)};
}

TEST(SetPstopsWithPpd, NoUsablePpdChangesNothing) {
  TempDir dir;
  const std::string garbage = dir.path + "/garbage.ppd", empty = dir.path + "/empty.ppd",
                    headerOnly = dir.path + "/no-ppd-adobe.ppd";
  WriteFile(garbage, std::string("\x00\xFF\x1F\x8B\x7F", 5) + std::string(200, '\xA5'));
  WriteFile(empty, "");
  WriteFile(headerOnly, "*DefaultDarkness: 3\n");
  const label_doc_t handedOver{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  struct Case { const char *path; const char *logged; } cases[] = {
      {nullptr, "(unset)"},
      {"", ""},
      {"/nonexistent/queue.ppd", "/nonexistent/queue.ppd"},
      {garbage.c_str(), garbage.c_str()},
      {empty.c_str(), empty.c_str()},
      {headerOnly.c_str(), headerOnly.c_str()},
      {dir.path.c_str(), dir.path.c_str()},  // a directory
  };
  for (const Case &c : cases) {
    Applied applied = ApplyPpdAt(c.path, handedOver);
    EXPECT_EQ(applied.doc, handedOver) << c.logged;
    EXPECT_EQ(applied.log,
              (std::vector<std::string>{std::string("PPD=") + c.logged, "can't param ppdfile"}));
  }
}

TEST(SetPstopsWithPpd, PpdWithoutTheAttributesLogsOnlyTheSummary) {
  Applied applied = ApplyPpd("*DefaultResolution: 203dpi\n*DefaultPageRegion: w90h18\n");
  EXPECT_EQ(applied.doc, kDefaults) << "no attributes";
  EXPECT_EQ(applied.log, Summary(kDefaults));
}

TEST(SetPstopsWithPpd, IntegerAttributes) {
  struct Case {
    const char *line;     // the PPD line
    const char *logged;   // the value as the "ppdfile" line shows it
    int16_t label_doc_t::*field;
    int16_t expected;
  } cases[] = {
      {"*DefaultPrintSpeed: 40", "40", &label_doc_t::speed, 4},
      {"*DefaultPrintSpeed: 45", "45", &label_doc_t::speed, 4},
      {"*DefaultPrintSpeed: 9", "9", &label_doc_t::speed, 0},
      {"*DefaultPrintSpeed: -15", "-15", &label_doc_t::speed, -1},
      {"*DefaultDarkness: \"9\"", "9", &label_doc_t::darkness, 9},
      {"*DefaultDarkness: Dark", "Dark", &label_doc_t::darkness, 0},
      {"*DefaultDarkness:", "", &label_doc_t::darkness, 0},  // present, without value text
      {"*DefaultDarkness: 99999999999", "99999999999", &label_doc_t::darkness, -1},
      {"*DefaultVertical: 12", "12", &label_doc_t::vertical, 12},
      {"*DefaultHorizontal: -8", "-8", &label_doc_t::horizontal, -8},
      {"*DefaultMediaTracking: 2", "2", &label_doc_t::mediaTracking, 2},
      {"*DefaultPrintMode: 0", "0", &label_doc_t::mode, 0},
      {"*DefaultPrintMode: 65538", "65538", &label_doc_t::mode, 2},
      {"*DefaultGapHeight: 250", "250", &label_doc_t::gapHeight, 250},
      {"*DefaultGapOffset: 100", "100", &label_doc_t::gapOffset, 100},
      {"*DefaultLabelMode: 3", "3", &label_doc_t::labelMode, 3},
      {"*DefaultCutInterval: 10", "10", &label_doc_t::cutInterval, 10},
      {"*DefaultTearOffset: -200", "-200", &label_doc_t::tearOffset, -200},
      {"*DefaultPrintShift: -8", "-8", &label_doc_t::shift, -8},
      {"*DefaultPrintDirection: 1", "1", &label_doc_t::direction, 1},
  };
  for (const Case &c : cases) {
    Applied applied = ApplyPpd(std::string(c.line) + "\n");
    label_doc_t expected = kDefaults;
    expected.*c.field = c.expected;
    EXPECT_EQ(applied.doc, expected) << c.line;
    std::string name(c.line + 1, std::string(c.line).find(':') - 1);
    std::vector<std::string> log = {"ppdfile " + name + ":" + c.logged};
    for (const std::string &line : Summary(expected)) log.push_back(line);
    EXPECT_EQ(applied.log, log) << c.line;
  }
}

TEST(SetPstopsWithPpd, PageSizes) {
  struct Case {
    const char *value;
    int16_t width, height;
    std::vector<std::string> custom;  // the "(src:wxh)" and unit lines
  } cases[] = {
      {"w288h144", 102, 51, {}},
      {"W288H144", 60, 40, {}},
      {"A4", 60, 40, {}},
      {"Custom.60x40mm", 60, 40, {"(src:wxh)|60.000000|40.000000|", "(mm:wxh)|60.000000|40.000000|"}},
      {"Custom.62.9x40.5mm", 62, 40,
       {"(src:wxh)|62.900002|40.500000|", "(mm:wxh)|62.900002|40.500000|"}},
      {"Custom.288x144pt", 101, 50,
       {"(src:wxh)|288.000000|144.000000|", "(pt:wxh)|101.600000|50.800000|"}},
      // The quotient by 72 is a float: in double precision this width would be 3259.
      {"Custom.9238.11x72pt", 3258, 25,
       {"(src:wxh)|9238.110352|72.000000|", "(pt:wxh)|3258.999911|25.400000|"}},
      {"Custom.6x4cm", 60, 40, {"(src:wxh)|6.000000|4.000000|", "(cm:wxh)|60.000000|40.000000|"}},
      {"Custom.0.7x0.7cm", 7, 7, {"(src:wxh)|0.700000|0.700000|", "(cm:wxh)|7.000000|7.000000|"}},
      {"Custom.4x2in", 101, 50, {"(src:wxh)|4.000000|2.000000|", "(in:wxh)|101.600000|50.800000|"}},
      {"Custom.1x0.5ft", 304, 152,
       {"(src:wxh)|1.000000|0.500000|", "(ft:wxh)|304.800000|152.400000|"}},
      {"Custom.0.1x0.05m", 100, 50,
       {"(src:wxh)|0.100000|0.050000|", "(m:wxh)|100.000000|50.000000|"}},
      // Numbers with nothing after them are points, as CUPS reads them.
      {"Custom.170x113", 59, 39,
       {"(src:wxh)|170.000000|113.000000|", "(pt:wxh)|59.972224|39.863888|"}},
      {"Custom.0.06x0.04.", 0, 0, {"(src:wxh)|0.060000|0.040000|", "(pt:wxh)|0.021167|0.014111|"}},
      {"Custom.0.06x0.04 m", 60, 40,
       {"(src:wxh)|0.060000|0.040000|", "(m:wxh)|60.000000|40.000000|"}},
      {"Custom.100x50points", 2540, 1270,
       {"(src:wxh)|100.000000|50.000000|", "(in:wxh)|2540.000000|1270.000000|"}},
      {"MyCustom.60x40mm", 0, 0, {"(src:wxh)|0.000000|0.000000|", "(mm:wxh)|0.000000|0.000000|"}},
      {"Custom.-5.9x70000mm", -5, 4464,  // toward zero; low 16 bits
       {"(src:wxh)|-5.900000|70000.000000|", "(mm:wxh)|-5.900000|70000.000000|"}},
      // Not finite, or beyond 32 bits: 0.
      {"Custom.1e40x5mm", 0, 5, {"(src:wxh)|inf|5.000000|", "(mm:wxh)|inf|5.000000|"}},
      {"Custom.nanx5mm", 0, 5, {"(src:wxh)|nan|5.000000|", "(mm:wxh)|nan|5.000000|"}},
      {"Custom.1e10x3e6m", 0, 0,
       {"(src:wxh)|10000000000.000000|3000000.000000|",
        "(m:wxh)|9999999827968.000000|3000000000.000000|"}},
  };
  for (const Case &c : cases) {
    Applied applied = ApplyPpd(std::string("*DefaultPageSize: ") + c.value + "\n");
    label_doc_t expected = kDefaults;
    expected.labelWidth = c.width;
    expected.labelHeight = c.height;
    EXPECT_EQ(applied.doc, expected) << c.value;
    std::vector<std::string> log = {std::string("ppdfile DefaultPageSize:") + c.value};
    log.insert(log.end(), c.custom.begin(), c.custom.end());
    for (const std::string &line : Summary(expected)) log.push_back(line);
    EXPECT_EQ(applied.log, log) << c.value;
  }
}

TEST(SetPstopsWithPpd, AllAttributesReadInTheirOrder) {
  // The file order differs from the reading order; a value without a number still counts.
  Applied applied = ApplyPpd(
      "*DefaultPrintMode: 3\n*DefaultMediaTracking: 1\n*DefaultHorizontal: 8\n"
      "*DefaultVertical: -4\n*DefaultPrintSpeed: 60\n*DefaultDarkness: none\n"
      "*DefaultPageSize: Custom.50x30mm\n");
  const label_doc_t expected{6, 0, 1, 50, 30, 0, 0, 8, -4, 3};
  EXPECT_EQ(applied.doc, expected) << "all";
  std::vector<std::string> log = {
      "ppdfile DefaultPageSize:Custom.50x30mm", "(src:wxh)|50.000000|30.000000|",
      "(mm:wxh)|50.000000|30.000000|",          "ppdfile DefaultDarkness:none",
      "ppdfile DefaultPrintSpeed:60",           "ppdfile DefaultVertical:-4",
      "ppdfile DefaultHorizontal:8",            "ppdfile DefaultMediaTracking:1",
      "ppdfile DefaultPrintMode:3"};
  for (const std::string &line : Summary(expected)) log.push_back(line);
  EXPECT_EQ(applied.log, log);
}

}  // namespace
