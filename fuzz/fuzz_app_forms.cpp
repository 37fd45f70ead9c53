// Arbitrary bytes as a form posted to the printer application's settings pages: split
// into fields and decoded as PAPPL reads a urlencoded body ("name=value&...", %XX and +),
// then read as the Printing Defaults page and as the Media & Finishing page read them. A
// form read whole sets only values the page offers; crashes, leaks and undefined
// behaviour count too.

#include <cups/cups.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "cupsutil/cups_handles.h"
#include "printer-app/forms.h"
#include "printer-app/job_settings.h"
#include "printer-app/label_settings.h"
#include "printer-app/media_settings.h"

namespace {

int HexDigit(char c) { return isdigit(c & 255) ? c - '0' : (tolower(c & 255) - 'a' + 10); }

// One name or value of a urlencoded body; a %00 ends it, as it ends PAPPL's C string.
std::string Decode(std::string_view text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%' && i + 2 < text.size() && isxdigit(text[i + 1] & 255) && isxdigit(text[i + 2] & 255)) {
      c = static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else if (c == '+') {
      c = ' ';
    }
    decoded += c;
  }
  return decoded.substr(0, decoded.find('\0'));
}

OptionsPtr Fields(std::string_view body) {
  OptionsPtr form{nullptr, OptionsFree{0}};
  while (!body.empty()) {
    const size_t end = body.find('&');
    const std::string_view field = body.substr(0, end);
    body.remove_prefix(end == std::string_view::npos ? body.size() : end + 1);
    const size_t equals = field.find('=');
    const std::string name = Decode(field.substr(0, equals));
    const std::string value = equals == std::string_view::npos ? "" : Decode(field.substr(equals + 1));
    AddOption(form, name.c_str(), value.c_str());
  }
  return form;
}

bool Offered(const char *value, std::span<const choice_t> choices) {
  for (const choice_t &choice : choices) {
    if (strcmp(value, choice.value) == 0) return true;
  }
  return false;
}

void CheckDefaults(const pappl_pr_driver_data_t &data, const OptionsPtr &vendor) {
  const int level = DarknessLevel(data.darkness_configured, 0);
  if (level < 0 || level >= kDarknessLevels || DarknessPercent(level) != data.darkness_configured)
    __builtin_trap();
  if (data.speed_default % kSpeedStep != 0 || data.speed_default / kSpeedStep < kMinSpeed ||
      data.speed_default / kSpeedStep > kMaxSpeed)
    __builtin_trap();
  if (data.orient_default < IPP_ORIENT_PORTRAIT || data.orient_default > IPP_ORIENT_NONE) __builtin_trap();
  if (data.color_default != PAPPL_COLOR_MODE_MONOCHROME && data.color_default != PAPPL_COLOR_MODE_BI_LEVEL)
    __builtin_trap();
  if (!Offered(ScalingKeyword(data.scaling_default), kScalingChoices) ||
      (data.scaling_default != PAPPL_SCALING_AUTO && strcmp(ScalingKeyword(data.scaling_default), "auto") == 0))
    __builtin_trap();
  for (int i = 0; i < vendor.get_deleter().count; ++i) {
    const cups_option_t &option = vendor.get()[i];
    bool known = false;
    if (strcmp(option.name, kPrintModeOption) == 0) {
      for (const print_mode_t &mode : kPrintModes) known = known || strcmp(option.value, mode.keyword) == 0;
    } else if (strcmp(option.name, kLabelFitOption) == 0) {
      known = Offered(option.value, kLabelFitChoices);
    }
    if (!known) __builtin_trap();
  }
}

void CheckMedia(const pappl_pr_driver_data_t &data, const OptionsPtr &vendor) {
  bool mode = false;
  for (const label_mode_choice_t &choice : kLabelModeChoices) mode = mode || data.mode_configured == choice.mode;
  if (!mode || data.tear_offset_configured < -kMaxTearOffset || data.tear_offset_configured > kMaxTearOffset)
    __builtin_trap();
  const int count = vendor.get_deleter().count;
  for (const vendor_range_t &range : kVendorRanges) {
    const auto value = FormNumber(cupsGetOption(range.name, count, vendor.get()), range.low, range.high);
    if (!value) __builtin_trap();
  }
  const char *direction = cupsGetOption(kPrintDirectionOption, count, vendor.get());
  bool offered = !direction;
  for (const print_direction_keyword_t &choice : kPrintDirections)
    offered = offered || strcmp(direction, choice.keyword) == 0;
  const int expected = static_cast<int>(kVendorRanges.size()) + (direction ? 1 : 0);
  if (!offered || count != expected) __builtin_trap();
}

// The driver data as a printer has it: every field a value the pages offer.
pappl_pr_driver_data_t PrinterData() {
  pappl_pr_driver_data_t data{};
  data.darkness_configured = DarknessPercent(kDefaultDarkness);
  data.speed_default = kDefaultSpeed * kSpeedStep;
  data.orient_default = IPP_ORIENT_NONE;
  data.color_default = PAPPL_COLOR_MODE_MONOCHROME;
  data.scaling_default = PAPPL_SCALING_AUTO;
  data.mode_configured = PAPPL_LABEL_MODE_TEAR_OFF;
  return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const OptionsPtr form = Fields(std::string_view(reinterpret_cast<const char *>(data), size));
  const int count = form.get_deleter().count;

  pappl_pr_driver_data_t defaults = PrinterData();
  OptionsPtr defaultsVendor{nullptr, OptionsFree{0}};
  if (ReadDefaultsForm(count, form.get(), defaults, defaultsVendor)) CheckDefaults(defaults, defaultsVendor);

  pappl_pr_driver_data_t media = PrinterData();
  OptionsPtr mediaVendor{nullptr, OptionsFree{0}};
  if (ReadMediaForm(count, form.get(), media, mediaVendor)) CheckMedia(media, mediaVendor);
  return 0;
}
