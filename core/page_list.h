#pragma once
// The label sizes: the printer's stock sizes, known by their PPD page size names, and
// the rule for the custom sizes a job asks for.

#include <array>
#include <cstdint>

#include "core/label_doc.h"

struct page_size_t {
  const char *name;  // "w<width>h<height>", width and height in points
  int32_t width;     // whole millimetres
  int32_t height;    // whole millimetres
};

extern const std::array<page_size_t, 47> g_page_list;

// Stores the size of the first stock size whose name equals `name` exactly (case and all)
// in labelWidth and labelHeight. A name that is in no entry changes nothing and gives
// false.
bool set_stock_page_size(label_doc_t &doc, const char *name);

// Points per millimetre in a custom size, taken as 2.83 rather than 72 / 25.4: label sizes
// have always been worked out with it.
inline constexpr double kPointsPerMillimetre = 2.83;

// A custom label is never narrower or shorter than this, in millimetres.
inline constexpr int16_t kMinimumCustomSize = 11;

// `value` truncated toward zero to a 32-bit integer. A value that is not finite, or does
// not fit 32 bits once truncated, gives 0: the same as a size that could not be read.
int32_t truncate_to_int(double value);

// Stores the size of a custom label asked for as `width` x `height` points: divided by
// 2.83, the width rounded to the nearest millimetre but the height truncated; then both
// raised to the minimum (a 16-bit result that wrapped negative included). False when a
// side in millimetres is not a number or does not fit the record's 16 bits: what is
// stored then (its low 16 bits, or 0, raised to the minimum) is not the size asked for.
bool set_custom_points_size(label_doc_t &doc, double width, double height);

// Stores the size of a custom label asked for in millimetres: both truncated, then raised
// to the minimum. False as for set_custom_points_size.
bool set_custom_millimetre_size(label_doc_t &doc, double width, double height);

// Whether `millimetres`, truncated, is a number the record's 16-bit fields hold as it is.
bool fits_label_field(double millimetres);
