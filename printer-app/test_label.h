#pragma once
// The printer application's test label: the printer's name and settings in plain letters
// and a Code 128 of its name, drawn at the printer's own resolution as a gray PNG that
// the app prints as any other image job. Nothing here calls PAPPL.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct test_label_t {
  std::string name;      // the printer's name
  int dpi = 203;
  int darkness = 0;      // the printer's level, 0 to 15
  int speed = 0;         // inches a second
  int width = 0;         // the loaded label, hundredths of a millimetre
  int length = 0;
  std::string tracking;  // "GAP", "BLACK MARK" or "CONTINUOUS"
};

// Code 128 (set B) of `text` as modules from the start character to the stop character,
// true where a bar is. Characters outside printable ASCII are left out.
std::vector<bool> Code128Modules(std::string_view text);

// The lines of text the label carries, top to bottom.
std::vector<std::string> TestLabelLines(const test_label_t &label);

// The label as an 8-bit gray PNG (0 black) of the label's size in dots at its
// resolution; "" when the label has no area.
std::string TestLabelPng(const test_label_t &label);
