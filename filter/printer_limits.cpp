#include "filter/printer_limits.h"

#include <cups/ppd.h>

#include <algorithm>
#include <cstdlib>

#include "core/page_list.h"
#include "cupsutil/cups_handles.h"

namespace {

// DENSITY's range.
constexpr int32_t kDarknessLow = 0, kDarknessHigh = 15;

// "Darkness=99" for a job's option, "The queue's default Darkness=99" for the PPD's.
std::string Named(const setting_source_t &source) {
  return (source.queueDefault ? "The queue's default " : "") + source.name + "=" + source.value;
}

// A PPD attribute's value as a number of points; `fallback` when it has none.
double Points(ppd_file_t *ppd, const char *name, double fallback) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const ppd_attr_t *attr = ppdFindAttr(ppd, name, nullptr);
#pragma GCC diagnostic pop
  if (!attr || !attr->value) return fallback;
  char *end = nullptr;
  const double points = strtod(attr->value, &end);
  return end != attr->value && points > 0 && points < 1e6 ? points : fallback;
}

}  // namespace

printer_limits_t read_printer_limits() {
  printer_limits_t limits;
  const char *path = getenv("PPD");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  PpdPtr ppd{path ? ppdOpenFile(path) : nullptr};
  if (!ppd) return limits;
  if (const ppd_option_t *speed = ppdFindOption(ppd.get(), "PrintSpeed")) {
    bool any = false;
    for (int i = 0; i < speed->num_choices; ++i) {
      const char *choice = speed->choices[i].choice;
      char *end = nullptr;
      const long value = strtol(choice, &end, 10);
      if (end == choice || *end || value < INT32_MIN || value > INT32_MAX) continue;
      limits.speedLow = any ? std::min<int32_t>(limits.speedLow, value) : value;
      limits.speedHigh = any ? std::max<int32_t>(limits.speedHigh, value) : value;
      any = true;
    }
  }
#pragma GCC diagnostic pop
  // A custom size's width is rounded to the millimetre and its length truncated.
  limits.widthHighMm = static_cast<int32_t>(Points(ppd.get(), "MaxMediaWidth", 288) / kPointsPerMillimetre + 0.5);
  limits.heightHighMm = static_cast<int32_t>(Points(ppd.get(), "MaxMediaHeight", 2880) / kPointsPerMillimetre);
  return limits;
}

std::vector<std::string> unprintable_settings(const label_doc_t &doc,
                                              const limited_settings_t &sources,
                                              const printer_limits_t &limits) {
  std::vector<std::string> refused;
  auto range = [&](const setting_source_t &source, int32_t low, int32_t high) {
    if (source.name.empty()) return;
    const int32_t value = leading_int(source.value.c_str());
    if (value < low || value > high)
      refused.push_back(Named(source) + " is out of range: the printer takes " +
                        std::to_string(low) + " to " + std::to_string(high));
  };
  range(sources.darkness, kDarknessLow, kDarknessHigh);
  range(sources.speed, limits.speedLow, limits.speedHigh);

  const setting_source_t &size = sources.pageSize;
  const bool fits = size.sizeFits && doc.labelWidth >= 1 && doc.labelWidth <= limits.widthHighMm &&
                    doc.labelHeight >= 1 && doc.labelHeight <= limits.heightHighMm;
  if (!size.name.empty() && !fits) {
    const std::string asked = size.sizeFits ? " (" + std::to_string(doc.labelWidth) + " x " +
                                                  std::to_string(doc.labelHeight) + " mm)"
                                            : "";
    refused.push_back(Named(size) + " asks for a label the printer cannot take" + asked +
                      ": it takes labels 1 to " + std::to_string(limits.widthHighMm) +
                      " mm wide and 1 to " + std::to_string(limits.heightHighMm) + " mm long");
  }
  return refused;
}
