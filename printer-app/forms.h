#pragma once
// What the app's two settings pages offer and how a posted form of each is read: the
// Printing Defaults page (conversion rule, label finding, darkness, speed, gray input,
// scaling, orientation) and the Media & Finishing page (label mode, tear-off position,
// the stock's vendor settings, print direction). A form may hold anything a client
// sends: a value the page does not offer changes nothing. No PAPPL calls here: the
// readers fill PAPPL's driver data record and the vendor options to set with it.

#include <pappl/pappl.h>

#include <optional>
#include <span>

#include "cupsutil/cups_handles.h"

// A number a form posted: the whole text one decimal number, with a minus sign when `lo`
// is below 0, within lo..hi; else nothing.
std::optional<int> FormNumber(const char *text, int lo, int hi);

// A choice of a page: the value the form posts and the words a label shop reads.
struct choice_t {
  const char *value;
  const char *label;
};

extern const std::span<const choice_t> kLabelFitChoices;
extern const std::span<const choice_t> kColorModeChoices;
extern const std::span<const choice_t> kScalingChoices;
extern const std::span<const choice_t> kOrientationChoices;

// The print-scaling keyword of a scaling value; "auto" for any other.
const char *ScalingKeyword(pappl_scaling_t scaling);

struct label_mode_choice_t {
  pappl_label_mode_t mode;
  const char *keyword, *label;
};
extern const std::span<const label_mode_choice_t> kLabelModeChoices;

// Reads a posted Printing Defaults form into `data` and the vendor options to set;
// false, with `data` and `vendor` to be left unused, when a value is none the page
// offers. Fields the form leaves out keep their values.
bool ReadDefaultsForm(int count, cups_option_t *form, pappl_pr_driver_data_t &data, OptionsPtr &vendor);

// Reads a posted Media & Finishing form into `data` and the vendor options to set; false
// when the label mode, the tear-off position or a vendor setting is missing or none the
// page offers. A print direction the page does not offer is left as it was.
bool ReadMediaForm(int count, cups_option_t *form, pappl_pr_driver_data_t &data, OptionsPtr &vendor);
