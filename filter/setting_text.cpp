#include "filter/setting_text.h"

#include <cmath>
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

int32_t truncate_to_int(double value) {
  if (!std::isfinite(value) || value <= -2147483649.0 || value >= 2147483648.0) return 0;
  return static_cast<int32_t>(value);
}

void store_int_setting(label_doc_t &doc, int_setting_t field, const char *value) {
  const int32_t number = leading_int(value);
  switch (field) {
    case int_setting_t::darkness: doc.darkness = low_16_bits(number); break;
    case int_setting_t::speed: doc.speed = low_16_bits(number / 10); break;
    case int_setting_t::vertical: doc.vertical = low_16_bits(number); break;
    case int_setting_t::horizontal: doc.horizontal = low_16_bits(number); break;
    case int_setting_t::mediaTracking: doc.mediaTracking = low_16_bits(number); break;
    case int_setting_t::mode: doc.mode = low_16_bits(number); break;
  }
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
