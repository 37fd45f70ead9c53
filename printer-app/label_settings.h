#pragma once
// What the printer application's IPP settings mean on the label: the stock sizes under
// PWG media names, a job's media size in millimetres for SIZE, darkness, speed, offsets
// and the conversion rule. Plain values in, label_doc_t fields out; nothing here calls
// PAPPL, so the rules are tested on their own.

#include <array>
#include <cstdint>
#include <string>

#include "core/label_doc.h"
#include "core/page_list.h"

// Hundredths of a millimetre (IPP's media unit) for a length in points, rounded.
int PointsToHundredths(double points);

// The stock size's width and height in points, read from its name ("w288h144").
struct points_t {
  int width;
  int height;
};
points_t StockPoints(const page_size_t &size);

// The PWG self-describing name of a stock size: its PPD name between the class and the
// dimensions, "oe_w288h144_4x2in", in inches when both sides are whole quarter inches and
// in millimetres otherwise ("om_w283h283_99.84x99.84mm"). Clients read the dimensions.
std::string StockMediaName(const page_size_t &size);

// The custom range of the PPDs, in points: 32 to 288 wide, 32 to 2880 long.
inline constexpr points_t kCustomMinPoints{32, 32};
inline constexpr points_t kCustomMaxPoints{288, 2880};

// Sets labelWidth and labelHeight for a job's media of width x length hundredths of a
// millimetre, so that the label gets the SIZE the filter writes for the size a CUPS
// client asked for:
//  - the dimensions of a stock size (to the hundredth, as PWG names and media-col carry
//    them): that size's millimetres, as for its PPD name;
//  - whole points (a CUPS custom size "Custom.WxH" arrives as its points converted to
//    hundredths and rounded; converting back and forth gives the same number): the
//    filter's rule for a custom size in points, the width divided by 2.83 and rounded,
//    the height divided by 2.83 and truncated, each at least 11 mm;
//  - whole millimetres ("Custom.WxHmm"): those millimetres, each at least 11 mm;
//  - anything else: the points rule on the exact points.
void SetLabelSize(label_doc_t &doc, int width, int length);

// PAPPL keeps darkness as a percentage, and its web interface offers level i of n as
// 100 * i / (n - 1), truncated. The printer has 16 levels, 0 to 15.
inline constexpr int kDarknessLevels = 16;
int DarknessPercent(int level);

// The DENSITY level for the printer's configured darkness (0 to 100) plus a job's
// print-darkness (-100 to 100), held to 0..100 and rounded to the nearest level, so that
// every percentage the web interface offers gives back its own level.
int16_t DarknessLevel(int configured, int job);

// The SPEED setting (inches a second, 2 to 6) for IPP's print-speed in hundredths of a
// millimetre a second (2540 a step), rounded and held to the range; 0 (the web
// interface's "Auto") is the built-in default.
inline constexpr int kSpeedStep = 2540;
inline constexpr int kMinSpeed = 2, kMaxSpeed = 6;
int16_t SpeedSetting(int hundredthsPerSecond);

// A media offset in hundredths of a millimetre as the dots of a BITMAP origin at `dpi`,
// rounded: 2 mm is 16 dots at 203 dpi and 24 at 300, as the PPDs offer them.
int16_t OffsetDots(int hundredths, int dpi);
inline constexpr int kMaxOffset = 1000;  // 10 mm, the PPDs' largest offset

// The conversion rules under readable keywords, the filter's default first.
struct print_mode_t {
  const char *keyword;
  int16_t mode;
  const char *label;  // for the web interface
};
inline constexpr std::array<print_mode_t, 5> kPrintModes = {{
    {"bold-threshold", 5, "Bold text and barcodes (threshold)"},
    {"sharp-threshold", 0, "Sharp text and barcodes (threshold)"},
    {"fine-dither", 2, "Photos (fine dither 8x8)"},
    {"clustered-dither", 3, "Photos, coarse dots (clustered 8x8)"},
    {"smooth-dither", 4, "Smooth gradients (fine dither 16x16)"},
}};

// The rule of a keyword; the default rule for a keyword that is none of them.
int16_t ModeForKeyword(const char *keyword);

// The rule a job prints with: its configured rule, except that bi-level printing asks
// for a threshold and gets the default threshold unless the configured rule is one.
int16_t ModeForJob(int16_t configured, bool biLevel);
