#include "filter/setting_text.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int32_t leading_int(const char *text) {
  if (!text) return 0;
  // strtoll reads exactly what atoi reads, and unlike atoi it saturates on overflow
  // rather than leaving it undefined.
  const long long value = strtoll(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

namespace {

int16_t label_doc_t::*field_member(int_setting_t field) {
  switch (field) {
    case int_setting_t::darkness: return &label_doc_t::darkness;
    case int_setting_t::speed: return &label_doc_t::speed;
    case int_setting_t::vertical: return &label_doc_t::vertical;
    case int_setting_t::horizontal: return &label_doc_t::horizontal;
    case int_setting_t::mediaTracking: return &label_doc_t::mediaTracking;
    case int_setting_t::mode: return &label_doc_t::mode;
    case int_setting_t::gapHeight: return &label_doc_t::gapHeight;
    case int_setting_t::gapOffset: return &label_doc_t::gapOffset;
    case int_setting_t::labelMode: return &label_doc_t::labelMode;
    case int_setting_t::cutInterval: return &label_doc_t::cutInterval;
    case int_setting_t::tearOffset: return &label_doc_t::tearOffset;
    case int_setting_t::shift: return &label_doc_t::shift;
    case int_setting_t::direction: return &label_doc_t::direction;
  }
  return &label_doc_t::mode;
}

}  // namespace

void store_int_setting(label_doc_t &doc, int_setting_t field, const char *value) {
  const int32_t number = leading_int(value);
  doc.*field_member(field) = low_16_bits(field == int_setting_t::speed ? number / 10 : number);
}

int16_t int_setting(const label_doc_t &doc, int_setting_t field) { return doc.*field_member(field); }

void note_setting(limited_settings_t *sources, int_setting_t field, const char *name,
                  const char *value, bool queueDefault) {
  if (!sources) return;
  setting_source_t *source = field == int_setting_t::darkness ? &sources->darkness
                             : field == int_setting_t::speed  ? &sources->speed
                                                               : nullptr;
  if (source) *source = {name, value ? value : "", queueDefault};
}

bool is_custom_size(const char *text) { return text && strstr(text, "Custom"); }

namespace {

// The float that sscanf's %f makes of the characters it took: strtof of the same
// characters, which is defined (infinity) where a value too large for %f is not.
float read_float(const char *text, int begin, int end) {
  const std::string number(text + begin, text + end);
  return strtof(number.c_str(), nullptr);
}

}  // namespace

custom_size_t parse_custom_size(const char *text) {
  custom_size_t size{0.0f, 0.0f};
  if (!text) return size;
  // sscanf finds where each number begins and ends by its own rules, without storing it
  // (%*f); a %n it does not reach stays -1.
  int widthBegin = -1, widthEnd = -1, heightBegin = -1, heightEnd = -1;
  sscanf(text, "Custom.%n%*f%nx%n%*f%n", &widthBegin, &widthEnd, &heightBegin, &heightEnd);
  if (widthEnd < 0) return size;
  size.width = read_float(text, widthBegin, widthEnd);
  if (heightEnd < 0) return size;
  size.height = read_float(text, heightBegin, heightEnd);
  return size;
}

namespace {
constexpr std::array<const char *, 5> kUnitTexts = {"mm", "pt", "cm", "in", "ft"};
constexpr std::array<const char *, 6> kUnitLabels = {"mm", "pt", "cm", "in", "ft", "m"};
}  // namespace

length_unit_t find_unit(const char *text) {
  for (size_t unit = 0; unit < kUnitTexts.size(); ++unit) {
    if (strstr(text, kUnitTexts[unit])) return static_cast<length_unit_t>(unit);
  }
  return kMetres;
}

const char *unit_label(length_unit_t unit) { return kUnitLabels[unit]; }

bool ends_in_number(const char *text) {
  const size_t length = strlen(text);
  return length > 0 && (isdigit(static_cast<unsigned char>(text[length - 1])) ||
                        text[length - 1] == '.');
}

// Points, centimetres and metres are converted in single precision, rounded to a float
// before anything else happens to them. That decides lengths just below a whole
// millimetre: 0.7 cm gives 7 mm (0.7f * 10 rounds to 7.0f), where a double product would
// give 6.99999988 mm.
double to_millimetres(length_unit_t unit, float n) {
  switch (unit) {
    case kMillimetres: return n;
    case kPoints: {
      const float inches = n / 72.0f;
      return inches * 25.4;
    }
    case kCentimetres: {
      const float mm = n * 10.0f;
      return mm;
    }
    case kInches: return n * 25.4;
    case kFeet: return n * 304.8;
    case kMetres: {
      const float mm = n * 1000.0f;
      return mm;
    }
  }
  return n;
}
