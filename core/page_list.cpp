#include "core/page_list.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// Point sizes converted to millimetres and rounded once, when the table was made.
const std::array<page_size_t, 47> g_page_list = {{
    {"w283h283", 100, 100}, {"w283h340", 100, 120}, {"w283h425", 100, 150},
    {"w283h481", 100, 170}, {"w283h510", 100, 180}, {"w283h566", 100, 200},
    {"w283h708", 100, 250}, {"w90h18", 32, 6},      {"w90h162", 32, 57},
    {"w108h18", 38, 6},     {"w108h36", 38, 13},    {"w108h72", 38, 25},
    {"w108h144", 38, 51},   {"w144h26", 51, 9},     {"w144h36", 51, 13},
    {"w144h72", 51, 25},    {"w144h90", 51, 32},    {"w144h288", 51, 102},
    {"w144h396", 51, 140},  {"w162h36", 57, 13},    {"w162h90", 57, 32},
    {"w162h288", 57, 102},  {"w162h396", 57, 140},  {"w171h396", 60, 140},
    {"w180h72", 64, 25},    {"w180h144", 64, 51},   {"w198h90", 70, 32},
    {"w216h72", 76, 25},    {"w216h90", 76, 32},    {"w216h144", 76, 51},
    {"w216h216", 76, 76},   {"w216h360", 76, 127},  {"w234h144", 83, 51},
    {"w234h360", 83, 127},  {"w234h396", 83, 140},  {"w234h419", 83, 148},
    {"w234h563", 83, 199},  {"w252h72", 89, 25},    {"w288h72", 102, 25},
    {"w288h144", 102, 51},  {"w288h180", 102, 64},  {"w288h216", 102, 76},
    {"w288h288", 102, 102}, {"w288h360", 102, 127}, {"w288h432", 102, 152},
    {"w288h468", 102, 165}, {"w288h936", 102, 330},
}};

bool set_stock_page_size(label_doc_t &doc, const char *name) {
  if (!name) return false;
  for (const page_size_t &size : g_page_list) {
    if (strcmp(size.name, name) == 0) {
      doc.labelWidth = low_16_bits(size.width);
      doc.labelHeight = low_16_bits(size.height);
      return true;
    }
  }
  return false;
}

int32_t truncate_to_int(double value) {
  if (!std::isfinite(value) || value <= -2147483649.0 || value >= 2147483648.0) return 0;
  return static_cast<int32_t>(value);
}

namespace {

void set_custom_size(label_doc_t &doc, int32_t width, int32_t height) {
  doc.labelWidth = std::max(low_16_bits(width), kMinimumCustomSize);
  doc.labelHeight = std::max(low_16_bits(height), kMinimumCustomSize);
}

}  // namespace

bool fits_label_field(double millimetres) {
  return std::isfinite(millimetres) && millimetres > INT16_MIN - 1.0 && millimetres < INT16_MAX + 1.0;
}

bool set_custom_points_size(label_doc_t &doc, double width, double height) {
  const double widthMm = width / kPointsPerMillimetre + 0.5, heightMm = height / kPointsPerMillimetre;
  set_custom_size(doc, truncate_to_int(widthMm), truncate_to_int(heightMm));
  return fits_label_field(widthMm) && fits_label_field(heightMm);
}

bool set_custom_millimetre_size(label_doc_t &doc, double width, double height) {
  set_custom_size(doc, truncate_to_int(width), truncate_to_int(height));
  return fits_label_field(width) && fits_label_field(height);
}
