// The printer application's test label: its Code 128 is the one zint draws, and a
// scanner reads it on the labels people load.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "printer-app/test_label.h"

namespace {

// What `command` prints on standard output, or "" when it can't run.
std::string Output(const std::string &command) {
  std::string text;
  if (FILE *pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
    pclose(pipe);
  }
  return text;
}

bool Have(const char *tool) { return system(("command -v " + std::string(tool) + " >/dev/null").c_str()) == 0; }

// zint's hexadecimal dump of a barcode's modules as a string of '1' (bar) and '0'.
std::string ZintModules(const std::string &text) {
  std::string bits;
  for (char c : Output("zint -b 20 --dump -d '" + text + "'")) {
    if (!isxdigit(static_cast<unsigned char>(c))) continue;
    const int nibble = isdigit(static_cast<unsigned char>(c)) ? c - '0' : tolower(c) - 'a' + 10;
    for (int bit = 3; bit >= 0; --bit) bits += (nibble >> bit & 1) ? '1' : '0';
  }
  return bits;
}

TEST(TestLabel, Code128IsZintsForEveryPrintableCharacter) {
  if (!Have("zint")) GTEST_SKIP() << "zint is not installed";
  for (const char *text : {"lab", "Vantel Lab-3", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz",
                           "0a1b2c3d4e5f6g7h8i9j", "!#$%&()*+,-./:;<=>?@[]^_`{|}~ "}) {
    std::string ours;
    for (bool bar : Code128Modules(text)) ours += bar ? '1' : '0';
    // zint's dump ends on a whole hexadecimal digit: the last one is padded with spaces.
    const std::string theirs = ZintModules(text);
    ASSERT_GE(theirs.size(), ours.size()) << text;
    EXPECT_EQ(ours, theirs.substr(0, ours.size())) << text;
    EXPECT_EQ(theirs.find('1', ours.size()), std::string::npos) << text;
  }
}

// The PNG's width and height.
std::pair<unsigned, unsigned> PngSize(const std::string &png) {
  if (png.size() < 24) return {0, 0};
  const auto at = [&](size_t i) {
    return static_cast<unsigned>(static_cast<unsigned char>(png[i]) << 24 | static_cast<unsigned char>(png[i + 1]) << 16 |
                                 static_cast<unsigned char>(png[i + 2]) << 8 | static_cast<unsigned char>(png[i + 3]));
  };
  return {at(16), at(20)};
}

TEST(TestLabel, ScannersReadItsCodeOnEveryStock) {
  struct Case {
    int dpi, width, length;  // hundredths of a millimetre
    unsigned dotsWide, dotsLong;
  } cases[] = {
      {203, 5080, 2540, 406, 203},     // 2 x 1 in
      {203, 10160, 15240, 812, 1218},  // 4 x 6 in
      {300, 5000, 3000, 591, 354},     // 50 x 30 mm
      {300, 2540, 1270, 300, 150},     // 1 x 0.5 in
  };
  const bool zbar = Have("zbarimg");
  for (const Case &c : cases) {
    test_label_t label{"lab-" + std::to_string(c.dpi), c.dpi, 8, 4, c.width, c.length, "GAP"};
    const std::string png = TestLabelPng(label);
    EXPECT_EQ(PngSize(png), std::make_pair(c.dotsWide, c.dotsLong)) << c.dpi << " " << c.width;
    if (!zbar) continue;
    char path[] = "/tmp/vantel-test-label.XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, png.data(), png.size()), static_cast<ssize_t>(png.size()));
    close(fd);
    EXPECT_EQ(Output(std::string("zbarimg -q ") + path + " 2>/dev/null"), "CODE-128:" + label.name + "\n")
        << c.dpi << " " << c.width << "x" << c.length;
    unlink(path);
  }
  EXPECT_EQ(TestLabelPng(test_label_t{"lab", 203, 8, 4, 0, 2540, "GAP"}), "");
  // Any name a client can give: too long for the code and the label, not ASCII.
  EXPECT_NE(TestLabelPng(test_label_t{std::string(300, '\xe9'), 203, 8, 4, 2540, 1270, "GAP"}), "");
}

TEST(TestLabel, SaysWhatThePrinterIsSetTo) {
  const test_label_t label{"Shipping", 203, 15, 6, 10160, 15240, "BLACK MARK"};
  EXPECT_EQ(TestLabelLines(label), (std::vector<std::string>{"TEST LABEL", "Shipping", "203 DPI",
                                                             "DARKNESS 15 SPEED 6", "101.6 X 152.4 MM BLACK MARK"}));
}

}  // namespace
