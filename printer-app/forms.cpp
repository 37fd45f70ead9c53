#include "printer-app/forms.h"

#include <array>
#include <cstring>
#include <iterator>
#include <string>

#include "printer-app/job_settings.h"
#include "printer-app/label_settings.h"
#include "printer-app/media_settings.h"

namespace {

constexpr choice_t kLabelFits[] = {
    {kFindLabels, "Find each label on a PDF page (carrier sheets with one or more labels)"},
    {kWholePage, "Print the whole PDF page, scaled to the label"},
};

// PAPPL's print-color-mode: for this printer the question is only whether grays are
// converted by the conversion rule or always by a threshold.
constexpr choice_t kColorModes[] = {
    {"monochrome", "Convert grays with the conversion rule above"},
    {"bi-level", "Black and white only: a threshold rule, whatever the rule above says"},
};

// PAPPL's print-scaling values under their keywords, as the page offers them.
constexpr struct {
  pappl_scaling_t scaling;
  choice_t choice;
} kScalingValues[] = {
    {PAPPL_SCALING_AUTO, {"auto", "Automatic: fill the label when the picture's shape is close to it, else fit"}},
    {PAPPL_SCALING_AUTO_FIT, {"auto-fit", "Shrink pictures larger than the label, print others at their size"}},
    {PAPPL_SCALING_FIT, {"fit", "Fit to the label, keeping proportions"}},
    {PAPPL_SCALING_FILL, {"fill", "Fill the label, cutting off what overflows"}},
    {PAPPL_SCALING_NONE, {"none", "Actual size"}},
};

constexpr auto kScalings = [] {
  std::array<choice_t, std::size(kScalingValues)> choices{};
  for (size_t i = 0; i < choices.size(); ++i) choices[i] = kScalingValues[i].choice;
  return choices;
}();

constexpr choice_t kOrientations[] = {
    {"3", "Portrait"}, {"4", "Landscape"}, {"5", "Reverse landscape"},
    {"6", "Reverse portrait"}, {"7", "As the document is"},
};

constexpr label_mode_choice_t kLabelModes[] = {
    {PAPPL_LABEL_MODE_TEAR_OFF, "tear-off", "Tear off"},
    {PAPPL_LABEL_MODE_PEEL_OFF, "peel-off", "Peel off"},
    {PAPPL_LABEL_MODE_CUTTER, "cutter", "Cut"},
    {PAPPL_LABEL_MODE_CUTTER_DELAYED, "cutter-delayed", "Cut once, after the last label"},
};

bool IsChoice(const char *value, std::span<const choice_t> choices) {
  for (const choice_t &choice : choices) {
    if (value && strcmp(value, choice.value) == 0) return true;
  }
  return false;
}

}  // namespace

const std::span<const choice_t> kLabelFitChoices = kLabelFits;
const std::span<const choice_t> kColorModeChoices = kColorModes;
const std::span<const choice_t> kScalingChoices = kScalings;
const std::span<const choice_t> kOrientationChoices = kOrientations;
const std::span<const label_mode_choice_t> kLabelModeChoices = kLabelModes;

std::optional<int> FormNumber(const char *text, int lo, int hi) {
  if (!text) return std::nullopt;
  const bool negative = lo < 0 && *text == '-';
  const char *digits = negative ? text + 1 : text;
  if (!*digits || strlen(digits) > 9) return std::nullopt;
  int value = 0;
  for (const char *c = digits; *c; ++c) {
    if (*c < '0' || *c > '9') return std::nullopt;
    value = value * 10 + (*c - '0');
  }
  if (negative) value = -value;
  if (value < lo || value > hi) return std::nullopt;
  return value;
}

const char *ScalingKeyword(pappl_scaling_t scaling) {
  for (const auto &known : kScalingValues) {
    if (scaling == known.scaling) return known.choice.value;
  }
  return "auto";
}

bool ReadDefaultsForm(int count, cups_option_t *form, pappl_pr_driver_data_t &data, OptionsPtr &vendor) {
  const auto field = [&](const char *name) { return cupsGetOption(name, count, form); };
  if (const char *value = field("orientation-requested")) {
    const auto orientation = FormNumber(value, IPP_ORIENT_PORTRAIT, IPP_ORIENT_NONE);
    if (!orientation) return false;
    data.orient_default = static_cast<ipp_orient_t>(*orientation);
  }
  if (const char *value = field("print-darkness")) {
    const auto level = FormNumber(value, 0, kDarknessLevels - 1);
    if (!level) return false;
    data.darkness_configured = DarknessPercent(*level);
  }
  if (const char *value = field("print-speed")) {
    const auto speed = FormNumber(value, kMinSpeed, kMaxSpeed);
    if (!speed) return false;
    data.speed_default = *speed * kSpeedStep;
  }
  if (const char *value = field("print-color-mode")) {
    if (!IsChoice(value, kColorModes)) return false;
    data.color_default = strcmp(value, "bi-level") == 0 ? PAPPL_COLOR_MODE_BI_LEVEL
                                                         : PAPPL_COLOR_MODE_MONOCHROME;
  }
  if (const char *value = field("print-scaling")) {
    bool known = false;
    for (const auto &scaling : kScalingValues) {
      if (strcmp(value, scaling.choice.value) != 0) continue;
      data.scaling_default = scaling.scaling;
      known = true;
    }
    if (!known) return false;
  }
  if (const char *value = field(kPrintModeOption)) {
    bool known = false;
    for (const print_mode_t &mode : kPrintModes) known = known || strcmp(value, mode.keyword) == 0;
    if (!known) return false;
    AddOption(vendor, kPrintModeOption, value);
  }
  if (const char *value = field(kLabelFitOption)) {
    if (!IsChoice(value, kLabelFits)) return false;
    AddOption(vendor, kLabelFitOption, value);
  }
  return true;
}

bool ReadMediaForm(int count, cups_option_t *form, pappl_pr_driver_data_t &data, OptionsPtr &vendor) {
  const auto field = [&](const char *name) { return cupsGetOption(name, count, form); };
  const char *mode = field("label-mode-configured");
  bool known = false;
  for (const label_mode_choice_t &choice : kLabelModes) {
    if (mode && strcmp(mode, choice.keyword) == 0) data.mode_configured = choice.mode, known = true;
  }
  const auto tear = FormNumber(field("label-tear-offset-configured"), -kMaxTearOffset, kMaxTearOffset);
  if (!known || !tear) return false;
  data.tear_offset_configured = *tear;
  for (const vendor_range_t &range : kVendorRanges) {
    const auto value = FormNumber(field(range.name), range.low, range.high);
    if (!value) return false;
    AddOption(vendor, range.name, std::to_string(*value).c_str());
  }
  const char *direction = field(kPrintDirectionOption);
  for (const print_direction_keyword_t &choice : kPrintDirections) {
    if (direction && strcmp(direction, choice.keyword) == 0) AddOption(vendor, kPrintDirectionOption, direction);
  }
  return true;
}
