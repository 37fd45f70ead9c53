#pragma once
// What the printer application's stock and finishing settings mean on the label: IPP's
// media-tracking and label-mode values, the tear-off position and the vendor settings
// (gap height and offset, cut interval, print shift and direction) as label_doc_t fields,
// written by the core writer exactly as the filter writes the same PPD choices. Plain
// values in, fields out; nothing here calls PAPPL.

#include <array>
#include <cstdint>

#include "core/label_doc.h"

// IPP's media-tracking values, as PAPPL's bits (pappl_media_tracking_t).
inline constexpr unsigned kIppTrackingContinuous = 0x01, kIppTrackingGap = 0x02,
                          kIppTrackingMark = 0x04;

// The record's mediaTracking for a media-tracking bit: gap (and anything else) 0, mark 1,
// continuous 2.
int16_t TrackingSetting(unsigned tracking);

// IPP's label-mode values, as PAPPL's bits (pappl_label_mode_t).
inline constexpr unsigned kIppModeCutter = 0x0002, kIppModeCutterDelayed = 0x0004,
                          kIppModePeelOff = 0x0010, kIppModeTearOff = 0x0100;

// The record's labelMode for a label-mode bit: tear-off (and anything else) 0, peel-off
// 1, cutter 2, cutter-delayed (one cut after the job) 3.
int16_t LabelModeSetting(unsigned mode);

// The vendor settings, each a whole number in the PPD option's unit (hundredths of a
// millimetre, labels, dots) with its range and default; the direction is a keyword.
struct vendor_range_t {
  const char *name;
  int16_t label_doc_t::*field;
  int low, high;
  const char *label;  // for the web interface
};
inline constexpr const char *kGapHeightOption = "vantel-gap-height";
inline constexpr const char *kGapOffsetOption = "vantel-gap-offset";
inline constexpr const char *kCutIntervalOption = "vantel-cut-interval";
inline constexpr const char *kPrintShiftOption = "vantel-print-shift";
inline constexpr const char *kPrintDirectionOption = "vantel-print-direction";
inline constexpr std::array<vendor_range_t, 4> kVendorRanges = {{
    {kGapHeightOption, &label_doc_t::gapHeight, 0, 2000, "Gap or mark height (1/100 mm)"},
    {kGapOffsetOption, &label_doc_t::gapOffset, 0, 2000, "Gap or mark offset (1/100 mm)"},
    {kCutIntervalOption, &label_doc_t::cutInterval, 1, 100, "Cut after every N labels"},
    {kPrintShiftOption, &label_doc_t::shift, -35, 35, "Fine vertical position (dots)"},
}};

// The value a vendor setting of `range` prints with: `value` held to its range.
int16_t VendorSetting(const vendor_range_t &range, long value);

// The print directions under readable keywords, the default first.
struct print_direction_keyword_t {
  const char *keyword;
  int16_t direction;
};
inline constexpr std::array<print_direction_keyword_t, 3> kPrintDirections = {{
    {"normal", kDirectionNormal},
    {"upside-down", kDirectionUpsideDown},
    {"mirrored", kDirectionMirrored},
}};

// The direction of a keyword; normal for one that is none of them.
int16_t DirectionForKeyword(const char *keyword);

// The tear-off position (label-tear-offset-configured, hundredths of a millimetre) held
// to the PPD's range, -3 mm to +3 mm.
inline constexpr int kMaxTearOffset = 300;
int16_t TearOffsetSetting(int hundredths);
